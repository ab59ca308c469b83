#include <cstdlib>

#include "host/HostCore.h"
#include "platform/Kernel.h"
#include "platform/WinText.h"

UString DefaultDataDir() {
  const wchar_t* local = _wgetenv(L"LOCALAPPDATA");
  UString base = local && *local ? FromWide(local) : UString(u".");
  return IncludeTrailingPathDelimiter(base) + u"zorvik-host";
}
