#include "jet/JetConnectionString.h"

#include "jet/EDatabaseError.h"

namespace {

bool IsBlank(char16_t c) { return c <= u' '; }

}  // namespace

TJetConnectionString::TJetConnectionString(UStringView text) {
  std::size_t i = 0;
  const std::size_t n = text.size();
  while (i < n) {
    // Key: up to "=" or the end of the piece.
    const std::size_t keyStart = i;
    while (i < n && text[i] != u'=' && text[i] != u';') ++i;
    UString key = Trim(text.substr(keyStart, i - keyStart));
    if (i >= n || text[i] == u';') {
      if (!key.empty())
        throw EDatabaseError(Format(u"Connection string: '%s' has no value (expected key=value)",
                                    {key}));
      ++i;  // an empty piece
      continue;
    }
    ++i;  // past "="
    if (key.empty()) throw EDatabaseError(u"Connection string: a value has no key");

    while (i < n && IsBlank(text[i]) && text[i] != u';') ++i;
    UString value;
    if (i < n && (text[i] == u'"' || text[i] == u'\'')) {
      const char16_t quote = text[i++];
      bool closed = false;
      while (i < n) {
        if (text[i] == quote) {
          if (i + 1 < n && text[i + 1] == quote) {
            value += quote;
            i += 2;
            continue;
          }
          ++i;
          closed = true;
          break;
        }
        value += text[i++];
      }
      if (!closed)
        throw EDatabaseError(Format(u"Connection string: the value of '%s' has no closing quote",
                                    {key}));
      while (i < n && IsBlank(text[i])) ++i;
      if (i < n && text[i] != u';')
        throw EDatabaseError(
            Format(u"Connection string: unexpected text after the quoted value of '%s'", {key}));
    } else {
      const std::size_t valueStart = i;
      while (i < n && text[i] != u';') ++i;
      value = Trim(text.substr(valueStart, i - valueStart));
    }
    if (i < n) ++i;  // past ";"
    FPairs.emplace_back(std::move(key), std::move(value));
  }
}

const UString* TJetConnectionString::Find(UStringView key) const {
  for (auto it = FPairs.rbegin(); it != FPairs.rend(); ++it)
    if (SameTextAscii(it->first, key)) return &it->second;
  return nullptr;
}

UString QuoteConnectionValue(const UString& value) {
  const bool plain = !value.empty() && value.front() > u' ' && value.back() > u' ' &&
                     value.find_first_of(u";=\"'") == UString::npos;
  if (plain) return value;
  UString quoted = u"\"";
  for (char16_t c : value) {
    if (c == u'"') quoted += u'"';
    quoted += c;
  }
  return quoted + u"\"";
}
