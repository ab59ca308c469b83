// TLS on POSIX systems: the shared-object names of OpenSSL, its default trust store, and
// SIGPIPE kept away from OpenSSL's socket writes.
#include <arpa/inet.h>
#include <pthread.h>
#include <signal.h>

#include "http/NetSocketTlsApi.h"

std::vector<std::string> DefaultSslNames() { return {"libssl.so.3", "libssl.so.1.1"}; }
std::vector<std::string> DefaultCryptoNames() { return {"libcrypto.so.3", "libcrypto.so.1.1"}; }

bool AddSystemTrust(const TSslApi& api, void* ctx) { return api.SSL_CTX_set_default_verify_paths(ctx) == 1; }

bool IsIpLiteral(const std::string& host) {
  unsigned char buf[16];
  return ::inet_pton(AF_INET, host.c_str(), buf) == 1 || ::inet_pton(AF_INET6, host.c_str(), buf) == 1;
}

namespace {

// OpenSSL writes to the socket without MSG_NOSIGNAL: SIGPIPE stays blocked for the call,
// and one raised by it is taken off the thread again.
class TSigPipeGuard {
 public:
  TSigPipeGuard() {
    sigemptyset(&pipe_);
    sigaddset(&pipe_, SIGPIPE);
    sigset_t pending;
    sigpending(&pending);
    pendingBefore_ = sigismember(&pending, SIGPIPE) == 1;
    pthread_sigmask(SIG_BLOCK, &pipe_, &old_);
  }
  ~TSigPipeGuard() {
    if (!pendingBefore_) {
      sigset_t pending;
      sigpending(&pending);
      if (sigismember(&pending, SIGPIPE) == 1) {
        timespec zero{0, 0};
        sigtimedwait(&pipe_, nullptr, &zero);
      }
    }
    pthread_sigmask(SIG_SETMASK, &old_, nullptr);
  }
  TSigPipeGuard(const TSigPipeGuard&) = delete;
  TSigPipeGuard& operator=(const TSigPipeGuard&) = delete;

 private:
  sigset_t pipe_, old_;
  bool pendingBefore_ = false;
};

}  // namespace

int RunSslCall(int (*call)(void*), void* context) {
  TSigPipeGuard guard;
  return call(context);
}
