// TLS for the socket layer. libssl and libcrypto are loaded at run time, so the client
// works for plain http on a system without them; https then fails in the handshake.
#include "http/NetSocketTls.h"

#include <algorithm>
#include <climits>
#include <cstdint>
#include <vector>

#include "http/NetSocket.h"
#include "http/NetSocketTlsApi.h"

namespace {

// Constants of the OpenSSL interface (stable across 1.1 and 3).
constexpr int kSslVerifyPeer = 1;
constexpr int kSslErrorSsl = 1;
constexpr int kSslErrorWantRead = 2;
constexpr int kSslErrorWantWrite = 3;
constexpr int kSslErrorSyscall = 5;
constexpr int kSslErrorZeroReturn = 6;
constexpr int kSslCtrlSetTlsextHostname = 55;
constexpr int kSslCtrlSetMinProtoVersion = 123;
constexpr long kTlsextNametypeHostName = 0;
constexpr long kTls12Version = 0x0303;
constexpr unsigned kX509CheckFlagNoPartialWildcards = 0x4;
constexpr long kX509VOk = 0;
constexpr unsigned long kErrLibSsl = 20;
constexpr unsigned long kSslRUnexpectedEof = 294;

struct TTlsLibraries {
  std::vector<std::string> sslNames = DefaultSslNames();
  std::vector<std::string> cryptoNames = DefaultCryptoNames();
  bool tried = false;
  std::unique_ptr<TSslApi> api;
};

TTlsLibraries& Libraries() {
  static TTlsLibraries libs;
  return libs;
}

template <class F>
bool Bind(const TDynLib& lib, F& fn, const char* name) {
  fn = lib.Function<F>(name);
  return fn != nullptr;
}

std::unique_ptr<TSslApi> LoadPair(const std::string& cryptoName, const std::string& sslName) {
  auto api = std::make_unique<TSslApi>();
  api->crypto = TDynLib::TryLoad({cryptoName.c_str()});
  if (!api->crypto) return nullptr;
  api->ssl = TDynLib::TryLoad({sslName.c_str()});
  if (!api->ssl) return nullptr;
  const TDynLib& s = *api->ssl;
  const TDynLib& c = *api->crypto;
  bool ok = Bind(s, api->OPENSSL_init_ssl, "OPENSSL_init_ssl") &&
            Bind(s, api->TLS_client_method, "TLS_client_method") &&
            Bind(s, api->SSL_CTX_new, "SSL_CTX_new") && Bind(s, api->SSL_CTX_free, "SSL_CTX_free") &&
            Bind(s, api->SSL_CTX_set_verify, "SSL_CTX_set_verify") &&
            Bind(s, api->SSL_CTX_set_default_verify_paths, "SSL_CTX_set_default_verify_paths") &&
            Bind(s, api->SSL_CTX_load_verify_locations, "SSL_CTX_load_verify_locations") &&
            Bind(s, api->SSL_CTX_ctrl, "SSL_CTX_ctrl") &&
            Bind(s, api->SSL_CTX_get_cert_store, "SSL_CTX_get_cert_store") && Bind(s, api->SSL_new, "SSL_new") &&
            Bind(s, api->SSL_free, "SSL_free") && Bind(s, api->SSL_set_fd, "SSL_set_fd") &&
            Bind(s, api->SSL_ctrl, "SSL_ctrl") && Bind(s, api->SSL_set1_host, "SSL_set1_host") &&
            Bind(s, api->SSL_set_hostflags, "SSL_set_hostflags") &&
            Bind(s, api->SSL_get0_param, "SSL_get0_param") &&
            Bind(c, api->X509_VERIFY_PARAM_set1_ip_asc, "X509_VERIFY_PARAM_set1_ip_asc") &&
            Bind(s, api->SSL_connect, "SSL_connect") && Bind(s, api->SSL_read, "SSL_read") &&
            Bind(s, api->SSL_write, "SSL_write") && Bind(s, api->SSL_get_error, "SSL_get_error") &&
            Bind(s, api->SSL_pending, "SSL_pending") && Bind(s, api->SSL_shutdown, "SSL_shutdown") &&
            Bind(s, api->SSL_get_verify_result, "SSL_get_verify_result") &&
            Bind(c, api->d2i_X509, "d2i_X509") && Bind(c, api->X509_free, "X509_free") &&
            Bind(c, api->X509_STORE_add_cert, "X509_STORE_add_cert") &&
            Bind(c, api->ERR_clear_error, "ERR_clear_error") &&
            Bind(c, api->ERR_peek_error, "ERR_peek_error");
  if (!ok || api->OPENSSL_init_ssl(0, nullptr) != 1) return nullptr;
  return api;
}

const TSslApi* Api() {
  TTlsLibraries& libs = Libraries();
  if (!libs.tried) {
    libs.tried = true;
    std::size_t n = std::min(libs.sslNames.size(), libs.cryptoNames.size());
    for (std::size_t i = 0; i < n && !libs.api; ++i) libs.api = LoadPair(libs.cryptoNames[i], libs.sslNames[i]);
  }
  return libs.api.get();
}

}  // namespace

void SetTlsLibraryNames(std::vector<std::string> sslNames, std::vector<std::string> cryptoNames) {
  TTlsLibraries& libs = Libraries();
  libs.api.reset();
  libs.tried = false;
  libs.sslNames = std::move(sslNames);
  libs.cryptoNames = std::move(cryptoNames);
}

void ResetTlsLibraryNames() { SetTlsLibraryNames(DefaultSslNames(), DefaultCryptoNames()); }

bool TlsAvailable() { return Api() != nullptr; }

