#include "http/HttpClient.h"

#include <cstring>
#include <new>

#include "platform/Locale.h"

namespace {

UString LeftOf(UStringView s, UStringView what) {
  std::size_t p = s.find(what);
  return UString(p == UStringView::npos ? s : s.substr(0, p));
}

UString RightOf(UStringView s, UStringView what) {
  std::size_t p = s.find(what);
  return UString(p == UStringView::npos ? s : s.substr(p + what.size()));
}

bool StartsWith(UStringView s, UStringView prefix) { return s.substr(0, prefix.size()) == prefix; }

std::string Base64(std::string_view in) {
  static const char kAlphabet[] = "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789+/";
  std::string out;
  out.reserve((in.size() + 2) / 3 * 4);
  std::size_t i = 0;
  for (; i + 2 < in.size(); i += 3) {
    std::uint32_t v = std::uint8_t(in[i]) << 16 | std::uint8_t(in[i + 1]) << 8 | std::uint8_t(in[i + 2]);
    out += kAlphabet[v >> 18];
    out += kAlphabet[(v >> 12) & 63];
    out += kAlphabet[(v >> 6) & 63];
    out += kAlphabet[v & 63];
  }
  if (i < in.size()) {
    std::uint32_t v = std::uint8_t(in[i]) << 16;
    if (i + 1 < in.size()) v |= std::uint8_t(in[i + 1]) << 8;
    out += kAlphabet[v >> 18];
    out += kAlphabet[(v >> 12) & 63];
    out += i + 1 < in.size() ? kAlphabet[(v >> 6) & 63] : '=';
    out += '=';
  }
  return out;
}

int HexDigit(char c) {
  if (c >= '0' && c <= '9') return c - '0';
  if (c >= 'a' && c <= 'f') return c - 'a' + 10;
  if (c >= 'A' && c <= 'F') return c - 'A' + 10;
  return -1;
}

std::string Ansi(UStringView s) { return UStringToAnsi(s); }

std::string Upper(std::string_view s) {
  std::string r(s);
  for (char& c : r)
    if (c >= 'a' && c <= 'z') c = char(c - 'a' + 'A');
  return r;
}

std::string_view TrimBytes(std::string_view s) {
  while (!s.empty() && std::uint8_t(s.front()) <= ' ') s.remove_prefix(1);
  while (!s.empty() && std::uint8_t(s.back()) <= ' ') s.remove_suffix(1);
  return s;
}

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

UString BracketIPv6(const UString& host) { return host.find(u':') != UString::npos ? u"[" + host + u"]" : host; }

}  // namespace

THTTPClient::THTTPClient() {
  Sock.MaxLineLength = MaxLineLength;
  Sock.SizeRecvBuffer = 65536;
  Sock.SizeSendBuffer = 65536;
  ResetDocument();
}

THTTPClient::~THTTPClient() { Sock.CloseSocket(); }

void THTTPClient::ResetDocument() {
  RangeStart = 0;
  RangeEnd = 0;
  Document.Clear();
  Headers.clear();
  MimeType = u"text/html";
}

TURLParts THTTPClient::SplitURL(UStringView URL) {
  TURLParts r;
  UString rest;
  if (URL.find(u"://") != UStringView::npos) {
    r.Scheme = LeftOf(URL, u"://");
    rest = RightOf(URL, u"://");
  } else {
    rest = UString(URL);
  }
  UString scheme = UpperCaseAscii(r.Scheme);
  if (scheme == u"HTTPS") r.Port = u"443";
  else if (scheme == u"FTP") r.Port = u"21";

  std::size_t at = rest.find(u'@'), slash = rest.find(u'/');
  if (at != UString::npos && (slash == UString::npos || at < slash)) {
    UString credentials = rest.substr(0, at);
    rest = rest.substr(at + 1);
    r.User = LeftOf(credentials, u":");
    if (credentials.find(u':') != UString::npos) r.Password = RightOf(credentials, u":");
  }

  UString hostPart, path;
  slash = rest.find(u'/');
  if (slash != UString::npos) {
    hostPart = rest.substr(0, slash);
    path = rest.substr(slash + 1);
  } else {
    hostPart = rest;
  }

  if (StartsWith(hostPart, u"[")) {
    std::size_t close = hostPart.find(u']');
    r.Host = hostPart.substr(1, close == UString::npos ? UString::npos : close - 1);
    if (close != UString::npos && StartsWith(UStringView(hostPart).substr(close + 1), u":"))
      r.Port = hostPart.substr(close + 2);
  } else if (hostPart.find(u':') != UString::npos) {
    r.Host = LeftOf(hostPart, u":");
    r.Port = RightOf(hostPart, u":");
  } else {
    r.Host = hostPart;
  }

  r.RequestURI = u"/" + path;
  r.Path = u"/" + LeftOf(path, u"?");
  if (path.find(u'?') != UString::npos) r.Params = RightOf(path, u"?");
  if (r.Host.empty()) r.Host = u"localhost";
  return r;
}

