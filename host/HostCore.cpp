#include "host/HostCore.h"

#include "platform/Kernel.h"

namespace {
UString PrepareDataDir(UStringView dir) {
  UString d = ExpandFileName(dir);
  if (!ForceDirectories(d)) throw EFCreateError(u"Cannot create the data folder " + d);
  return d;
}
}  // namespace

THostCore::THostCore(UStringView dataDir)
    : THostPart(Faults, *this),
      FDataDir(PrepareDataDir(dataDir)),
      FDb(std::make_unique<TCallbookDb>(IncludeTrailingPathDelimiter(FDataDir) + TCallbookDb::FileName)),
      Kernel(Faults, *this, FDataDir),
      Server(Faults, *this, *FDb),
      Windows(Faults, *this),
      Menus(Faults, *this),
      Icons(Faults, *this) {}

THostCore::~THostCore() = default;

HRESULT THostCore::QueryInterface(REFIID iid, void** obj) {
  if (!obj) return E_POINTER;
  *obj = nullptr;
  IUnknown* p = nullptr;
  if (iid == IID_IInterface || iid == ICore::IID)
    p = static_cast<ICore*>(this);
  else if (iid == IHostKernel::IID && !Faults.IsWithheld("IHostKernel"))
    p = &Kernel;
  else if (iid == IHostServer::IID && !Faults.IsWithheld("IHostServer"))
    p = &Server;
  else if (iid == IApplicationWindows::IID && !Faults.IsWithheld("IApplicationWindows"))
    p = &Windows;
  else if (iid == IMenuManager::IID && !Faults.IsWithheld("IMenuManager"))
    p = &Menus;
  else if (iid == IHostIcons::IID && !Faults.IsWithheld("IHostIcons"))
    p = &Icons;
  if (!p) return E_NOINTERFACE;
  p->AddRef();
  *obj = p;
  return S_OK;
}

HRESULT THostCore::GetVersion(std::int32_t* version) {
  return Call("GetVersion", [&] { Out(version) = Faults.Version; });
}

std::int32_t THostCore::OutstandingRefs() const {
  return Refs() + Kernel.Refs() + Server.Refs() + Windows.Refs() + Menus.Refs() + Icons.Refs();
}