std::string TlsUnavailableReason() {
  if (Api()) return {};
  const TTlsLibraries& libs = Libraries();
  std::string names;
  std::size_t n = std::min(libs.sslNames.size(), libs.cryptoNames.size());
  for (std::size_t i = 0; i < n; ++i)
    names += (i ? ", " : "") + libs.sslNames[i] + " with " + libs.cryptoNames[i];
  return "TLS is unavailable: no usable OpenSSL library pair among " + (names.empty() ? "(none)" : names);
}

struct TTlsSession::Impl {
  const TSslApi* api = nullptr;
  void* ctx = nullptr;
  void* ssl = nullptr;
  ~Impl() {
    if (ssl) api->SSL_free(ssl);
    if (ctx) api->SSL_CTX_free(ctx);
  }
  // Classifies the outcome of an SSL call that returned r.
  TIoState State(int r) const {
    int e = api->SSL_get_error(ssl, r);
    switch (e) {
      case kSslErrorWantRead: return ioWantRead;
      case kSslErrorWantWrite: return ioWantWrite;
      case kSslErrorZeroReturn: return ioClosed;
      case kSslErrorSyscall:
        // OpenSSL 1.1 reports a close without close_notify this way.
        return api->ERR_peek_error() == 0 && r == 0 ? ioClosed : ioError;
      case kSslErrorSsl: {
        unsigned long err = api->ERR_peek_error();
        bool eof = ((err >> 23) & 0xFF) == kErrLibSsl && (err & 0x7FFFFF) == kSslRUnexpectedEof;
        return eof ? ioClosed : ioError;
      }
      default: return ioError;
    }
  }
};

TTlsSession::TTlsSession(std::unique_ptr<Impl> impl) : impl_(std::move(impl)) {}
TTlsSession::~TTlsSession() = default;

std::unique_ptr<TTlsSession> TTlsSession::Handshake(TSocketId socket, const std::string& host, const std::string& caFile,
                                                    const std::string& caPath, const TWaiter& wait, int& error) {
  error = WSASYSNOTREADY;
  const TSslApi* api = Api();
  if (!api) return nullptr;
  auto impl = std::make_unique<Impl>();
  impl->api = api;
  api->ERR_clear_error();
  impl->ctx = api->SSL_CTX_new(api->TLS_client_method());
  if (!impl->ctx) return nullptr;
  api->SSL_CTX_ctrl(impl->ctx, kSslCtrlSetMinProtoVersion, kTls12Version, nullptr);
  api->SSL_CTX_set_verify(impl->ctx, kSslVerifyPeer, nullptr);
  AddSystemTrust(*api, impl->ctx);
  if (!caFile.empty() || !caPath.empty()) {
    if (api->SSL_CTX_load_verify_locations(impl->ctx, caFile.empty() ? nullptr : caFile.c_str(),
                                           caPath.empty() ? nullptr : caPath.c_str()) != 1)
      return nullptr;
  }
  impl->ssl = api->SSL_new(impl->ctx);
  if (!impl->ssl || api->SSL_set_fd(impl->ssl, static_cast<int>(socket)) != 1) return nullptr;
  if (IsIpLiteral(host)) {
    if (api->X509_VERIFY_PARAM_set1_ip_asc(api->SSL_get0_param(impl->ssl), host.c_str()) != 1) return nullptr;
  } else {
    if (api->SSL_ctrl(impl->ssl, kSslCtrlSetTlsextHostname, kTlsextNametypeHostName,
                      const_cast<char*>(host.c_str())) != 1)
      return nullptr;
    api->SSL_set_hostflags(impl->ssl, kX509CheckFlagNoPartialWildcards);
    if (api->SSL_set1_host(impl->ssl, host.c_str()) != 1) return nullptr;
  }
  for (;;) {
    int r = RunSslCall([&] { return api->SSL_connect(impl->ssl); });
    if (r == 1) break;
    TIoState st = impl->State(r);
    if (st == ioWantRead || st == ioWantWrite) {
      if (!wait(st == ioWantRead ? TSocketWait::Read : TSocketWait::Write)) {
        error = WSASYSNOTREADY;
        return nullptr;
      }
      continue;
    }
    return nullptr;
  }
  if (api->SSL_get_verify_result(impl->ssl) != kX509VOk) return nullptr;
  error = 0;
  return std::unique_ptr<TTlsSession>(new TTlsSession(std::move(impl)));
}

TTlsSession::TIoState TTlsSession::Read(void* dest, std::size_t max, std::size_t& done) {
  done = 0;
  impl_->api->ERR_clear_error();
  int r = RunSslCall(
      [&] { return impl_->api->SSL_read(impl_->ssl, dest, static_cast<int>(std::min<std::size_t>(max, INT_MAX))); });
  if (r > 0) {
    done = static_cast<std::size_t>(r);
    return ioOk;
  }
  return impl_->State(r);
}

TTlsSession::TIoState TTlsSession::Write(const void* data, std::size_t size, std::size_t& done) {
  done = 0;
  impl_->api->ERR_clear_error();
  int r = RunSslCall(
      [&] { return impl_->api->SSL_write(impl_->ssl, data, static_cast<int>(std::min<std::size_t>(size, INT_MAX))); });
  if (r > 0) {
    done = static_cast<std::size_t>(r);
    return ioOk;
  }
  return impl_->State(r);
}

std::size_t TTlsSession::Pending() const {
  int n = impl_->api->SSL_pending(impl_->ssl);
  return n > 0 ? static_cast<std::size_t>(n) : 0;
}

void TTlsSession::Shutdown() {
  impl_->api->ERR_clear_error();
  RunSslCall([&] { return impl_->api->SSL_shutdown(impl_->ssl); });
}
