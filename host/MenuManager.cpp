#include "host/MenuManager.h"

TMenuManager::~TMenuManager() {
  for (auto& item : FItems) item->MarkDeleted();
}

HRESULT TMenuManager::AddMenuItem(IMenuItem** item) {
  return Call("AddMenuItem", [&] {
    IMenuItem*& out = Out(item);
    out = nullptr;
    ComPtr<THostMenuItem> fresh(NewObject<THostMenuItem>(FFaults));
    FItems.push_back(fresh);
    out = static_cast<IMenuItem*>(fresh.Detach());
  });
}

HRESULT TMenuManager::DeleteMenuItem(IMenuItem** item) {
  return Call("DeleteMenuItem", [&] {
    IMenuItem*& io = Out(item);
    if (!io) throw EHostError(E_POINTER, u"No menu item was given to delete.");
    for (auto it = FItems.begin(); it != FItems.end(); ++it) {
      if (static_cast<IMenuItem*>(it->Get()) != io) continue;
      ComPtr<THostMenuItem> gone = std::move(*it);
      FItems.erase(it);
      gone->MarkDeleted();
      ++FDeletions;
      IMenuItem* callers = io;
      io = nullptr;
      callers->Release();
      return;
    }
    throw EHostError(E_INVALIDARG, u"The menu does not hold that item.");
  });
}

void TMenuManager::AbandonItems() {
  for (auto& item : FItems) item->Abandon();
  FItems.clear();
}
