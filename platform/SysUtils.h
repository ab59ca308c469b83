// The run-time's exception classes, Format and system error texts.
//
// Every exception class knows its own class name, because error codes are derived from
// it. Classes are declared with Z_DECLARE_EXCEPTION so that the name, raising a copy of the
// exact class and cloning stay in step.
#pragma once

#include <cstdint>
#include <initializer_list>
#include <memory>
#include <string>
#include <variant>

#include "platform/ComBase.h"
#include "platform/UStrings.h"

// The root of every object that can name its class.
class TObject {
 public:
  virtual ~TObject() = default;
  virtual UString ClassName() const { return u"TObject"; }
  // Turns an exception that leaves one of the object's interface methods into that
  // method's HRESULT; e is null when what was raised is not an Exception.
  virtual HRESULT SafeCallException(const class Exception* e) noexcept { return E_UNEXPECTED; }
};

class Exception : public TObject, public std::exception {
 public:
  explicit Exception(UString message = {}, std::int32_t helpContext = 0)
      : Message(std::move(message)), HelpContext(helpContext) {}

  UString ClassName() const override { return u"Exception"; }
  // Throws a copy of this object as its own most derived class.
  [[noreturn]] virtual void Raise() const { throw *this; }
  virtual std::unique_ptr<Exception> Clone() const { return std::make_unique<Exception>(*this); }
  // The message as UTF-8.
  const char* what() const noexcept override;

  UString Message;
  std::int32_t HelpContext = 0;

 private:
  mutable std::string what_;
};

