// Exception codes derived from class names, the translation between exceptions and
// HRESULTs with error information, and reference-counted objects that detect misuse.
#pragma once

#include <cstdint>
#include <initializer_list>
#include <memory>

#include "platform/ComBase.h"
#include "platform/InterfacedObject.h"
#include "platform/OleAuto.h"
#include "platform/SysUtils.h"
#include "support/CRC16.h"

// The error-information GUID of every code of facility 4.
constexpr GUID PluginSystemErrorGUID = MakeGUID("{43B2F1E1-E897-4584-A92A-06AE75DF834D}");
// Prefix of the error source; the failing object's class name follows.
inline constexpr char16_t kErrorSourcePrefix[] = u"pluginsystem.";

// 0x80040000 OR the CRC-16 of the class name.
inline HRESULT ClassErrorCodeOf(UStringView className) {
  return static_cast<HRESULT>(0x80040000u | StrCRC16(className));
}

// The base of the module's own exception classes; its code comes from its class name.
class EBaseException : public EOleSysError {
 public:
  // Selects the construction that rebuilds a class from a failed host call.
  struct Rebuild {};
  // Selects the construction that takes the code from the given class name.
  struct ClassTag {};

  // Constructs with message and the class's own code, help context 0.
  explicit EBaseException(UString message)
      : EBaseException(ClassTag{}, u"EBaseException", std::move(message)) {}
  // Formats fmt with args first.
  EBaseException(UStringView fmt, std::initializer_list<FormatArg> args)
      : EBaseException(Format(fmt, args)) {}
  // The plain construction: message, code and help context as given.
  EBaseException(Rebuild, UString message, HRESULT code, std::int32_t helpContext)
      : EOleSysError(std::move(message), code, helpContext) {}

  HRESULT ClassErrorCode() const { return ClassErrorCodeOf(ClassName()); }
  Z_EXCEPTION_BODY(EBaseException)

 protected:
  EBaseException(ClassTag, UStringView className, UString message)
      : EOleSysError(std::move(message), ClassErrorCodeOf(className), 0) {}
};

// Declares a descendant of EBaseException whose code follows from its own name.
#define Z_DECLARE_BASE_EXCEPTION(Name, Base)                                            \
  class Name : public Base {                                                            \
   public:                                                                              \
    explicit Name(UString message) : Base(ClassTag{}, u"" #Name, std::move(message)) {} \
    Name(UStringView fmt, std::initializer_list<FormatArg> args) : Name(Format(fmt, args)) {} \
    Name(EBaseException::Rebuild r, UString message, HRESULT code, std::int32_t helpContext) \
        : Base(r, std::move(message), code, helpContext) {}                              \
    Z_EXCEPTION_BODY(Name)                                                              \
                                                                                        \
   protected:                                                                           \
    Name(ClassTag t, UStringView className, UString message)                            \
        : Base(t, className, std::move(message)) {}                                     \
  };

Z_DECLARE_BASE_EXCEPTION(EInvalidCoreVersion, EBaseException)
Z_DECLARE_BASE_EXCEPTION(ECheckedInterfacedObjectError, EBaseException)
Z_DECLARE_BASE_EXCEPTION(ECheckedInterfacedObjectDeleteError, ECheckedInterfacedObjectError)
Z_DECLARE_BASE_EXCEPTION(ECheckedInterfacedObjectDoubleFreeError, ECheckedInterfacedObjectError)
Z_DECLARE_BASE_EXCEPTION(ECheckedInterfacedObjectUseDeletedError, ECheckedInterfacedObjectError)

// What the thread's error information held.
struct TErrorDetails {
  UString source, description, helpFile;
  std::int32_t helpContext = 0;
  GUID guid{};
};
// Takes over the thread's error information, clearing it for the thread; all empty when
// there is none.
TErrorDetails TakeThreadErrorInfo();

// The HRESULT that stands for e.
HRESULT ExceptionErrorCode(const Exception& e);
// Sets the thread's error information for e, raised by a method of obj, and returns its
// HRESULT. e is null when what was raised is not an Exception.
HRESULT ExceptionToHResult(const TObject& obj, const Exception* e) noexcept;
// Builds the exception that a failed HRESULT names, taking over the thread's error
// information. The caller owns the result.
std::unique_ptr<Exception> ExceptionFromErrorCode(HRESULT code);
// The failure hook: raises ExceptionFromErrorCode(code).
[[noreturn]] void SafeCallErrorHandler(HRESULT code, void* address);

// A reference-counted object that refuses misuse: destruction while interface references
// are held, a second destruction, and a new reference to a destroyed object. Each raises
// an ECheckedInterfacedObjectError whose message names the object by its instance name.
class TCheckedInterfacedObject : public TInterfacedObject {
 public:
  UString ClassName() const override { return u"TCheckedInterfacedObject"; }

  ComULong ZSTDCALL AddRef() override;
  void AfterConstruction() override;
  void BeforeDestruction() override;
  HRESULT SafeCallException(const Exception* e) noexcept override { return ExceptionToHResult(*this, e); }

  // "[$" + address as hexadecimal + "] " + class name, at most 99 characters.
  const UString& InstanceName() const { return FInstanceName; }

 protected:
  TCheckedInterfacedObject() = default;

 private:
  void SetInstanceName();
  UString FInstanceName;
};
