// The built module UpdZorvik.ext on Windows: loaded through LoadLibraryW and
// GetProcAddress by the reference host, with every BSTR allocated and freed by the
// system's oleaut32 on both sides.
#include <gtest/gtest.h>

#include <functional>

#include "host/HostMenuItem.h"
#include "host/HostTestUtil.h"
#include "host/ModuleLoader.h"
#include "platform/OleAuto.h"

namespace {

const UString kModule = U(ZORVIK_BIN_DIR "/UpdZorvik.ext");
constexpr char16_t kCaption[] = u"Update Callbook with Zorvik data";

struct ModuleLoad : THostFixture {
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
    std::unique_ptr<THostCore> core = MakeHost();
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
