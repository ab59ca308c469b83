#include "tests/Plugins/UpdZorvik/RunTestHost.h"

#include <gtest/gtest.h>

#include <fstream>

#include "platform/Kernel.h"
#include "platform/Locale.h"

TRunTestHost::TRunTestHost() {
  OverrideLocaleForTests(std::nullopt, u"yyyy-mm-dd");
  Core = std::make_unique<THostCore>(Utf8ToUString((Dir.Path() / "data").string()));
  Core->Kernel.EchoLog = false;
  Core->Kernel.MessageHook = [](const UString&, const UString&) {};
  Dialog = std::make_unique<TfrmUpdZorvik>(Core.get());
  ComPtr<ICore> core(Core.get());
  Dialog->FHostKernel = core.As<IHostKernel>();
  Dialog->FHostServer = core.As<IHostServer>();
  Dialog->Caption = u"Update Callbook with Zorvik data";
  Dialog->cgUseFields.SetChecked(0, true);
}

TRunTestHost::~TRunTestHost() {
  Dialog.reset();
  Core.reset();
  SetTickCountSource(nullptr);
  OverrideLocaleForTests(std::nullopt, std::nullopt);
}

void TRunTestHost::Import(const std::vector<TRow>& rows) {
  std::size_t i = 0;
  Core->Server.Db().Insert([&](TCallbookRow& row) {
    if (i == rows.size()) return false;
    row = rows[i++];
    return true;
  });
}

std::vector<TRow> TRunTestHost::Rows() {
  auto cursor = Core->Server.Db().Select(ParseCallbookSelect(u"SELECT * FROM CALLBOOK ORDER BY OMCALL"));
  std::vector<TRow> rows;
  for (cursor->First(); !cursor->Eof(); cursor->Next()) {
    TRow row;
    for (int c = 0; c < kCallbookColumnCount; ++c)
      if (!cursor->IsNull(c)) row[std::size_t(c)] = UString(cursor->Text(c));
    rows.push_back(row);
  }
  return rows;
}

TRow TRunTestHost::Row(UStringView call) {
  std::vector<TRow> found;
  for (auto& r : Rows())
    if (r[0] && *r[0] == call) found.push_back(r);
  EXPECT_EQ(found.size(), 1u) << UStringToUtf8(call);
  return found.empty() ? TRow{} : found[0];
}

std::vector<UString> TRunTestHost::LogLines() {
  std::ifstream in(UStringToUtf8(Core->Kernel.LogPath()));
  std::vector<UString> lines;
  std::string line;
  // "YYYY-MM-DD hh:mm:ss.mmm" and two blanks precede the text.
  while (std::getline(in, line)) lines.push_back(Utf8ToUString(line.size() > 25 ? line.substr(25) : ""));
  return lines;
}

std::vector<std::string> TRunTestHost::DownloadFiles() {
  std::vector<std::string> names;
  for (auto& e : std::filesystem::directory_iterator(UStringToUtf8(Core->Kernel.DownloadDir())))
    names.push_back(e.path().filename().string());
  return names;
}

void TRunTestHost::UseFields(std::initializer_list<int> boxes) {
  for (int b = 1; b <= 5; ++b) Dialog->cgUseFields.SetChecked(b, false);
  for (int b : boxes) Dialog->cgUseFields.SetChecked(b, true);
}

std::filesystem::path TRunTestHost::Package(const std::string& name) {
  std::filesystem::path copy = Dir / ("pkg-" + name);
  if (!std::filesystem::exists(copy)) std::filesystem::copy_file(SharedPackage(name), copy);
  return copy;
}
