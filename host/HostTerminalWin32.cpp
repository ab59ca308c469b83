#include <io.h>
#include <stdio.h>

#include "host/HostTerminal.h"

bool StandardErrorIsTerminal() { return _isatty(_fileno(stderr)) != 0; }
