// What only the project's own stand-in for the OLE run-time offers: a count of live
// strings and injected failures.
#include "platform/OleAuto.h"

#include <gtest/gtest.h>

namespace {

TEST(OleStandIn, EveryAllocatedStringIsCountedUntilFreed) {
  long before = OleLiveStringCount();
  BSTR a = SysAllocStringLen(u"abc", 3);
  BSTR b = SysAllocStringLen(nullptr, 0);
  EXPECT_EQ(OleLiveStringCount(), before + 2);
  SysFreeString(a);
  SysFreeString(b);
  SysFreeString(nullptr);
  EXPECT_EQ(OleLiveStringCount(), before);
}

TEST(ThreadErrorInfo, InjectedCreationFailure) {
  OleTestFailCreateErrorInfo(1);
  ICreateErrorInfo* c = reinterpret_cast<ICreateErrorInfo*>(1);
  EXPECT_EQ(CreateErrorInfo(&c), E_OUTOFMEMORY);
  EXPECT_EQ(c, nullptr);
  ComPtr<ICreateErrorInfo> ok;
  EXPECT_EQ(CreateErrorInfo(ok.Put()), S_OK);
}

}  // namespace