#define Z_EXCEPTION_BODY(Name)                                                          \
  UString ClassName() const override { return u"" #Name; }                             \
  [[noreturn]] void Raise() const override { throw *this; }                            \
  std::unique_ptr<Exception> Clone() const override { return std::make_unique<Name>(*this); }

// Declares a class that adds nothing to its base but its name.
#define Z_DECLARE_EXCEPTION(Name, Base) \
  class Name : public Base {            \
   public:                              \
    using Base::Base;                   \
    Z_EXCEPTION_BODY(Name)              \
  };

Z_DECLARE_EXCEPTION(EOleError, Exception)

class EOleSysError : public EOleError {
 public:
  // An empty message becomes the system's text for code, or "OLE error %.8x".
  EOleSysError(UString message, HRESULT code, std::int32_t helpContext);
  Z_EXCEPTION_BODY(EOleSysError)
  HRESULT ErrorCode = 0;
};

class EOleException : public EOleSysError {
 public:
  // Trailing characters up to U+0020 and trailing full stops leave the message first.
  EOleException(UString message, HRESULT code, UString source, UString helpFile,
                std::int32_t helpContext);
  Z_EXCEPTION_BODY(EOleException)
  UString Source;
  UString HelpFile;
};

class EOSError : public Exception {
 public:
  explicit EOSError(UString message = {}) : Exception(std::move(message)) {}
  EOSError(UString message, std::uint32_t code) : Exception(std::move(message)), ErrorCode(code) {}
  Z_EXCEPTION_BODY(EOSError)
  std::uint32_t ErrorCode = 0;
};

// The run-time's own classes. Their codes are known to peers by name.
Z_DECLARE_EXCEPTION(EHeapException, Exception)
Z_DECLARE_EXCEPTION(EOutOfMemory, EHeapException)
Z_DECLARE_EXCEPTION(EInvalidPointer, EHeapException)
Z_DECLARE_EXCEPTION(EOutOfResources, EOutOfMemory)
Z_DECLARE_EXCEPTION(EInOutError, Exception)
Z_DECLARE_EXCEPTION(EFileNotFoundException, EInOutError)
Z_DECLARE_EXCEPTION(EDirectoryNotFoundException, EInOutError)
Z_DECLARE_EXCEPTION(EPathTooLongException, EInOutError)
Z_DECLARE_EXCEPTION(EAbort, Exception)
Z_DECLARE_EXCEPTION(EAssertionFailed, Exception)
Z_DECLARE_EXCEPTION(EAbstractError, Exception)
Z_DECLARE_EXCEPTION(EConvertError, Exception)
Z_DECLARE_EXCEPTION(EInvalidCast, Exception)
Z_DECLARE_EXCEPTION(EIntfCastError, Exception)
Z_DECLARE_EXCEPTION(EVariantError, Exception)
Z_DECLARE_EXCEPTION(EPackageError, Exception)
Z_DECLARE_EXCEPTION(EMonitor, Exception)
Z_DECLARE_EXCEPTION(EMonitorLockException, Exception)
Z_DECLARE_EXCEPTION(ENoMonitorSupportException, Exception)
Z_DECLARE_EXCEPTION(EProgrammerNotFound, Exception)
Z_DECLARE_EXCEPTION(ENotSupportedException, Exception)
Z_DECLARE_EXCEPTION(EArgumentException, Exception)
Z_DECLARE_EXCEPTION(EArgumentOutOfRangeException, EArgumentException)
Z_DECLARE_EXCEPTION(EStreamError, Exception)
Z_DECLARE_EXCEPTION(EFileStreamError, EStreamError)
Z_DECLARE_EXCEPTION(EFCreateError, EFileStreamError)
Z_DECLARE_EXCEPTION(EFOpenError, EFileStreamError)
Z_DECLARE_EXCEPTION(EFilerError, EStreamError)
Z_DECLARE_EXCEPTION(EReadError, EFilerError)
Z_DECLARE_EXCEPTION(EWriteError, EFilerError)
Z_DECLARE_EXCEPTION(EClassNotFound, EFilerError)
Z_DECLARE_EXCEPTION(EMethodNotFound, EFilerError)
Z_DECLARE_EXCEPTION(EInvalidImage, EFilerError)
Z_DECLARE_EXCEPTION(EResNotFound, Exception)
Z_DECLARE_EXCEPTION(EListError, Exception)
Z_DECLARE_EXCEPTION(EBitsError, Exception)
Z_DECLARE_EXCEPTION(EStringListError, Exception)
Z_DECLARE_EXCEPTION(EComponentError, Exception)
Z_DECLARE_EXCEPTION(EParserError, Exception)
Z_DECLARE_EXCEPTION(EInvalidOperation, Exception)
Z_DECLARE_EXCEPTION(EInvalidContainer, Exception)
Z_DECLARE_EXCEPTION(EInvalidInsert, Exception)
Z_DECLARE_EXCEPTION(EPropReadOnly, Exception)
Z_DECLARE_EXCEPTION(EPropWriteOnly, Exception)
Z_DECLARE_EXCEPTION(ENoConstructException, Exception)
// Raised by the generic safe-call check when no failure hook is installed.
Z_DECLARE_EXCEPTION(ESafecallException, Exception)

// One argument of Format: a whole number or a text.
class FormatArg {
 public:
  FormatArg(int v) : v_(std::int64_t(v)) {}
  FormatArg(long v) : v_(std::int64_t(v)) {}
  FormatArg(long long v) : v_(std::int64_t(v)) {}
  FormatArg(unsigned v) : v_(std::int64_t(v)) {}
  FormatArg(unsigned long v) : v_(std::int64_t(v)) {}
  FormatArg(unsigned long long v) : v_(std::int64_t(v)) {}
  FormatArg(const char16_t* s) : v_(UString(s)) {}
  FormatArg(UStringView s) : v_(UString(s)) {}
  FormatArg(const UString& s) : v_(s) {}

  bool IsText() const { return std::holds_alternative<UString>(v_); }
  std::int64_t Number() const { return std::get<std::int64_t>(v_); }
  const UString& Text() const { return std::get<UString>(v_); }

 private:
  std::variant<std::int64_t, UString> v_;
};

// Formats by the run-time's rules: %s text, %d signed decimal, %u unsigned decimal, %x
// upper-case hexadecimal of the 32-bit value, with an optional "-", width and
// ".precision" (minimum digits for numbers, maximum characters for text), and %% for a
// percent sign. A directive that does not fit its argument raises EConvertError.
UString Format(UStringView fmt, std::initializer_list<FormatArg> args);

// The system's message text for a COM or Windows code, without a trailing full stop or
// line break; empty when the system has none.
UString SysErrorMessage(std::uint32_t code);

// Raises EAssertionFailed with "%s (%s, line %d)".
[[noreturn]] void AssertionFailure(UStringView message, UStringView source, int line);
