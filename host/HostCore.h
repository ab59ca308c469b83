// The reference host: its core interface and every service it offers to plug-ins.
#pragma once

#include <memory>

#include "PluginAPI/PluginAPI.h"
#include "host/CallbookDb.h"
#include "host/HostFaults.h"
#include "host/HostIcons.h"
#include "host/HostKernel.h"
#include "host/HostMainWindow.h"
#include "host/HostPart.h"
#include "host/HostServer.h"
#include "host/HostWindows.h"
#include "host/MenuManager.h"

// The host's data folder unless --data names another: ~/.local/share/zorvik-host, on
// Windows %LOCALAPPDATA%\zorvik-host.
UString DefaultDataDir();

// The host's ICore. QueryInterface hands out the host's services unless the failure
// switches withhold one. The core and its services live as long as this object, which
// must outlive every module loaded with it.
class THostCore final : public THostPart<ICore> {
 public:
  // Creates the data folder with its callbook (TCallbookDb::FileName), log
  // (zorvik-host.log) and download folder. Raises naming what could not be made.
  explicit THostCore(UStringView dataDir);
  ~THostCore();

  HRESULT ZSTDCALL QueryInterface(REFIID iid, void** obj) override;
  HRESULT ZSTDCALL GetVersion(std::int32_t* version) override;

  const UString& DataDir() const { return FDataDir; }

  THostFaults Faults;

 private:
  UString FDataDir;
  std::unique_ptr<TCallbookDb> FDb;

 public:
  THostKernel Kernel;
  THostServer Server;
  THostWindows Windows;
  TMenuManager Menus;
  THostIcons Icons;
  // Made with the core, before any module starts.
  THostMainWindow MainWindow{Windows};

  // References the plug-in still holds on the core and on any service.
  std::int32_t OutstandingRefs() const;
};
