// The host's kernel, failure switches, interfaces and menus as a plug-in sees them.
#include <gtest/gtest.h>

#include "host/HostTestUtil.h"
#include "platform/Kernel.h"
#include "support/Helpers.h"

namespace {

using HostServices = THostFixture;

UString GetValue(IHostKernel& k, UStringView name) {
  BStr n(name), v;
  EXPECT_EQ(k.GetValue(n.Get(), v.Put()), S_OK);
  return v.Text();
}

TEST_F(HostServices, NamedValuesLiveInTheDataFolder) {
  IHostKernel& k = host->Kernel;
  UString data = IncludeTrailingPathDelimiter(ExpandFileName(dir.U16()));
  EXPECT_EQ(GetValue(k, u"APP_INI"), data + u"zorvik-host.ini");
  EXPECT_EQ(GetValue(k, u"download"), data + u"Download" + UString(1, PathDelim));
  EXPECT_TRUE(DirectoryExists(GetValue(k, u"DOWNLOAD")));
  EXPECT_EQ(GetValue(k, u"REFRESH"), u"");
  BStr refresh(u"REFRESH"), yes(u"YES"), ini(u"APP_INI");
  ASSERT_EQ(k.SetValue(refresh.Get(), yes.Get()), S_OK);
  EXPECT_EQ(host->Kernel.Value(u"REFRESH"), u"YES");
  EXPECT_EQ(GetValue(k, u"Refresh"), u"YES");
  // The host's own values cannot be redirected by a plug-in.
  EXPECT_EQ(LastError(k.SetValue(ini.Get(), yes.Get())).Code, E_ACCESSDENIED);
  EXPECT_EQ(GetValue(k, u"APP_INI"), data + u"zorvik-host.ini");
}

TEST_F(HostServices, LogLinesAreTimestampedInTheLogFile) {
  BStr line(u"Exec: Update Callbook with Zorvik data, Москва processed (00:00:01)");
  ASSERT_EQ(host->Kernel.AddToLog(line.Get()), S_OK);
  std::string log = ReadFile(UStringToUtf8(host->Kernel.LogPath()));
  ASSERT_GE(log.size(), 25u);
  EXPECT_EQ(log[4], '-');
  EXPECT_EQ(log[13], ':');
  // One line each, ended as text files end lines on the platform.
  const std::string text = UStringToUtf8(BSTRText(line.Get()));
  const std::size_t at = log.find(text);
  ASSERT_NE(at, std::string::npos);
  EXPECT_TRUE(log.compare(at + text.size(), 1, "\n") == 0 || log.compare(at + text.size(), 2, "\r\n") == 0);
  // A second host on the same folder appends.
  host.reset();
  host = MakeHost();
  host->Kernel.Log(u"second");
  log = ReadFile(UStringToUtf8(host->Kernel.LogPath()));
  EXPECT_NE(log.find("processed"), std::string::npos);
  EXPECT_NE(log.find("second"), std::string::npos);
}

TEST_F(HostServices, NthCallFailsWithTheGivenCodeAndErrorInformation) {
  host->Faults.FailCall(THostFaults::ParseFault("GetValue:2:0x8004D63A:host says no"));
  BStr n(u"DOWNLOAD"), v;
  EXPECT_EQ(host->Kernel.GetValue(n.Get(), v.Put()), S_OK);
  HRESULT hr = host->Kernel.GetValue(n.Get(), v.Put());
  TCallError e = LastError(hr);
  EXPECT_EQ(e.Code, HResultFromCode(0x8004D63Au));
  EXPECT_EQ(e.Source, kHostErrorSource);
  EXPECT_EQ(e.Description, u"host says no");
  EXPECT_EQ(e.Guid, PluginSystemErrorGUID);
  EXPECT_EQ(host->Kernel.GetValue(n.Get(), v.Put()), S_OK);
  EXPECT_EQ(host->Faults.Calls("GetValue"), 3);

  host->Faults.FailCall({"IsEof", 0, E_ACCESSDENIED, kHostErrorSource, u"always"});
  Bool32 eof = 0;
  for (int i = 0; i < 3; ++i) EXPECT_EQ(LastError(host->Server.IsEof(1, &eof)).Code, E_ACCESSDENIED);
}

TEST_F(HostServices, BadFailureSwitchesAreRefused) {
  for (const char* bad : {"", "GetValue", ":1:0x80004005", "GetValue:x:0x80004005", "GetValue:1:5",
                          "GetValue:1:zz", "GetValue:-1:0x80004005", "GetValue:1:0x180000000"})
    EXPECT_THROW(THostFaults::ParseFault(bad), EConvertError) << bad;
  EXPECT_THROW(host->Faults.Withhold("ICore"), EConvertError);
}

TEST_F(HostServices, WithheldInterfacesAreNotOfferedAndIconsAreByDefault) {
  ComPtr<ICore> core(host.get());
  THandle small = 0, large = 0;
  auto icons = core.As<IHostIcons>();
  ASSERT_TRUE(icons);
  ASSERT_EQ(icons->GetSmallIcon(&small), S_OK);
  ASSERT_EQ(icons->GetLargeIcon(&large), S_OK);
  EXPECT_NE(small, 0u);
  EXPECT_NE(large, 0u);
  icons = nullptr;
  for (const char* name : {"IHostKernel", "IHostServer", "IApplicationWindows", "IMenuManager", "IHostIcons"})
    host->Faults.Withhold(name);
  EXPECT_FALSE(core.As<IHostKernel>());
  EXPECT_FALSE(core.As<IHostServer>());
  EXPECT_FALSE(core.As<IApplicationWindows>());
  EXPECT_FALSE(core.As<IMenuManager>());
  EXPECT_FALSE(core.As<IHostIcons>());
  // Every interface leads back to the same core.
  auto kernel = ComPtr<IUnknown>(static_cast<IHostKernel*>(&host->Kernel)).As<ICore>();
  EXPECT_EQ(kernel.Get(), static_cast<ICore*>(host.get()));
  kernel = nullptr;
  core = nullptr;
  EXPECT_EQ(host->OutstandingRefs(), 0);
}

// A receiver that counts its notifications.
struct TCountingReceiver : INotifyEvent {
  int notified = 0;
  HRESULT ZSTDCALL QueryInterface(REFIID, void**) override { return E_NOINTERFACE; }
  ComULong ZSTDCALL AddRef() override { return 2; }
  ComULong ZSTDCALL Release() override { return 1; }
  HRESULT ZSTDCALL Notify(IUnknown*) override {
    ++notified;
    return S_OK;
  }
};

TEST_F(HostServices, DeletedItemClearsTheCallersPointerAndIsNeverClickedAgain) {
  IMenuManager& menus = host->Menus;
  TCountingReceiver receiver;
  IMenuItem* item = nullptr;
  ASSERT_EQ(menus.AddMenuItem(&item), S_OK);
  ASSERT_EQ(item->SetEnabled(-1), S_OK);
  ASSERT_EQ(item->SetOnClick(&receiver), S_OK);
  ComPtr<THostMenuItem> kept = host->Menus.Items().at(0);
  EXPECT_EQ(kept->Click().Code, S_OK);
  EXPECT_EQ(receiver.notified, 1);

  ASSERT_EQ(menus.DeleteMenuItem(&item), S_OK);
  EXPECT_EQ(item, nullptr);
  EXPECT_TRUE(host->Menus.Items().empty());
  EXPECT_EQ(kept->Click().Code, S_OK);
  EXPECT_EQ(receiver.notified, 1);
  // An item this menu does not hold, or none at all.
  IMenuItem* stranger = static_cast<IMenuItem*>(kept.Get());
  EXPECT_EQ(LastError(menus.DeleteMenuItem(&stranger)).Code, E_INVALIDARG);
  EXPECT_EQ(stranger, static_cast<IMenuItem*>(kept.Get()));
  IMenuItem* none = nullptr;
  EXPECT_EQ(LastError(menus.DeleteMenuItem(&none)).Code, E_POINTER);
}

}  // namespace
