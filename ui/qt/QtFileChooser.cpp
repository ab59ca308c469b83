#include "ui/qt/QtFileChooser.h"

#include <QApplication>
#include <QFileDialog>
#include <QStringList>

#include "ui/qt/QtToolkit.h"

namespace qt_view {

QString ChooserFilters(const UString& filter, int filterIndex, QString* selected) {
  const QStringList parts = ToQString(filter).split(QLatin1Char('|'));
  QStringList filters;
  for (qsizetype i = 0; i + 1 < parts.size(); i += 2) {
    QString patterns = parts[i + 1];
    patterns.replace(QLatin1Char(';'), QLatin1Char(' '));
    filters << parts[i] + QStringLiteral(" (") + patterns + QLatin1Char(')');
  }
  if (selected) *selected = filterIndex >= 1 && filterIndex <= filters.size() ? filters[filterIndex - 1] : QString();
  return filters.join(QStringLiteral(";;"));
}

void InstallFileChooser() {
  ui_runtime::SetChooserHook([](const ui_runtime::ChooserRequest& r) -> std::optional<UString> {
    if (!Available()) return std::nullopt;
    QFileDialog dialog(QApplication::activeModalWidget() ? QApplication::activeModalWidget() : QApplication::activeWindow(),
                       ToQString(r.title), ToQString(r.initialDir));
    dialog.setFileMode(QFileDialog::ExistingFile);
    dialog.setAcceptMode(QFileDialog::AcceptOpen);
    QString selected;
    QString filters = ChooserFilters(r.filter, r.filterIndex, &selected);
    if (!filters.isEmpty()) dialog.setNameFilters(filters.split(QStringLiteral(";;")));
    if (!selected.isEmpty()) dialog.selectNameFilter(selected);
    if (!r.defaultExt.empty()) dialog.setDefaultSuffix(ToQString(r.defaultExt).remove(0, r.defaultExt.front() == u'.' ? 1 : 0));
    if (!r.fileName.empty()) dialog.selectFile(ToQString(r.fileName));
    if (dialog.exec() != QDialog::Accepted || dialog.selectedFiles().isEmpty()) return std::nullopt;
    return FromQString(dialog.selectedFiles().front());
  });
}

}  // namespace qt_view
