// Failure switches of the reference host and the one entry point every host method runs
// through. Tests and the command line use the switches to stage an old host, a host
// without some interface, or a host call that fails.
#pragma once

#include <cstdint>
#include <map>
#include <new>
#include <set>
#include <string>
#include <string_view>

#include "platform/ComBase.h"
#include "platform/SysUtils.h"
#include "platform/UStrings.h"

// The version the host reports by default: 1.04.019.
constexpr std::int32_t DefaultHostVersion = 104019;
// The error source of failures the host reports itself.
inline constexpr char16_t kHostErrorSource[] = u"zorvik-host";
// OLE DB's code for a statement with errors, used for SQL the host does not understand.
constexpr HRESULT DB_E_ERRORSINCOMMAND = HResultFromCode(0x80040E14u);

// A failure of a host method, with the HRESULT it reports.
class EHostError : public EOleSysError {
 public:
  EHostError(HRESULT code, UString message) : EOleSysError(std::move(message), code, 0) {}
  Z_EXCEPTION_BODY(EHostError)
};

// One planned failure: the nth call of a method fails with code and error information.
struct THostFault {
  std::string Method;
  int Nth = 1;  // 1 is the next call; 0 fails every call.
  HRESULT Code = E_FAIL;
  UString Source = kHostErrorSource;
  UString Description;
};

class THostFaults {
 public:
  // The value ICore.GetVersion reports.
  std::int32_t Version = DefaultHostVersion;

  // Names of the interfaces the core may withhold.
  static bool IsInterfaceName(std::string_view name);
  // Makes the core answer E_NOINTERFACE for the interface. Raises for an unknown name.
  void Withhold(std::string_view interfaceName);
  bool IsWithheld(std::string_view interfaceName) const { return withheld_.count(std::string(interfaceName)) != 0; }

  // Plans a failure; counting starts with the method's next call.
  void FailCall(THostFault fault);
  // Counts a call of method and returns the fault when this call must fail.
  const THostFault* Hit(std::string_view method);
  // How often method was called.
  int Calls(std::string_view method) const;
  // Every method called so far, with how often.
  const std::map<std::string, int, std::less<>>& AllCalls() const { return calls_; }

  // Reads "METHOD:N:CODE[:DESCRIPTION]"; CODE is decimal or hexadecimal with 0x. Raises
  // EConvertError naming what is wrong.
  static THostFault ParseFault(std::string_view text);

 private:
  struct Planned {
    THostFault Fault;
    int Base = 0;  // calls made before the fault was planned
  };
  std::set<std::string> withheld_;
  std::map<std::string, int, std::less<>> calls_;
  std::multimap<std::string, Planned, std::less<>> planned_;
};

// Sets the thread's error information and returns code (E_FAIL for a non-failure code).
HRESULT SetHostError(HRESULT code, UStringView source, UStringView description) noexcept;
HRESULT SetHostError(const Exception& e) noexcept;

// What a failed call left: its code and the thread's error information.
struct TCallError {
  HRESULT Code = S_OK;
  UString Source;
  UString Description;
  GUID Guid{};
};
// Takes over the thread's error information for a call that returned code.
TCallError TakeCallError(HRESULT code);

// The common entry of every host method: counts the call, applies a planned failure, runs
// body and turns anything it raises into an HRESULT with error information.
template <class F>
HRESULT HostCall(THostFaults& faults, std::string_view method, F&& body) noexcept {
  try {
    if (const THostFault* f = faults.Hit(method)) return SetHostError(f->Code, f->Source, f->Description);
    body();
    return S_OK;
  } catch (const Exception& e) {
    return SetHostError(e);
  } catch (const std::bad_alloc&) {
    return SetHostError(E_OUTOFMEMORY, kHostErrorSource, u"Out of memory");
  } catch (const std::exception& e) {
    return SetHostError(E_FAIL, kHostErrorSource, Utf8ToUString(e.what()));
  } catch (...) {
    return SetHostError(E_UNEXPECTED, kHostErrorSource, u"Unexpected failure");
  }
}

// Declares a slot that the host does not implement.
#define Z_HOST_RESERVED(n) \
  HRESULT ZSTDCALL Reserved##n() override { return E_NOTIMPL; }
