// The built module UpdZorvik.ext, loaded into the real host.
#include <gtest/gtest.h>

#include <cstdio>
#include <set>

#include "host/HostTestUtil.h"
#include "host/ModuleLoader.h"
#include "support/Helpers.h"

namespace {

const char* const kModule = ZORVIK_BIN_DIR "/UpdZorvik.ext";
constexpr HRESULT kEBaseException = HResultFromCode(0x80047031u);
constexpr HRESULT kEUnsupportedCore = HResultFromCode(0x80046559u);
constexpr char16_t kCaption[] = u"Update Callbook with Zorvik data";

TEST(ModuleExports, OnlyTheTwoEntryNamesAreExported) {
  std::string cmd = std::string("nm -D --defined-only ") + kModule;
  std::FILE* p = ::popen(cmd.c_str(), "r");
  ASSERT_NE(p, nullptr);
  std::set<std::string> names;
  char line[4096];
  while (std::fgets(line, sizeof line, p)) {
    std::string s(line);
    while (!s.empty() && (s.back() == '\n' || s.back() == '\r')) s.pop_back();
    names.insert(s.substr(s.rfind(' ') + 1));
  }
  ASSERT_EQ(::pclose(p), 0);
  EXPECT_EQ(names, (std::set<std::string>{"983BEDA12B2347028D99FF042C551640",
                                          "983BEDA12B2347028D99FF042C551640_done"}));
}

struct ModuleTest : THostFixture {
  int liveItemsBefore = THostMenuItem::LiveCount();
  std::unique_ptr<TModuleLoader> module = std::make_unique<TModuleLoader>(U(kModule), &host->Menus);

