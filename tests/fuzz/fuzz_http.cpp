// The response side of THTTPClient: a loopback peer answers one GET (or HEAD) with the
// input's bytes, sent in pieces split where the input has the marker "\n~|~\n", then
// closes its sending side, so that no execution ever waits for a timeout. The last input
// byte chooses the request method, the protocol and the size of each receive, so that the
// client's reads split the response at other points too. Bodies by Content-Length, chunked
// and read to close all come from the bytes themselves.
#include <arpa/inet.h>
#include <netinet/in.h>
#include <netinet/tcp.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <chrono>
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>
#include <string_view>
#include <thread>
#include <vector>

#include "http/HttpClient.h"

namespace {

constexpr std::string_view kSplit = "\n~|~\n";
constexpr std::int32_t kTimeoutMs = 4000;

int Listener(std::uint16_t& port) {
  static int fd = -1;
  static std::uint16_t listenPort = 0;
  if (fd < 0) {
    fd = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    sockaddr_in a{};
    a.sin_family = AF_INET;
    a.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    socklen_t len = sizeof a;
    if (fd < 0 || ::bind(fd, reinterpret_cast<sockaddr*>(&a), len) != 0 || ::listen(fd, 16) != 0 ||
        ::getsockname(fd, reinterpret_cast<sockaddr*>(&a), &len) != 0)
      std::abort();
    listenPort = ntohs(a.sin_port);
  }
  port = listenPort;
  return fd;
}

bool SendAll(int fd, std::string_view data) {
  while (!data.empty()) {
    ssize_t n = ::send(fd, data.data(), data.size(), MSG_NOSIGNAL);
    if (n <= 0) return false;
    data.remove_prefix(static_cast<std::size_t>(n));
  }
  return true;
}

// Accepts one connection, reads the request head, sends the pieces, closes its sending
// side and then drains until the client closes, so that the client never sees a reset.
void Serve(int listener, const std::vector<std::string_view>& pieces) {
  pollfd p{listener, POLLIN, 0};
  if (::poll(&p, 1, kTimeoutMs) <= 0) return;  // the client never connected
  int fd = ::accept4(listener, nullptr, nullptr, SOCK_CLOEXEC);
  if (fd < 0) return;
  int one = 1;
  setsockopt(fd, IPPROTO_TCP, TCP_NODELAY, &one, sizeof one);
  std::string request;
  char buf[4096];
  while (request.find("\r\n\r\n") == std::string::npos && request.size() < 65536) {
    pollfd q{fd, POLLIN, 0};
    if (::poll(&q, 1, kTimeoutMs) <= 0) break;
    ssize_t n = ::recv(fd, buf, sizeof buf, 0);
    if (n <= 0) break;
    request.append(buf, static_cast<std::size_t>(n));
  }
  for (std::string_view piece : pieces)
    if (!SendAll(fd, piece)) break;
  ::shutdown(fd, SHUT_WR);
  for (;;) {
    pollfd q{fd, POLLIN, 0};
    if (::poll(&q, 1, kTimeoutMs) <= 0) break;
    if (::recv(fd, buf, sizeof buf, 0) <= 0) break;
  }
  ::close(fd);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  if (size == 0) return 0;
  const std::uint8_t options = data[size - 1];
  std::string_view response(reinterpret_cast<const char*>(data), size - 1);
  std::vector<std::string_view> pieces;
  for (std::size_t at; (at = response.find(kSplit)) != std::string_view::npos;) {
    pieces.push_back(response.substr(0, at));
    response.remove_prefix(at + kSplit.size());
  }
  pieces.push_back(response);

  std::uint16_t port = 0;
  const int listener = Listener(port);
  std::thread peer(Serve, listener, std::cref(pieces));

  static constexpr std::int32_t kRecvSizes[] = {65536, 1, 2, 3, 7, 16, 100, 4096};
  auto started = std::chrono::steady_clock::now();
  {
    THTTPClient client;
    client.Timeout = kTimeoutMs;
    client.Sock.SizeRecvBuffer = kRecvSizes[options & 7];
    client.Protocol = (options & 8) ? u"1.1" : u"1.0";
    const bool head = (options & 16) != 0;
    const bool ok = client.ExecuteRequest(head ? u"HEAD" : u"GET",
                                          u"http://127.0.0.1:" + IntToStr(port) + u"/package/DB.zip");
    if (ok) {
      // What a caller reads after a completed exchange.
      const auto& body = client.Document.Bytes();
      if (client.Document.Position() != 0) __builtin_trap();
      // A response without a status line starts its body at once, even for HEAD.
      if (head && client.ResultCode != 0 && !body.empty()) __builtin_trap();
      for (const UString& h : client.Headers) (void)h.size();
    }
  }
  peer.join();
  // The peer always closes its side: any wait for the timeout is a hang in the client.
  if (std::chrono::steady_clock::now() - started > std::chrono::milliseconds(kTimeoutMs / 2)) __builtin_trap();
  return 0;
}
