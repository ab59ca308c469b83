#include <gtest/gtest.h>

#include <QCheckBox>
#include <QRadioButton>
#include <QTest>
#include <QTimer>

#include "Plugins/UpdZorvik/qt/UpdZorvikLogo.h"
#include "Plugins/UpdZorvik/qt/UpdZorvikQtView.h"
#include "ui/qt/QtStatusPaneView.h"
#include "tests/Plugins/UpdZorvik/RunTestHost.h"
#include "ui/UiRuntime.h"
#include "ui/qt/QtButtonView.h"
#include "ui/qt/QtButtonedEditView.h"
#include "ui/qt/QtCheckGroupView.h"
#include "ui/qt/QtMemoView.h"
#include "ui/qt/QtProgressPaneView.h"
#include "ui/qt/QtRadioGroupView.h"
#include "ui/qt/QtToolkit.h"

namespace {

// The real update dialog on a real host, in its Qt window, driven with the mouse.
class UpdZorvikDialogQt : public ::testing::Test {
 protected:
  void SetUp() override {
    qt_view::InstallEventPump();
    ui_runtime::SetMessageBoxSink([this](UStringView text, UStringView) { boxes.push_back(UStringToUtf8(text)); });
    Forms::FormViewFactory() = [this](Forms::TForm& f) {
      auto v = UpdZorvikFormView(f);
      view = dynamic_cast<TUpdZorvikQtView*>(v.get());
      return v;
    };
  }
  void TearDown() override {
    Forms::FormViewFactory() = nullptr;
    ui_runtime::SetEventPump(nullptr);
    ui_runtime::SetMessageBoxSink(nullptr);
  }

  TRunTestHost h;
  TUpdZorvikQtView* view = nullptr;
  std::vector<std::string> boxes;
};

TEST_F(UpdZorvikDialogQt, LaysOutTheDesignedWindow) {
  TUpdZorvikQtView v(*h.Dialog);
  QDialog* w = v.Window();
  EXPECT_EQ(w->size(), QSize(394, 290));
  EXPECT_EQ(v.UpdateButton->text(), "Update");
  EXPECT_EQ(v.CloseButton->text(), "Close");
  EXPECT_LT(v.UpdateButton->y(), v.CloseButton->y());
  EXPECT_EQ(v.Logo->size(), QSize(87, 66));
  EXPECT_EQ(v.ProgressBar->width(), 150);
  EXPECT_EQ(v.Pane2->width(), 89);
  EXPECT_EQ(v.ProgressBar->height(), 19);
  EXPECT_EQ(v.Info->width() + 150 + 89, 394);
  EXPECT_EQ(v.Source->x(), 15);
  EXPECT_EQ(v.Source->x() + v.Source->width() + 15, 394 - 87);
  EXPECT_EQ(v.Location->title(), " Source location ");
  EXPECT_TRUE(v.Location->font().bold());
  EXPECT_TRUE(v.UseFields->font().bold());
  EXPECT_FALSE(v.UseFields->Item(1)->font().bold());
  EXPECT_EQ(v.UseFields->Item(3)->text(), "Grid Locator");
  // The log fills the panel down to the status bar.
  EXPECT_GT(v.Progress->y(), v.UseFields->y() + v.UseFields->height());
  EXPECT_LE(v.Progress->y() + v.Progress->height(), 290 - 19);
  EXPECT_GT(v.Progress->height(), 60);
}

TEST_F(UpdZorvikDialogQt, MouseClickOnUpdateRunsALocalPackageAndTheLogAndLedsFill) {
  h.Import({{u"Q0ABC", u"Al", std::nullopt, u"LO00AA", u"NY", std::nullopt, u"0"}});
  const UString package = Utf8ToUString(h.Package("tiny.zip").string());
  UpdateDone = false;
  h.Dialog->FIniPath = h.Core->Kernel.IniPath();
  h.Dialog->FSection = u"Zorvik";
  h.Dialog->FLocation = slInternet;
  h.Dialog->FInternetResource = u" http://127.0.0.1:9/none.zip";
  h.Dialog->FLocalFile = package;
  bool ran = false;
  // The run lights the pane as it walks the callbook and darkens it when it ends.
  int mostLit = 0;
  h.Dialog->psProgress.AddChangeListener([&] {
    if (view) mostLit = std::max(mostLit, view->ProgressBar->LitSegments());
  });
  QTimer::singleShot(0, [&] {
    ASSERT_NE(view, nullptr);
    EXPECT_TRUE(view->Location->Item(0)->isChecked());
    EXPECT_FALSE(view->UpdateButton->isEnabled());
    QTest::mouseClick(view->Location->Item(1), Qt::LeftButton);
    EXPECT_EQ(qt_view::FromQString(view->Source->text()), package);
    QTest::mouseClick(view->UseFields->Item(1), Qt::LeftButton);
    QTest::mouseClick(view->UseFields->Item(2), Qt::LeftButton);
    ASSERT_TRUE(view->UpdateButton->isEnabled());
    QTest::mouseClick(view->UpdateButton, Qt::LeftButton);
    ran = true;
    EXPECT_FALSE(view->Progress->toPlainText().isEmpty());
    EXPECT_EQ(mostLit, 20);
    EXPECT_EQ(view->ProgressBar->LitSegments(), 0);
    EXPECT_TRUE(view->Progress->toPlainText().contains("Done."));
    // A successful run leaves Update disabled until the source changes.
    EXPECT_FALSE(view->UpdateButton->isEnabled());
    QTest::keyClick(view->Window(), Qt::Key_Escape);
  });
  h.Dialog->ShowModal();
  EXPECT_TRUE(ran);
  EXPECT_TRUE(boxes.empty()) << boxes.front();
  EXPECT_EQ(h.Row(u"Q0ABC")[2], std::optional<UString>(u"Springfield"));
}

}  // namespace
