// The Windows side of the socket layer: starting Windows Sockets, the OpenSSL DLL names
// tried, and the system's trusted roots that TLS adds to OpenSSL's store.
#include <winsock2.h>

#include <gtest/gtest.h>

#include <string>

#include "http/HttpClient.h"
#include "http/NetSocketWin32.h"
#include "tests/http/TestServer.h"

namespace {

TEST(Winsock, StartsAtTwoPointTwoAndRefusesOtherVersionsWithTheLoadError) {
  EXPECT_NO_THROW(THTTPClient());  // starts Windows Sockets for the program
  struct Case {
    std::uint16_t version;
    bool started;
  } cases[] = {{MAKEWORD(2, 2), true}, {MAKEWORD(0, 0), false}, {MAKEWORD(3, 0), false}};
  for (const Case& c : cases) {
    SCOPED_TRACE(c.version);
    TWinsockStart start(c.version);
    EXPECT_EQ(start.Started(), c.started);
    if (c.started) {
      EXPECT_NO_THROW(start.Require());
      continue;
    }
    EXPECT_NE(start.Error(), 0);
    try {
      start.Require();
      ADD_FAILURE() << "no exception";
    } catch (const Exception& e) {
      EXPECT_EQ(e.Message, u"Error loading Socket interface (ws2_32.dll)!");
    }
  }
  // Stopping the starts above leaves the client library's own start running.
  TTestServer server;
  ASSERT_TRUE(server.Listening());
  server.Queue({Send("HTTP/1.0 200 OK\r\nContent-Length: 2\r\n\r\nok")});
  THTTPClient client;
  client.Timeout = 3000;
  EXPECT_TRUE(client.ExecuteRequest(u"GET", U("http://127.0.0.1:" + server.PortText() + "/")));
}

TEST(TlsOnWindows, LooksForOpenSsl3Then11UnderTheirWindowsNames) {
  ResetTlsLibraryNames();
  if (TlsAvailable()) GTEST_SKIP() << "OpenSSL is installed here";
  // The 1.0 names (ssleay32, libeay32) belong to another interface and are never tried.
  const std::string expected =
      sizeof(void*) == 8 ? "libssl-3-x64.dll with libcrypto-3-x64.dll, libssl-1_1-x64.dll with libcrypto-1_1-x64.dll"
                         : "libssl-3.dll with libcrypto-3.dll, libssl-1_1.dll with libcrypto-1_1.dll";
  EXPECT_EQ(TlsUnavailableReason(), "TLS is unavailable: no usable OpenSSL library pair among " + expected);
}

TEST(TlsOnWindows, SystemRootStoreYieldsDerCertificates) {
  struct TSeen {
    std::size_t count = 0, der = 0;
  } seen;
  std::size_t n = ForEachSystemRootCertificate(
      [](const unsigned char* der, std::size_t size, void* context) {
        auto* s = static_cast<TSeen*>(context);
        ++s->count;
        // A DER certificate is one SEQUENCE with a long length form.
        if (size > 4 && der[0] == 0x30 && (der[1] == 0x82 || der[1] == 0x83)) ++s->der;
      },
      &seen);
  EXPECT_EQ(n, seen.count);
  EXPECT_GT(seen.count, 0u);
  EXPECT_EQ(seen.der, seen.count);
}

}  // namespace
