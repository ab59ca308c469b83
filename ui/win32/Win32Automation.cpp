#include "ui/win32/Win32Automation.h"

#include <cstring>

namespace win32_view {

namespace {

// Names and texts beyond this are refused; a person's text is never that long.
constexpr std::uint32_t kMaxUnits = 32768;

void Put32(std::vector<std::uint8_t>& out, std::uint32_t v) {
  for (int i = 0; i < 4; ++i) out.push_back(std::uint8_t(v >> (8 * i)));
}

void PutText(std::vector<std::uint8_t>& out, const UString& text) {
  Put32(out, std::uint32_t(text.size()));
  for (char16_t c : text) {
    out.push_back(std::uint8_t(c));
    out.push_back(std::uint8_t(c >> 8));
  }
}

class TReader {
 public:
  TReader(const void* data, std::size_t size) : p_(static_cast<const std::uint8_t*>(data)), left_(data ? size : 0) {}
  bool Get32(std::uint32_t& v) {
    if (left_ < 4) return false;
    v = std::uint32_t(p_[0]) | std::uint32_t(p_[1]) << 8 | std::uint32_t(p_[2]) << 16 | std::uint32_t(p_[3]) << 24;
    p_ += 4, left_ -= 4;
    return true;
  }
  bool GetText(UString& text) {
    std::uint32_t n = 0;
    if (!Get32(n) || n > kMaxUnits || left_ < std::size_t(n) * 2) return false;
    text.resize(n);
    for (std::uint32_t i = 0; i < n; ++i) text[i] = char16_t(p_[2 * i] | p_[2 * i + 1] << 8);
    p_ += std::size_t(n) * 2, left_ -= std::size_t(n) * 2;
    return true;
  }
  bool AtEnd() const { return left_ == 0; }

 private:
  const std::uint8_t* p_;
  std::size_t left_;
};

}  // namespace

std::vector<std::uint8_t> EncodeAction(const ui_runtime::Action& a, bool idleOnly) {
  std::vector<std::uint8_t> out;
  Put32(out, std::uint32_t(a.kind));
  Put32(out, std::uint32_t(a.index));
  Put32(out, a.checked ? 1 : 0);
  Put32(out, idleOnly ? 1 : 0);
  PutText(out, a.control);
  PutText(out, a.text);
  return out;
}

std::optional<TSentAction> DecodeAction(const void* data, std::size_t size) {
  TReader r(data, size);
  std::uint32_t kind = 0, index = 0, checked = 0, idle = 0;
  TSentAction s;
  if (!r.Get32(kind) || !r.Get32(index) || !r.Get32(checked) || !r.Get32(idle) || !r.GetText(s.action.control) ||
      !r.GetText(s.action.text) || !r.AtEnd())
    return std::nullopt;
  if (kind > ui_runtime::Action::Close || checked > 1 || idle > 1) return std::nullopt;
  s.action.kind = ui_runtime::Action::Kind(kind);
  s.action.index = std::int32_t(index);
  s.action.checked = checked == 1;
  s.idleOnly = idle == 1;
  return s;
}

bool SendAction(HWND form, const ui_runtime::Action& action, bool idleOnly) {
  if (action.kind == ui_runtime::Action::Watch) return false;
  std::vector<std::uint8_t> bytes = EncodeAction(action, idleOnly);
  COPYDATASTRUCT cds{kActionCopyData, DWORD(bytes.size()), bytes.data()};
  return SendMessageW(form, WM_COPYDATA, 0, reinterpret_cast<LPARAM>(&cds)) == 1;
}

}  // namespace win32_view
