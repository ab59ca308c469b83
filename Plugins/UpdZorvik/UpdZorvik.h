// The plug-in object behind the module's IPlugin, and the module's entry points.
#pragma once

#include <cstdint>
#include <memory>

#include "PluginAPI/PluginAPI.h"
#include "PluginAPI/Plugins/PluginSupport.h"
#include "support/Helpers.h"

// The host's version is too old or it lacks a required interface.
Z_DECLARE_BASE_EXCEPTION(EUnsupportedCore, EBaseException)

// The lowest host version (ICore.GetVersion) the plug-in accepts: 1.04.019.
constexpr std::int32_t MinCoreVersion = 104019;
// The plug-in's identity.
constexpr GUID PluginID = MakeGUID("{2495F41E-7FFE-43CB-9347-0A44F6BE6B0E}");
// The update server's web address, named in the menu hint and the default download.
inline constexpr char16_t UpdateServerAddress[] = u"http://www.zorvik.example";
// The default Internet resource: the package on the update server, stored with one
// leading blank before the scheme.
inline UString DefaultInternetResource() {
  return u" " + UString(UpdateServerAddress) + u"/download/other/DB.zip";
}
// Caption of the menu item and of the update dialog; also the plug-in's name.
inline constexpr char16_t PluginCaption[] = u"Update Callbook with Zorvik data";

// The one plug-in object. It checks the host, attaches the plug-in's windows to the host's
// application window and puts one item into the host's menus. Its life is governed by the
// host's references; NotifyDestroy lets go of everything of the host before that.
class TPlugin : public TCheckedInterfacedObject, public IDestroyNotify, public IPlugin {
 public:
  // Raises when the host is older than MinCoreVersion, lacks IHostServer,
  // IApplicationWindows or IMenuManager, or a host call fails; whatever was taken from
  // the host by then is given back first.
  explicit TPlugin(ICore* core);
  ~TPlugin() override;

  UString ClassName() const override { return u"TPlugin"; }
  Z_IUNKNOWN_FORWARD(TCheckedInterfacedObject)

  HRESULT ZSTDCALL GetID(GUID* id) override;
  HRESULT ZSTDCALL GetName(BSTR* name) override;
  HRESULT ZSTDCALL GetVersionText(BSTR* text) override;
  HRESULT ZSTDCALL GetCategory(std::int32_t* category) override;
  HRESULT ZSTDCALL GetNotice(BSTR* text) override;
  HRESULT ZSTDCALL GetHomePage(BSTR* text) override;
  HRESULT ZSTDCALL GetEmail(BSTR* text) override;

  // Deletes the menu item, detaches from the host's window and releases every host
  // reference. A second call finds nothing left to do.
  HRESULT ZSTDCALL NotifyDestroy() override;

  // The menu item's click handler.
  void MenuClick(TObject* sender);

 protected:
  bool GetInterface(REFIID iid, void** obj) override;

 private:
  // The work of NotifyDestroy; raises the first failure after releasing everything.
  void Teardown();

  ComPtr<ICore> FCore;
  ComPtr<IApplicationWindows> FApplicationWindows;
  ComPtr<IHostKernel> FHostKernel;
  ComPtr<IHostServer> FHostServer;
  std::unique_ptr<TPluginMenuItem> FMenuItem;
};

// The work of the module's entry export: writes null to *plugin, then a new TPlugin's
// IPlugin with one reference for the host. Returns S_OK, E_UNEXPECTED when the plug-in
// cannot be made (nothing is written then), or E_POINTER when plugin is null. Each
// platform's export file calls it.
HRESULT CreatePlugin(ICore* core, IPlugin** plugin);
