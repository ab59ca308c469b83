#include "platform/SysUtils.h"

#include "platform/Kernel.h"

#include <utility>

const char* Exception::what() const noexcept {
  try {
    what_ = UStringToUtf8(Message);
  } catch (...) {
    return "exception";
  }
  return what_.c_str();
}

EOleSysError::EOleSysError(UString message, HRESULT code, std::int32_t helpContext)
    : EOleError(std::move(message), helpContext), ErrorCode(code) {
  if (Message.empty()) {
    Message = SysErrorMessage(static_cast<std::uint32_t>(code));
    if (Message.empty()) Message = Format(u"OLE error %.8x", {static_cast<std::uint32_t>(code)});
  }
}

namespace {
UString TrimTrailingStops(UString s) {
  while (!s.empty() && (s.back() <= 0x20 || s.back() == u'.')) s.pop_back();
  return s;
}
}  // namespace

EOleException::EOleException(UString message, HRESULT code, UString source, UString helpFile,
                             std::int32_t helpContext)
    : EOleSysError(TrimTrailingStops(std::move(message)), code, helpContext),
      Source(std::move(source)),
      HelpFile(std::move(helpFile)) {}

namespace {

[[noreturn]] void FormatError(UStringView fmt) {
  throw EConvertError(u"Format '" + UString(fmt) + u"' invalid or incompatible with argument");
}

void Pad(UString& out, const UString& piece, bool left, int width) {
  int fill = width - static_cast<int>(piece.size());
  if (!left && fill > 0) out.append(std::size_t(fill), u' ');
  out += piece;
  if (left && fill > 0) out.append(std::size_t(fill), u' ');
}

}  // namespace

UString Format(UStringView fmt, std::initializer_list<FormatArg> args) {
  UString out;
  auto arg = args.begin();
  for (std::size_t i = 0; i < fmt.size(); ++i) {
    char16_t c = fmt[i];
    if (c != u'%') {
      out.push_back(c);
      continue;
    }
    if (++i >= fmt.size()) FormatError(fmt);
    if (fmt[i] == u'%') {
      out.push_back(u'%');
      continue;
    }
    bool left = false;
    if (fmt[i] == u'-') left = true, ++i;
    int width = 0, prec = -1;
    while (i < fmt.size() && fmt[i] >= u'0' && fmt[i] <= u'9') {
      width = width * 10 + (fmt[i++] - u'0');
      if (width > 4096) FormatError(fmt);
    }
    if (i < fmt.size() && fmt[i] == u'.') {
      prec = 0;
      ++i;
      while (i < fmt.size() && fmt[i] >= u'0' && fmt[i] <= u'9') {
        prec = prec * 10 + (fmt[i++] - u'0');
        if (prec > 4096) FormatError(fmt);
      }
    }
    if (i >= fmt.size() || arg == args.end()) FormatError(fmt);
    char16_t type = fmt[i];
    const FormatArg& a = *arg++;
    UString piece;
    switch (type) {
      case u's':
      case u'S':
        if (!a.IsText()) FormatError(fmt);
        piece = a.Text();
        if (prec >= 0 && piece.size() > std::size_t(prec)) piece.resize(std::size_t(prec));
        break;
      case u'd':
      case u'D':
      case u'u':
      case u'U':
      case u'x':
      case u'X': {
        if (a.IsText()) FormatError(fmt);
        std::int64_t v = a.Number();
        bool neg = false;
        if (type == u'd' || type == u'D') {
          neg = v < 0;
          piece = IntToStr(neg ? -v : v);
        } else if (type == u'u' || type == u'U') {
          piece = IntToStr(static_cast<std::uint32_t>(v));
        } else {
          piece = IntToHex(static_cast<std::uint32_t>(v), 1);
        }
        if (prec > 0 && piece.size() < std::size_t(prec)) piece.insert(0, std::size_t(prec) - piece.size(), u'0');
        if (neg) piece.insert(0, 1, u'-');
        break;
      }
      default:
        FormatError(fmt);
    }
    Pad(out, piece, left, width);
  }
  return out;
}

UString SysErrorMessage(std::uint32_t code) {
  if (UString system = SystemMessageText(code); !system.empty()) return system;
  // Win32 codes arrive either bare or wrapped as 0x8007xxxx.
  std::uint32_t win32 = (code & 0xFFFF0000u) == 0x80070000u ? (code & 0xFFFFu) : code;
  switch (code) {
    case 0x8000FFFFu: return u"Catastrophic failure";
    case 0x80004001u: return u"Not implemented";
    case 0x80004002u: return u"No such interface supported";
    case 0x80004003u: return u"Invalid pointer";
    case 0x80004004u: return u"Operation aborted";
    case 0x80004005u: return u"Unspecified error";
    case 0x80040154u: return u"Class not registered";
    case 0x800401F3u: return u"Invalid class string";
    case 0x80020009u: return u"Exception occurred";
    case 0x80020005u: return u"Type mismatch";
    default: break;
  }
  if (code != win32 || code < 0x10000u) {
    switch (win32) {
      case 0: return u"The operation completed successfully";
      case 1: return u"Incorrect function";
      case 2: return u"The system cannot find the file specified";
      case 3: return u"The system cannot find the path specified";
      case 4: return u"The system cannot open the file";
      case 5: return u"Access is denied";
      case 6: return u"The handle is invalid";
      case 8: return u"Not enough memory resources are available to process this command";
      case 14: return u"Not enough memory resources are available to complete this operation";
      case 15: return u"The system cannot find the drive specified";
      case 21: return u"The device is not ready";
      case 32: return u"The process cannot access the file because it is being used by another process";
      case 33: return u"The process cannot access the file because another process has locked a portion of the file";
      case 39: return u"The disk is full";
      case 53: return u"The network path was not found";
      case 80: return u"The file exists";
      case 87: return u"The parameter is incorrect";
      case 112: return u"There is not enough space on the disk";
      case 123: return u"The filename, directory name, or volume label syntax is incorrect";
      case 145: return u"The directory is not empty";
      case 183: return u"Cannot create a file when that file already exists";
      case 206: return u"The filename or extension is too long";
      case 267: return u"The directory name is invalid";
      case 1450: return u"Insufficient system resources exist to complete the requested service";
      default: break;
    }
  }
  return {};
}

void AssertionFailure(UStringView message, UStringView source, int line) {
  throw EAssertionFailed(Format(u"%s (%s, line %d)", {message, source, line}));
}