  THostMenuItem& OnlyItem() {
    EXPECT_EQ(host->Menus.Items().size(), 1u);
    return *host->Menus.Items().at(0).Get();
  }
  // Nothing of the host is held any more and no item is left alive.
  void ExpectEverythingGivenBack() {
    EXPECT_EQ(host->OutstandingRefs(), 0);
    for (std::int32_t refs : {host->Refs(), host->Kernel.Refs(), host->Server.Refs(), host->Windows.Refs(),
                              host->Menus.Refs(), host->Icons.Refs()})
      EXPECT_EQ(refs, 0);
    EXPECT_EQ(THostMenuItem::LiveCount(), liveItemsBefore);
  }
};

TEST_F(ModuleTest, StartsOnTheCurrentHostAndDescribesItself) {
  ASSERT_EQ(module->Start(host.get()), S_OK);
  IPlugin* p = module->Plugin();
  GUID id{};
  BStr s;
  std::int32_t category = 0;
  ASSERT_EQ(p->GetID(&id), S_OK);
  EXPECT_EQ(GUIDToString(id), "{2495F41E-7FFE-43CB-9347-0A44F6BE6B0E}");
  ASSERT_EQ(p->GetName(s.Put()), S_OK);
  EXPECT_EQ(s.Text(), kCaption);
  ASSERT_EQ(p->GetVersionText(s.Put()), S_OK);
  EXPECT_EQ(s.Text(), u"1.04.019 (1905)");
  ASSERT_EQ(p->GetCategory(&category), S_OK);
  EXPECT_EQ(category, 2);

  THostMenuItem& item = OnlyItem();
  EXPECT_EQ(item.Caption(), kCaption);
  EXPECT_EQ(item.Hint(), u"Refresh internal Callbook - use updates from Zorvik (http://www.zorvik.example)");
  EXPECT_EQ(item.Category(), 2);
  EXPECT_EQ(item.Flag(), 0);
  EXPECT_TRUE(item.Enabled());
  EXPECT_TRUE(item.HasReceiver());
}

TEST_F(ModuleTest, NullResultAddressIsRefusedBeforeAnythingIsCreated) {
  EXPECT_EQ(module->Entry()(host.get(), nullptr), E_POINTER);
  EXPECT_EQ(host->Faults.Calls("GetVersion"), 0);
  EXPECT_TRUE(host->Menus.Items().empty());
  ExpectEverythingGivenBack();
}

// A host the plug-in must refuse: the entry fails with E_UNEXPECTED and no error
// information, writes nothing and leaves the menu and every reference as they were.
struct TRefusal {
  const char* name;
  std::int32_t version = DefaultHostVersion;
  const char* withheld = nullptr;
  const char* failingMethod = nullptr;
  int nth = 1;
};

class ModuleRefusal : public ModuleTest, public ::testing::WithParamInterface<TRefusal> {};

TEST_P(ModuleRefusal, EntryFailsAndLeavesTheHostAsItWas) {
  const TRefusal& r = GetParam();
  host->Faults.Version = r.version;
  if (r.withheld) host->Faults.Withhold(r.withheld);
  if (r.failingMethod) host->Faults.FailCall({r.failingMethod, r.nth, E_FAIL, kHostErrorSource, u"refused"});
  IPlugin* raw = reinterpret_cast<IPlugin*>(0x1);
  EXPECT_EQ(module->Entry()(host.get(), &raw), E_UNEXPECTED);
  EXPECT_EQ(raw, nullptr);
  IErrorInfo* info = nullptr;
  EXPECT_EQ(GetErrorInfo(0, &info), S_FALSE);
  EXPECT_TRUE(host->Menus.Items().empty());
  EXPECT_TRUE(host->Kernel.Messages.empty());
  EXPECT_EQ(ReadFile(host->Kernel.LogPath().empty() ? "" : UStringToUtf8(host->Kernel.LogPath())), "");
  ExpectEverythingGivenBack();
}

INSTANTIATE_TEST_SUITE_P(
    Hosts, ModuleRefusal,
    ::testing::Values(TRefusal{"Version104018", 104018}, TRefusal{"NegativeVersion", -1},
                      TRefusal{"NoHostServer", DefaultHostVersion, "IHostServer"},
                      TRefusal{"NoApplicationWindows", DefaultHostVersion, "IApplicationWindows"},
                      TRefusal{"NoMenuManager", DefaultHostVersion, "IMenuManager"},
                      TRefusal{"GetVersionFails", DefaultHostVersion, nullptr, "GetVersion"},
                      TRefusal{"GetApplicationHandleFails", DefaultHostVersion, nullptr, "GetApplicationHandle"},
                      TRefusal{"AddMenuItemFails", DefaultHostVersion, nullptr, "AddMenuItem"},
                      TRefusal{"FirstSetCaptionFails", DefaultHostVersion, nullptr, "SetCaption", 1},
                      TRefusal{"PluginSetCaptionFails", DefaultHostVersion, nullptr, "SetCaption", 2},
                      TRefusal{"SetHintFails", DefaultHostVersion, nullptr, "SetHint", 2},
                      TRefusal{"SetOnClickFails", DefaultHostVersion, nullptr, "SetOnClick"}),
    [](const auto& info) { return std::string(info.param.name); });

TEST_F(ModuleTest, EachClickShowsOneModalDialog) {
  ASSERT_EQ(module->Start(host.get()), S_OK);
  THostMenuItem& item = OnlyItem();
  for (int click = 1; click <= 2; ++click) {
    EXPECT_EQ(item.Click().Code, S_OK);
    EXPECT_EQ(host->Faults.Calls("GetEnabled"), click);
    EXPECT_EQ(host->Windows.ModalStarts, click);
    EXPECT_EQ(host->Windows.ModalFinishes, click);
  }
}

TEST_F(ModuleTest, FailingSettingsPathFailsTheClickBeforeAnyDialogShows) {
  ASSERT_EQ(module->Start(host.get()), S_OK);
  host->Faults.FailCall({"GetValue", 1, E_ACCESSDENIED, kHostErrorSource, u"no settings"});
  TCallError e = OnlyItem().Click();
  EXPECT_EQ(e.Code, E_ACCESSDENIED);
  EXPECT_EQ(e.Source, u"pluginsystem.TPluginMenuItem");
  EXPECT_EQ(e.Description, u"no settings");
  EXPECT_EQ(host->Windows.ModalStarts, 0);
  EXPECT_EQ(OnlyItem().Click().Code, S_OK) << "the item stays usable";
}

TEST_F(ModuleTest, WithoutHostKernelTheItemIsRegisteredButAClickFails) {
  host->Faults.Withhold("IHostKernel");
  ASSERT_EQ(module->Start(host.get()), S_OK);
  THostMenuItem& item = OnlyItem();
  for (int click = 0; click < 2; ++click) {
    TCallError e = item.Click();
    EXPECT_EQ(e.Code, kEUnsupportedCore);
    EXPECT_EQ(e.Source, u"pluginsystem.TPluginMenuItem");
    EXPECT_NE(e.Description.find(u"kernel"), UString::npos);
  }
  EXPECT_EQ(host->Windows.ModalStarts, 0);
  EXPECT_EQ(module->Unload(true), S_OK);
  ExpectEverythingGivenBack();
}

TEST_F(ModuleTest, DisabledItemCallsNoHandler) {
  ASSERT_EQ(module->Start(host.get()), S_OK);
  THostMenuItem& item = OnlyItem();
  item.SetEnabledByHost(false);
  EXPECT_EQ(item.Click().Code, S_OK);
  EXPECT_EQ(host->Faults.Calls("GetEnabled"), 1);
}

TEST_F(ModuleTest, FailingGetEnabledComesBackWithTheHostsCodeAndDescription) {
  ASSERT_EQ(module->Start(host.get()), S_OK);
  host->Faults.FailCall({"GetEnabled", 1, E_ACCESSDENIED, kHostErrorSource, u"menu is locked"});
  TCallError e = OnlyItem().Click();
  EXPECT_EQ(e.Code, E_ACCESSDENIED);
  EXPECT_EQ(e.Source, u"pluginsystem.TPluginMenuItem");
  EXPECT_EQ(e.Description, u"menu is locked");
  EXPECT_EQ(OnlyItem().Click().Code, S_OK);
}

// Either teardown order deletes the item once and gives every host reference back once.
struct TTeardown {
  const char* name;
  int notifyDestroyCalls;
};

class ModuleTeardown : public ModuleTest, public ::testing::WithParamInterface<TTeardown> {};

TEST_P(ModuleTeardown, DeletesTheItemOnceAndReleasesEveryReferenceOnce) {
  ASSERT_EQ(module->Start(host.get()), S_OK);
  EXPECT_GT(host->OutstandingRefs(), 0);
  for (int i = 0; i < GetParam().notifyDestroyCalls; ++i) {
    ASSERT_EQ(module->NotifyDestroy(), S_OK);
    EXPECT_TRUE(host->Menus.Items().empty());
    EXPECT_EQ(host->OutstandingRefs(), 0);
    // The plug-in still answers after letting go of the host.
    BStr name;
    EXPECT_EQ(module->Plugin()->GetName(name.Put()), S_OK);
    EXPECT_EQ(name.Text(), kCaption);
  }
  EXPECT_EQ(module->Unload(false), S_OK);
  EXPECT_EQ(host->Menus.Deletions(), 1);
  ExpectEverythingGivenBack();
}

INSTANTIATE_TEST_SUITE_P(Orders, ModuleTeardown,
                         ::testing::Values(TTeardown{"LastReleaseAlone", 0}, TTeardown{"NotifyDestroyThenRelease", 1},
                                           TTeardown{"NotifyDestroyTwiceThenRelease", 2}),
                         [](const auto& info) { return std::string(info.param.name); });

TEST_F(ModuleTest, RefusedItemDeletionIsReportedButReferencesStillGo) {
  ASSERT_EQ(module->Start(host.get()), S_OK);
  host->Faults.FailCall({"DeleteMenuItem", 1, E_FAIL, kHostErrorSource, u"menu is busy"});
  HRESULT hr = module->NotifyDestroy();
  TCallError e = TakeCallError(hr);
  EXPECT_EQ(e.Code, E_FAIL);
  EXPECT_EQ(e.Source, u"pluginsystem.TPlugin");
  EXPECT_EQ(e.Description, u"menu is busy");
  EXPECT_EQ(host->OutstandingRefs(), 0);
  EXPECT_EQ(module->NotifyDestroy(), S_OK);
  // The item the host kept can still be chosen safely: no handler runs any more.
  EXPECT_EQ(host->Menus.Items().at(0)->Click().Code, S_OK);
  EXPECT_EQ(module->Unload(false), S_OK);
  EXPECT_TRUE(host->Menus.Items().empty());
}

}  // namespace
