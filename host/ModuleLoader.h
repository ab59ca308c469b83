// Loads a plug-in module, starts it with the host's core and unloads it again.
#pragma once

#include <memory>

#include "PluginAPI/PluginAPI.h"
#include "platform/DynLib.h"
#include "platform/UStrings.h"

// The two names every module exports.
inline constexpr char kPluginEntryName[] = "983BEDA12B2347028D99FF042C551640";
inline constexpr char kPluginDoneName[] = "983BEDA12B2347028D99FF042C551640_done";

// One loaded module. Unloading ends the plug-in in either order the host chooses
// (NotifyDestroy then the last release, or the last release alone), then calls the
// module's done function and unloads the library.
class TModuleLoader {
 public:
  // Loads the library and finds both entry points. Raises EHostError naming the file and
  // what is missing.
  // menus, when given, is the menu of the host the module runs in: items the plug-in
  // leaves in it are abandoned before the module's code is unloaded.
  explicit TModuleLoader(UStringView path, class TMenuManager* menus = nullptr);
  // Unloads with NotifyDestroy first; failures are dropped here.
  ~TModuleLoader();
  TModuleLoader(const TModuleLoader&) = delete;
  TModuleLoader& operator=(const TModuleLoader&) = delete;

  // Calls the entry with core and keeps the plug-in it returns. Returns the entry's
  // HRESULT; a successful entry that gives no plug-in counts as E_POINTER.
  HRESULT Start(ICore* core);
  // The entry function itself, for callers that need to pass other arguments.
  TPluginEntryProc Entry() const { return FEntry; }
  IPlugin* Plugin() const { return FPlugin.Get(); }

  // Asks the plug-in to let go of the host (IDestroyNotify). S_OK when there is no plug-in.
  HRESULT NotifyDestroy();
  // Drops the host's reference to the plug-in.
  void ReleasePlugin() { FPlugin = nullptr; }
  // Ends the plug-in (NotifyDestroy first when asked), calls done and unloads. Returns the
  // first failure of NotifyDestroy or done, else S_OK. A second call does nothing.
  HRESULT Unload(bool notifyDestroy = true);

  const UString& Path() const { return FPath; }

 private:
  UString FPath;
  TMenuManager* FMenus;
  std::unique_ptr<TDynLib> FLib;
  TPluginEntryProc FEntry = nullptr;
  TPluginDoneProc FDone = nullptr;
  ComPtr<IPlugin> FPlugin;
};
