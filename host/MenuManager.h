// The host's menus: the items plug-ins have added.
#pragma once

#include <vector>

#include "PluginAPI/PluginAPI.h"
#include "host/HostMenuItem.h"
#include "host/HostPart.h"

class TMenuManager final : public THostPart<IMenuManager> {
 public:
  using THostPart::THostPart;
  ~TMenuManager();

  HRESULT ZSTDCALL AddMenuItem(IMenuItem** item) override;
  // Removes the item, clears the caller's reference and never calls its receiver again.
  // An item this menu does not list fails with E_INVALIDARG.
  HRESULT ZSTDCALL DeleteMenuItem(IMenuItem** item) override;

  // The listed items, oldest first.
  const std::vector<ComPtr<THostMenuItem>>& Items() const { return FItems; }
  // Drops the receivers of every listed item without calling them and takes the items
  // out of the menu. The host does this after a module has ended and before it is
  // unloaded, for items the module failed to delete: their receivers' code is going away.
  void AbandonItems();
  // Items deleted so far.
  int Deletions() const { return FDeletions; }

 private:
  std::vector<ComPtr<THostMenuItem>> FItems;
  int FDeletions = 0;
};
