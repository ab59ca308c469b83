// A blocking HTTP/1.x client for one request at a time over one TCP connection.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "http/NetSocket.h"
#include "platform/Classes.h"

// The pieces of a URL as the client reads it.
struct TURLParts {
  UString Scheme = u"http";
  UString User, Password;
  UString Host;
  UString Port = u"80";
  UString Path;        // "/" + the path without the query
  UString Params;      // the text after "?", if any
  UString RequestURI;  // "/" + everything after the host, query included
};

class THTTPClient : public TNetClient {
 public:
  // Longest status or header line, and largest status-plus-header block, accepted from a
  // server; a response past either fails like a socket error.
  static constexpr std::size_t MaxLineLength = 64 * 1024;
  static constexpr std::size_t MaxHeaderBlock = 1024 * 1024;
  // Largest body held in Document.
  static constexpr std::int64_t MaxBodySize = INT32_MAX;

  THTTPClient();
  ~THTTPClient() override;
  UString ClassName() const override { return u"THTTPClient"; }

  UString UserName, Password;
  // Before a call: extra request header lines. After it: the status line and the
  // response header lines.
  std::vector<UString> Headers;
  // Cookies received, as name=value; sent back with the next request.
  std::vector<UString> Cookies;
  // Before a call: the request body. After it: the response body, at position 0.
  TMemoryStream Document;
  std::int32_t RangeStart = 0, RangeEnd = 0;
  UString MimeType = u"text/html";
  UString Protocol = u"1.0";
  bool KeepAlive = true;
  std::int32_t KeepAliveTimeout = 300;
  bool Status100 = false;
  UString ProxyHost, ProxyPort = u"8080", ProxyUser, ProxyPass;
  UString UserAgent = u"Mozilla/4.0 (compatible; UpdZorvik)";
  std::int32_t ResultCode = 0;
  UString ResultString;
  std::int32_t DownloadSize = 0;
  std::int32_t UploadSize = 0;
  bool AddPortNumberToHost = true;
  TTcpSocket Sock;

  // Sends one request and reads the response into Headers and Document. Whatever Headers
  // and Document hold when it is called goes out with the request, so call ResetDocument
  // before reusing a client for a request without a body. True for every
  // completed exchange whatever its status; false when connecting, the TLS handshake,
  // sending or receiving failed, or the response broke a limit. Never throws for network
  // failures.
  bool ExecuteRequest(UStringView Method, UStringView URL);

  // Splits a URL into its parts. A URL without "://" is plain http; a scheme other than
  // exactly "https" or "ftp" (ignoring case), even one with blanks around it, keeps port 80.
  static TURLParts SplitURL(UStringView URL);
  // Decodes percent escapes of URL credentials in single-byte text.
  static std::string DecodeCredential(std::string_view s);

  // Forgets the range, the body, the headers and the MIME type.
  void ResetDocument();

 private:
  enum class TTransferMode { tmUnknown, tmIdentity, tmChunked };
  struct TResponseInfo {
    TTransferMode mode = TTransferMode::tmUnknown;
    std::int64_t size = -1;
    bool toClose = false;
  };

  void ComposeHeaders(UStringView Method, const TURLParts& url, bool viaProxy, bool use100);
  std::string BuildHeaderBlock() const;
  bool SendRequest(bool use100, std::string& earlyStatus);
  bool ReadStatusLine(const std::string& earlyStatus);
  bool ReadResponseHeaders(bool viaProxy, TResponseInfo& info);

  bool EnsureConnection(bool useTls, bool tunnel);
  bool ConnectToTarget(bool useTls, bool tunnel);
  bool OpenTunnel();
  void ForgetConnection();
  bool ReadHeaderLine(std::string& line);
  bool SkipInterimHeaders();
  void ParseStatusLine(const std::string& line);
  bool ReadBodyToClose();
  bool ReadBodyByLength(std::int64_t size);
  bool ReadBodyChunked();
  bool ReadBytes(std::int64_t size, bool exactReserve);
  void CollectCookies();
  bool Fail(int code);

  std::string openHost_, openPort_;
  bool openTls_ = false, openTunnel_ = false;
  std::size_t headerBytes_ = 0;
};
