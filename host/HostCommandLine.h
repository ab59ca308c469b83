// The command line of zorvik-host.
#pragma once

#include <ostream>
#include <string>
#include <vector>

// Exit codes: 0 success, 1 the operation failed, 2 the command line is wrong.
constexpr int kExitOk = 0;
constexpr int kExitFailed = 1;
constexpr int kExitUsage = 2;

// Runs one command; args excludes the program name. Results go to out, errors and the
// host's log echo to err. When err is a terminal, an update draws its progress there.
int RunHostCommandLine(const std::vector<std::string>& args, std::ostream& out, std::ostream& err,
                       bool errIsTerminal = false);

// The usage text.
const char* HostUsage();
