#include "host/HostFaults.h"

#include <cerrno>
#include <cstdlib>

#include "platform/OleAuto.h"
#include "support/Helpers.h"

namespace {
constexpr std::string_view kInterfaceNames[] = {"IHostKernel", "IHostServer", "IApplicationWindows", "IMenuManager",
                                                "IHostIcons"};
}

bool THostFaults::IsInterfaceName(std::string_view name) {
  for (auto n : kInterfaceNames)
    if (n == name) return true;
  return false;
}

void THostFaults::Withhold(std::string_view interfaceName) {
  if (!IsInterfaceName(interfaceName))
    throw EConvertError(U("The host cannot withhold \"" + std::string(interfaceName) +
                          "\"; it withholds IHostKernel, IHostServer, IApplicationWindows, IMenuManager or IHostIcons."));
  withheld_.insert(std::string(interfaceName));
}

void THostFaults::FailCall(THostFault fault) {
  if (fault.Nth < 0) throw EConvertError(u"The call number of a planned failure cannot be negative.");
  if (Succeeded(fault.Code)) throw EConvertError(u"A planned failure needs a failure code.");
  int base = Calls(fault.Method);
  std::string method = fault.Method;
  planned_.emplace(std::move(method), Planned{std::move(fault), base});
}

const THostFault* THostFaults::Hit(std::string_view method) {
  auto it = calls_.find(method);
  if (it == calls_.end()) it = calls_.emplace(std::string(method), 0).first;
  int n = ++it->second;
  if (planned_.empty()) return nullptr;
  auto [lo, hi] = planned_.equal_range(method);
  for (auto p = lo; p != hi; ++p) {
    const Planned& pl = p->second;
    if (pl.Fault.Nth == 0 || n - pl.Base == pl.Fault.Nth) return &pl.Fault;
  }
  return nullptr;
}

int THostFaults::Calls(std::string_view method) const {
  auto it = calls_.find(method);
  return it == calls_.end() ? 0 : it->second;
}

THostFault THostFaults::ParseFault(std::string_view text) {
  auto bad = [&](const char* why) {
    return EConvertError(U("Bad failure switch \"" + std::string(text) + "\": " + why +
                           " (expected METHOD:N:CODE[:DESCRIPTION])."));
  };
  THostFault f;
  std::size_t a = text.find(':');
  if (a == 0 || a == std::string_view::npos) throw bad("no method name");
  std::size_t b = text.find(':', a + 1);
  if (b == std::string_view::npos) throw bad("no code");
  std::size_t c = text.find(':', b + 1);
  f.Method = std::string(text.substr(0, a));
  auto nth = TryStrToInt(U(text.substr(a + 1, b - a - 1)));
  if (!nth || *nth < 0) throw bad("the call number is not a whole number of 0 or more");
  f.Nth = *nth;
  std::string codeText(text.substr(b + 1, c == std::string_view::npos ? std::string_view::npos : c - b - 1));
  // Codes are written as unsigned hexadecimal; read them as 64 bits, then keep 32.
  char* end = nullptr;
  errno = 0;
  unsigned long long code = std::strtoull(codeText.c_str(), &end, 0);
  if (codeText.empty() || *end != '\0' || errno != 0 || code > 0xFFFFFFFFull) throw bad("the code is not a number");
  f.Code = static_cast<HRESULT>(static_cast<std::uint32_t>(code));
  if (Succeeded(f.Code)) throw bad("the code is not a failure code");
  f.Description = c == std::string_view::npos ? UString(u"Planned failure of " + U(f.Method)) : U(text.substr(c + 1));
  return f;
}

HRESULT SetHostError(HRESULT code, UStringView source, UStringView description) noexcept {
  if (Succeeded(code)) code = E_FAIL;
  try {
    ComPtr<ICreateErrorInfo> create;
    if (Failed(CreateErrorInfo(create.Put())) || !create) return code;
    UString s(source), d(description);
    create->SetSource(OleStr(s));
    create->SetDescription(OleStr(d));
    create->SetGUID(HResultFacility(code) == FACILITY_ITF ? PluginSystemErrorGUID : GUID_NULL);
    if (auto info = create.As<IErrorInfo>()) SetErrorInfo(0, info.Get());
  } catch (...) {
  }
  return code;
}

HRESULT SetHostError(const Exception& e) noexcept {
  HRESULT code = ExceptionErrorCode(e);
  if (auto* ole = dynamic_cast<const EOleException*>(&e)) return SetHostError(code, ole->Source, e.Message);
  return SetHostError(code, kHostErrorSource, e.Message);
}

TCallError TakeCallError(HRESULT code) {
  TErrorDetails d = TakeThreadErrorInfo();
  return {code, std::move(d.source), std::move(d.description), d.guid};
}
