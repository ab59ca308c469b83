#include "ui/win32/Win32RadioGroupView.h"

#include "platform/WinText.h"
#include "ui/Form.h"
#include "ui/win32/Win32GroupLayout.h"

TWin32RadioGroupView::TWin32RadioGroupView(TRadioGroup& group, HWND parent, const RECT& bounds) : group_(group) {
  // The items come first, so that they lie above the box and take the tab stops in order.
  const int count = static_cast<int>(group_.Items.size());
  for (int i = 0; i < count; ++i) {
    DWORD style = BS_RADIOBUTTON | WS_CLIPSIBLINGS | (i == 0 ? WS_GROUP | WS_TABSTOP : 0);
    HWND item = win32_view::CreateControl(L"BUTTON", group_.Items[std::size_t(i)], style,
                                          win32_view::GroupItemBounds(bounds, i, count, group_.Columns), parent);
    win32_view::SetHandler(item, this);
    items_.push_back(item);
  }
  box_ = win32_view::CreateControl(L"BUTTON", group_.Caption, BS_GROUPBOX | WS_GROUP | WS_CLIPSIBLINGS, bounds, parent, 0, true);
  link_.Connect(group_, [this] { Sync(); });
  Sync();
}

void TWin32RadioGroupView::Sync() {
  SetWindowTextW(box_, WideText(group_.Caption));
  const int show = group_.Visible() ? SW_SHOWNA : SW_HIDE;
  ShowWindow(box_, show);
  EnableWindow(box_, group_.Enabled());
  for (int i = 0; i < int(items_.size()); ++i) {
    HWND item = items_[std::size_t(i)];
    SendMessageW(item, BM_SETCHECK, i == group_.ItemIndex() ? BST_CHECKED : BST_UNCHECKED, 0);
    EnableWindow(item, group_.Enabled());
    ShowWindow(item, show);
  }
}

void TWin32RadioGroupView::Command(HWND child, int code) {
  if (code != BN_CLICKED) return;
  for (int i = 0; i < int(items_.size()); ++i)
    if (items_[std::size_t(i)] == child) {
      Forms::TForm::Dispatch([this, i] { group_.UserSelect(i); });
      Sync();
    }
}
