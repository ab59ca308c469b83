#include <unistd.h>

#include "host/HostTerminal.h"

bool StandardErrorIsTerminal() { return isatty(STDERR_FILENO) == 1; }
