#include "support/Helpers.h"

#include <gtest/gtest.h>

#include <functional>

namespace {

class TProbe : public TCheckedInterfacedObject {
 public:
  UString ClassName() const override { return u"TProbe"; }
};

// What the thread's error information held after an exception went out.
struct SeenErrorInfo {
  bool present = false;
  UString source, description, helpFile;
  GUID guid{};
  OleDWord helpContext = 0;
};

SeenErrorInfo TakeErrorInfo() {
  SeenErrorInfo seen;
  IErrorInfo* raw = nullptr;
  if (GetErrorInfo(0, &raw) != S_OK) return seen;
  auto info = ComPtr<IErrorInfo>::Attach(raw);
  seen.present = true;
  BStr s;
  info->GetSource(s.Put());
  seen.source = s.Text();
  info->GetDescription(s.Put());
  seen.description = s.Text();
  info->GetHelpFile(s.Put());
  seen.helpFile = s.Text();
  info->GetGUID(&seen.guid);
  info->GetHelpContext(&seen.helpContext);
  return seen;
}

// Hands error information to the thread as a host would before failing a call.
void SetHostErrorInfo(UStringView description, UStringView source = u"host", std::uint32_t helpContext = 0,
                      UStringView helpFile = u"") {
  ComPtr<ICreateErrorInfo> create;
  ASSERT_EQ(CreateErrorInfo(create.Put()), S_OK);
  create->SetDescription(OleStr(UString(description)));
  create->SetSource(OleStr(UString(source)));
  create->SetHelpFile(OleStr(UString(helpFile)));
  create->SetHelpContext(helpContext);
  ASSERT_EQ(SetErrorInfo(0, create.As<IErrorInfo>().Get()), S_OK);
}

class SafeCallErrors : public ::testing::Test {
 protected:
  void SetUp() override { SetErrorInfo(0, nullptr); }
  void TearDown() override {
    SetErrorInfo(0, nullptr);
    probe_->Release();
  }
  HRESULT Fail(const std::function<void()>& body) { return SafeCall(*probe_, body); }

