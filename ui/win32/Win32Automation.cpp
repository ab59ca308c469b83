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

void SendBytes(HWND to, ULONG_PTR tag, std::vector<std::uint8_t>& bytes, LRESULT* result = nullptr) {
  COPYDATASTRUCT cds{tag, DWORD(bytes.size()), bytes.data()};
  LRESULT r = SendMessageW(to, WM_COPYDATA, 0, reinterpret_cast<LPARAM>(&cds));
  if (result) *result = r;
}

}  // namespace

std::vector<std::uint8_t> EncodeAction(const ui_runtime::Action& a, bool idleOnly, THandle reply) {
  std::vector<std::uint8_t> out;
  Put32(out, std::uint32_t(a.kind));
  Put32(out, std::uint32_t(a.index));
  Put32(out, a.checked ? 1 : 0);
  Put32(out, idleOnly ? 1 : 0);
  Put32(out, reply);
  PutText(out, a.control);
  PutText(out, a.text);
  return out;
}

std::optional<TSentAction> DecodeAction(const void* data, std::size_t size) {
  TReader r(data, size);
  std::uint32_t kind = 0, index = 0, checked = 0, idle = 0, reply = 0;
  TSentAction s;
  if (!r.Get32(kind) || !r.Get32(index) || !r.Get32(checked) || !r.Get32(idle) || !r.Get32(reply) ||
      !r.GetText(s.action.control) || !r.GetText(s.action.text) || !r.AtEnd())
    return std::nullopt;
  if (kind > ui_runtime::Action::Watch || checked > 1 || idle > 1) return std::nullopt;
  if (kind == ui_runtime::Action::Watch && reply == 0) return std::nullopt;
  s.reply = reply;
  s.action.kind = ui_runtime::Action::Kind(kind);
  s.action.index = std::int32_t(index);
  s.action.checked = checked == 1;
  s.idleOnly = idle == 1;
  return s;
}

bool SendAction(HWND form, const ui_runtime::Action& action, bool idleOnly, HWND reply) {
  if (action.kind == ui_runtime::Action::Watch && !reply) return false;
  std::vector<std::uint8_t> bytes = EncodeAction(action, idleOnly, HandleFromWindow(reply));
  LRESULT result = 0;
  SendBytes(form, kActionCopyData, bytes, &result);
  return result == 1;
}

std::vector<std::uint8_t> EncodeReport(const TReport& report) {
  std::vector<std::uint8_t> out;
  PutText(out, report.control);
  PutText(out, report.text);
  return out;
}

std::optional<TReport> DecodeReport(const void* data, std::size_t size) {
  TReader r(data, size);
  TReport report;
  if (!r.GetText(report.control) || !r.GetText(report.text) || !r.AtEnd()) return std::nullopt;
  return report;
}

void QueueSentAction(TSentAction sent) {
  std::function<void(const ui_runtime::Action&)> refused;
  if (HWND reply = WindowFromHandle(sent.reply)) {
    if (sent.action.kind == ui_runtime::Action::Watch)
      sent.action.onText = [reply, control = sent.action.control](UStringView text) {
        std::vector<std::uint8_t> bytes = EncodeReport({control, UString(text)});
        if (IsWindow(reply)) SendBytes(reply, kWatchedCopyData, bytes);
      };
    refused = [reply](const ui_runtime::Action& a) {
      std::vector<std::uint8_t> bytes = EncodeReport({a.control, {}});
      if (IsWindow(reply)) SendBytes(reply, kRefusedCopyData, bytes);
    };
  }
  ui_runtime::PostAction(std::move(sent.action), sent.idleOnly, std::move(refused));
}

}  // namespace win32_view
