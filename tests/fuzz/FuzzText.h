// Text for the fuzz targets, drawn from the fuzzer's input.
#pragma once

#include <fuzzer/FuzzedDataProvider.h>

#include <cstddef>
#include <string>

#include "platform/UStrings.h"

// Up to max bytes of the input as text: one character per byte (quotes, blanks and line
// ends are then frequent), or pairs of bytes as UTF-16 code units (any character, lone
// surrogates too).
inline UString TakeFuzzText(FuzzedDataProvider& in, std::size_t max) {
  const bool wide = in.ConsumeBool();
  const std::string bytes = in.ConsumeRandomLengthString(max);
  UString v;
  if (wide) {
    for (std::size_t i = 0; i + 1 < bytes.size(); i += 2)
      v.push_back(char16_t(static_cast<unsigned char>(bytes[i]) | static_cast<unsigned char>(bytes[i + 1]) << 8));
  } else {
    for (char c : bytes) v.push_back(static_cast<unsigned char>(c));
  }
  return v;
}
