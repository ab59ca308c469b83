#include "ui/IniFileText.h"

#include "platform/Locale.h"
#include "platform/SysUtils.h"

namespace {

constexpr std::string_view kUtf8Bom = "\xEF\xBB\xBF";

// Upper-cases the letters of the Latin-1, Latin Extended-A, Greek and Cyrillic ranges, so
// that section and key names match without regard to case in the scripts a settings file
// is likely to hold.
char16_t FoldChar(char16_t c) {
  if (c < 0x80) return c >= u'a' && c <= u'z' ? char16_t(c - 0x20) : c;
  if (c >= 0xE0 && c <= 0xFE && c != 0xF7) return char16_t(c - 0x20);
  if (c == 0xFF) return 0x178;
  if ((c >= 0x100 && c <= 0x137) || (c >= 0x14A && c <= 0x177)) return char16_t(c & ~1u);
  if ((c >= 0x139 && c <= 0x148) || (c >= 0x179 && c <= 0x17E))
    return c % 2 == 0 ? char16_t(c - 1) : c;
  if (c == 0x3C2) return 0x3A3;
  if (c >= 0x3B1 && c <= 0x3C9) return char16_t(c - 0x20);
  if (c >= 0x430 && c <= 0x44F) return char16_t(c - 0x20);
  if (c >= 0x450 && c <= 0x45F) return char16_t(c - 0x50);
  return c;
}

UString Fold(UStringView s) {
  UString out(s);
  for (char16_t& c : out) c = FoldChar(c);
  return out;
}

bool HasLineBreak(UStringView s) { return s.find_first_of(u"\r\n") != UStringView::npos; }

bool FitsAnsi(UStringView s) { return AnsiToUString(UStringToAnsi(s)) == s; }
// UTF-8 holds every character, but not a lone half of a surrogate pair.
bool FitsUtf8(UStringView s) { return Utf8ToUString(UStringToUtf8(s)) == s; }

}  // namespace

TIniText::TIniText() : eol_("\r\n") {}

TIniText::TIniText(std::string bytes, UStringView fileName) {
  std::string_view body = bytes;
  if (body.starts_with(kUtf8Bom)) {
    encoding_ = TIniEncoding::ieUtf8;
    bom_ = kUtf8Bom;
  } else if (body.starts_with("\xFF\xFE")) {
    encoding_ = TIniEncoding::ieUtf16LE;
    bom_ = "\xFF\xFE";
  } else if (body.starts_with("\xFE\xFF")) {
    encoding_ = TIniEncoding::ieUtf16BE;
    bom_ = "\xFE\xFF";
  }
  body.remove_prefix(bom_.size());
  if (Unit() == 2 && body.size() % 2 != 0) {
    tail_ = body.substr(body.size() - 1);
    body.remove_suffix(1);
  }
  Split(body, fileName);
  if (eol_.empty()) eol_ = Encode(u"\r\n");
  Index();
}

char16_t TIniText::UnitAt(std::string_view raw, std::size_t pos) const {
  auto b = [&](std::size_t i) { return static_cast<unsigned char>(raw[i]); };
  switch (encoding_) {
    case TIniEncoding::ieUtf16LE: return char16_t(b(pos) | b(pos + 1) << 8);
    case TIniEncoding::ieUtf16BE: return char16_t(b(pos) << 8 | b(pos + 1));
    default: return b(pos);
  }
}

UString TIniText::Decode(const std::string& raw) const {
  switch (encoding_) {
    case TIniEncoding::ieAnsi: return AnsiToUString(raw);
    case TIniEncoding::ieUtf8: return Utf8ToUString(raw);
    default: {
      UString out(raw.size() / 2, u'\0');
      for (std::size_t i = 0; i < out.size(); ++i) out[i] = UnitAt(raw, 2 * i);
      return out;
    }
  }
}

std::string TIniText::Encode(UStringView text) const {
  switch (encoding_) {
    case TIniEncoding::ieAnsi: return UStringToAnsi(text);
    case TIniEncoding::ieUtf8: return UStringToUtf8(text);
    default: {
      const bool le = encoding_ == TIniEncoding::ieUtf16LE;
      std::string out(text.size() * 2, '\0');
      for (std::size_t i = 0; i < text.size(); ++i) {
        out[2 * i + (le ? 0 : 1)] = static_cast<char>(text[i] & 0xFF);
        out[2 * i + (le ? 1 : 0)] = static_cast<char>(text[i] >> 8);
      }
      return out;
    }
  }
}

void TIniText::Split(std::string_view body, UStringView fileName) {
  const std::size_t unit = Unit();
  auto unitAt = [&](std::size_t pos) { return UnitAt(body, pos); };
  std::size_t start = 0, pos = 0;
  while (pos < body.size()) {
    char16_t c = unitAt(pos);
    if (c != u'\r' && c != u'\n') {
      pos += unit;
      continue;
    }
    std::size_t end = pos + unit;
    if (c == u'\r' && end < body.size() && unitAt(end) == u'\n') end += unit;
    lines_.push_back(
        {std::string(body.substr(start, pos - start)), std::string(body.substr(pos, end - pos))});
    if (eol_.empty()) eol_ = lines_.back().eol;
    start = pos = end;
  }
  if (start < body.size()) lines_.push_back({std::string(body.substr(start)), {}});
  for (const TLine& line : lines_)
    if (line.raw.size() > MaxLineLength)
      throw EReadError(Format(u"The settings file \"%s\" has a line longer than %d bytes",
                              {UString(fileName), static_cast<int>(MaxLineLength)}));
}

