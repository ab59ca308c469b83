// Whether the host's standard error reaches a terminal, one file per platform.
#pragma once

bool StandardErrorIsTerminal();
