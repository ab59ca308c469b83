// TLS on Windows: the DLL names of OpenSSL 3 and 1.1, and the system's trusted roots,
// which OpenSSL does not read on Windows by itself, copied from the CryptoAPI store.
#include <winsock2.h>
#include <ws2tcpip.h>
#include <windows.h>
#include <wincrypt.h>

#include <memory>

#include "http/NetSocketTlsApi.h"
#include "http/NetSocketWin32.h"

std::vector<std::string> DefaultSslNames() {
  if constexpr (sizeof(void*) == 8) return {"libssl-3-x64.dll", "libssl-1_1-x64.dll"};
  return {"libssl-3.dll", "libssl-1_1.dll"};
}

std::vector<std::string> DefaultCryptoNames() {
  if constexpr (sizeof(void*) == 8) return {"libcrypto-3-x64.dll", "libcrypto-1_1-x64.dll"};
  return {"libcrypto-3.dll", "libcrypto-1_1.dll"};
}

namespace {

struct TCertStoreClose {
  void operator()(void* store) const { ::CertCloseStore(static_cast<HCERTSTORE>(store), 0); }
};

struct TTrustTarget {
  const TSslApi* api;
  void* store;
};

void AddCertificate(const unsigned char* der, std::size_t size, void* context) {
  auto* target = static_cast<TTrustTarget*>(context);
  const unsigned char* p = der;
  void* cert = target->api->d2i_X509(nullptr, &p, static_cast<long>(size));
  if (!cert) return;
  // The store takes its own reference; a certificate it holds already is skipped.
  target->api->X509_STORE_add_cert(target->store, cert);
  target->api->X509_free(cert);
}

}  // namespace

std::size_t ForEachSystemRootCertificate(void (*visit)(const unsigned char* der, std::size_t size, void* context),
                                         void* context) {
  std::unique_ptr<void, TCertStoreClose> store(::CertOpenSystemStoreW(0, L"ROOT"));
  if (!store) return 0;
  std::size_t count = 0;
  PCCERT_CONTEXT cert = nullptr;
  // Each call releases the certificate returned before; the last returns null.
  while ((cert = ::CertEnumCertificatesInStore(static_cast<HCERTSTORE>(store.get()), cert)) != nullptr) {
    if (cert->dwCertEncodingType & X509_ASN_ENCODING) {
      visit(cert->pbCertEncoded, cert->cbCertEncoded, context);
      ++count;
    }
  }
  return count;
}

bool AddSystemTrust(const TSslApi& api, void* ctx) {
  // Trust files named by OpenSSL's own settings still count.
  api.SSL_CTX_set_default_verify_paths(ctx);
  TTrustTarget target{&api, api.SSL_CTX_get_cert_store(ctx)};
  std::size_t added = target.store ? ForEachSystemRootCertificate(AddCertificate, &target) : 0;
  // Duplicates and unreadable certificates leave entries in the error queue that must not
  // be taken for errors of the connection.
  api.ERR_clear_error();
  return added > 0;
}

bool IsIpLiteral(const std::string& host) {
  unsigned char buf[16];
  return ::inet_pton(AF_INET, host.c_str(), buf) == 1 || ::inet_pton(AF_INET6, host.c_str(), buf) == 1;
}

// Windows raises no signal for a write to a closed connection.
int RunSslCall(int (*call)(void*), void* context) { return call(context); }
