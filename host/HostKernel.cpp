#include "host/HostKernel.h"

#include <cstdio>
#include <filesystem>

#include "platform/DateUtils.h"
#include "platform/Kernel.h"
#include "platform/OleAuto.h"

namespace {
UString Key(UStringView name) { return UpperCaseAscii(name); }

std::string Timestamp() {
  const TDateTimeParts t = LocalNow();
  char buf[80];
  std::snprintf(buf, sizeof buf, "%04d-%02d-%02d %02d:%02d:%02d.%03d", t.year, t.month, t.day, t.hour, t.minute,
                t.second, t.millisecond);
  return buf;
}
}  // namespace

THostKernel::THostKernel(THostFaults& faults, IUnknown& identity, UStringView dataDir)
    : THostPart(faults, identity) {
  UString dir = IncludeTrailingPathDelimiter(dataDir);
  FLogPath = dir + u"zorvik-host.log";
  FIniPath = dir + u"zorvik-host.ini";
  FDownloadDir = dir + u"Download" + UString(1, PathDelim);
  if (!ForceDirectories(FDownloadDir)) throw EFCreateError(u"Cannot create the download folder " + FDownloadDir);
  // Opened by its wide name, so that any folder name works on every platform.
  FLog.open(std::filesystem::path(FLogPath), std::ios::app);
  if (!FLog) throw EFOpenError(u"Cannot open the log file " + FLogPath + u": " + OSErrorText(errno));
  MessageHook = [](const UString& text, const UString& caption) {
    std::fprintf(stderr, "[%s] %s\n", UStringToUtf8(caption).c_str(), UStringToUtf8(text).c_str());
  };
}

void THostKernel::Log(UStringView text) {
  std::string line = Timestamp() + "  " + UStringToUtf8(text) + "\n";
  FLog << line << std::flush;
  if (EchoLog) std::fputs(line.c_str(), stderr);
}

UString THostKernel::Value(UStringView name) const {
  UString key = Key(name);
  if (key == u"APP_INI") return FIniPath;
  if (key == u"DOWNLOAD") return FDownloadDir;
  auto it = FValues.find(key);
  return it == FValues.end() ? UString() : it->second;
}

HRESULT THostKernel::AddToLog(BSTR text) {
  return Call("AddToLog", [&] { Log(BSTRText(text)); });
}

HRESULT THostKernel::ReportMessage(BSTR text, BSTR caption) {
  return Call("ReportMessage", [&] {
    Messages.emplace_back(BSTRText(caption), BSTRText(text));
    if (MessageHook) MessageHook(BSTRText(text), BSTRText(caption));
  });
}

HRESULT THostKernel::SetValue(BSTR name, BSTR value) {
  return Call("SetValue", [&] {
    UString key = Key(BSTRText(name));
    if (key.empty()) throw EHostError(E_INVALIDARG, u"A named value needs a name.");
    if (key == u"APP_INI" || key == u"DOWNLOAD")
      throw EHostError(E_ACCESSDENIED, u"The host's value " + key + u" cannot be changed.");
    FValues[key] = BSTRText(value);
  });
}

void THostKernel::ClearValue(UStringView name) { FValues.erase(Key(name)); }

HRESULT THostKernel::GetValue(BSTR name, BSTR* value) {
  return Call("GetValue", [&] {
    BSTR& out = Out(value);
    out = nullptr;
    out = AllocBSTR(Value(BSTRText(name)));
  });
}
