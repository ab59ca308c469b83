#include "tests/http/TestServer.h"

#include <algorithm>
#include <chrono>
#include <memory>

#include "tests/http/TestSocket.h"

namespace {

// A connection's bytes as they come over the socket.
class TPlainStream : public TServerStream {
 public:
  explicit TPlainStream(TSocketId s) : s_(s) {}
  int Read(char* buf, int size) override { return test_socket::Receive(s_, buf, size); }
  bool Write(const std::string& data) override { return test_socket::SendAll(s_, data.data(), data.size()); }

 private:
  TSocketId s_;
};

// One accepted connection, with the waits bounded so that the server can stop.
class TConn {
 public:
  TConn(TSocketId s, TServerWrap* wrap, const std::atomic<bool>& stop) : s_(s), stop_(stop) {
    if (wrap)
      stream_ = wrap->Wrap(s);
    else
      stream_ = std::make_unique<TPlainStream>(s);
  }
  bool Ok() const { return stream_ != nullptr; }

  // Waits for data; false when the peer closed, on error or when the server stops.
  bool Read(std::string& into) {
    char buf[16384];
    for (;;) {
      if (stop_) return false;
      if (!stream_->HasPending()) {
        int r = test_socket::WaitReadable(s_, 50);
        if (r == 0) continue;
        if (r < 0) return false;
      }
      int n = stream_->Read(buf, sizeof buf);
      if (n <= 0) return false;
      into.append(buf, std::size_t(n));
      return true;
    }
  }
  bool Write(const std::string& data) { return data.empty() || stream_->Write(data); }

 private:
  TSocketId s_;
  const std::atomic<bool>& stop_;
  std::unique_ptr<TServerStream> stream_;
};

std::string Lower(std::string s) {
  for (char& c : s) c = char(std::tolower(static_cast<unsigned char>(c)));
  return s;
}

std::size_t ContentLength(const std::string& head) {
  std::string l = Lower(head);
  std::size_t p = l.find("\r\ncontent-length:");
  return p == std::string::npos ? 0 : std::stoul(l.substr(p + 17));
}

}  // namespace

TTestServer::TTestServer(bool ipv6, std::shared_ptr<TServerWrap> wrap) : wrap_(std::move(wrap)) {
  listener_ = test_socket::ListenOnLoopback(ipv6, port_);
  if (listener_.Valid()) thread_ = std::thread([this] { Run(); });
}

TTestServer::~TTestServer() {
  stop_ = true;
  if (thread_.joinable()) thread_.join();
}

void TTestServer::Queue(TScript script) {
  std::lock_guard lock(mutex_);
  scripts_.push_back(std::move(script));
}

std::vector<std::string> TTestServer::Requests() {
  std::lock_guard lock(mutex_);
  return requests_;
}

void TTestServer::Run() {
  while (!stop_) {
    if (test_socket::WaitReadable(listener_.Get(), 50) <= 0) continue;
    TSocketOwner s = test_socket::Accept(listener_.Get());
    if (!s.Valid()) continue;
    ++connections_;
    Serve(std::move(s));
  }
}

void TTestServer::Serve(TSocketOwner s) {
  TConn conn(s.Get(), wrap_.get(), stop_);
  if (!conn.Ok()) return;
  std::string in;
  for (;;) {
    // One request: the header block, then the body unless it waits for 100-continue.
    std::size_t end;
    while ((end = in.find("\r\n\r\n")) == std::string::npos)
      if (!conn.Read(in)) return;
    std::string head = in.substr(0, end + 4);
    std::size_t bodyLen = ContentLength(head);
    bool expect = Lower(head).find("\r\nexpect: 100-continue") != std::string::npos;
    std::size_t want = head.size() + (expect ? 0 : bodyLen);
    while (in.size() < want)
      if (!conn.Read(in)) return;
    std::string request = in.substr(0, want);
    in.erase(0, want);

    TScript script;
    {
      std::lock_guard lock(mutex_);
      requests_.push_back(request);
      if (scripts_.empty()) return;
      script = std::move(scripts_.front());
      scripts_.pop_front();
    }
    for (std::size_t i = 0; i < script.size(); ++i) {
      const TStep& s = script[i];
      switch (s.kind) {
        case TStep::kSend:
          if (!conn.Write(s.data)) return;
          if (i + 1 < script.size() && script[i + 1].kind == TStep::kSend)
            std::this_thread::sleep_for(std::chrono::milliseconds(30));
          break;
        case TStep::kPause: std::this_thread::sleep_for(std::chrono::milliseconds(s.ms)); break;
        case TStep::kStall: {
          std::string ignored;
          while (conn.Read(ignored)) ignored.clear();
          return;
        }
        case TStep::kClose: return;
        case TStep::kReadBody: {
          while (in.size() < bodyLen)
            if (!conn.Read(in)) return;
          std::lock_guard lock(mutex_);
          requests_.back() += in.substr(0, bodyLen);
          in.erase(0, bodyLen);
          break;
        }
      }
    }
  }
}