std::string THTTPClient::DecodeCredential(std::string_view s) {
  std::string out;
  out.reserve(s.size());
  for (std::size_t i = 0; i < s.size(); ++i) {
    if (s[i] != '%') {
      out += s[i];
      continue;
    }
    if (i + 2 >= s.size()) break;  // a % among the last two characters ends the text
    int hi = HexDigit(s[i + 1]), lo = HexDigit(s[i + 2]);
    if (hi >= 0 && lo >= 0) {
      out += char(hi << 4 | lo);
      i += 2;
    } else if (s[i + 1] == '\r' || s[i + 1] == '\n') {
      char partner = s[i + 1] == '\r' ? '\n' : '\r';
      i += s[i + 2] == partner ? 2 : 1;
    } else {
      out += '%';
    }
  }
  return out;
}

bool THTTPClient::Fail(int code) {
  Sock.SetLastError(code);
  return false;
}

void THTTPClient::ForgetConnection() {
  Sock.CloseSocket();
  openHost_.clear();
  openPort_.clear();
}

bool THTTPClient::ExecuteRequest(UStringView Method, UStringView URL) {
  ResultCode = 500;
  ResultString.clear();
  DownloadSize = 0;
  UploadSize = 0;
  Sock.Timeout = Timeout;
  Sock.ResetLastError();
  headerBytes_ = 0;

  const TURLParts url = SplitURL(URL);
  std::string user, password;
  if (!url.User.empty()) {
    user = DecodeCredential(Ansi(url.User));
    password = DecodeCredential(Ansi(url.Password));
  } else {
    user = Ansi(UserName);
    password = Ansi(Password);
  }

  const bool useTls = UpperCaseAscii(url.Scheme) == u"HTTPS";
  const bool viaProxy = !ProxyHost.empty() && !useTls;
  const bool tunnel = !ProxyHost.empty() && useTls;
  const bool hasBody = Document.Size() > 0;
  const bool use100 = Status100 && hasBody && Protocol == u"1.1";
  const bool http09 = Protocol == u"0.9";

  // The header block, top to bottom, followed by the caller's own lines.
  std::vector<UString> block;
  UString method = UpperCaseAscii(Method);
  UString uri = url.RequestURI;
  if (viaProxy) uri = url.Scheme + u"://" + BracketIPv6(url.Host) + u":" + url.Port + uri;
  if (uri == u"/*") uri = u"*";
  block.push_back(http09 ? method + u" " + uri : method + u" " + uri + u" HTTP/" + Protocol);
  UString host = u"Host: " + BracketIPv6(url.Host);
  if (AddPortNumberToHost && url.Port != u"80") host += u":" + url.Port;
  block.push_back(host);
  if (viaProxy && !ProxyUser.empty())
    block.push_back(u"Proxy-Authorization: Basic " + AnsiToUString(Base64(Ansi(ProxyUser + u":" + ProxyPass))));
  if (!user.empty()) block.push_back(u"Authorization: Basic " + AnsiToUString(Base64(user + ":" + password)));
  const UString connPrefix = viaProxy ? u"Proxy-" : u"";
  if (KeepAlive) {
    block.push_back(u"Keep-Alive: " + IntToStr(KeepAliveTimeout));
    block.push_back(connPrefix + u"Connection: keep-alive");
  } else {
    block.push_back(connPrefix + u"Connection: close");
  }
  if (!Cookies.empty()) {
    UString c = u"Cookie: ";
    for (std::size_t i = 0; i < Cookies.size(); ++i) c += (i ? u"; " : u"") + Cookies[i];
    block.push_back(c);
  }
  if (RangeStart > 0 || RangeEnd > 0) {
    UString r = u"Range: bytes=" + IntToStr(RangeStart) + u"-";
    if (RangeStart <= RangeEnd) r += IntToStr(RangeEnd);
    block.push_back(r);
  }
  if (!UserAgent.empty()) block.push_back(u"User-Agent: " + UserAgent);
  if (hasBody && !MimeType.empty()) block.push_back(u"Content-Type: " + MimeType);
  if (hasBody) block.push_back(u"Content-Length: " + IntToStr(Document.Size()));
  if (use100) block.push_back(u"Expect: 100-continue");
  block.insert(block.end(), Headers.begin(), Headers.end());
  if (!block.back().empty()) block.push_back(UString());
  Headers = std::move(block);

  if (viaProxy) {
    TargetHost = ProxyHost;
    TargetPort = ProxyPort;
  } else {
    TargetHost = url.Host;
    TargetPort = url.Port;
  }

  if (!EnsureConnection(useTls, tunnel)) {
    ForgetConnection();
    return false;
  }

  std::string head;
  if (http09) {
    head = Ansi(Headers.front()) + "\r\n";
  } else {
    for (const UString& line : Headers) head += Ansi(line) + "\r\n";
  }

  // Send the request; with 100-continue the body waits for an interim answer.
  std::string remembered;
  bool bodyWithheld = false;
  bool sent;
  const auto& body = Document.Bytes();
  if (use100) {
    sent = Sock.SendString(head);
    std::string line;
    while (sent && line.empty()) sent = ReadHeaderLine(line);
    if (sent) {
      ParseStatusLine(line);
      if (ResultCode >= 100 && ResultCode <= 199) {
        sent = SkipInterimHeaders() && Sock.SendBuffer(body.data(), body.size());
      } else {
        remembered = line;
        bodyWithheld = true;
      }
    }
  } else if (hasBody && body.size() < 65536) {
    head.append(reinterpret_cast<const char*>(body.data()), body.size());
    sent = Sock.SendString(head);
    UploadSize = static_cast<std::int32_t>(head.size());
  } else {
    sent = Sock.SendString(head) && (!hasBody || Sock.SendBuffer(body.data(), body.size()));
  }
  if (!sent) {
    ForgetConnection();
    return false;
  }

  ResetDocument();
  TTransferMode mode = TTransferMode::tmUnknown;
  std::int64_t size = -1;
  bool tooLarge = false;

  // The status line; interim 1xx answers and their header lines are passed over.
  bool ok = true;
  if (!remembered.empty()) {
    Headers.push_back(AnsiToUString(remembered));
  } else {
    std::string line;
    while ((ok = ReadHeaderLine(line))) {
      if (line.empty()) continue;
      if (Upper(line.substr(0, 5)) == "HTTP/") {
        Headers.push_back(AnsiToUString(line));
        ParseStatusLine(line);
        if (ResultCode >= 100 && ResultCode <= 199) {
          Headers.clear();
          if (!(ok = SkipInterimHeaders())) break;
          continue;
        }
      } else {
        Document.WriteBuffer(line.data(), line.size());
        Document.WriteBuffer("\r\n", 2);
        ResultCode = 0;
      }
      break;
    }
  }

  bool toClose = Protocol != u"1.1" || bodyWithheld;

  if (ok && !Headers.empty()) {
    std::vector<std::string> joined;
    std::string line;
    while ((ok = ReadHeaderLine(line)) && !line.empty()) {
      for (char& c : line)
        if (c == '\t') c = ' ';
      char first = line[0];
      if (!joined.empty() && (first == ' ' || first == '"' || first == ':' || first == '=')) {
        joined.back() += ' ';
        joined.back() += TrimBytes(line);
      } else {
        joined.push_back(std::move(line));
      }
    }
    for (std::string& h : joined) {
      while (!h.empty() && std::uint8_t(h.back()) <= ' ') h.pop_back();
      Headers.push_back(AnsiToUString(h));
      std::string upper = Upper(h);
      std::size_t colon = h.find(':');
      std::string_view value = colon == std::string::npos ? std::string_view() : TrimBytes(std::string_view(h).substr(colon + 1));
      std::string upperValue = Upper(value);
      if (upper.starts_with("CONTENT-LENGTH:")) {
        size = ParseLength(value);
        if (size == -2) tooLarge = true;
        if (size >= 0 && mode == TTransferMode::tmUnknown) mode = TTransferMode::tmIdentity;
      } else if (upper.starts_with("CONTENT-TYPE:")) {
        MimeType = AnsiToUString(value);
      } else if (upper.starts_with("TRANSFER-ENCODING:")) {
        if (upperValue.find("CHUNKED") != std::string::npos) mode = TTransferMode::tmChunked;
      } else if (upper.starts_with(viaProxy ? "PROXY-CONNECTION:" : "CONNECTION:")) {
        if (upperValue.find("CLOSE") != std::string::npos) toClose = true;
      }
    }
  }
  if (ok && tooLarge && mode != TTransferMode::tmChunked) ok = Fail(WSAENOBUFS);

  bool result = ok;
  if (result) {
    if (Method != u"HEAD" && ResultCode != 204 && ResultCode != 304) {
      switch (mode) {
        case TTransferMode::tmUnknown: result = ReadBodyToClose(); break;
        case TTransferMode::tmIdentity: result = ReadBodyByLength(size); break;
        case TTransferMode::tmChunked: result = ReadBodyChunked(); break;
      }
    }
  }
  Document.SetPosition(0);
  // A failed exchange leaves the connection out of step with the server: never reuse it.
  if (!result || toClose) ForgetConnection();
  if (result) CollectCookies();
  return result;
}

