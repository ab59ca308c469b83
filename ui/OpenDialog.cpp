#include "ui/OpenDialog.h"

#include "ui/UiRuntime.h"

bool TOpenDialog::Execute() {
  ui_runtime::ChooserRequest request{Title, Filter, InitialDir, FileName, DefaultExt, FilterIndex};
  std::optional<UString> chosen = ui_runtime::RunFileChooser(request);
  if (!chosen) return false;
  FileName = *chosen;
  return true;
}
