#include "host/HostUpdate.h"

#include <chrono>
#include <cstdio>

#include "host/CallbookFile.h"
#include "host/HostAutomation.h"
#include "platform/Kernel.h"
#include "ui/UiRuntime.h"

namespace {

constexpr const char* kFieldNames[] = {"name", "qth", "grid", "state", "qsl"};

std::string Utf8(UStringView s) { return UStringToUtf8(s); }


// Prints what is new in the progress log each time it changes.
class TLogEcho {
 public:
  explicit TLogEcho(std::ostream& out) : out_(out) {}
  void Seen(UStringView text) {
    if (text.size() < printed_ || text.substr(0, printed_) != UStringView(last_).substr(0, printed_)) {
      // The log was cleared or rewritten: start over on a fresh line.
      if (printed_ > 0 && !EndsWithBreak()) out_ << "\n";
      printed_ = 0;
    }
    UString fresh(text.substr(printed_));
    std::string bytes = Utf8(fresh);
    std::erase(bytes, '\r');
    out_ << bytes << std::flush;
    last_ = UString(text);
    printed_ = text.size();
  }
  void Finish() {
    if (printed_ > 0 && !EndsWithBreak()) out_ << "\n";
  }

 private:
  bool EndsWithBreak() const { return !last_.empty() && last_.back() == u'\n'; }
  std::ostream& out_;
  UString last_;
  std::size_t printed_ = 0;
};

}  // namespace

UString ExamplesDir() {
  UString beside = ExtractFilePath(zorvik::GetModuleFileName()) + u"examples";
  if (DirectoryExists(beside)) return beside;
  return Utf8ToUString(ZORVIK_EXAMPLES_DIR);
}

std::vector<std::string> ParseFieldList(const std::string& text) {
  std::vector<std::string> fields;
  std::size_t start = 0;
  while (start <= text.size()) {
    std::size_t comma = text.find(',', start);
    std::string f = text.substr(start, comma == std::string::npos ? std::string::npos : comma - start);
    bool known = false;
    for (const char* k : kFieldNames) known = known || f == k;
    if (!known)
      throw EConvertError(u"Unknown field \"" + Utf8ToUString(f) + u"\"; the fields are name, qth, grid, state and qsl");
    fields.push_back(f);
    if (comma == std::string::npos) break;
    start = comma + 1;
  }
  return fields;
}

bool RunUpdateJob(THostCore& core, const TUpdateRequest& request, std::ostream& out, std::ostream& err) {
  using Action = ui_runtime::Action;
  const bool sample = !request.Internet && !request.Local;
  UString local;
  if (sample) {
    UString examples = IncludeTrailingPathDelimiter(ExamplesDir());
    if (core.Server.Db().Select({})->Count() == 0) {
      ImportCallbookFile(core.Server.Db(), examples + u"sample-callbook.tsv");
      err << "zorvik-host: the callbook was empty; it now holds the sample callbook\n";
    }
    local = examples + u"sample-package.zip";
  } else if (request.Local) {
    local = ExpandFileName(*request.Local);
    if (!FileExists(local)) {
      err << "zorvik-host: there is no package file " << Utf8(local) << "\n";
      return false;
    }
  }
  std::vector<std::string> fields = request.Fields;
  if (fields.empty()) fields.assign(std::begin(kFieldNames), std::end(kFieldNames));

  auto items = core.Menus.Items();
  if (items.empty()) {
    err << "zorvik-host: the module added no menu item\n";
    return false;
  }

  // What the person does, in order, once the dialog waits for input.
  bool refused = false;
  std::vector<UString> errors;
  THostAutomation person(
      core,
      [&](const Action& a) {
        refused = true;
        err << "zorvik-host: the dialog did not take the action on " << Utf8(a.control) << "\n";
      },
      [&](UStringView text, UStringView caption) {
        errors.emplace_back(text);
        err << "[" << Utf8(caption) << "] " << Utf8(text) << "\n";
      });
  TLogEcho echo(out);
  Action watch = Action::Make(Action::Watch, u"mProgress");
  watch.onText = [&](UStringView t) { echo.Seen(t); };
  person.Act(std::move(watch));
  if (request.Internet) {
    person.Act(Action::Make(Action::Select, u"rgLocation", {}, 0));
    person.Act(Action::Make(Action::SetText, u"edSource", *request.Internet));
  } else {
    person.Act(Action::Make(Action::Select, u"rgLocation", {}, 1));
    person.AnswerChooser(local);
    person.Act(Action::Make(Action::Press, u"edSource"));
  }
  for (int i = 0; i < 5; ++i) {
    bool on = false;
    for (const auto& f : fields) on = on || f == kFieldNames[i];
    person.Act(Action::Make(Action::Check, u"cgUseFields", {}, i + 1, on));
  }
  person.Act(Action::Make(Action::Press, u"dbtUpdateOk"));
  person.Act(Action::Make(Action::Close, {}));

  core.Kernel.ClearValue(u"REFRESH");
  const std::int64_t statements = core.Server.StatementsRun(), changed = core.Server.RowsChanged();
  const int walked = core.Faults.Calls("Next");
  auto start = std::chrono::steady_clock::now();
  TCallError click = items.front()->Click();
  double seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
  echo.Finish();

  if (Failed(click.Code))
    err << "zorvik-host: the click failed: " << Utf8(click.Description) << "\n";
  bool ok = Succeeded(click.Code) && errors.empty() && !refused && core.Kernel.Value(u"REFRESH") == u"YES";
  char elapsed[32];
  std::snprintf(elapsed, sizeof elapsed, "%.2f s", seconds);
  out << "\nRows walked:      " << core.Faults.Calls("Next") - walked << "\n"
      << "Statements sent:  " << core.Server.StatementsRun() - statements << "\n"
      << "Rows changed:     " << core.Server.RowsChanged() - changed << "\n"
      << "Elapsed time:     " << elapsed << "\n"
      << "Result:           " << (ok ? "the update run succeeded" : "the update run failed") << "\n";
  return ok;
}
