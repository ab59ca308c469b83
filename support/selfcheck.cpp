// zorvik-selfcheck: exercises the support library end to end and prints what it saw.
// Exits non-zero when a check fails.
#include <cstdio>

#include "support/CRC16.h"
#include "support/Helpers.h"
#include "support/uCommFunc.h"

namespace {
class TProbe : public TCheckedInterfacedObject {
 public:
  UString ClassName() const override { return u"TProbe"; }
};

int failures = 0;
void Check(bool ok, const char* what) {
  std::printf("%-60s %s\n", what, ok ? "ok" : "FAILED");
  if (!ok) ++failures;
}
}  // namespace

int main() {
  Check(CalcCRC16("123456789", 9) == 0x31C3, "CRC-16/XMODEM check value of 123456789");
  Check(ClassErrorCodeOf(u"EConvertError") == static_cast<HRESULT>(0x800428DFu), "code of EConvertError");
  Check(QuoteSQLLiteral(u"O'Brien") == u"'O\"Brien'", "quoting of O'Brien");

  TProbe* probe = NewObject<TProbe>();
  HRESULT hr = SafeCall(*probe, [] { throw EConvertError(u"bad number"); });
  std::unique_ptr<Exception> back = ExceptionFromErrorCode(hr);
  Check(hr == static_cast<HRESULT>(0x800428DFu) && back->ClassName() == u"EConvertError" &&
            back->Message == u"bad number",
        "EConvertError out as an HRESULT and back in as an exception");
  FreeObject(probe);
  std::printf("%s\n", failures ? "self-check FAILED" : "self-check passed");
  return failures ? 1 : 0;
}
