// The TLS session of one socket, over the OpenSSL libraries loaded at run time.
// Internal to the socket layer.
#pragma once

#include <cstddef>
#include <functional>
#include <memory>
#include <string>

#include "http/NetSocket.h"

class TTlsSession {
 public:
  enum TIoState { ioOk, ioWantRead, ioWantWrite, ioClosed, ioError };

  // Waits until the socket is ready; false on timeout or error (the waiter records the
  // error itself).
  using TWaiter = std::function<bool(TSocketWait what)>;

  // Runs a client handshake on the connected non-blocking socket with SNI and
  // certificate checks against host. Returns null and sets error to a socket error code
  // when TLS is unavailable, the handshake fails or the certificate is refused.
  static std::unique_ptr<TTlsSession> Handshake(TSocketId socket, const std::string& host,
                                                const std::string& caFile,
                                                const std::string& caPath,
                                                const TWaiter& wait, int& error);
  ~TTlsSession();
  TTlsSession(const TTlsSession&) = delete;
  TTlsSession& operator=(const TTlsSession&) = delete;

  TIoState Read(void* dest, std::size_t max, std::size_t& done);
  TIoState Write(const void* data, std::size_t size, std::size_t& done);
  // Decrypted bytes ready to be read without touching the socket.
  std::size_t Pending() const;
  // Sends a close notification without waiting for the answer.
  void Shutdown();

 private:
  struct Impl;
  explicit TTlsSession(std::unique_ptr<Impl> impl);
  std::unique_ptr<Impl> impl_;
};
