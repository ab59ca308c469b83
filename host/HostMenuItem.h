// One item in the host's menus, created for a plug-in.
#pragma once

#include <atomic>

#include "PluginAPI/PluginAPI.h"
#include "host/HostFaults.h"
#include "platform/InterfacedObject.h"

// Reference counted: the menu holds one reference while the item is listed, the plug-in
// holds the one AddMenuItem gave it. Once deleted from the menu the item never calls its
// receiver again.
class THostMenuItem final : public TInterfacedObject, public IMenuItem {
 public:
  explicit THostMenuItem(THostFaults& faults);
  ~THostMenuItem() override;

  UString ClassName() const override { return u"THostMenuItem"; }
  Z_IUNKNOWN_FORWARD(TInterfacedObject)

  Z_HOST_RESERVED(1)
  Z_HOST_RESERVED(2)
  HRESULT ZSTDCALL GetEnabled(Bool32* enabled) override;
  Z_HOST_RESERVED(4)
  Z_HOST_RESERVED(5)
  HRESULT ZSTDCALL SetCaption(BSTR text) override;
  HRESULT ZSTDCALL SetFlag(std::int32_t flag) override;
  HRESULT ZSTDCALL SetEnabled(Bool32 enabled) override;
  HRESULT ZSTDCALL SetHint(BSTR text) override;
  HRESULT ZSTDCALL SetCategory(std::int32_t category) override;
  HRESULT ZSTDCALL SetOnClick(INotifyEvent* receiver) override;

  // The user chose the item: notifies the receiver and reports what it returned. A
  // deleted item, or one without a receiver, reports S_OK and calls nothing.
  TCallError Click();
  // Taken out of the menu: the receiver is let go and never called again.
  void MarkDeleted();
  // Like MarkDeleted, but lets go of the receiver without calling it: its module is gone.
  void Abandon();

  const UString& Caption() const { return FCaption; }
  const UString& Hint() const { return FHint; }
  std::int32_t Category() const { return FCategory; }
  std::int32_t Flag() const { return FFlag; }
  bool Enabled() const { return FEnabled; }
  bool Deleted() const { return FDeleted; }
  bool HasReceiver() const { return static_cast<bool>(FReceiver); }
  // Whether the user may choose it; a window or a test switches it off.
  void SetEnabledByHost(bool enabled) { FEnabled = enabled; }

  // Items alive in this process, deleted or not; tests use it to find leaked items.
  static int LiveCount() { return s_live; }

 protected:
  bool GetInterface(REFIID iid, void** obj) override;

 private:
  template <class F>
  HRESULT Call(std::string_view method, F&& body) noexcept {
    return HostCall(FFaults, method, std::forward<F>(body));
  }
  THostFaults& FFaults;
  UString FCaption, FHint;
  std::int32_t FCategory = 0, FFlag = 0;
  bool FEnabled = false, FDeleted = false;
  ComPtr<INotifyEvent> FReceiver;
  static inline std::atomic<int> s_live{0};
};
