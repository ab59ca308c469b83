#include "ui/IniFile.h"

#include "platform/Classes.h"
#include "platform/Kernel.h"
#include "platform/FileReplace.h"

UString IniFilePath(UStringView path, UStringView exePath) {
  if (path.empty()) return ChangeFileExt(exePath, u".ini");
  if (ExtractFilePath(path).empty()) return ExtractFilePath(exePath) + ChangeFileExt(path, u".ini");
  return UString(path);
}

void TIniFile::SetFileName(UString fileName) {
  fileName_ = std::move(fileName);
  source_ = nullptr;
  loaded_ = false;
}

void TIniFile::SetFileNameSource(std::function<UString()> source) {
  source_ = std::move(source);
  loaded_ = false;
}

TIniText& TIniFile::Text() {
  if (loaded_) return text_;
  UString path = IniFilePath(source_ ? source_() : fileName_, zorvik::GetModuleFileName());
  TIniText text;
  if (FileExists(path)) {
    TFileStream stream(path, fmOpenRead | fmShareDenyWrite);
    std::int64_t size = stream.Size();
    if (size > MaxFileSize)
      throw EReadError(Format(u"The settings file \"%s\" is larger than %d bytes",
                              {ExpandFileName(path), static_cast<int>(MaxFileSize)}));
    std::string bytes(static_cast<std::size_t>(size), '\0');
    stream.ReadBuffer(bytes.data(), bytes.size());
    text = TIniText(std::move(bytes), ExpandFileName(path));
  }
  path_ = std::move(path);
  text_ = std::move(text);
  loaded_ = true;
  return text_;
}

UString TIniFile::ReadString(UStringView section, UStringView key, UStringView def) {
  std::optional<UString> value = Text().Find(section, key);
  return value ? std::move(*value) : UString(def);
}

std::int32_t TIniFile::ReadInteger(UStringView section, UStringView key, std::int32_t def) {
  std::optional<UString> value = Text().Find(section, key);
  if (!value) return def;
  return TryStrToInt(*value).value_or(def);
}

bool TIniFile::ReadBool(UStringView section, UStringView key, bool def) {
  return ReadInteger(section, key, def ? 1 : 0) != 0;
}

void TIniFile::WriteString(UStringView section, UStringView key, UStringView value) {
  TIniText next = Text();
  next.Set(section, key, value, ExpandFileName(path_));
  ReplaceFileContents(path_, next.Bytes());
  text_ = std::move(next);
}

void TIniFile::WriteBool(UStringView section, UStringView key, bool value) {
  WriteString(section, key, value ? u"1" : u"0");
}
