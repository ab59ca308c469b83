#include "platform/OleAuto.h"
#include "platform/UStrings.h"

#include <gtest/gtest.h>

#include <cstring>
#include <thread>

namespace {

TEST(BSTR, LengthPrefixAndTerminator) {
  BSTR s = SysAllocStringLen(OleStr(u"ab\0cd"), 5);
  ASSERT_NE(s, nullptr);
  EXPECT_EQ(SysStringLen(s), 5u);
  EXPECT_EQ(s[5], 0);
  EXPECT_EQ(BSTRText(s), UString(u"ab\0cd", 5));
  std::uint32_t bytes;
  std::memcpy(&bytes, reinterpret_cast<char*>(s) - 4, 4);
  EXPECT_EQ(bytes, 10u);
  SysFreeString(s);
  EXPECT_EQ(SysStringLen(nullptr), 0u);
  SysFreeString(nullptr);
  BSTR blank = SysAllocStringLen(nullptr, 3);
  EXPECT_EQ(BSTRText(blank), UString(3, u'\0'));
  SysFreeString(blank);
}

TEST(GUIDText, ParsesAndFormatsRegistryForm) {
  auto g = ParseGUID(u"{2495f41e-7ffe-43cb-9347-0a44f6be6b0e}");
  ASSERT_TRUE(g);
  EXPECT_EQ(*g, MakeGUID("{2495F41E-7FFE-43CB-9347-0A44F6BE6B0E}"));
  EXPECT_EQ(GUIDToString(*g), "{2495F41E-7FFE-43CB-9347-0A44F6BE6B0E}");
  EXPECT_EQ(g->Data1, 0x2495F41Eu);
  EXPECT_EQ(g->Data4[7], 0x0E);
  for (const char* bad : {"", "{2495F41E-7FFE-43CB-9347-0A44F6BE6B0E", "{2495F41E_7FFE-43CB-9347-0A44F6BE6B0E}",
                          "{2495F41E-7FFE-43CB-9347-0A44F6BE6B0G}", "2495F41E-7FFE-43CB-9347-0A44F6BE6B0"})
    EXPECT_FALSE(ParseGUID(std::string_view(bad))) << bad;
}

ComPtr<IErrorInfo> MakeInfo(const char16_t* description) {
  ComPtr<ICreateErrorInfo> create;
  EXPECT_EQ(CreateErrorInfo(create.Put()), S_OK);
  create->SetDescription(OleStr(description));
  return create.As<IErrorInfo>();
}

UString DescriptionOf(IErrorInfo* info) {
  BStr d;
  info->GetDescription(d.Put());
  return d.Text();
}

TEST(ThreadErrorInfo, SetReplacesAndGetTakesOver) {
  SetErrorInfo(0, nullptr);
  IErrorInfo* out = nullptr;
  EXPECT_EQ(GetErrorInfo(0, &out), S_FALSE);
  EXPECT_EQ(out, nullptr);

  ComPtr<IErrorInfo> first = MakeInfo(u"first");
  ComPtr<IErrorInfo> second = MakeInfo(u"second");
  EXPECT_EQ(SetErrorInfo(0, first.Get()), S_OK);
  EXPECT_EQ(first->AddRef(), 3);  // ours, the thread's and this one
  first->Release();
  EXPECT_EQ(SetErrorInfo(0, second.Get()), S_OK);
  EXPECT_EQ(first->AddRef(), 2) << "the replaced information is released";
  first->Release();

  ASSERT_EQ(GetErrorInfo(0, &out), S_OK);
  auto taken = ComPtr<IErrorInfo>::Attach(out);
  EXPECT_EQ(DescriptionOf(taken.Get()), u"second");
  EXPECT_EQ(GetErrorInfo(0, &out), S_FALSE) << "taking it clears it for the thread";
  EXPECT_EQ(SetErrorInfo(1, nullptr), E_INVALIDARG);
}

TEST(ThreadErrorInfo, BelongsToItsThread) {
  SetErrorInfo(0, MakeInfo(u"main").Get());
  bool otherSawNone = false;
  std::thread([&] {
    IErrorInfo* out = nullptr;
    otherSawNone = GetErrorInfo(0, &out) == S_FALSE;
    SetErrorInfo(0, MakeInfo(u"other").Get());  // released when the thread ends
  }).join();
  EXPECT_TRUE(otherSawNone);
  IErrorInfo* out = nullptr;
  ASSERT_EQ(GetErrorInfo(0, &out), S_OK);
  EXPECT_EQ(DescriptionOf(ComPtr<IErrorInfo>::Attach(out).Get()), u"main");
}

}  // namespace
