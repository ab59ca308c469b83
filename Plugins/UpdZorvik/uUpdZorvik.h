// The update dialog: the user picks where the update package comes from and which fields
// may change, and starts an update run whose progress the dialog shows.
#pragma once

#include <cstdint>
#include <memory>

#include "PluginAPI/PluginAPI.h"
#include "PluginAPI/Plugins/PluginForm.h"
#include "Plugins/UpdZorvik/uUpdZorvikSignature.h"
#include "jet/JetConnection.h"
#include "platform/Classes.h"
#include "ui/ButtonedEdit.h"
#include "ui/CheckGroup.h"
#include "ui/Control.h"
#include "ui/IniFile.h"
#include "ui/Memo.h"
#include "ui/OpenDialog.h"
#include "ui/RadioGroup.h"

class TJetQuery;

// Where the update package comes from.
enum TSourceLocation : std::uint8_t { slNone = 0, slInternet = 1, slLocal = 2 };

// True while a run is in progress; after a run, its result. Shared by every dialog.
extern bool UpdateDone;
// The folder for temporary files, and the temporary archive of the last Internet run.
extern UString TempFolder;
extern UString TempArchiveName;

class TfrmUpdZorvik : public TForm {
 public:
  // Builds the dialog and its controls on the host's core; raises when the host lacks
  // IApplicationWindows.
  explicit TfrmUpdZorvik(ICore* core);
  ~TfrmUpdZorvik() override;
  UString ClassName() const override { return u"TfrmUpdZorvik"; }

  // Components, in declaration order.
  TControl StatusBar1{u"StatusBar1"};
  TButton dbtUpdateOk{u"dbtUpdateOk"};
  TButton dbtUpdateCancel{u"dbtUpdateCancel"};
  TStatusPane psInfo{u"psInfo"};
  TProgressPane psProgress{u"psProgress"};
  TControl Panel1{u"Panel1"};
  TControl Label1{u"Label1"};
  TButtonedEdit edSource{u"edSource"};
  TRadioGroup rgLocation{u"rgLocation"};
  TControl Label2{u"Label2"};
  TMemo mProgress{u"mProgress"};
  TOpenDialog dlgSource{u"dlgSource"};
  TIniFile iniUpdate;
  TStatusPane StatusPane2{u"StatusPane2"};
  TControl imgLogo{u"imgLogo"};
  TCheckGroup cgUseFields{u"cgUseFields"};
  TJetConnection adcUpd;

  // Filled by the menu handler before the dialog is shown.
  ComPtr<IHostKernel> FHostKernel;
  ComPtr<IHostServer> FHostServer;
  UString FIniPath;
  UString FSection;
  TSourceLocation FLocation = slNone;
  UString FInternetResource;
  UString FLocalFile;

  // Enables Update exactly when the source is acceptable, Callsign and at least one data
  // field are checked, and no run is in progress or has just succeeded.
  void CheckActions();
  // Sets up the source edit for the current location.
  void CheckLocation();

  // Event handlers.
  void FormCreate(TObject* Sender);
  void FormActivate(TObject* Sender);
  void FormClose(TObject* Sender, Forms::TCloseAction& Action);
  void edSourceChange(TObject* Sender);
  void edSourceButtonClick(TObject* Sender);
  void rgLocationChanging(TObject* Sender, int NewIndex, bool& AllowChange);
  void cgUseFieldsChange(TObject* Sender, int Index);
  void dbtUpdateClickOk(TObject* Sender);
  void dbtUpdateClickCancel(TObject* Sender);

  // Appends Level * 3 blanks and Text to the progress log, and a line break when NewLine
  // is set; keeps the last line in view and lets pending messages through.
  void MsgProgress(int Level, UStringView Text, bool NewLine);
  // Sets the progress bar to the truncated percentage of Fraction (0 to 1) and lets
  // pending messages through.
  void ShowProgress(long double Fraction);

  // One complete update run from the given source. True when the package was opened and
  // the run reached its end; false when the package could not be opened. Errors that are
  // not the package's absence leave it after every resource of the run is released.
  bool RunUpdate(TSourceLocation location, UStringView source);

  // The package as an open stream at its start, or false when it cannot be had or does
  // not look like a ZIP archive. Errors of the file system leave as errors.
  bool OpenPackage(TSourceLocation Location, UStringView Source, std::unique_ptr<TStream>& Stream);
  bool DownloadPackage(UStringView URL, UStringView FileName, std::unique_ptr<TStream>& Stream);
  bool OpenLocalPackage(UStringView FileName, std::unique_ptr<TStream>& Stream);

  // Opens Connection on the database file FileName; every error becomes a plain error
  // that keeps only its message.
  void ConnectPackage(TJetConnection& Connection, UStringView FileName);
  void DisconnectPackage(TJetConnection& Connection);

  // The statement for the host row at handle and the current package row, or an empty
  // text when no enabled field needs a change. Reads the field boxes afresh.
  UString BuildUpdateSQL(std::int32_t handle, UStringView callsign, TJetQuery& query);

 protected:
  void Activate() override { FormActivate(this); }
  void DoClose(Forms::TCloseAction& action) override { FormClose(this, action); }

 private:
  bool FRunning = false;
  UString HostValue(UStringView name);
  void HostLog(UStringView text);
  void WalkCallbook(TJetQuery& query, std::int32_t& total, std::int32_t& updated);
};

