#include "ui/Memo.h"

#include <algorithm>

void TMemo::SetText(UString text) {
  text_ = std::move(text);
  topLine_ = std::min(topLine_, std::max(0, LineCount() - 1));
  Changed();
}

int TMemo::LineCount() const {
  if (text_.empty()) return 0;
  int lines = 1;
  for (std::size_t i = 0; i < text_.size(); ++i) {
    char16_t c = text_[i];
    if (c == u'\r' && i + 1 < text_.size() && text_[i + 1] == u'\n') ++i;
    if ((c == u'\r' || c == u'\n') && i + 1 < text_.size()) ++lines;
  }
  return lines;
}

void TMemo::LineScroll(int count) {
  topLine_ = std::clamp(topLine_ + count, 0, std::max(0, LineCount() - 1));
  Changed();
}
