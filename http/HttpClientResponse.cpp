// The response half of THTTPClient: status and header lines, bodies and cookies.
#include <algorithm>
#include <new>

#include "http/HttpClient.h"
#include "http/HttpClientText.h"
#include "platform/Locale.h"

using namespace http_text;

namespace {

// A decimal length: -1 when the text is not a plain decimal number, -2 when it is one but
// beyond MaxBodySize.
std::int64_t ParseLength(std::string_view s) {
  s = TrimBytes(s);
  if (s.empty()) return -1;
  std::int64_t v = 0;
  for (char c : s) {
    if (c < '0' || c > '9') return -1;
    v = v * 10 + (c - '0');
    if (v > THTTPClient::MaxBodySize) return -2;
  }
  return v;
}

// Lengths beyond MaxBodySize come back as -2; text that is no hexadecimal number as -1.
std::int64_t ParseChunkSize(std::string_view s) {
  std::size_t blank = s.find(' ');
  if (blank != std::string_view::npos) s = s.substr(0, blank);
  std::size_t semi = s.find(';');
  if (semi != std::string_view::npos) s = s.substr(0, semi);
  s = TrimBytes(s);
  if (s.empty()) return -1;
  std::int64_t v = 0;
  for (char c : s) {
    int d = HexDigit(c);
    if (d < 0) return -1;
    v = v * 16 + d;
    if (v > THTTPClient::MaxBodySize) return -2;
  }
  return v;
}

}  // namespace

// Reads one status or header line within the line and block limits.
bool THTTPClient::ReadHeaderLine(std::string& line) {
  line = Sock.ReadLine();
  if (Sock.LastError() != 0) return false;
  headerBytes_ += line.size() + 2;
  if (headerBytes_ > MaxHeaderBlock) return Fail(WSAEMSGSIZE);
  return true;
}

// Reads the header lines of an interim answer up to its empty line.
bool THTTPClient::SkipInterimHeaders() {
  std::string line;
  do {
    if (!ReadHeaderLine(line)) return false;
  } while (!line.empty());
  return true;
}

// Reads the status line, passing over interim 1xx answers with their header lines. A
// status line already read while waiting for 100-continue is taken as it is. A first line
// that is no status line starts the body.
bool THTTPClient::ReadStatusLine(const std::string& earlyStatus) {
  if (!earlyStatus.empty()) {
    Headers.push_back(AnsiToUString(earlyStatus));
    return true;
  }
  std::string line;
  for (;;) {
    if (!ReadHeaderLine(line)) return false;
    if (line.empty()) continue;
    if (Upper(line.substr(0, 5)) != "HTTP/") {
      Document.WriteBuffer(line.data(), line.size());
      Document.WriteBuffer("\r\n", 2);
      ResultCode = 0;
      return true;
    }
    Headers.push_back(AnsiToUString(line));
    ParseStatusLine(line);
    if (ResultCode < 100 || ResultCode > 199) return true;
    Headers.clear();
    if (!SkipInterimHeaders()) return false;
  }
}

// Reads the header lines up to the empty line, joins folded lines and notes the body's
// length, its transfer coding, the media type and whether the server closes.
bool THTTPClient::ReadResponseHeaders(bool viaProxy, TResponseInfo& info) {
  std::vector<std::string> joined;
  std::string line;
  for (;;) {
    if (!ReadHeaderLine(line)) return false;
    if (line.empty()) break;
    std::replace(line.begin(), line.end(), '\t', ' ');
    char first = line[0];
    if (!joined.empty() && (first == ' ' || first == '"' || first == ':' || first == '=')) {
      joined.back() += ' ';
      joined.back() += TrimBytes(line);
    } else {
      joined.push_back(std::move(line));
    }
  }
  bool tooLarge = false;
  for (std::string& h : joined) {
    while (!h.empty() && std::uint8_t(h.back()) <= ' ') h.pop_back();
    Headers.push_back(AnsiToUString(h));
    const std::string upper = Upper(h);
    const std::size_t colon = h.find(':');
    const std::string_view value =
        colon == std::string::npos ? std::string_view() : TrimBytes(std::string_view(h).substr(colon + 1));
    if (upper.starts_with("CONTENT-LENGTH:")) {
      info.size = ParseLength(value);
      tooLarge = info.size == -2;
      if (info.size >= 0 && info.mode == TTransferMode::tmUnknown) info.mode = TTransferMode::tmIdentity;
    } else if (upper.starts_with("CONTENT-TYPE:")) {
      MimeType = AnsiToUString(value);
    } else if (upper.starts_with("TRANSFER-ENCODING:")) {
      if (Upper(value).find("CHUNKED") != std::string::npos) info.mode = TTransferMode::tmChunked;
    } else if (upper.starts_with(viaProxy ? "PROXY-CONNECTION:" : "CONNECTION:")) {
      if (Upper(value).find("CLOSE") != std::string::npos) info.toClose = true;
    }
  }
  // A length beyond what Document can hold fails now rather than being read to the close.
  if (tooLarge && info.mode != TTransferMode::tmChunked) return Fail(WSAENOBUFS);
  return true;
}