bool THTTPClient::EnsureConnection(bool useTls, bool tunnel) {
  if (Sock.Connected() && openHost_ == Ansi(TargetHost) && openPort_ == Ansi(TargetPort) && openTls_ == useTls &&
      openTunnel_ == tunnel && Sock.IdleAndOpen())
    return true;
  return ConnectToTarget(useTls, tunnel);
}

bool THTTPClient::ConnectToTarget(bool useTls, bool tunnel) {
  ForgetConnection();
  const std::string host = Ansi(TargetHost), port = Ansi(TargetPort);
  if (tunnel) {
    if (!Sock.Connect(Ansi(ProxyHost), Ansi(ProxyPort), Ansi(IPInterface)) || !OpenTunnel()) return false;
  } else if (!Sock.Connect(host, port, Ansi(IPInterface))) {
    return false;
  }
  if (useTls && !Sock.StartTls(host)) return false;
  openHost_ = host;
  openPort_ = port;
  openTls_ = useTls;
  openTunnel_ = tunnel;
  return true;
}

// Asks the proxy for a tunnel to the target and reads its answer.
bool THTTPClient::OpenTunnel() {
  std::string target = Ansi(BracketIPv6(TargetHost) + u":" + TargetPort);
  std::string request = "CONNECT " + target + " HTTP/1.0\r\nHost: " + target + "\r\n";
  if (!ProxyUser.empty()) request += "Proxy-Authorization: Basic " + Base64(Ansi(ProxyUser + u":" + ProxyPass)) + "\r\n";
  request += "\r\n";
  if (!Sock.SendString(request)) return false;
  std::string line;
  do {
    if (!ReadHeaderLine(line)) return false;
  } while (line.empty());
  UString status = Trim(RightOf(AnsiToUString(line), u" "));
  auto code = TryStrToInt(LeftOf(status, u" "));
  if (!SkipInterimHeaders()) return false;
  headerBytes_ = 0;
  if (!code || *code < 200 || *code > 299) return Fail(WSAECONNREFUSED);
  return true;
}

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
