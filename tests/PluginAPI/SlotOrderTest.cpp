// Calls every interface method through its raw method-table slot, the way a host or
// plug-in built by another compiler would, and checks which method answered.
#include <gtest/gtest.h>

#include <functional>
#include <string>
#include <vector>

#include "PluginAPI/PluginAPI.h"

namespace {

std::vector<std::string> g_calls;

#define REC(name)              \
  {                            \
    g_calls.push_back(#name);  \
    return S_OK;               \
  }
#define RESERVED(n) \
  HRESULT ZSTDCALL Reserved##n() override REC(Reserved##n)
#define UNKNOWN_REC                                                                \
  HRESULT ZSTDCALL QueryInterface(REFIID, void**) override REC(QueryInterface)    \
  ComULong ZSTDCALL AddRef() override {                                        \
    g_calls.push_back("AddRef");                                                   \
    return 1;                                                                      \
  }                                                                                \
  ComULong ZSTDCALL Release() override {                                       \
    g_calls.push_back("Release");                                                  \
    return 1;                                                                      \
  }

struct RecCore : ICore {
  UNKNOWN_REC
  HRESULT ZSTDCALL GetVersion(std::int32_t*) override REC(GetVersion)
};
struct RecHostKernel : IHostKernel {
  UNKNOWN_REC
  HRESULT ZSTDCALL AddToLog(BSTR) override REC(AddToLog)
  HRESULT ZSTDCALL ReportMessage(BSTR, BSTR) override REC(ReportMessage)
  RESERVED(3) RESERVED(4) RESERVED(5) RESERVED(6)
  HRESULT ZSTDCALL SetValue(BSTR, BSTR) override REC(SetValue)
  HRESULT ZSTDCALL GetValue(BSTR, BSTR*) override REC(GetValue)
};
struct RecHostServer : IHostServer {
  UNKNOWN_REC
  RESERVED(1) RESERVED(2) RESERVED(3)
  HRESULT ZSTDCALL CreateQuery(std::int32_t*) override REC(CreateQuery)
  HRESULT ZSTDCALL OpenQuery(std::int32_t, BSTR) override REC(OpenQuery)
  HRESULT ZSTDCALL GetRecordCount(std::int32_t, std::int32_t*) override REC(GetRecordCount)
  HRESULT ZSTDCALL First(std::int32_t) override REC(First)
  RESERVED(8)
  HRESULT ZSTDCALL Next(std::int32_t) override REC(Next)
  RESERVED(10) RESERVED(11)
  HRESULT ZSTDCALL IsEof(std::int32_t, Bool32*) override REC(IsEof)
  RESERVED(13)
  HRESULT ZSTDCALL GetFieldValue(std::int32_t, BSTR, BSTR*, std::int32_t*) override REC(GetFieldValue)
  RESERVED(15) RESERVED(16) RESERVED(17) RESERVED(18) RESERVED(19)
  HRESULT ZSTDCALL CloseQuery(std::int32_t) override REC(CloseQuery)
  HRESULT ZSTDCALL FreeQuery(std::int32_t) override REC(FreeQuery)
  HRESULT ZSTDCALL ExecSQL(BSTR, std::int32_t*) override REC(ExecSQL)
};
struct RecApplicationWindows : IApplicationWindows {
  UNKNOWN_REC
  HRESULT ZSTDCALL GetApplicationHandle(THandle*) override REC(GetApplicationHandle)
  RESERVED(2) RESERVED(3) RESERVED(4) RESERVED(5)
  HRESULT ZSTDCALL ModalStarted() override REC(ModalStarted)
  HRESULT ZSTDCALL ModalFinished() override REC(ModalFinished)
  RESERVED(8) RESERVED(9)
};
struct RecMenuManager : IMenuManager {
  UNKNOWN_REC
  HRESULT ZSTDCALL AddMenuItem(IMenuItem**) override REC(AddMenuItem)
  HRESULT ZSTDCALL DeleteMenuItem(IMenuItem**) override REC(DeleteMenuItem)
};
struct RecMenuItem : IMenuItem {
  UNKNOWN_REC
  RESERVED(1) RESERVED(2)
  HRESULT ZSTDCALL GetEnabled(Bool32*) override REC(GetEnabled)
  RESERVED(4) RESERVED(5)
  HRESULT ZSTDCALL SetCaption(BSTR) override REC(SetCaption)
  HRESULT ZSTDCALL SetFlag(std::int32_t) override REC(SetFlag)
  HRESULT ZSTDCALL SetEnabled(Bool32) override REC(SetEnabled)
  HRESULT ZSTDCALL SetHint(BSTR) override REC(SetHint)
  HRESULT ZSTDCALL SetCategory(std::int32_t) override REC(SetCategory)
  HRESULT ZSTDCALL SetOnClick(INotifyEvent*) override REC(SetOnClick)
};
struct RecHostIcons : IHostIcons {
  UNKNOWN_REC
  HRESULT ZSTDCALL GetSmallIcon(THandle*) override REC(GetSmallIcon)
  HRESULT ZSTDCALL GetLargeIcon(THandle*) override REC(GetLargeIcon)
};
struct RecPlugin : IPlugin {
  UNKNOWN_REC
  HRESULT ZSTDCALL GetID(GUID*) override REC(GetID)
  HRESULT ZSTDCALL GetName(BSTR*) override REC(GetName)
  HRESULT ZSTDCALL GetVersionText(BSTR*) override REC(GetVersionText)
  HRESULT ZSTDCALL GetCategory(std::int32_t*) override REC(GetCategory)
  HRESULT ZSTDCALL GetNotice(BSTR*) override REC(GetNotice)
  HRESULT ZSTDCALL GetHomePage(BSTR*) override REC(GetHomePage)
  HRESULT ZSTDCALL GetEmail(BSTR*) override REC(GetEmail)
};
struct RecDestroyNotify : IDestroyNotify {
  UNKNOWN_REC
  HRESULT ZSTDCALL NotifyDestroy() override REC(NotifyDestroy)
};
struct RecNotifyEvent : INotifyEvent {
  UNKNOWN_REC
  HRESULT ZSTDCALL Notify(IUnknown*) override REC(Notify)
};

// Calls the method at 1-based position pos after the three IUnknown slots (pos 0 and
// below reach the IUnknown slots themselves).
template <class I, class R = HRESULT, class... A>
R CallSlot(I* obj, int pos, A... args) {
  using Fn = R(ZSTDCALL*)(I*, A...);
  void** table = *reinterpret_cast<void***>(obj);
  return reinterpret_cast<Fn>(table[2 + pos])(obj, args...);
}

// Names expected at positions 1..n; "" stands for a reserved slot.
template <class I>
void ExpectSlots(I* obj, const std::vector<std::string>& names) {
  for (std::size_t i = 0; i < names.size(); ++i) {
    int pos = static_cast<int>(i) + 1;
    std::string want = names[i].empty() ? "Reserved" + std::to_string(pos) : names[i];
    g_calls.clear();
    // Every argument is a pointer or a 32-bit value; pass zeros of both kinds. Calls with
    // fewer parameters than passed ignore the extra ones under this calling convention.
    CallSlot<I, HRESULT, void*, void*, void*, void*>(obj, pos, nullptr, nullptr, nullptr, nullptr);
    ASSERT_EQ(g_calls.size(), 1u) << "slot " << pos;
    EXPECT_EQ(g_calls[0], want) << "slot " << pos;
  }
  for (auto [pos, name] : {std::pair{-2, "QueryInterface"}, {-1, "AddRef"}, {0, "Release"}}) {
    g_calls.clear();
    if (pos == -2)
      CallSlot<I, HRESULT, const GUID*, void**>(obj, pos, &IID_IInterface, nullptr);
    else
      CallSlot<I, std::int32_t>(obj, pos);
    ASSERT_EQ(g_calls.size(), 1u);
    EXPECT_EQ(g_calls[0], name);
  }
}

TEST(SlotOrder, HostInterfaces) {
  RecCore core;
  ExpectSlots<ICore>(&core, {"GetVersion"});
  RecHostKernel kernel;
  ExpectSlots<IHostKernel>(&kernel, {"AddToLog", "ReportMessage", "", "", "", "", "SetValue", "GetValue"});
  RecHostServer server;
  ExpectSlots<IHostServer>(&server, {"", "", "", "CreateQuery", "OpenQuery", "GetRecordCount", "First", "", "Next",
                                     "", "", "IsEof", "", "GetFieldValue", "", "", "", "", "", "CloseQuery",
                                     "FreeQuery", "ExecSQL"});
  RecApplicationWindows windows;
  ExpectSlots<IApplicationWindows>(&windows,
                                   {"GetApplicationHandle", "", "", "", "", "ModalStarted", "ModalFinished", "", ""});
  RecMenuManager menus;
  ExpectSlots<IMenuManager>(&menus, {"AddMenuItem", "DeleteMenuItem"});
  RecMenuItem item;
  ExpectSlots<IMenuItem>(&item, {"", "", "GetEnabled", "", "", "SetCaption", "SetFlag", "SetEnabled", "SetHint",
                                 "SetCategory", "SetOnClick"});
  RecHostIcons icons;
  ExpectSlots<IHostIcons>(&icons, {"GetSmallIcon", "GetLargeIcon"});
}

TEST(SlotOrder, PluginInterfaces) {
  RecPlugin plugin;
  ExpectSlots<IPlugin>(&plugin, {"GetID", "GetName", "GetVersionText", "GetCategory", "GetNotice", "GetHomePage",
                                 "GetEmail"});
  RecDestroyNotify destroy;
  ExpectSlots<IDestroyNotify>(&destroy, {"NotifyDestroy"});
  RecNotifyEvent notify;
  ExpectSlots<INotifyEvent>(&notify, {"Notify"});
}

TEST(SlotOrder, InterfaceIdentities) {
  EXPECT_EQ(GUIDToString(ICore::IID), "{2E4C1D23-873E-494D-B628-65BCC0A547A7}");
  EXPECT_EQ(GUIDToString(IHostKernel::IID), "{4188E8AA-AC3A-4398-BECF-2B644474BED4}");
  EXPECT_EQ(GUIDToString(IHostServer::IID), "{3ECC8EDB-00C3-42E6-9F83-CC066A5B194C}");
  EXPECT_EQ(GUIDToString(IApplicationWindows::IID), "{2EE5EF53-6EA9-4537-A7C3-233ED9D39108}");
  EXPECT_EQ(GUIDToString(IMenuManager::IID), "{32FBAF60-BCD8-444E-BD14-E86726041CD1}");
  EXPECT_EQ(GUIDToString(IMenuItem::IID), "{37138407-0C6F-448B-B184-34F1CD638B85}");
  EXPECT_EQ(GUIDToString(IHostIcons::IID), "{2EF25A6A-F584-469C-B9F1-AA35EA04CC40}");
  EXPECT_EQ(GUIDToString(IPlugin::IID), "{16AB27D6-DD64-4CCE-B3E5-ECBCE7C7401A}");
  EXPECT_EQ(GUIDToString(IDestroyNotify::IID), "{E55338C1-631A-424D-ACF7-863C9D4CADA1}");
  EXPECT_EQ(GUIDToString(INotifyEvent::IID), "{A6435676-ACE3-4A28-8358-720CEA495FFA}");
}

}  // namespace
