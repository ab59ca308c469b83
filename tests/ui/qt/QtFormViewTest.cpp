#include <gtest/gtest.h>

#include <QApplication>
#include <QTest>
#include <QTimer>

#include <functional>
#include <memory>

#include "PluginAPI/Plugins/PluginForm.h"
#include "host/HostCore.h"
#include "tests/zip/ZipTestFiles.h"
#include "ui/Application.h"
#include "ui/UiRuntime.h"
#include "ui/qt/QtButtonView.h"
#include "ui/qt/QtFormView.h"
#include "ui/qt/QtToolkit.h"

namespace {

constexpr THandle kOwnerHandle = 0x5A01;

// A plug-in form with an Update and a Close button, the latter the cancel button.
class TProbeForm : public TForm {
 public:
  explicit TProbeForm(ICore* core) : TForm(core, u"frmProbe") {
    Caption = u"Probe";
    ClientWidth = 240;
    ClientHeight = 120;
    btnUpdate.Caption = u"Update";
    btnClose.Caption = u"Close";
    btnClose.Cancel = true;
    btnUpdate.OnClick = [this](TObject*) { ++updates; };
    btnClose.OnClick = [this](TObject*) { Close(); };
  }
  TButton btnUpdate{u"btnUpdate"};
  TButton btnClose{u"btnClose"};
  int updates = 0;
  bool refuseClose = false;

 protected:
  void DoClose(Forms::TCloseAction& action) override {
    if (refuseClose) action = Forms::TCloseAction::caNone;
  }
};

// A host, an owner window standing for the application's handle, and forms that get a
// Qt view with their buttons while their modal loop runs.
class QtFormViewTest : public ::testing::Test {
 protected:
  void SetUp() override {
    core = std::make_unique<THostCore>(Utf8ToUString((dir / "data").string()));
    core->Kernel.EchoLog = false;
    owner.setGeometry(100, 100, 640, 480);
    qt_view::SetWindowHandle(&owner, kOwnerHandle);
    owner.show();
    Application().SetHandle(kOwnerHandle);
    Forms::FormViewFactory() = [this](Forms::TForm& f) -> std::unique_ptr<Forms::TFormView> {
      auto v = std::make_unique<TQtFormView>(f);
      if (auto* probe = dynamic_cast<TProbeForm*>(&f)) {
        (new TQtButtonView(probe->btnUpdate, v->Window()))->setGeometry(150, 10, 80, 25);
        (new TQtButtonView(probe->btnClose, v->Window()))->setGeometry(150, 40, 80, 25);
      }
      view = v.get();
      return v;
    };
  }
  void TearDown() override {
    Forms::FormViewFactory() = nullptr;
    Application().SetHandle(0);
  }
  // Runs steps inside the modal loop, once it waits for a person; a last resort closes
  // the form so that a broken step cannot hang the test.
  int ShowModal(TForm& form, std::function<void()> steps) {
    QTimer::singleShot(0, [steps] { steps(); });
    QTimer guard;
    guard.setSingleShot(true);
    QObject::connect(&guard, &QTimer::timeout, [&] {
      ADD_FAILURE() << "the modal loop did not end";
      Forms::FormViewFactory() = nullptr;
      dynamic_cast<TProbeForm&>(form).refuseClose = false;
      form.Close();
    });
    guard.start(10000);
    return form.ShowModal();
  }

