// A scripted HTTP server on loopback for the client tests. It answers each request with
// the next queued script: packets sent one by one (with a short pause between them, so
// the client sees them apart), pauses, a stall until the client gives up, or a close. It
// records every request's bytes and counts connections.
#pragma once

#include <openssl/ssl.h>

#include <atomic>
#include <cstdint>
#include <deque>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

struct TStep {
  enum TKind { kSend, kPause, kStall, kClose, kReadBody } kind;
  std::string data;
  int ms = 0;
};
using TScript = std::vector<TStep>;

inline TStep Send(std::string data) { return {TStep::kSend, std::move(data), 0}; }
inline TStep Pause(int ms) { return {TStep::kPause, {}, ms}; }
// Holds the connection open and silent until the client closes it.
inline TStep Stall() { return {TStep::kStall, {}, 0}; }
inline TStep Close() { return {TStep::kClose, {}, 0}; }
// Reads the request body announced by Content-Length (after a 100-continue answer).
inline TStep ReadBody() { return {TStep::kReadBody, {}, 0}; }

class TTestServer {
 public:
  // Listens on 127.0.0.1, or on ::1 with ipv6. With tls, every connection is accepted
  // as TLS with that context (the server keeps a reference).
  explicit TTestServer(bool ipv6 = false, SSL_CTX* tls = nullptr);
  ~TTestServer();
  TTestServer(const TTestServer&) = delete;
  TTestServer& operator=(const TTestServer&) = delete;

  bool Listening() const { return listenFd_ >= 0; }
  std::uint16_t Port() const { return port_; }
  std::string PortText() const { return std::to_string(port_); }

  // Queues the answer to the next request. Without a queued script the connection closes.
  void Queue(TScript script);
  // The bytes of every request received so far, in order.
  std::vector<std::string> Requests();
  int Connections() const { return connections_; }
  // Waits until the server thread has finished with every connection so far.
  void WaitIdle();

 private:
  void Run();
  void Serve(int fd);

  int listenFd_ = -1;
  std::uint16_t port_ = 0;
  SSL_CTX* tls_ = nullptr;
  std::atomic<bool> stop_{false};
  std::atomic<int> connections_{0};
  std::atomic<bool> busy_{false};
  std::mutex mutex_;
  std::deque<TScript> scripts_;
  std::vector<std::string> requests_;
  std::thread thread_;
};
