#include <cstdlib>

#include "host/HostCore.h"
#include "platform/Kernel.h"

UString DefaultDataDir() {
  const char* home = std::getenv("HOME");
  UString base = home && *home ? U(home) : UString(u".");
  return IncludeTrailingPathDelimiter(base) + u".local/share/zorvik-host";
}
