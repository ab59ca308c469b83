// The base of every form of the plug-in: built from the host's core, it tells the host
// when it runs modally and takes the host's icons when shown.
#pragma once

#include "PluginAPI/PluginAPI.h"
#include "ui/Form.h"

class TForm : public Forms::TForm {
 public:
  // Raises an assertion failure when the host offers no IApplicationWindows.
  TForm(ICore* core, UString name);
  UString ClassName() const override { return u"TForm"; }

  // Tells the host before the modal loop starts and after it ends, however it ends.
  int ShowModal() override;

 protected:
  void DoShow() override;
  // Gives the window the host's small and large icons, when the host offers them.
  void SetIcons();

  ComPtr<ICore> FCore;
  ComPtr<IApplicationWindows> FApplicationWindows;
};
