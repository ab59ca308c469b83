// A scripted HTTP server on loopback for the client tests. It answers each request with
// the next queued script: packets sent one by one (with a short pause between them, so
// the client sees them apart), pauses, a stall until the client gives up, or a close. It
// records every request's bytes and counts connections.
#pragma once

#include <atomic>
#include <cstdint>
#include <deque>
#include <memory>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "http/NetSocket.h"

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

// The bytes of one accepted connection, plain or decoded from a wrapping such as TLS.
class TServerStream {
 public:
  virtual ~TServerStream() = default;
  // True when decoded bytes wait to be read without the socket becoming readable.
  virtual bool HasPending() { return false; }
  // The byte count read; 0 or less when the peer closed or on failure.
  virtual int Read(char* buf, int size) = 0;
  virtual bool Write(const std::string& data) = 0;
};

// Wraps each accepted socket, for instance in a TLS server session.
class TServerWrap {
 public:
  virtual ~TServerWrap() = default;
  // The stream over socket s (which stays owned by the server), or null when the
  // wrapping fails.
  virtual std::unique_ptr<TServerStream> Wrap(TSocketId s) = 0;
};

class TTestServer {
 public:
  // Listens on 127.0.0.1, or on ::1 with ipv6. With wrap, every connection goes through it.
  explicit TTestServer(bool ipv6 = false, std::shared_ptr<TServerWrap> wrap = nullptr);
  ~TTestServer();
  TTestServer(const TTestServer&) = delete;
  TTestServer& operator=(const TTestServer&) = delete;

  bool Listening() const { return listener_.Valid(); }
  std::uint16_t Port() const { return port_; }
  std::string PortText() const { return std::to_string(port_); }

  // Queues the answer to the next request. Without a queued script the connection closes.
  void Queue(TScript script);
  // The bytes of every request received so far, in order.
  std::vector<std::string> Requests();
  int Connections() const { return connections_; }

 private:
  void Run();
  void Serve(TSocketOwner s);

  TSocketOwner listener_;
  std::uint16_t port_ = 0;
  std::shared_ptr<TServerWrap> wrap_;
  std::atomic<bool> stop_{false};
  std::atomic<int> connections_{0};
  std::mutex mutex_;
  std::deque<TScript> scripts_;
  std::vector<std::string> requests_;
  std::thread thread_;
};
