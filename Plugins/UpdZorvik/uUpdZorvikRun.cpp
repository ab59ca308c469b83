#include "Plugins/UpdZorvik/uUpdZorvik.h"
#include "jet/JetQuery.h"
#include "platform/DateUtils.h"
#include "platform/Finally.h"
#include "platform/InterfacedObject.h"
#include "platform/Kernel.h"
#include "ui/Application.h"
#include "zip/DosDateTime.h"
#include "zip/ZipReader.h"

namespace {

constexpr char16_t kHostSelect[] = u"SELECT * FROM CALLBOOK ORDER BY OMCALL";
constexpr char16_t kPackageSelect[] = u"SELECT * FROM CALLBOOK ORDER BY CALL";

UString ElapsedText(std::uint32_t ms) { return FormatDateTime(u"hh:nn:ss", TimeOfDayFromMilliseconds(ms)); }

UString PackageDateText(std::uint32_t dosDateTime) {
  TDosDateTime d = DosDateTimeToDateTime(dosDateTime);
  TDateTimeParts t;
  t.year = d.Year, t.month = d.Month, t.day = d.Day, t.hour = d.Hour, t.minute = d.Minute, t.second = d.Second;
  return FormatDateTime(u"ddddd hh:mm", t);
}

// Deletes a temporary file; a failure leaves it where it is and the run goes on.
void DeleteTemporary(const UString& name) {
  if (!name.empty()) zorvik::DeleteFile(name);
}

}  // namespace

void TfrmUpdZorvik::WalkCallbook(TJetQuery& query, std::int32_t& total, std::int32_t& updated) {
  static const BStr kSelect(kHostSelect);
  static const BStr kCallColumn(u"OMCALL");
  std::int32_t handle = 0;
  TryFinally(
      [&] {
        CheckSafeCallResult(FHostServer->CreateQuery(&handle));
        CheckSafeCallResult(FHostServer->OpenQuery(handle, kSelect.Get()));
        std::int32_t count = 0;
        CheckSafeCallResult(FHostServer->GetRecordCount(handle, &count));
        if (count <= 0) return;
        CheckSafeCallResult(FHostServer->GetRecordCount(handle, &total));
        std::int32_t processed = 0;
        CheckSafeCallResult(FHostServer->First(handle));
        BStr callsign;
        for (;;) {
          Bool32 eof = 0;
          CheckSafeCallResult(FHostServer->IsEof(handle, &eof));
          if (eof != 0) break;
          std::int32_t found = 0;
          CheckSafeCallResult(FHostServer->GetFieldValue(handle, kCallColumn.Get(), callsign.InOut(), &found));
          UStringView call = callsign.View();
          if (query.Locate(u"CALL", call)) {
            UString sql = BuildUpdateSQL(handle, call, query);
            if (!sql.empty()) {
              std::int32_t changed = 0;
              CheckSafeCallResult(FHostServer->ExecSQL(BStr(sql).Get(), &changed));
              ++updated;
            }
          }
          ++processed;
          ShowProgress(static_cast<long double>(processed) / static_cast<long double>(total));
          CheckSafeCallResult(FHostServer->Next(handle));
        }
      },
      [&] {
        // The handle is released even when closing it failed.
        TryFinally([&] { CheckSafeCallResult(FHostServer->CloseQuery(handle)); },
                   [&] { CheckSafeCallResult(FHostServer->FreeQuery(handle)); });
      });
}

bool TfrmUpdZorvik::RunUpdate(TSourceLocation location, UStringView source) {
  bool result = false;
  std::uint32_t elapsed = 0;
  TempFolder = HostValue(u"DOWNLOAD");
  if (location == slInternet) TempArchiveName = MakeTempFile(TempFolder, u"~Ar");
  const bool internet = location == slInternet;
  std::uint32_t start = zorvik::GetTickCount();

  std::unique_ptr<TStream> package;
  // The temporary archive goes on every way out, also when the package could not be
  // opened or opening it failed.
  TryFinally(
      [&] {
        if (!OpenPackage(location, source, package)) {
          result = false;
          CheckSafeCallResult(FHostKernel->ReportMessage(BStr(u"Resource open error: " + edSource.Text()).Get(),
                                                         BStr(u"Error").Get()));
          return;
        }
        MsgProgress(0, u"* Use: " + UString(source), true);
        TZipReader reader;
        TryFinally(
            [&] {
              reader.Open(*package);
              TZipSearchRec member;
              if (reader.FindFirst(u"DB.mdb", member)) {
                MsgProgress(1, u"Update package dated " + PackageDateText(member.DosDateTime), true);
                MsgProgress(1, u"Processing ", false);
                UString database = MakeTempFile(TempFolder, u"~Db");
                // On an error the connection is closed and the database file goes too.
                try {
                  {
                    TFileStream out(database, fmOpenWrite | fmShareExclusive);
                    reader.Extract(member, out);
                  }
                  ConnectPackage(adcUpd, database);
                  std::int32_t total = 0, updated = 0;
                  {
                    TJetQuery query(adcUpd);
                    TryFinally(
                        [&] {
                          query.SetSQL(kPackageSelect);
                          query.Open();
                          MsgProgress(0, u"with " + IntToStr(query.RecordCount()) + u" records in update", true);
                          WalkCallbook(query, total, updated);
                        },
                        [&] { query.Close(); });
                  }
                  MsgProgress(1, u"Updated " + IntToStr(updated) + u" records of " + IntToStr(total) + u" total", true);
                  DisconnectPackage(adcUpd);
                } catch (...) {
                  adcUpd.Close();
                  DeleteTemporary(database);
                  throw;
                }
                Application().ProcessMessages();
                DeleteTemporary(database);
              }
              reader.Close();
              result = true;
            },
            [&] {
              reader.Close();
              package.reset();
              if (internet) DeleteTemporary(TempArchiveName);
            });
        elapsed = zorvik::GetTickCount() - start;
        MsgProgress(0, u"* Done. Elapsed time " + ElapsedText(elapsed), false);
      },
      [&] {
        package.reset();
        if (internet) DeleteTemporary(TempArchiveName);
      });

  ShowProgress(0);
  if (result) {
    HostLog(u"Exec: " + Caption + u", " + edSource.Text() + u" processed (" + ElapsedText(elapsed) + u")");
    CheckSafeCallResult(FHostKernel->SetValue(BStr(u"REFRESH").Get(), BStr(u"YES").Get()));
  } else {
    HostLog(u"Exec: " + Caption + u", " + edSource.Text() + u" failed.");
    CheckSafeCallResult(FHostKernel->SetValue(BStr(u"REFRESH").Get(), BStr(u"").Get()));
  }
  return result;
}