  TProbe* probe_ = [] {
    auto* p = NewObject<TProbe>();
    p->AddRef();
    return p;
  }();
};

struct OutwardCase {
  const char* name;
  std::function<void()> raise;
  std::uint32_t code;
  bool pluginGuid;
  UString description;
};

TEST_F(SafeCallErrors, ExceptionsGoOutAsCodeWithErrorInformation) {
  const OutwardCase cases[] = {
      {"exact Exception", [] { throw Exception(u"plain"); }, 0x8000FFFF, false, u"plain"},
      {"EConvertError", [] { throw EConvertError(u"bad number"); }, 0x800428DF, true, u"bad number"},
      {"EOSError 5", [] { throw EOSError(u"denied", 5); }, 0x80070005, false, u"denied"},
      {"EOSError 0", [] { throw EOSError(u"nothing", 0); }, 0, false, u"nothing"},
      {"EOSError keeps low 16 bits", [] { throw EOSError(u"big", 0x12345); }, 0x80072345, false, u"big"},
      {"EOleSysError 0", [] { throw EOleSysError(u"zero", 0, 0); }, 0, false, u"zero"},
      {"EOleSysError positive", [] { throw EOleSysError(u"pos", 7, 0); }, 7, false, u"pos"},
      {"EOleException", [] { throw EOleException(u"ole", E_FAIL, u"", u"", 0); }, 0x80004005, false, u"ole"},
      {"EInvalidCoreVersion", [] { throw EInvalidCoreVersion(u"old host"); }, 0x8004D63A, true, u"old host"},
      {"EBaseException", [] { throw EBaseException(u"base"); }, 0x80047031, true, u"base"},
      {"formatted message", [] { throw EBaseException(u"%s is %d", {u"x", 5}); }, 0x80047031, true, u"x is 5"},
      {"unknown run-time class", [] { throw EAbort(u"stop"); }, 0x8004C1E0, true, u"stop"},
      {"not an Exception", [] { throw 42; }, 0x8000FFFF, false, u""},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    HRESULT hr = Fail(c.raise);
    EXPECT_EQ(static_cast<std::uint32_t>(hr), c.code);
    SeenErrorInfo seen = TakeErrorInfo();
    ASSERT_TRUE(seen.present);
    EXPECT_EQ(seen.source, u"pluginsystem.TProbe");
    EXPECT_EQ(seen.description, c.description);
    EXPECT_EQ(seen.helpFile, u"");
    EXPECT_EQ(seen.guid, c.pluginGuid ? PluginSystemErrorGUID : GUID_NULL);
  }
}

TEST_F(SafeCallErrors, HelpContextTravelsOut) {
  Fail([] { throw EConvertError(u"x", 77); });
  EXPECT_EQ(TakeErrorInfo().helpContext, 77u);
}

TEST_F(SafeCallErrors, OutOfMemoryBecomesEOutOfMemory) {
  EXPECT_EQ(Fail([] { throw std::bad_alloc(); }), ClassErrorCodeOf(u"EOutOfMemory"));
}

struct InwardCase {
  const char* name;
  std::uint32_t code;
  bool withInfo;
  UString description;
  UString expectedClass;
  UString expectedMessage;
};

TEST_F(SafeCallErrors, FailedCallsComeBackAsTheClassTheirCodeNames) {
  const InwardCase cases[] = {
      {"module class", 0x8004D63A, true, u"too old", u"EInvalidCoreVersion", u"too old"},
      {"run-time class", 0x800428DF, true, u"bad", u"EConvertError", u"bad"},
      {"EBaseException is not in the table", 0x80047031, true, u"base", u"EOleException", u"base"},
      {"generic failure", 0x80004005, true, u"generic", u"EOleException", u"generic"},
      {"Win32 facility", 0x80070005, true, u"denied", u"EOSError", u"denied"},
      {"trailing full stop and blank", 0x80004005, true, u"Bad thing. ", u"EOleException", u"Bad thing"},
      {"only blanks and stops", 0x80004005, true, u" . . ", u"EOleException", SysErrorMessage(0x80004005u)},
      {"no info, system text", 0x80004005, false, u"", u"EOleException", SysErrorMessage(0x80004005u)},
      {"no info, no system text", 0x80041234, false, u"", u"EOleException", u"OLE error 80041234"},
      {"no info, module class", 0x8004D63A, false, u"", u"EInvalidCoreVersion", u"OLE error 8004D63A"},
      {"no info, run-time class", 0x800428DF, false, u"", u"EConvertError", u""},
      {"no info, Win32", 0x80070002, false, u"", u"EOSError", u""},
      {"module class keeps trailing stop", 0x8004D63A, true, u"Old.", u"EInvalidCoreVersion", u"Old."},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    SetErrorInfo(0, nullptr);
    if (c.withInfo) SetHostErrorInfo(c.description);
    auto e = ExceptionFromErrorCode(static_cast<HRESULT>(c.code));
    EXPECT_EQ(UStringToUtf8(e->ClassName()), UStringToUtf8(c.expectedClass));
    EXPECT_EQ(UStringToUtf8(e->Message), UStringToUtf8(c.expectedMessage));
    EXPECT_FALSE(TakeErrorInfo().present) << "the error information must be taken over";
  }
}

TEST_F(SafeCallErrors, RebuiltExceptionsCarryCodeSourceAndHelp) {
  SetHostErrorInfo(u"d", u"src", 12, u"help.hlp");
  auto ole = ExceptionFromErrorCode(E_FAIL);
  auto* asOle = dynamic_cast<EOleException*>(ole.get());
  ASSERT_NE(asOle, nullptr);
  EXPECT_EQ(asOle->ErrorCode, E_FAIL);
  EXPECT_EQ(asOle->Source, u"src");
  EXPECT_EQ(asOle->HelpFile, u"help.hlp");
  EXPECT_EQ(asOle->HelpContext, 12);

  SetHostErrorInfo(u"d", u"src", 9);
  auto mod = ExceptionFromErrorCode(static_cast<HRESULT>(0x8004D63A));
  auto* asModule = dynamic_cast<EInvalidCoreVersion*>(mod.get());
  ASSERT_NE(asModule, nullptr);
  EXPECT_EQ(static_cast<std::uint32_t>(asModule->ErrorCode), 0x8004D63Au);
  EXPECT_EQ(asModule->HelpContext, 9);

  auto os = ExceptionFromErrorCode(static_cast<HRESULT>(0x80070005));
  ASSERT_NE(dynamic_cast<EOSError*>(os.get()), nullptr);
  EXPECT_EQ(dynamic_cast<EOSError*>(os.get())->ErrorCode, 5u);
}

TEST_F(SafeCallErrors, EveryKindSurvivesTheRoundTrip) {
  const std::function<void()> raisers[] = {
      [] { throw EConvertError(u"c"); },        [] { throw EInvalidCoreVersion(u"v"); },
      [] { throw EOSError(u"o", 5); },           [] { throw EListError(u"l"); },
      [] { throw ECheckedInterfacedObjectDeleteError(u"d"); },
  };
  for (const auto& raise : raisers) {
    UString cls, msg;
    try {
      raise();
    } catch (const Exception& e) {
      cls = e.ClassName(), msg = e.Message;
    }
    HRESULT hr = Fail(raise);
    try {
      CheckSafeCallResult(hr);
      ADD_FAILURE() << "a failed code must raise";
    } catch (const Exception& back) {
      EXPECT_EQ(back.ClassName(), cls);
      EXPECT_EQ(back.Message, msg);
      EXPECT_EQ(ExceptionErrorCode(back), hr);
    }
  }
}

TEST(SafeCallCheck, PassesSuccessAndRaisesWithoutHook) {
  EXPECT_EQ(SafeCallErrorProc, &SafeCallErrorHandler) << "the unit installs its hook at load";
  EXPECT_NO_THROW(CheckSafeCallResult(S_OK));
  EXPECT_NO_THROW(CheckSafeCallResult(S_FALSE));
  TSafeCallErrorProc saved = SafeCallErrorProc;
  SafeCallErrorProc = nullptr;
  EXPECT_THROW(CheckSafeCallResult(E_FAIL), ESafecallException);
  SafeCallErrorProc = saved;
  SetErrorInfo(0, nullptr);
  EXPECT_THROW(CheckSafeCallResult(E_FAIL), EOleException);
}

}  // namespace
