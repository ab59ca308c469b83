// The text of a settings file held as its own bytes: each line keeps its encoding and its
// line end, so that changing one value leaves every other byte of the file as it was.
#pragma once

#include <cstddef>
#include <map>
#include <optional>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "platform/UStrings.h"

// How a settings file's text is stored: the ANSI code page without a byte-order mark, or
// UTF-8 / UTF-16 with theirs.
enum class TIniEncoding { ieAnsi, ieUtf8, ieUtf16LE, ieUtf16BE };

class TIniText {
 public:
  // The largest line, in bytes without its line end, that a settings file may hold.
  static constexpr std::size_t MaxLineLength = 1u << 20;

  // An empty text, as for a file that does not exist yet: ANSI, CR LF line ends.
  TIniText();
  // Takes a file's bytes. A UTF-8 or UTF-16 byte-order mark chooses the encoding, ANSI
  // otherwise. Raises EReadError naming fileName when a line is longer than MaxLineLength.
  TIniText(std::string bytes, UStringView fileName);

  TIniEncoding Encoding() const { return encoding_; }
  // The trimmed value of the first key of that name in the first section of that name
  // (later sections of the same name count too); nothing when there is no such key.
  // Names compare without regard to case.
  std::optional<UString> Find(UStringView section, UStringView key) const;
  // Sets a key: replaces the value part of its line, or adds "key=value" after the last
  // key of its section, or adds the section at the end. Raises EArgumentException for a
  // name or value that would not read back as one key, and EConvertError naming fileName
  // when an ANSI file cannot hold the text and cannot become UTF-8 without changing its
  // existing bytes, or when text for UTF-8 holds an unpaired surrogate. On error the text
  // is unchanged.
  void Set(UStringView section, UStringView key, UStringView value, UStringView fileName);
  // The whole file.
  std::string Bytes() const;

 private:
  struct TLine {
    std::string raw;  // the line's bytes without its line end
    std::string eol;  // its line end as stored; empty only for a last line without one
  };
  struct TBlock {
    UString name;         // folded section name
    std::size_t header;   // line of "[name]"
    std::size_t lastKey;  // line of its last key, or the header when it has none
  };

  std::size_t Unit() const {
    return encoding_ == TIniEncoding::ieAnsi || encoding_ == TIniEncoding::ieUtf8 ? 1 : 2;
  }
  char16_t UnitAt(std::string_view raw, std::size_t pos) const;
  UString Decode(const std::string& raw) const;
  std::string Encode(UStringView text) const;
  bool AllAscii() const;
  void Split(std::string_view body, UStringView fileName);
  void Index();

  TIniEncoding encoding_ = TIniEncoding::ieAnsi;
  std::string bom_;
  std::vector<TLine> lines_;
  std::string tail_;  // the odd last byte of a UTF-16 file, kept as it is
  std::string eol_;   // the line end that new lines get, encoded
  std::vector<TBlock> blocks_;
  std::map<UString, std::size_t> sections_;                  // folded name -> first block
  std::map<std::pair<UString, UString>, std::size_t> keys_;  // folded names -> first line
};
