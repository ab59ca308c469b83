// The Windows parts of the socket layer that its tests reach: starting Windows Sockets
// and reading the system's trusted roots. Internal to the socket layer.
#pragma once

#include <cstddef>
#include <cstdint>

// One start of Windows Sockets at a requested version, cleaned up when destroyed.
class TWinsockStart {
 public:
  // Starts Windows Sockets at version (low byte major, high byte minor); failure is kept
  // for Require.
  explicit TWinsockStart(std::uint16_t version);
  ~TWinsockStart();
  TWinsockStart(const TWinsockStart&) = delete;
  TWinsockStart& operator=(const TWinsockStart&) = delete;

  bool Started() const { return started_; }
  // The error of a failed start, 0 after a successful one.
  int Error() const { return error_; }
  // Throws Exception("Error loading Socket interface (ws2_32.dll)!") unless started.
  void Require() const;

 private:
  bool started_ = false;
  int error_ = 0;
};

// Calls visit with the DER bytes of every certificate in the system's store of trusted
// roots; returns how many there were.
std::size_t ForEachSystemRootCertificate(void (*visit)(const unsigned char* der, std::size_t size, void* context),
                                         void* context);
