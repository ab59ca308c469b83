#include "ui/win32/Win32CheckGroupView.h"

#include "platform/WinText.h"
#include "ui/Form.h"
#include "ui/win32/Win32GroupLayout.h"

TWin32CheckGroupView::TWin32CheckGroupView(TCheckGroup& group, HWND parent, const RECT& bounds) : group_(group) {
  const int count = group_.Count();
  for (int i = 0; i < count; ++i) {
    DWORD style = BS_CHECKBOX | WS_TABSTOP | WS_CLIPSIBLINGS | (i == 0 ? WS_GROUP : 0);
    HWND item = win32_view::CreateControl(L"BUTTON", group_.ItemCaption(i), style,
                                          win32_view::GroupItemBounds(bounds, i, count, group_.Columns), parent);
    win32_view::SetHandler(item, this);
    items_.push_back(item);
  }
  box_ = win32_view::CreateControl(L"BUTTON", group_.Caption, BS_GROUPBOX | WS_GROUP | WS_CLIPSIBLINGS, bounds, parent, 0, true);
  link_.Connect(group_, [this] { Sync(); });
  Sync();
}

void TWin32CheckGroupView::Sync() {
  SetWindowTextW(box_, WideText(group_.Caption));
  const int show = group_.Visible() ? SW_SHOWNA : SW_HIDE;
  ShowWindow(box_, show);
  EnableWindow(box_, group_.Enabled());
  // The boxes were made for the items the group had; a later SetItems is not shown.
  for (int i = 0; i < int(items_.size()) && i < group_.Count(); ++i) {
    HWND item = items_[std::size_t(i)];
    SendMessageW(item, BM_SETCHECK, group_.Checked(i) ? BST_CHECKED : BST_UNCHECKED, 0);
    EnableWindow(item, group_.Enabled() && group_.ItemEnabled(i));
    ShowWindow(item, show);
  }
}

void TWin32CheckGroupView::Command(HWND child, int code) {
  if (code != BN_CLICKED) return;
  for (int i = 0; i < int(items_.size()); ++i)
    if (items_[std::size_t(i)] == child) {
      Forms::TForm::Dispatch([this, i] { group_.UserToggle(i); });
      Sync();
    }
}
