// Starting Windows Sockets. Internal to the socket layer (and its tests).
#pragma once

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
