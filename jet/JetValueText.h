// How loaded values read as text, the same whatever engine delivered them: whole numbers
// in decimal, dates as "yyyy-mm-dd hh:nn:ss", Booleans as "True" or "False", fixed binary
// as upper-case hexadecimal.
#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

inline void AppendAscii(std::vector<char16_t>& out, const char* s, std::size_t n) {
  for (std::size_t i = 0; i < n; ++i) out.push_back(char16_t(static_cast<unsigned char>(s[i])));
}

inline void AppendBoolean(std::vector<char16_t>& out, bool value) {
  if (value) AppendAscii(out, "True", 4);
  else AppendAscii(out, "False", 5);
}

inline void AppendInt(std::vector<char16_t>& out, std::int64_t v) {
  char buf[24];
  int n = 0;
  std::uint64_t u = v < 0 ? std::uint64_t(0) - std::uint64_t(v) : std::uint64_t(v);
  do {
    buf[n++] = char('0' + u % 10);
    u /= 10;
  } while (u);
  if (v < 0) out.push_back(u'-');
  while (n) out.push_back(char16_t(buf[--n]));
}

inline void AppendHex(std::vector<char16_t>& out, const unsigned char* p, std::size_t n) {
  static const char digits[] = "0123456789ABCDEF";
  for (std::size_t i = 0; i < n; ++i) {
    out.push_back(char16_t(digits[p[i] >> 4]));
    out.push_back(char16_t(digits[p[i] & 15]));
  }
}

// Days since 1899-12-30 plus the fraction of a day, as Jet stores dates, written as
// "yyyy-mm-dd hh:nn:ss". The fraction is the time of day also for days before 1899-12-30.
// Values outside Jet's range (years 100 to 9999) read "#invalid date#".
void AppendDate(std::vector<char16_t>& out, double value);