void THTTPClient::ParseStatusLine(const std::string& line) {
  UString rest = Trim(RightOf(AnsiToUString(line), u" "));
  auto code = TryStrToInt(Trim(LeftOf(rest, u" ")));
  ResultCode = code ? *code : 0;
  UString reason = Trim(RightOf(rest, u" "));
  ResultString = reason == rest ? UString() : reason;
}

bool THTTPClient::ReadBodyToClose() {
  auto& bytes = Document.Bytes();
  constexpr std::size_t kChunk = 65536;
  for (;;) {
    std::size_t cur = bytes.size();
    if (static_cast<std::int64_t>(cur + kChunk) > MaxBodySize) return Fail(WSAENOBUFS);
    try {
      bytes.resize(cur + kChunk);
    } catch (const std::bad_alloc&) {
      return Fail(WSAENOBUFS);
    }
    std::size_t got = Sock.ReadSome(bytes.data() + cur, kChunk);
    bytes.resize(cur + got);
    if (got == 0) break;
  }
  Document.Seek(0, TSeekOrigin::soEnd);
  if (Sock.LastError() == WSAECONNRESET) {
    Sock.ResetLastError();
    return true;
  }
  return false;
}

bool THTTPClient::ReadBodyByLength(std::int64_t size) {
  if (size < 1) return true;
  DownloadSize = static_cast<std::int32_t>(size);
  return ReadBytes(size, true);
}

// Appends size bytes from the connection to Document. With exactReserve the buffer is
// sized once for the whole body, so a body of known length is held exactly once.
bool THTTPClient::ReadBytes(std::int64_t size, bool exactReserve) {
  auto& bytes = Document.Bytes();
  std::size_t cur = bytes.size();
  if (static_cast<std::int64_t>(cur) + size > MaxBodySize) return Fail(WSAENOBUFS);
  const std::size_t end = cur + static_cast<std::size_t>(size);
  try {
    if (bytes.capacity() < end) bytes.reserve(exactReserve ? end : std::max(end, bytes.capacity() * 2));
  } catch (const std::bad_alloc&) {
    return Fail(WSAENOBUFS);
  } catch (const std::length_error&) {
    return Fail(WSAENOBUFS);
  }
  bool ok = true;
  while (cur < end) {
    std::size_t n = std::min<std::size_t>(end - cur, 65536);
    bytes.resize(cur + n);
    std::size_t got = Sock.ReadSome(bytes.data() + cur, n);
    cur += got;
    if (got == 0) {
      ok = false;
      break;
    }
  }
  bytes.resize(cur);
  Document.Seek(0, TSeekOrigin::soEnd);
  return ok;
}

bool THTTPClient::ReadBodyChunked() {
  constexpr int kMaxBlankLines = 16;
  for (;;) {
    std::string line;
    int blanks = 0;
    do {
      line = Sock.ReadLine();
      if (Sock.LastError() != 0) return false;
      if (line.empty() && ++blanks > kMaxBlankLines) return Fail(WSAEPROTO);
    } while (line.empty());
    std::int64_t size = ParseChunkSize(line);
    if (size == -1) return Fail(WSAEPROTO);
    if (size == -2) return Fail(WSAENOBUFS);
    if (size == 0) break;
    if (!ReadBytes(size, false)) return false;
  }
  return Sock.LastError() == 0;
}

void THTTPClient::CollectCookies() {
  for (const UString& line : Headers) {
    if (!StartsWith(LowerCaseAscii(line), u"set-cookie:")) continue;
    UString text = Trim(LeftOf(RightOf(line, u":"), u";"));
    UString name = Trim(LeftOf(text, u"=")), value = Trim(RightOf(text, u"="));
    UString entry = name + u"=" + value;
    bool replaced = false;
    for (UString& c : Cookies) {
      if (LeftOf(c, u"=") == name) {
        c = entry;
        replaced = true;
        break;
      }
    }
    if (!replaced) Cookies.push_back(entry);
  }
}
