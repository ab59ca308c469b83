#include "Plugins/UpdZorvik/UpdZorvik.h"

#include "Plugins/UpdZorvik/uUpdZorvik.h"
#include "platform/Kernel.h"
#include "ui/Application.h"
#include "platform/DynLib.h"
#include "platform/InterfacedObject.h"

#include <vector>

namespace {

constexpr char16_t kVersionText[] = u"1.04.019 (1905)";
constexpr std::int32_t kCategory = 2;
constexpr char16_t kNotice[] = u"2019, UpdZorvik developers";
constexpr char16_t kEmail[] = u"updzorvik@zorvik.example";

// Writes text to a string result: first empty, then the new string, so a failure leaves
// the result empty.
void PutString(BSTR* out, UStringView text) {
  if (!out) throw EInvalidPointer(u"Invalid pointer operation");
  *out = nullptr;
  *out = AllocBSTR(text);
}

// Menu items whose deletion the host refused. The host may still call them, so they live
// until the module is unloaded, after the host has let go of them.
std::vector<std::unique_ptr<TPluginMenuItem>>& KeptMenuItems() {
  static std::vector<std::unique_ptr<TPluginMenuItem>> kept;
  return kept;
}

}  // namespace

TPlugin::TPlugin(ICore* core) {
  try {
    FCore = ComPtr<ICore>(core);
    if (!FCore) throw EUnsupportedCore(u"No host core was given.");
    std::int32_t version = 0;
    CheckSafeCallResult(FCore->GetVersion(&version));
    if (version < MinCoreVersion) AssertionFailure(u"Assertion failure", u"Plugins\\UpdZorvik\\UpdZorvik", 73);
    FHostKernel = FCore.As<IHostKernel>();
    FHostServer = FCore.As<IHostServer>();
    if (!FHostServer)
      throw EUnsupportedCore(u"Host does not support required functionality.\r\nUpgrade your application to latest version.");
    FApplicationWindows = FCore.As<IApplicationWindows>();
    if (!FApplicationWindows) throw EInvalidCoreVersion(u"This plugin needs windows support.");
    THandle handle = 0;
    CheckSafeCallResult(FApplicationWindows->GetApplicationHandle(&handle));
    Application().SetHandle(handle);
    std::int32_t category = 0;
    CheckSafeCallResult(GetCategory(&category));
    FMenuItem = std::make_unique<TPluginMenuItem>(FCore.Get(), category);
    FMenuItem->OnClick = [this](TObject* sender) { MenuClick(sender); };
    BStr caption(PluginCaption);
    BStr hint(UString(u"Refresh internal Callbook - use updates from Zorvik (") + UpdateServerAddress + u")");
    CheckSafeCallResult(FMenuItem->Item()->SetCaption(caption.Get()));
    CheckSafeCallResult(FMenuItem->Item()->SetHint(hint.Get()));
  } catch (...) {
    // The teardown runs on the partly built object; the constructor's error goes on.
    try {
      Teardown();
    } catch (...) {
    }
    throw;
  }
}

TPlugin::~TPlugin() {
  // Release cannot raise into the host: a failure of the teardown here is dropped.
  try {
    Teardown();
  } catch (...) {
  }
}

bool TPlugin::GetInterface(REFIID iid, void** obj) {
  if (iid == IID_IInterface || iid == IDestroyNotify::IID) {
    *obj = static_cast<IDestroyNotify*>(this);
    return true;
  }
  if (iid == IPlugin::IID) {
    *obj = static_cast<IPlugin*>(this);
    return true;
  }
  return false;
}

void TPlugin::Teardown() {
  std::unique_ptr<TPluginMenuItem> item = std::move(FMenuItem);
  auto releaseHost = [&] {
    Application().SetHandle(0);
    FHostServer = nullptr;
    FHostKernel = nullptr;
    FApplicationWindows = nullptr;
    FCore = nullptr;
  };
  try {
    if (item) item->DeleteHostItem();
  } catch (...) {
    // The host refused to delete its item and may still call it: the item object stays
    // alive, without a handler, rather than leave the host a dangling receiver. Every
    // host reference still goes; the failure is reported afterwards.
    item->OnClick = nullptr;
    KeptMenuItems().push_back(std::move(item));
    releaseHost();
    throw;
  }
  item.reset();
  releaseHost();
}

HRESULT TPlugin::NotifyDestroy() {
  return SafeCall(*this, [&] { Teardown(); });
}

HRESULT TPlugin::GetID(GUID* id) {
  return SafeCall(*this, [&] {
    if (!id) throw EInvalidPointer(u"Invalid pointer operation");
    *id = PluginID;
  });
}

HRESULT TPlugin::GetName(BSTR* name) {
  return SafeCall(*this, [&] { PutString(name, PluginCaption); });
}

HRESULT TPlugin::GetVersionText(BSTR* text) {
  return SafeCall(*this, [&] { PutString(text, kVersionText); });
}

HRESULT TPlugin::GetCategory(std::int32_t* category) {
  return SafeCall(*this, [&] {
    if (!category) throw EInvalidPointer(u"Invalid pointer operation");
    *category = kCategory;
  });
}

HRESULT TPlugin::GetNotice(BSTR* text) {
  return SafeCall(*this, [&] { PutString(text, kNotice); });
}

HRESULT TPlugin::GetHomePage(BSTR* text) {
  return SafeCall(*this, [&] { PutString(text, UpdateServerAddress); });
}

HRESULT TPlugin::GetEmail(BSTR* text) {
  return SafeCall(*this, [&] { PutString(text, kEmail); });
}

void TPlugin::MenuClick(TObject* /*sender*/) {
  // The dialog reads its settings path from the host kernel; without it nothing is shown.
  if (!FHostKernel)
    throw EUnsupportedCore(u"The update dialog needs the host's kernel services, which this host does not offer.");
  auto dialog = std::make_unique<TfrmUpdZorvik>(FCore.Get());
  dialog->Caption = PluginCaption;
  dialog->FHostKernel = FHostKernel;
  dialog->FHostServer = FHostServer;
  BStr iniPath;
  CheckSafeCallResult(FHostKernel->GetValue(BStr(u"APP_INI").Get(), iniPath.Put()));
  dialog->FIniPath = iniPath.Text();
  dialog->FSection = u"Zorvik";
  dialog->FInternetResource = DefaultInternetResource();
  dialog->FLocalFile = ExtractFilePath(zorvik::GetModuleFileName()) + u"Download" + PathDelim + u"DB.zip";
  dialog->dlgSource.Filter = u"Archive files|*.zip";
  dialog->dlgSource.FilterIndex = 1;
  dialog->FLocation = slInternet;
  dialog->ShowModal();
}

// ---- Entry ----

HRESULT CreatePlugin(ICore* core, IPlugin** plugin) {
  // Nowhere to put the result: refused before anything is created.
  if (!plugin) return E_POINTER;
  *plugin = nullptr;
  try {
    TPlugin* object = NewObject<TPlugin>(core);
    IPlugin* result = static_cast<IPlugin*>(object);
    result->AddRef();
    *plugin = result;
    return S_OK;
  } catch (...) {
    return E_UNEXPECTED;
  }
}
