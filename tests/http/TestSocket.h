// The few socket calls the loopback test server makes, one file per platform. Sockets
// are the client library's TSocketId and TSocketOwner.
#pragma once

#include <cstddef>
#include <cstdint>

#include "http/NetSocket.h"

namespace test_socket {

// A listening socket on 127.0.0.1 (or ::1 with ipv6) on a free port; invalid on failure.
TSocketOwner ListenOnLoopback(bool ipv6, std::uint16_t& port);
// An accepted connection with Nagle's delay off; invalid on failure.
TSocketOwner Accept(TSocketId listener);
// 1 when the socket is readable (data, a close or a connection to accept), 0 when
// nothing came within ms milliseconds, -1 on failure.
int WaitReadable(TSocketId s, int ms);
// The byte count received; 0 or less when the peer closed or on failure.
int Receive(TSocketId s, char* buf, int size);
// Sends all bytes; false on failure.
bool SendAll(TSocketId s, const char* data, std::size_t size);

}  // namespace test_socket
