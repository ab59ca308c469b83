// A captioned group of check boxes.
#pragma once

#include <vector>

#include "ui/Control.h"

class TCheckGroup : public TControl {
 public:
  using TControl::TControl;
  UString ClassName() const override { return u"TCheckGroup"; }

  UString Caption;
  int Columns = 1;
  // Replaces the boxes; all start unchecked and enabled.
  void SetItems(std::vector<UString> captions);
  int Count() const { return static_cast<int>(items_.size()); }
  const UString& ItemCaption(int index) const { return items_.at(std::size_t(index)).caption; }

  bool Checked(int index) const { return items_.at(std::size_t(index)).checked; }
  // Sets a box from code; raises OnChange when its state changes.
  void SetChecked(int index, bool checked);
  bool ItemEnabled(int index) const { return items_.at(std::size_t(index)).enabled; }
  void SetItemEnabled(int index, bool enabled);

  // A person's click on a box; refused while the box or the group is disabled.
  bool UserToggle(int index);

  // Called with the index of the box that changed.
  std::function<void(TObject* sender, int index)> OnChange;

 private:
  struct Item {
    UString caption;
    bool checked = false;
    bool enabled = true;
  };
  std::vector<Item> items_;
};
