// The calling contract between the host application and its plug-ins.
//
// Every interface derives directly from IUnknown; the declared methods follow its three
// slots in the order given here. Every method is ZSTDCALL and returns an HRESULT; a method
// that yields a value takes the address for it as its last argument. Slots that the
// plug-in never calls are declared as ReservedN so that every later slot keeps its
// position; a host answers them with E_NOTIMPL.
//
// Ownership: input strings are lent for the call. Output strings are allocated by the
// callee with SysAllocStringLen and freed by the caller. An in/out string holds the
// caller's string on entry; the callee replaces it and frees the replaced one. An output
// interface carries one reference for the caller.
#pragma once

#include <cstdint>

#include "platform/ComBase.h"
#include "platform/OleAuto.h"

// A 32-bit window or icon handle.
using THandle = std::uint32_t;
// 32-bit Boolean: 0 is false, anything else true. The plug-in writes -1 for true.
using Bool32 = std::int32_t;

#define Z_RESERVED_SLOT(n) virtual HRESULT ZSTDCALL Reserved##n() = 0;

struct ICore : IUnknown {
  static constexpr GUID IID = MakeGUID("{2E4C1D23-873E-494D-B628-65BCC0A547A7}");
  virtual HRESULT ZSTDCALL GetVersion(std::int32_t* version) = 0;  // 1

 protected:
  ~ICore() = default;
};

struct IHostKernel : IUnknown {
  static constexpr GUID IID = MakeGUID("{4188E8AA-AC3A-4398-BECF-2B644474BED4}");
  virtual HRESULT ZSTDCALL AddToLog(BSTR text) = 0;                    // 1
  virtual HRESULT ZSTDCALL ReportMessage(BSTR text, BSTR caption) = 0;  // 2
  Z_RESERVED_SLOT(3)
  Z_RESERVED_SLOT(4)
  Z_RESERVED_SLOT(5)
  Z_RESERVED_SLOT(6)
  virtual HRESULT ZSTDCALL SetValue(BSTR name, BSTR value) = 0;   // 7
  virtual HRESULT ZSTDCALL GetValue(BSTR name, BSTR* value) = 0;  // 8

 protected:
  ~IHostKernel() = default;
};

struct IHostServer : IUnknown {
  static constexpr GUID IID = MakeGUID("{3ECC8EDB-00C3-42E6-9F83-CC066A5B194C}");
  Z_RESERVED_SLOT(1)
  Z_RESERVED_SLOT(2)
  Z_RESERVED_SLOT(3)
  virtual HRESULT ZSTDCALL CreateQuery(std::int32_t* handle) = 0;                     // 4
  virtual HRESULT ZSTDCALL OpenQuery(std::int32_t handle, BSTR sql) = 0;              // 5
  virtual HRESULT ZSTDCALL GetRecordCount(std::int32_t handle, std::int32_t* count) = 0;  // 6
  virtual HRESULT ZSTDCALL First(std::int32_t handle) = 0;                            // 7
  Z_RESERVED_SLOT(8)
  virtual HRESULT ZSTDCALL Next(std::int32_t handle) = 0;  // 9
  Z_RESERVED_SLOT(10)
  Z_RESERVED_SLOT(11)
  virtual HRESULT ZSTDCALL IsEof(std::int32_t handle, Bool32* eof) = 0;  // 12
  Z_RESERVED_SLOT(13)
  // Writes 0 to result when the column has no value; value is then left alone.
  virtual HRESULT ZSTDCALL GetFieldValue(std::int32_t handle, BSTR field, BSTR* value,
                                         std::int32_t* result) = 0;  // 14
  Z_RESERVED_SLOT(15)
  Z_RESERVED_SLOT(16)
  Z_RESERVED_SLOT(17)
  Z_RESERVED_SLOT(18)
  Z_RESERVED_SLOT(19)
  virtual HRESULT ZSTDCALL CloseQuery(std::int32_t handle) = 0;              // 20
  virtual HRESULT ZSTDCALL FreeQuery(std::int32_t handle) = 0;               // 21
  virtual HRESULT ZSTDCALL ExecSQL(BSTR sql, std::int32_t* result) = 0;      // 22

 protected:
  ~IHostServer() = default;
};