  TTempDir dir;
  std::unique_ptr<THostCore> core;
  QWidget owner;
  TQtFormView* view = nullptr;
};

TEST_F(QtFormViewTest, EnterPressesNoButtonAndEscClicksTheCancelButton) {
  TProbeForm form(core.get());
  bool checked = false;
  int result = ShowModal(form, [&] {
    QDialog* w = view->Window();
    EXPECT_TRUE(w->isVisible());
    EXPECT_TRUE(w->isModal());
    EXPECT_EQ(w->windowTitle(), "Probe");
    EXPECT_EQ(w->size(), QSize(240, 120));
    EXPECT_EQ(w->minimumSize(), w->maximumSize());
    EXPECT_EQ(w->parentWidget(), &owner);
    EXPECT_LE((w->frameGeometry().center() - owner.frameGeometry().center()).manhattanLength(), 2);
    QTest::keyClick(w, Qt::Key_Return);
    QTest::keyClick(w->findChildren<TQtButtonView*>().front(), Qt::Key_Return);
    EXPECT_EQ(form.updates, 0);
    EXPECT_TRUE(form.Showing());
    checked = true;
    QTest::keyClick(w, Qt::Key_Escape);
  });
  EXPECT_TRUE(checked);
  EXPECT_EQ(result, Forms::mrCancel);
  EXPECT_EQ(form.updates, 0);
  EXPECT_EQ(core->Windows.ModalStarts, 1);
  EXPECT_EQ(core->Windows.ModalFinishes, 1);
}

TEST_F(QtFormViewTest, TitleBarCloseAsksTheFormWhichMayRefuse) {
  TProbeForm form(core.get());
  form.refuseClose = true;
  int result = ShowModal(form, [&] {
    QDialog* w = view->Window();
    w->close();
    // Refused: the loop goes on and the window stays.
    QTimer::singleShot(0, [&form, w] {
      EXPECT_TRUE(form.Showing());
      EXPECT_TRUE(w->isVisible());
      form.refuseClose = false;
      w->close();
    });
  });
  EXPECT_EQ(result, Forms::mrCancel);
  EXPECT_FALSE(form.Showing());
}

TEST_F(QtFormViewTest, WindowShowsTheHostIcons) {
  TProbeForm form(core.get());
  ShowModal(form, [&] {
    const std::uint32_t small = form.Icon(Forms::ikSmall), large = form.Icon(Forms::ikBig);
    EXPECT_TRUE(ui_runtime::IconExists(small));
    EXPECT_TRUE(ui_runtime::IconExists(large));
    QIcon icon = view->Window()->windowIcon();
    EXPECT_TRUE(icon.availableSizes().contains(QSize(16, 16)));
    EXPECT_TRUE(icon.availableSizes().contains(QSize(32, 32)));
    // The large picture is the host's, pixel for pixel, at the centre and at an edge.
    QImage shown = icon.pixmap(32, 32).toImage().convertToFormat(QImage::Format_ARGB32);
    ui_runtime::IconImage host = THostIcons::Picture(32);
    // Half-transparent edge pixels may differ by rounding.
    auto near = [](QRgb a, QRgb b) {
      return std::abs(qRed(a) - qRed(b)) <= 2 && std::abs(qGreen(a) - qGreen(b)) <= 2 &&
             std::abs(qBlue(a) - qBlue(b)) <= 2 && std::abs(qAlpha(a) - qAlpha(b)) <= 2;
    };
    for (QPoint p : {QPoint(16, 16), QPoint(0, 16), QPoint(8, 8), QPoint(0, 0)})
      EXPECT_TRUE(near(shown.pixel(p), host.Pixels[std::size_t(p.y() * 32 + p.x())])) << p.x() << "," << p.y();
    QTest::keyClick(view->Window(), Qt::Key_Escape);
  });
  EXPECT_EQ(core->Windows.ModalStarts, 1);
  EXPECT_EQ(core->Windows.ModalFinishes, 1);
}

TEST_F(QtFormViewTest, ModalShowsPairUpAlsoWhenShowingRaises) {
  TProbeForm form(core.get());
  core->Faults.FailCall({"GetLargeIcon", 1, E_FAIL, kHostErrorSource, u"no large icon"});
  EXPECT_THROW(form.ShowModal(), Exception);
  EXPECT_EQ(core->Windows.ModalStarts, 1);
  EXPECT_EQ(core->Windows.ModalFinishes, 1);
  EXPECT_FALSE(form.Showing());
  for (QWidget* w : QApplication::topLevelWidgets()) EXPECT_FALSE(w->isVisible() && w != &owner) << w->objectName().toStdString();

  // The next show works and pairs up again.
  int result = ShowModal(form, [&] { QTest::keyClick(view->Window(), Qt::Key_Escape); });
  EXPECT_EQ(result, Forms::mrCancel);
  EXPECT_EQ(core->Windows.ModalStarts, 2);
  EXPECT_EQ(core->Windows.ModalFinishes, 2);
}

}  // namespace
