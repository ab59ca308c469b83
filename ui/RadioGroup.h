// A captioned group of radio items, of which at most one is selected.
#pragma once

#include <vector>

#include "ui/Control.h"

class TRadioGroup : public TControl {
 public:
  using TControl::TControl;
  UString ClassName() const override { return u"TRadioGroup"; }

  UString Caption;
  int Columns = 1;
  std::vector<UString> Items;
  // -1 when no item is selected.
  int ItemIndex() const { return itemIndex_; }
  // Selects from code, without asking OnChanging.
  void SetItemIndex(int index) {
    itemIndex_ = index;
    Changed();
  }

  // Asked before a person's choice takes effect; clearing allow refuses it.
  std::function<void(TObject* sender, int newIndex, bool& allow)> OnChanging;

  // A person picks an item. Returns whether the choice took effect.
  bool UserSelect(int index) {
    if (!Enabled() || index < 0 || index >= static_cast<int>(Items.size())) return false;
    bool allow = true;
    if (OnChanging) OnChanging(this, index, allow);
    if (allow) SetItemIndex(index);
    return allow;
  }

 private:
  int itemIndex_ = -1;
};
