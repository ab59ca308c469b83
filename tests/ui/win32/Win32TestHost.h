// A host core for the Win32 view tests: the reference host's kernel, window and icon
// services, with a real owner window standing for the application's handle. The
// callbook service refuses every call.
#pragma once

#include <filesystem>
#include <memory>

#include "host/HostIcons.h"
#include "host/HostKernel.h"
#include "host/HostPart.h"
#include "host/HostWindows.h"
#include "host/MenuManager.h"
#include "ui/win32/Win32Toolkit.h"

class TRefusingServer final : public THostPart<IHostServer> {
 public:
  using THostPart::THostPart;
  Z_HOST_RESERVED(1)
  Z_HOST_RESERVED(2)
  Z_HOST_RESERVED(3)
  HRESULT ZSTDCALL CreateQuery(std::int32_t*) override { return E_NOTIMPL; }
  HRESULT ZSTDCALL OpenQuery(std::int32_t, BSTR) override { return E_NOTIMPL; }
  HRESULT ZSTDCALL GetRecordCount(std::int32_t, std::int32_t*) override { return E_NOTIMPL; }
  HRESULT ZSTDCALL First(std::int32_t) override { return E_NOTIMPL; }
  Z_HOST_RESERVED(8)
  HRESULT ZSTDCALL Next(std::int32_t) override { return E_NOTIMPL; }
  Z_HOST_RESERVED(10)
  Z_HOST_RESERVED(11)
  HRESULT ZSTDCALL IsEof(std::int32_t, Bool32*) override { return E_NOTIMPL; }
  Z_HOST_RESERVED(13)
  HRESULT ZSTDCALL GetFieldValue(std::int32_t, BSTR, BSTR*, std::int32_t*) override { return E_NOTIMPL; }
  Z_HOST_RESERVED(15)
  Z_HOST_RESERVED(16)
  Z_HOST_RESERVED(17)
  Z_HOST_RESERVED(18)
  Z_HOST_RESERVED(19)
  HRESULT ZSTDCALL CloseQuery(std::int32_t) override { return E_NOTIMPL; }
  HRESULT ZSTDCALL FreeQuery(std::int32_t) override { return E_NOTIMPL; }
  HRESULT ZSTDCALL ExecSQL(BSTR, std::int32_t*) override { return E_NOTIMPL; }
};

class TWin32TestCore final : public THostPart<ICore> {
 public:
  explicit TWin32TestCore(const std::filesystem::path& dir)
      : THostPart(Faults, *this), Kernel(Faults, *this, dir.u16string()), Server(Faults, *this), Windows(Faults, *this),
        Menus(Faults, *this), Icons(Faults, *this) {
    Kernel.EchoLog = false;
    Kernel.MessageHook = nullptr;
  }
  HRESULT ZSTDCALL QueryInterface(REFIID iid, void** obj) override {
    if (!obj) return E_POINTER;
    *obj = nullptr;
    IUnknown* p = nullptr;
    if (iid == IID_IInterface || iid == ICore::IID) p = static_cast<ICore*>(this);
    else if (iid == IHostKernel::IID) p = &Kernel;
    else if (iid == IHostServer::IID) p = &Server;
    else if (iid == IApplicationWindows::IID) p = &Windows;
    else if (iid == IMenuManager::IID) p = &Menus;
    else if (iid == IHostIcons::IID) p = &Icons;
    if (!p) return E_NOINTERFACE;
    p->AddRef();
    *obj = p;
    return S_OK;
  }
  HRESULT ZSTDCALL GetVersion(std::int32_t* version) override {
    return Call("GetVersion", [&] { Out(version) = Faults.Version; });
  }

  THostFaults Faults;
  THostKernel Kernel;
  TRefusingServer Server;
  THostWindows Windows;
  TMenuManager Menus;
  THostIcons Icons;
};
