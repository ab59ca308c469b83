// The built module UpdZorvik.ext on Windows: loaded through LoadLibraryW and
// GetProcAddress by a host made of the reference host's kernel, window, menu and icon
// services, with every BSTR allocated and freed by the system's oleaut32 on both sides.
#include <gtest/gtest.h>

#include <chrono>
#include <filesystem>

#include "host/HostIcons.h"
#include "host/HostKernel.h"
#include "host/HostMenuItem.h"
#include "host/HostPart.h"
#include "host/HostWindows.h"
#include "host/MenuManager.h"
#include "host/ModuleLoader.h"
#include "platform/OleAuto.h"

namespace {

namespace fs = std::filesystem;

const UString kModule = U(ZORVIK_BIN_DIR "/UpdZorvik.ext");
constexpr char16_t kCaption[] = u"Update Callbook with Zorvik data";

// The callbook service is only asked for here, never called: every method refuses.
class TRefusingServer final : public THostPart<IHostServer> {
 public:
  using THostPart::THostPart;
  Z_HOST_RESERVED(1)
  Z_HOST_RESERVED(2)
  Z_HOST_RESERVED(3)
  HRESULT ZSTDCALL CreateQuery(std::int32_t*) override { return E_NOTIMPL; }
  HRESULT ZSTDCALL OpenQuery(std::int32_t, BSTR) override { return E_NOTIMPL; }
  HRESULT ZSTDCALL GetRecordCount(std::int32_t, std::int32_t*) override { return E_NOTIMPL; }
  HRESULT ZSTDCALL First(std::int32_t) override { return E_NOTIMPL; }
  Z_HOST_RESERVED(8)
  HRESULT ZSTDCALL Next(std::int32_t) override { return E_NOTIMPL; }
  Z_HOST_RESERVED(10)
  Z_HOST_RESERVED(11)
  HRESULT ZSTDCALL IsEof(std::int32_t, Bool32*) override { return E_NOTIMPL; }
  Z_HOST_RESERVED(13)
  HRESULT ZSTDCALL GetFieldValue(std::int32_t, BSTR, BSTR*, std::int32_t*) override { return E_NOTIMPL; }
  Z_HOST_RESERVED(15)
  Z_HOST_RESERVED(16)
  Z_HOST_RESERVED(17)
  Z_HOST_RESERVED(18)
  Z_HOST_RESERVED(19)
  HRESULT ZSTDCALL CloseQuery(std::int32_t) override { return E_NOTIMPL; }
  HRESULT ZSTDCALL FreeQuery(std::int32_t) override { return E_NOTIMPL; }
  HRESULT ZSTDCALL ExecSQL(BSTR, std::int32_t*) override { return E_NOTIMPL; }
};

fs::path FreshFolder() {
  const auto stamp = std::chrono::steady_clock::now().time_since_epoch().count();
  fs::path p = fs::temp_directory_path() / ("zorvik-module-" + std::to_string(stamp));
  fs::create_directories(p);
  return p;
}

// A host core whose services are the reference host's own parts.
class TTestCore final : public THostPart<ICore> {
 public:
  explicit TTestCore(const fs::path& dir)
      : THostPart(Faults, *this), Kernel(Faults, *this, dir.u16string()), Server(Faults, *this),
        Windows(Faults, *this), Menus(Faults, *this), Icons(Faults, *this) {
    Kernel.EchoLog = false;
    Kernel.MessageHook = nullptr;
  }

  HRESULT ZSTDCALL QueryInterface(REFIID iid, void** obj) override {
    if (!obj) return E_POINTER;
    *obj = nullptr;
    IUnknown* p = nullptr;
    if (iid == IID_IInterface || iid == ICore::IID) p = static_cast<ICore*>(this);
    else if (iid == IHostKernel::IID && !Faults.IsWithheld("IHostKernel")) p = &Kernel;
    else if (iid == IHostServer::IID && !Faults.IsWithheld("IHostServer")) p = &Server;
    else if (iid == IApplicationWindows::IID && !Faults.IsWithheld("IApplicationWindows")) p = &Windows;
    else if (iid == IMenuManager::IID && !Faults.IsWithheld("IMenuManager")) p = &Menus;
    else if (iid == IHostIcons::IID && !Faults.IsWithheld("IHostIcons")) p = &Icons;
    if (!p) return E_NOINTERFACE;
    p->AddRef();
    *obj = p;
    return S_OK;
  }
  HRESULT ZSTDCALL GetVersion(std::int32_t* version) override {
    return Call("GetVersion", [&] { Out(version) = Faults.Version; });
  }
  std::int32_t OutstandingRefs() const {
    return Refs() + Kernel.Refs() + Server.Refs() + Windows.Refs() + Menus.Refs() + Icons.Refs();
  }

