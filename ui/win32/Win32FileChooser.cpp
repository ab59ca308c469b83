#include "ui/win32/Win32FileChooser.h"

#include <commdlg.h>

#include <vector>

#include "platform/SysUtils.h"
#include "platform/WinText.h"

namespace win32_view {

UString ChooserFilterList(UStringView filter) {
  std::vector<UString> parts;
  std::size_t start = 0;
  while (true) {
    std::size_t bar = filter.find(u'|', start);
    parts.emplace_back(filter.substr(start, bar == UStringView::npos ? UStringView::npos : bar - start));
    if (bar == UStringView::npos) break;
    start = bar + 1;
  }
  UString list;
  for (std::size_t i = 0; i + 1 < parts.size(); i += 2) {
    list += parts[i];
    list.push_back(u'\0');
    list += parts[i + 1];
    list.push_back(u'\0');
  }
  list.push_back(u'\0');
  return list;
}

std::optional<UString> RunOpenDialog(const ui_runtime::ChooserRequest& r) {
  // Long paths fit; the preset name is cut to the buffer.
  std::vector<wchar_t> file(32768, L'\0');
  const std::size_t preset = std::min(r.fileName.size(), file.size() - 1);
  std::copy_n(reinterpret_cast<const wchar_t*>(r.fileName.data()), preset, file.begin());
  const UString filters = ChooserFilterList(r.filter);
  UString defaultExt = !r.defaultExt.empty() && r.defaultExt.front() == u'.' ? r.defaultExt.substr(1) : r.defaultExt;

  OPENFILENAMEW ofn{};
  ofn.lStructSize = sizeof ofn;
  ofn.hwndOwner = GetActiveWindow();
  ofn.lpstrFilter = filters.size() > 1 ? WideText(filters) : nullptr;
  ofn.nFilterIndex = DWORD(std::max(r.filterIndex, 0));
  ofn.lpstrFile = file.data();
  ofn.nMaxFile = DWORD(file.size());
  ofn.lpstrInitialDir = r.initialDir.empty() ? nullptr : WideText(r.initialDir);
  ofn.lpstrTitle = r.title.empty() ? nullptr : WideText(r.title);
  ofn.lpstrDefExt = defaultExt.empty() ? nullptr : WideText(defaultExt);
  ofn.Flags = OFN_EXPLORER | OFN_FILEMUSTEXIST | OFN_PATHMUSTEXIST | OFN_HIDEREADONLY | OFN_NOCHANGEDIR;
  if (GetOpenFileNameW(&ofn)) return FromWide(file.data());
  if (DWORD error = CommDlgExtendedError())
    throw EOSError(u"The file dialog failed with code " + IntToStr(std::int32_t(error)), error);
  return std::nullopt;
}

void InstallFileChooser() { ui_runtime::SetChooserHook(RunOpenDialog); }

}  // namespace win32_view