void TIniText::Index() {
  blocks_.clear();
  sections_.clear();
  keys_.clear();
  std::size_t current = SIZE_MAX;
  for (std::size_t i = 0; i < lines_.size(); ++i) {
    UString text = Trim(Decode(lines_[i].raw));
    if (text.empty() || text[0] == u';' || text[0] == u'#') continue;
    if (text[0] == u'[') {
      std::size_t close = text.find(u']');
      if (close != UString::npos) {
        blocks_.push_back({Fold(Trim(UStringView(text).substr(1, close - 1))), i, i});
        current = blocks_.size() - 1;
        sections_.try_emplace(blocks_.back().name, current);
        continue;
      }
    }
    if (current == SIZE_MAX) continue;
    std::size_t eq = text.find(u'=');
    if (eq == UString::npos) continue;
    UString key = Trim(UStringView(text).substr(0, eq));
    if (key.empty()) continue;
    keys_.try_emplace({blocks_[current].name, Fold(key)}, i);
    blocks_[current].lastKey = i;
  }
}

std::optional<UString> TIniText::Find(UStringView section, UStringView key) const {
  auto it = keys_.find({Fold(Trim(section)), Fold(Trim(key))});
  if (it == keys_.end()) return std::nullopt;
  UString text = Decode(lines_[it->second].raw);
  return Trim(UStringView(text).substr(text.find(u'=') + 1));
}

bool TIniText::AllAscii() const {
  auto ascii = [](const std::string& s) {
    for (char c : s)
      if (static_cast<unsigned char>(c) >= 0x80) return false;
    return true;
  };
  for (const TLine& line : lines_)
    if (!ascii(line.raw) || !ascii(line.eol)) return false;
  return ascii(bom_) && ascii(tail_);
}

void TIniText::Set(UStringView section, UStringView key, UStringView value, UStringView fileName) {
  const UString sec = Trim(section), name = Trim(key);
  // Anything that would read back as another line, another section or no key at all.
  if (sec.empty() || name.empty() || HasLineBreak(sec) || HasLineBreak(name) ||
      HasLineBreak(value) || sec.find(u']') != UString::npos || name.find(u'=') != UString::npos ||
      name[0] == u'[' || name[0] == u';' || name[0] == u'#')
    throw EArgumentException(
        Format(u"Cannot write the key \"%s\" of section \"%s\" to the settings file "
               u"\"%s\": the name or the value does not fit on one line of it",
               {name, sec, UString(fileName)}));

  const UString foldedSec = Fold(sec);
  auto keyIt = keys_.find({foldedSec, Fold(name)});
  auto secIt = sections_.find(foldedSec);

  // Only the text that is actually written has to fit the file's encoding; text that
  // does not would read back as other text.
  auto fitsAll = [&](bool (*fitsText)(UStringView)) {
    return fitsText(value) && (keyIt != keys_.end() || fitsText(name)) && (secIt != sections_.end() || fitsText(sec));
  };
  TIniEncoding encoding = encoding_;
  if (encoding_ == TIniEncoding::ieAnsi && !fitsAll(FitsAnsi)) {
    if (!AllAscii())
      throw EConvertError(
          Format(u"Cannot write the key \"%s\" of section \"%s\" to the settings file "
                 u"\"%s\": its ANSI code page cannot represent the text",
                 {name, sec, UString(fileName)}));
    encoding = TIniEncoding::ieUtf8;  // ASCII bytes read the same as UTF-8
  }
  if (encoding == TIniEncoding::ieUtf8 && !fitsAll(FitsUtf8))
    throw EConvertError(
        Format(u"Cannot write the key \"%s\" of section \"%s\" to the settings file "
               u"\"%s\": the text holds an unpaired surrogate, which UTF-8 cannot represent",
               {name, sec, UString(fileName)}));

  // Build the changed lines on a copy so that an error leaves this text as it was.
  TIniText next = *this;
  next.encoding_ = encoding;
  if (encoding != encoding_) next.bom_ = kUtf8Bom;
  auto endLastLine = [&] {
    if (!next.lines_.empty() && next.lines_.back().eol.empty()) next.lines_.back().eol = next.eol_;
  };
  if (keyIt != keys_.end()) {
    std::string& raw = next.lines_[keyIt->second].raw;
    const std::size_t unit = Unit();
    std::size_t pos = 0;
    while (UnitAt(raw, pos) != u'=') pos += unit;
    pos += unit;
    // The blanks after "=" stay, so "Name = 1" becomes "Name = 0".
    while (pos < raw.size() && (UnitAt(raw, pos) == u' ' || UnitAt(raw, pos) == u'\t')) pos += unit;
    raw = raw.substr(0, pos) + next.Encode(value);
  } else if (secIt != sections_.end()) {
    std::size_t at = blocks_[secIt->second].lastKey + 1;
    if (at == next.lines_.size()) endLastLine();
    next.lines_.insert(next.lines_.begin() + static_cast<std::ptrdiff_t>(at),
                       TLine{next.Encode(name + u"=" + UString(value)), next.eol_});
  } else {
    endLastLine();
    next.lines_.push_back({next.Encode(u"[" + sec + u"]"), next.eol_});
    next.lines_.push_back({next.Encode(name + u"=" + UString(value)), next.eol_});
  }
  next.Index();
  *this = std::move(next);
}

std::string TIniText::Bytes() const {
  std::size_t size = bom_.size() + tail_.size();
  for (const TLine& line : lines_) size += line.raw.size() + line.eol.size();
  std::string out;
  out.reserve(size);
  out += bom_;
  for (const TLine& line : lines_) out.append(line.raw).append(line.eol);
  out += tail_;
  return out;
}
