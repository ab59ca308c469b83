// Without the TLS libraries: https fails before a byte of the request goes out, the
// reason names the libraries tried, and plain http keeps working.
#include <gtest/gtest.h>

#include "http/HttpClient.h"
#include "tests/http/TestServer.h"

namespace {

TEST(HttpTlsMissing, HttpsFailsWithTheReasonAndHttpStillWorks) {
  SetTlsLibraryNames({"zorvik-no-such-ssl.dll", "libzorvik-no-such-ssl.so"},
                     {"zorvik-no-such-crypto.dll", "libzorvik-no-such-crypto.so"});
  EXPECT_FALSE(TlsAvailable());
  EXPECT_EQ(TlsUnavailableReason(),
            "TLS is unavailable: no usable OpenSSL library pair among zorvik-no-such-ssl.dll with "
            "zorvik-no-such-crypto.dll, libzorvik-no-such-ssl.so with libzorvik-no-such-crypto.so");

  TTestServer server;
  ASSERT_TRUE(server.Listening());
  THTTPClient client;
  client.Timeout = 3000;
  // The target speaks plain http; the client gives up before sending anything.
  server.Queue({Send("HTTP/1.0 200 OK\r\nContent-Length: 2\r\n\r\nno")});
  EXPECT_FALSE(client.ExecuteRequest(u"GET", U("https://127.0.0.1:" + server.PortText() + "/DB.zip")));
  EXPECT_EQ(client.Sock.LastError(), WSASYSNOTREADY);
  EXPECT_EQ(client.ResultCode, 500);
  EXPECT_EQ(client.Document.Size(), 0);

  EXPECT_TRUE(client.ExecuteRequest(u"GET", U("http://127.0.0.1:" + server.PortText() + "/DB.zip")));
  EXPECT_EQ(server.Requests().size(), 1u);
  EXPECT_EQ(std::string(client.Document.Bytes().begin(), client.Document.Bytes().end()), "no");

  ResetTlsLibraryNames();
  EXPECT_EQ(TlsAvailable(), TlsUnavailableReason().empty());
}

}  // namespace
