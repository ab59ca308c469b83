// The plug-in side of one item in the host's menus.
#pragma once

#include <cstdint>
#include <functional>

#include "PluginAPI/PluginAPI.h"
#include "platform/ComBase.h"
#include "platform/SysUtils.h"

// One menu item of a plug-in. It asks the host's IMenuManager for an item, gives it its
// first settings and receives the host's notifications as the item's INotifyEvent.
//
// The object is not reference counted: AddRef and Release do nothing, so references the
// host holds never keep it alive. Its owner creates and destroys it; destroying it
// removes the item from the host's menus first, so the host never calls it afterwards.
class TPluginMenuItem : public TObject, public INotifyEvent {
 public:
  // The owner's click handler; called with this object as the sender.
  using TNotifyEvent = std::function<void(TObject* sender)>;

  // Adds an item to the host's menus with caption "PluginMenuItem", an empty hint, the
  // given category, enabled, flag 0 and this object as its receiver. A core without
  // IMenuManager fails an assertion; a failing host call raises after whatever the host
  // created has been deleted again.
  TPluginMenuItem(ICore* core, std::int32_t category);
  // Deletes the host item if that has not happened yet; a failure is swallowed here.
  ~TPluginMenuItem() override;
  TPluginMenuItem(const TPluginMenuItem&) = delete;
  TPluginMenuItem& operator=(const TPluginMenuItem&) = delete;

  UString ClassName() const override { return u"TPluginMenuItem"; }

  // Removes the item from the host's menus and lets go of the menu manager. Raises when
  // the host refuses; a second call does nothing.
  void DeleteHostItem();

  HRESULT ZSTDCALL QueryInterface(REFIID iid, void** obj) override;
  ComULong ZSTDCALL AddRef() override { return -1; }
  ComULong ZSTDCALL Release() override { return -1; }
  // The user chose the item: runs DoClick. An exception becomes the returned HRESULT
  // with the thread's error information set.
  HRESULT ZSTDCALL Notify(IUnknown* sender) override;

  // Asks the host whether the item is enabled; only then calls OnClick, if set.
  virtual void DoClick();
  HRESULT SafeCallException(const Exception* e) noexcept override;

  // The host's item; the owner sets caption and hint through it.
  IMenuItem* Item() const { return FItem.Get(); }

  TNotifyEvent OnClick;

 private:
  ComPtr<IMenuManager> FMenuManager;
  ComPtr<IMenuItem> FItem;
};
