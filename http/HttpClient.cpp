#include "http/HttpClient.h"

#include <algorithm>
#include <cstring>
#include <new>

#include "http/HttpClientText.h"
#include "platform/Locale.h"

using namespace http_text;

namespace {

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

std::string Ansi(UStringView s) { return UStringToAnsi(s); }

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
  const bool useTls = UpperCaseAscii(url.Scheme) == u"HTTPS";
  const bool viaProxy = !ProxyHost.empty() && !useTls;
  const bool tunnel = !ProxyHost.empty() && useTls;
  const bool use100 = Status100 && Document.Size() > 0 && Protocol == u"1.1";
  ComposeHeaders(Method, url, viaProxy, use100);

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

  std::string earlyStatus;
  if (!SendRequest(use100, earlyStatus)) {
    ForgetConnection();
    return false;
  }

  ResetDocument();
  TResponseInfo info;
  // A final answer instead of 100-continue leaves the body unsent and the server expecting
  // it or not: the connection cannot carry another request.
  info.toClose = Protocol != u"1.1" || !earlyStatus.empty();
  bool result = ReadStatusLine(earlyStatus) && (Headers.empty() || ReadResponseHeaders(viaProxy, info));
  if (result && Method != u"HEAD" && ResultCode != 204 && ResultCode != 304) {
    switch (info.mode) {
      case TTransferMode::tmUnknown: result = ReadBodyToClose(); break;
      case TTransferMode::tmIdentity: result = ReadBodyByLength(info.size); break;
      case TTransferMode::tmChunked: result = ReadBodyChunked(); break;
    }
  }
  Document.SetPosition(0);
  // A failed exchange leaves the connection out of step with the server: never reuse it.
  if (!result || info.toClose) ForgetConnection();
  if (result) CollectCookies();
  return result;
}

// Puts the request line and the request header lines in front of the caller's lines in
// Headers, ending with an empty line.
void THTTPClient::ComposeHeaders(UStringView Method, const TURLParts& url, bool viaProxy, bool use100) {
  std::string user, password;
  if (!url.User.empty()) {
    user = DecodeCredential(Ansi(url.User));
    password = DecodeCredential(Ansi(url.Password));
  } else {
    user = Ansi(UserName);
    password = Ansi(Password);
  }
  const bool hasBody = Document.Size() > 0;

  std::vector<UString> block;
  UString method = UpperCaseAscii(Method);
  UString uri = url.RequestURI;
  if (viaProxy) uri = url.Scheme + u"://" + BracketIPv6(url.Host) + u":" + url.Port + uri;
  if (uri == u"/*") uri = u"*";
  block.push_back(Protocol == u"0.9" ? method + u" " + uri : method + u" " + uri + u" HTTP/" + Protocol);
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
}

std::string THTTPClient::BuildHeaderBlock() const {
  if (Protocol == u"0.9") return Ansi(Headers.front()) + "\r\n";
  std::string head;
  for (const UString& line : Headers) head += Ansi(line) + "\r\n";
  return head;
}

// Sends the header block and the body. With 100-continue the body waits for an interim
// answer; a final answer instead is handed back in earlyStatus and the body stays unsent.
bool THTTPClient::SendRequest(bool use100, std::string& earlyStatus) {
  std::string head = BuildHeaderBlock();
  const auto& body = Document.Bytes();
  if (use100) {
    if (!Sock.SendString(head)) return false;
    std::string line;
    while (line.empty())
      if (!ReadHeaderLine(line)) return false;
    ParseStatusLine(line);
    if (ResultCode >= 100 && ResultCode <= 199) return SkipInterimHeaders() && Sock.SendBuffer(body.data(), body.size());
    earlyStatus = line;
    return true;
  }
  if (!body.empty() && body.size() < 65536) {
    head.append(reinterpret_cast<const char*>(body.data()), body.size());
    UploadSize = static_cast<std::int32_t>(head.size());
    return Sock.SendString(head);
  }
  return Sock.SendString(head) && (body.empty() || Sock.SendBuffer(body.data(), body.size()));
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

