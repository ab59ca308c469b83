// The OpenSSL functions the socket layer binds at run time, and what each platform adds
// to them. Internal to the socket layer.
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>
#include <type_traits>
#include <vector>

#include "platform/DynLib.h"

struct TSslApi {
  std::unique_ptr<TDynLib> crypto, ssl;
  int (*OPENSSL_init_ssl)(std::uint64_t, const void*);
  const void* (*TLS_client_method)();
  void* (*SSL_CTX_new)(const void*);
  void (*SSL_CTX_free)(void*);
  void (*SSL_CTX_set_verify)(void*, int, void*);
  int (*SSL_CTX_set_default_verify_paths)(void*);
  int (*SSL_CTX_load_verify_locations)(void*, const char*, const char*);
  long (*SSL_CTX_ctrl)(void*, int, long, void*);
  void* (*SSL_CTX_get_cert_store)(const void*);
  void* (*SSL_new)(void*);
  void (*SSL_free)(void*);
  int (*SSL_set_fd)(void*, int);
  long (*SSL_ctrl)(void*, int, long, void*);
  int (*SSL_set1_host)(void*, const char*);
  void (*SSL_set_hostflags)(void*, unsigned);
  void* (*SSL_get0_param)(void*);
  int (*X509_VERIFY_PARAM_set1_ip_asc)(void*, const char*);
  int (*SSL_connect)(void*);
  int (*SSL_read)(void*, void*, int);
  int (*SSL_write)(void*, const void*, int);
  int (*SSL_get_error)(const void*, int);
  int (*SSL_pending)(const void*);
  int (*SSL_shutdown)(void*);
  long (*SSL_get_verify_result)(const void*);
  void* (*d2i_X509)(void**, const unsigned char**, long);
  void (*X509_free)(void*);
  int (*X509_STORE_add_cert)(void*, void*);
  void (*ERR_clear_error)();
  unsigned long (*ERR_peek_error)();
};

// The file names of libssl and libcrypto, tried pairwise in order.
std::vector<std::string> DefaultSslNames();
std::vector<std::string> DefaultCryptoNames();

// Adds the system's trusted roots to the verification store of the context ctx. False
// when the system's roots cannot be reached at all.
bool AddSystemTrust(const TSslApi& api, void* ctx);

// True when host is an IPv4 or IPv6 literal.
bool IsIpLiteral(const std::string& host);

// Runs call(context), an OpenSSL call that may write to the socket, so that a write to a
// connection the peer has closed fails with an error rather than ending the process.
int RunSslCall(int (*call)(void*), void* context);
template <class F>
int RunSslCall(F&& f) {
  return RunSslCall([](void* c) { return (*static_cast<std::remove_reference_t<F>*>(c))(); }, &f);
}