struct IApplicationWindows : IUnknown {
  static constexpr GUID IID = MakeGUID("{2EE5EF53-6EA9-4537-A7C3-233ED9D39108}");
  virtual HRESULT ZSTDCALL GetApplicationHandle(THandle* handle) = 0;  // 1
  Z_RESERVED_SLOT(2)
  Z_RESERVED_SLOT(3)
  Z_RESERVED_SLOT(4)
  Z_RESERVED_SLOT(5)
  virtual HRESULT ZSTDCALL ModalStarted() = 0;   // 6
  virtual HRESULT ZSTDCALL ModalFinished() = 0;  // 7
  Z_RESERVED_SLOT(8)
  Z_RESERVED_SLOT(9)

 protected:
  ~IApplicationWindows() = default;
};

struct INotifyEvent : IUnknown {
  static constexpr GUID IID = MakeGUID("{A6435676-ACE3-4A28-8358-720CEA495FFA}");
  virtual HRESULT ZSTDCALL Notify(IUnknown* sender) = 0;  // 1

 protected:
  ~INotifyEvent() = default;
};

struct IMenuItem : IUnknown {
  static constexpr GUID IID = MakeGUID("{37138407-0C6F-448B-B184-34F1CD638B85}");
  Z_RESERVED_SLOT(1)
  Z_RESERVED_SLOT(2)
  virtual HRESULT ZSTDCALL GetEnabled(Bool32* enabled) = 0;  // 3
  Z_RESERVED_SLOT(4)
  Z_RESERVED_SLOT(5)
  virtual HRESULT ZSTDCALL SetCaption(BSTR text) = 0;               // 6
  virtual HRESULT ZSTDCALL SetFlag(std::int32_t flag) = 0;          // 7
  virtual HRESULT ZSTDCALL SetEnabled(Bool32 enabled) = 0;          // 8
  virtual HRESULT ZSTDCALL SetHint(BSTR text) = 0;                  // 9
  virtual HRESULT ZSTDCALL SetCategory(std::int32_t category) = 0;  // 10
  virtual HRESULT ZSTDCALL SetOnClick(INotifyEvent* receiver) = 0;  // 11

 protected:
  ~IMenuItem() = default;
};

struct IMenuManager : IUnknown {
  static constexpr GUID IID = MakeGUID("{32FBAF60-BCD8-444E-BD14-E86726041CD1}");
  virtual HRESULT ZSTDCALL AddMenuItem(IMenuItem** item) = 0;     // 1
  // The host may clear or replace *item.
  virtual HRESULT ZSTDCALL DeleteMenuItem(IMenuItem** item) = 0;  // 2

 protected:
  ~IMenuManager() = default;
};

struct IHostIcons : IUnknown {
  static constexpr GUID IID = MakeGUID("{2EF25A6A-F584-469C-B9F1-AA35EA04CC40}");
  // The window that receives an icon takes it over.
  virtual HRESULT ZSTDCALL GetSmallIcon(THandle* icon) = 0;  // 1
  virtual HRESULT ZSTDCALL GetLargeIcon(THandle* icon) = 0;  // 2

 protected:
  ~IHostIcons() = default;
};

struct IPlugin : IUnknown {
  static constexpr GUID IID = MakeGUID("{16AB27D6-DD64-4CCE-B3E5-ECBCE7C7401A}");
  virtual HRESULT ZSTDCALL GetID(GUID* id) = 0;                  // 1
  virtual HRESULT ZSTDCALL GetName(BSTR* name) = 0;              // 2
  virtual HRESULT ZSTDCALL GetVersionText(BSTR* text) = 0;       // 3
  virtual HRESULT ZSTDCALL GetCategory(std::int32_t* category) = 0;  // 4
  virtual HRESULT ZSTDCALL GetNotice(BSTR* text) = 0;            // 5
  virtual HRESULT ZSTDCALL GetHomePage(BSTR* text) = 0;          // 6
  virtual HRESULT ZSTDCALL GetEmail(BSTR* text) = 0;             // 7

 protected:
  ~IPlugin() = default;
};

struct IDestroyNotify : IUnknown {
  static constexpr GUID IID = MakeGUID("{E55338C1-631A-424D-ACF7-863C9D4CADA1}");
  virtual HRESULT ZSTDCALL NotifyDestroy() = 0;  // 1

 protected:
  ~IDestroyNotify() = default;
};

#undef Z_RESERVED_SLOT

// The module's entry function: writes the plug-in's IPlugin, with one reference for the
// host, to *plugin.
using TPluginEntryProc = HRESULT(ZSTDCALL*)(ICore* core, IPlugin** plugin);
using TPluginDoneProc = HRESULT(ZSTDCALL*)();
