// The host's kernel services: the log, messages to the user and named values.
#pragma once

#include <cstdio>
#include <fstream>
#include <functional>
#include <map>
#include <memory>
#include <vector>

#include "PluginAPI/PluginAPI.h"
#include "host/HostPart.h"

// The log is a file in the data folder; each line starts with a local timestamp
// "YYYY-MM-DD hh:mm:ss.mmm" and is echoed to standard error. Named values: "APP_INI" is
// the host's settings file, "DOWNLOAD" its download folder (with a trailing delimiter);
// any other name is stored as the plug-in sets it. Names are matched ignoring ASCII case.
class THostKernel final : public THostPart<IHostKernel> {
 public:
  // Opens (appends to) the log file; raises EFOpenError naming it when that fails.
  THostKernel(THostFaults& faults, IUnknown& identity, UStringView dataDir);

  HRESULT ZSTDCALL AddToLog(BSTR text) override;
  HRESULT ZSTDCALL ReportMessage(BSTR text, BSTR caption) override;
  Z_HOST_RESERVED(3)
  Z_HOST_RESERVED(4)
  Z_HOST_RESERVED(5)
  Z_HOST_RESERVED(6)
  HRESULT ZSTDCALL SetValue(BSTR name, BSTR value) override;
  HRESULT ZSTDCALL GetValue(BSTR name, BSTR* value) override;

  // Writes one timestamped line to the log file and the terminal.
  void Log(UStringView text);
  // The stored or fixed value of a name; empty when there is none.
  UString Value(UStringView name) const;
  // Forgets a stored value: the host's own bookkeeping, which no planned failure touches.
  void ClearValue(UStringView name);

  const UString& LogPath() const { return FLogPath; }
  const UString& IniPath() const { return FIniPath; }
  const UString& DownloadDir() const { return FDownloadDir; }

  // Where messages for the user go; by default to standard error. A window replaces it.
  std::function<void(const UString& text, const UString& caption)> MessageHook;
  // Every message reported so far, as caption and text.
  std::vector<std::pair<UString, UString>> Messages;
  // Whether log lines are echoed to the terminal.
  bool EchoLog = true;

 private:
  UString FLogPath, FIniPath, FDownloadDir;
  std::ofstream FLog;
  std::map<UString, UString> FValues;
};
