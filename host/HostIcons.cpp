#include "host/HostIcons.h"

HRESULT THostIcons::GetSmallIcon(THandle* icon) {
  return Call("GetSmallIcon", [&] { Out(icon) = SmallIcon; });
}

HRESULT THostIcons::GetLargeIcon(THandle* icon) {
  return Call("GetLargeIcon", [&] { Out(icon) = LargeIcon; });
}
