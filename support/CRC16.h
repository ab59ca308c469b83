// CRC-16/XMODEM: polynomial 0x1021, initial value 0, no reflection, no final XOR.
#pragma once

#include <cstdint>

#include "platform/UStrings.h"

// The CRC of length bytes at data; 0 for a length of 0 or less.
std::uint16_t CalcCRC16(const void* data, std::int32_t length);
// The CRC of the UTF-8 encoding of text.
std::uint16_t StrCRC16(UStringView text);
