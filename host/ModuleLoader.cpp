#include "host/ModuleLoader.h"

#include "host/HostFaults.h"
#include "host/MenuManager.h"
#include "platform/Kernel.h"

TModuleLoader::TModuleLoader(UStringView path, TMenuManager* menus) : FPath(ExpandFileName(path)), FMenus(menus) {
  std::string native = NativePath(FPath), error;
  FLib = TDynLib::TryLoad({native.c_str()}, &error);
  if (!FLib) throw EHostError(E_FAIL, u"Cannot load the module " + FPath + u": " + U(error));
  FEntry = FLib->Function<TPluginEntryProc>(kPluginEntryName);
  FDone = FLib->Function<TPluginDoneProc>(kPluginDoneName);
  if (!FEntry || !FDone)
    throw EHostError(E_FAIL, u"The module " + FPath + u" does not export " +
                                 U(!FEntry ? kPluginEntryName : kPluginDoneName) + u"; it is not a plug-in.");
}

TModuleLoader::~TModuleLoader() { Unload(true); }

HRESULT TModuleLoader::Start(ICore* core) {
  FPlugin = nullptr;
  IPlugin* raw = nullptr;
  HRESULT hr = FEntry(core, &raw);
  if (Failed(hr)) {
    // A failing entry must leave nothing behind; take over whatever it wrote anyway.
    ComPtr<IPlugin>::Attach(raw);
    return hr;
  }
  if (!raw) return E_POINTER;
  FPlugin = ComPtr<IPlugin>::Attach(raw);
  return hr;
}

HRESULT TModuleLoader::NotifyDestroy() {
  if (!FPlugin) return S_OK;
  auto notify = FPlugin.As<IDestroyNotify>();
  return notify ? notify->NotifyDestroy() : S_OK;
}

HRESULT TModuleLoader::Unload(bool notifyDestroy) {
  if (!FLib) return S_OK;
  HRESULT result = S_OK;
  if (FPlugin && notifyDestroy) result = NotifyDestroy();
  FPlugin = nullptr;
  HRESULT done = FDone();
  if (FMenus) FMenus->AbandonItems();
  if (Succeeded(result)) result = done;
  FLib.reset();
  FEntry = nullptr;
  FDone = nullptr;
  return result;
}
