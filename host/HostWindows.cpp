#include "host/HostWindows.h"

HRESULT THostWindows::GetApplicationHandle(THandle* handle) {
  return Call("GetApplicationHandle", [&] { Out(handle) = MainWindow; });
}

HRESULT THostWindows::ModalStarted() {
  return Call("ModalStarted", [&] { ++ModalStarts; });
}

HRESULT THostWindows::ModalFinished() {
  return Call("ModalFinished", [&] { ++ModalFinishes; });
}
