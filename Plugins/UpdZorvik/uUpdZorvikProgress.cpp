#include <cmath>

#include "Plugins/UpdZorvik/uUpdZorvik.h"
#include "ui/Application.h"

void TfrmUpdZorvik::MsgProgress(int Level, UStringView Text, bool NewLine) {
  UString text = mProgress.Text();
  text.append(static_cast<std::size_t>(std::max(Level, 0)) * 3, u' ');
  text += Text;
  if (NewLine) text += u"\r\n";
  mProgress.SetText(std::move(text));
  mProgress.LineScroll(mProgress.LineCount() - 1);
  Application().ProcessMessages();
}

void TfrmUpdZorvik::ShowProgress(long double Fraction) {
  long double percent = std::trunc(Fraction * 100.0L);
  psProgress.SetPercent(static_cast<std::uint16_t>(std::clamp(percent, 0.0L, 65535.0L)));
  Application().ProcessMessages();
}
