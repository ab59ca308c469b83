// Error reporting when the OLE run-time refuses to create error information; only the
// project's own stand-in run-time can be made to refuse.
#include "support/Helpers.h"

#include <gtest/gtest.h>

namespace {

class TProbe : public TCheckedInterfacedObject {
 public:
  UString ClassName() const override { return u"TProbe"; }
};

TEST(SafeCallWithoutErrorInfo, TheCodeAloneGoesOut) {
  SetErrorInfo(0, nullptr);
  auto* probe = NewObject<TProbe>();
  probe->AddRef();
  OleTestFailCreateErrorInfo(1);
  HRESULT hr = SafeCall(*probe, [] { throw EConvertError(u"lost"); });
  OleTestFailCreateErrorInfo(0);
  EXPECT_EQ(hr, E_UNEXPECTED);
  IErrorInfo* info = nullptr;
  EXPECT_EQ(GetErrorInfo(0, &info), S_FALSE);
  probe->Release();
}

}  // namespace