  THostFaults Faults;
  THostKernel Kernel;
  TRefusingServer Server;
  THostWindows Windows;
  TMenuManager Menus;
  THostIcons Icons;
};

class ModuleLoad : public ::testing::Test {
 protected:
  void TearDown() override {
    module.reset();
    host.reset();
    std::error_code ec;
    fs::remove_all(dir, ec);
  }

  fs::path dir = FreshFolder();
  std::unique_ptr<TTestCore> host = std::make_unique<TTestCore>(dir);
  int liveItemsBefore = THostMenuItem::LiveCount();
  std::unique_ptr<TModuleLoader> module = std::make_unique<TModuleLoader>(kModule, &host->Menus);
};

TEST_F(ModuleLoad, StartsDescribesItselfAndRegistersItsItem) {
  ASSERT_EQ(module->Start(host.get()), S_OK);
  IPlugin* p = module->Plugin();
  GUID id{};
  BStr s;
  std::int32_t category = 0;
  ASSERT_EQ(p->GetID(&id), S_OK);
  EXPECT_EQ(GUIDToString(id), "{2495F41E-7FFE-43CB-9347-0A44F6BE6B0E}");
  // Strings the module allocates are freed here, by the same system allocator.
  ASSERT_EQ(p->GetName(s.Put()), S_OK);
  EXPECT_EQ(s.Text(), kCaption);
  ASSERT_EQ(p->GetVersionText(s.Put()), S_OK);
  EXPECT_EQ(s.Text(), u"1.04.019 (1905)");
  ASSERT_EQ(p->GetCategory(&category), S_OK);
  EXPECT_EQ(category, 2);

  ASSERT_EQ(host->Menus.Items().size(), 1u);
  const THostMenuItem& item = *host->Menus.Items().at(0).Get();
  EXPECT_EQ(item.Caption(), kCaption);
  EXPECT_EQ(item.Hint().rfind(u"Refresh internal Callbook - use updates from Zorvik (", 0), 0u);
  EXPECT_TRUE(item.HasReceiver());
}

TEST_F(ModuleLoad, NotifyDestroyAndDoneGiveEverythingBack) {
  ASSERT_EQ(module->Start(host.get()), S_OK);
  ASSERT_EQ(module->NotifyDestroy(), S_OK);
  EXPECT_TRUE(host->Menus.Items().empty()) << "the item was not deleted";
  EXPECT_EQ(module->NotifyDestroy(), S_OK) << "a second teardown must do nothing";
  BStr name;
  EXPECT_EQ(module->Plugin()->GetName(name.Put()), S_OK) << "the plug-in still answers after the teardown";
  EXPECT_EQ(module->Unload(false), S_OK) << "the done export";
  EXPECT_EQ(host->OutstandingRefs(), 0);
  EXPECT_EQ(THostMenuItem::LiveCount(), liveItemsBefore);
}

TEST_F(ModuleLoad, RefusedHostsGetUnexpectedAndNothingIsLeft) {
  struct Case {
    const char* name;
    std::function<void(THostFaults&)> set;
  } cases[] = {
      {"host too old", [](THostFaults& f) { f.Version = 104018; }},
      {"no callbook service", [](THostFaults& f) { f.Withhold("IHostServer"); }},
      {"no window service", [](THostFaults& f) { f.Withhold("IApplicationWindows"); }},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    auto core = std::make_unique<TTestCore>(dir);
    c.set(core->Faults);
    TModuleLoader loader(kModule, &core->Menus);
    EXPECT_EQ(loader.Start(core.get()), E_UNEXPECTED);
    EXPECT_EQ(loader.Plugin(), nullptr);
    EXPECT_TRUE(core->Menus.Items().empty());
    EXPECT_EQ(loader.Unload(), S_OK);
    EXPECT_EQ(core->OutstandingRefs(), 0);
  }
}

TEST_F(ModuleLoad, NullResultAddressIsRefusedBeforeAnythingIsCreated) {
  EXPECT_EQ(module->Entry()(host.get(), nullptr), E_POINTER);
  EXPECT_EQ(host->Faults.Calls("GetVersion"), 0);
  EXPECT_TRUE(host->Menus.Items().empty());
}

}  // namespace
