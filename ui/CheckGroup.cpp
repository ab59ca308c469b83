#include "ui/CheckGroup.h"

void TCheckGroup::SetItems(std::vector<UString> captions) {
  items_.clear();
  for (auto& c : captions) items_.push_back({std::move(c)});
  Changed();
}

void TCheckGroup::SetChecked(int index, bool checked) {
  Item& item = items_.at(std::size_t(index));
  if (item.checked == checked) return;
  item.checked = checked;
  Changed();
  if (OnChange) OnChange(this, index);
}

void TCheckGroup::SetItemEnabled(int index, bool enabled) {
  items_.at(std::size_t(index)).enabled = enabled;
  Changed();
}

bool TCheckGroup::UserToggle(int index) {
  if (index < 0 || index >= Count() || !Enabled() || !ItemEnabled(index)) return false;
  SetChecked(index, !Checked(index));
  return true;
}
