// The INI settings store: a settings file read once, at the first access, and kept in
// memory. Every written value is saved at once, and every other byte of the file (other
// sections, keys, comments, spacing, line ends, encoding) stays as it was, because the
// file is normally the host's own settings file.
#pragma once

#include <cstdint>
#include <functional>

#include "platform/SysUtils.h"
#include "ui/IniFileText.h"

// The settings file for a configured path. An empty path names exePath with its extension
// replaced by ".ini"; a bare file name names that file, extension replaced by ".ini", in
// exePath's folder; any other path is taken as it stands.
UString IniFilePath(UStringView path, UStringView exePath);

class TIniFile : public TObject {
 public:
  // The largest settings file that is read.
  static constexpr std::int64_t MaxFileSize = std::int64_t(16) << 20;

  TIniFile() = default;
  explicit TIniFile(UString fileName) : fileName_(std::move(fileName)) {}
  UString ClassName() const override { return u"TIniFile"; }

  // Names the settings file. The next access reads it afresh.
  void SetFileName(UString fileName);
  // Lets the file name be asked for at the first access instead, for an owner that knows
  // it only later. The next access reads the file afresh.
  void SetFileNameSource(std::function<UString()> source);
  // The settings file in use, after the path rules; empty before the first access.
  const UString& FileName() const { return path_; }

  // A missing file, section or key gives def. A file that exists but cannot be read raises
  // EFOpenError "Cannot open file "%s". %s"; one larger than MaxFileSize or with an overlong
  // line raises EReadError naming it.
  UString ReadString(UStringView section, UStringView key, UStringView def);
  // An integer in decimal or in hexadecimal after "0x" or "$"; def when the key is missing
  // or its value is not such a number.
  std::int32_t ReadInteger(UStringView section, UStringView key, std::int32_t def);
  // Read as an integer: non-zero is true.
  bool ReadBool(UStringView section, UStringView key, bool def);

  // Sets the value and saves the file at once, through a temporary file that replaces it.
  // A file that cannot be written raises EFCreateError "Cannot create file "%s". %s"; text
  // that an ANSI file cannot hold raises EConvertError, unless the file is all ASCII, in
  // which case it becomes UTF-8 with a byte-order mark. On any error nothing is written
  // and the store keeps its previous content.
  void WriteString(UStringView section, UStringView key, UStringView value);
  // Writes "1" or "0".
  void WriteBool(UStringView section, UStringView key, bool value);

 private:
  TIniText& Text();

  UString fileName_;
  std::function<UString()> source_;
  bool loaded_ = false;
  UString path_;
  TIniText text_;
};
