#include "Plugins/UpdZorvik/uUpdZorvik.h"

#include "platform/Kernel.h"
#include "ui/Application.h"
#include "ui/UiRuntime.h"

bool UpdateDone = false;
UString TempFolder;
UString TempArchiveName;

namespace {
// Settings keys of the field boxes 1 to 5.
constexpr const char16_t* kFieldKeys[] = {u"Name", u"QTH", u"Grid", u"State", u"Manager"};
}  // namespace

TfrmUpdZorvik::TfrmUpdZorvik(ICore* core) : TForm(core, u"frmUpdZorvik") {
  ClientWidth = 394;
  ClientHeight = 290;
  dbtUpdateOk.Caption = u"Update";
  dbtUpdateCancel.Caption = u"Close";
  dbtUpdateCancel.Cancel = true;
  psProgress.Width = 150;
  StatusPane2.Width = 89;
  rgLocation.Caption = u" Source location ";
  rgLocation.Columns = 2;
  rgLocation.Items = {u"Internet resource", u"Local data file"};
  cgUseFields.Caption = u"Use fields for update";
  cgUseFields.Columns = 3;
  cgUseFields.SetItems({u"Callsign", u"Name", u"QTH", u"Grid Locator", u"State", u"QSL via"});
  mProgress.ReadOnly = true;
  mProgress.WordWrap = false;
  dlgSource.Title = u"Select updates...";
  for (TControl* c : std::initializer_list<TControl*>{&StatusBar1, &dbtUpdateOk, &dbtUpdateCancel, &psInfo, &psProgress,
                                                      &Panel1, &Label1, &edSource, &rgLocation, &Label2, &mProgress,
                                                      &dlgSource, &StatusPane2, &imgLogo, &cgUseFields})
    RegisterControl(*c);

  edSource.OnChange = [this](TObject* s) { edSourceChange(s); };
  edSource.OnButtonClick = [this](TObject* s) { edSourceButtonClick(s); };
  rgLocation.OnChanging = [this](TObject* s, int i, bool& allow) { rgLocationChanging(s, i, allow); };
  cgUseFields.OnChange = [this](TObject* s, int i) { cgUseFieldsChange(s, i); };
  dbtUpdateOk.OnClick = [this](TObject* s) { dbtUpdateClickOk(s); };
  dbtUpdateCancel.OnClick = [this](TObject* s) { dbtUpdateClickCancel(s); };
  FormCreate(this);
}

TfrmUpdZorvik::~TfrmUpdZorvik() { adcUpd.Close(); }

void TfrmUpdZorvik::FormCreate(TObject*) {
  // The settings file is the one FIniPath names when the settings are first read; the
  // menu handler fills it after construction.
  iniUpdate.SetFileNameSource([this] { return FIniPath; });
}

void TfrmUpdZorvik::CheckActions() {
  int checked = 0;
  for (int i = 0; i < cgUseFields.Count(); ++i)
    if (cgUseFields.Checked(i)) ++checked;
  const UString& text = edSource.Text();
  bool acceptable = !Trim(text).empty() && ((FLocation == slLocal && FileExists(text)) || FLocation == slInternet);
  dbtUpdateOk.SetEnabled(acceptable && checked > 1 && !UpdateDone && !FRunning);
}

void TfrmUpdZorvik::CheckLocation() {
  // Internet: a typed URL; Local: a file chosen with the browse button; none: nothing.
  const bool internet = FLocation == slInternet, local = FLocation == slLocal;
  edSource.ReadOnly = !internet && !local;
  edSource.TypingAllowed = internet;
  edSource.SetButtonVisible(local);
  edSource.SetText(internet ? FInternetResource : local ? FLocalFile : UString());
}

void TfrmUpdZorvik::FormActivate(TObject*) {
  UString location = iniUpdate.ReadString(FSection, u"Location", u"");
  if (location == u"Internet")
    FLocation = slInternet;
  else if (location == u"Local")
    FLocation = slLocal;
  cgUseFields.SetChecked(0, true);
  cgUseFields.SetItemEnabled(0, false);
  for (int i = 0; i < 5; ++i) cgUseFields.SetChecked(i + 1, iniUpdate.ReadBool(FSection, kFieldKeys[i], false));
  UString text;
  if (FLocation == slInternet || FLocation == slLocal) {
    text = iniUpdate.ReadString(FSection, u"Resource", u"");
    if (text.empty()) text = FLocation == slInternet ? FInternetResource : FLocalFile;
  }
  if (FLocation == slInternet) {
    rgLocation.SetItemIndex(0);
    FInternetResource = text;
  } else if (FLocation == slLocal) {
    rgLocation.SetItemIndex(1);
    FLocalFile = text;
  }
  edSource.SetText(text);
  UpdateDone = false;
  mProgress.Clear();
  ShowProgress(0);
  CheckLocation();
  CheckActions();
}

void TfrmUpdZorvik::FormClose(TObject*, Forms::TCloseAction&) {
  if (!UpdateDone) return;
  iniUpdate.WriteString(FSection, u"Resource", edSource.Text());
  iniUpdate.WriteString(FSection, u"Location",
                        FLocation == slInternet ? u"Internet" : FLocation == slLocal ? u"Local" : u"");
  for (int i = 0; i < 5; ++i) iniUpdate.WriteBool(FSection, kFieldKeys[i], cgUseFields.Checked(i + 1));
}

void TfrmUpdZorvik::edSourceChange(TObject*) {
  UpdateDone = false;
  CheckActions();
}

void TfrmUpdZorvik::cgUseFieldsChange(TObject*, int) { CheckActions(); }

void TfrmUpdZorvik::rgLocationChanging(TObject*, int NewIndex, bool&) {
  FLocation = NewIndex == 0 ? slInternet : NewIndex == 1 ? slLocal : slNone;
  CheckLocation();
}

void TfrmUpdZorvik::edSourceButtonClick(TObject*) {
  UString text = edSource.Text();
  UString ext = ExtractFileExt(text);
  UString dir, name;
  if (FileExists(text)) {
    dir = ExtractFileDir(text);
    name = ExtractFileName(text);
  } else {
    dir = text;
  }
  dlgSource.InitialDir = dir;
  if (std::size_t at = name.find(ext); !ext.empty() && at != UString::npos) dlgSource.FileName = name.substr(0, at);
  dlgSource.DefaultExt = ext;
  if (dlgSource.Execute()) edSource.SetText(dlgSource.FileName);
}

void TfrmUpdZorvik::dbtUpdateClickOk(TObject*) {
  ui_runtime::SetBusyCursor(true);
  mProgress.Clear();
  UpdateDone = true;
  FRunning = true;
  CheckActions();
  try {
    bool result = RunUpdate(FLocation, edSource.Text());
    FRunning = false;
    UpdateDone = result;
    CheckActions();
  } catch (...) {
    // The error goes on to the error box; Update stays disabled until the source changes.
    FRunning = false;
    ui_runtime::SetBusyCursor(false);
    throw;
  }
  ui_runtime::SetBusyCursor(false);
}

void TfrmUpdZorvik::dbtUpdateClickCancel(TObject*) { Close(); }
