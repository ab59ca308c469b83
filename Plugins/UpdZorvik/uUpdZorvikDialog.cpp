#include "Plugins/UpdZorvik/uUpdZorvik.h"

#include "Plugins/UpdZorvik/UpdZorvik.h"

bool UpdateDone = false;
UString TempFolder;
UString TempArchiveName;

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
}

TfrmUpdZorvik::~TfrmUpdZorvik() { adcUpd.Close(); }
