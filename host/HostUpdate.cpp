#include "host/HostUpdate.h"

#include <chrono>
#include <cstdio>
#include <sstream>

#include "host/CallbookFile.h"
#include "host/HostAutomation.h"
#include "host/HostProgressLine.h"
#include "platform/FileReplace.h"
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

// How many of a preview's changes the terminal shows; the file takes them all.
constexpr std::size_t kPreviewLines = 50;

// A value as the preview shows it: text in quotation marks with its control characters
// escaped, NULL as (null).
std::string Shown(const std::optional<UString>& v) {
  if (!v) return "(null)";
  std::string out = "\"";
  for (char c : Utf8(*v)) {
    if (c == '\t') out += "\\t";
    else if (c == '\n') out += "\\n";
    else if (c == '\r') out += "\\r";
    else out += c;
  }
  return out + "\"";
}

void PrintPreview(const TChangeSet& changes, std::ostream& out) {
  const std::int64_t size = changes.Size();
  if (size == 0) {
    out << "\nThe run would change no value.\n";
    return;
  }
  out << "\nChanges the run would make";
  if (size > std::int64_t(kPreviewLines)) out << " (the first " << kPreviewLines << " of " << GroupDigits(size) << ")";
  out << ":\n";
  std::size_t shown = 0;
  changes.ForEach([&](const TValueChange& c) {
    out << "  " << (c.Call ? Utf8(*c.Call) : "(no callsign)") << "  " << Utf8(CallbookColumnName(c.Column)) << "  "
        << Shown(c.Old) << " \u2192 " << Shown(c.New) << "\n";
    return ++shown < kPreviewLines;
  });
}

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
  const bool preview = request.Mode == THostRun::TMode::Preview;
  UString local;
  if (sample) {
    UString examples = IncludeTrailingPathDelimiter(ExamplesDir());
    if (core.Server.Db().Select({})->Count() == 0) {
      if (preview) {
        err << "zorvik-host: the callbook is empty, and a preview does not fill it\n";
      } else {
        ImportCallbookFile(core.Server.Db(), examples + u"sample-callbook.tsv");
        err << "zorvik-host: the callbook was empty; it now holds the sample callbook\n";
      }
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
  std::string fieldList;
  for (const auto& f : fields) fieldList += (fieldList.empty() ? "" : ",") + f;

  auto items = core.Menus.Items();
  if (items.empty()) {
    err << "zorvik-host: the module added no menu item\n";
    return false;
  }

  // What the person does, in order, once the dialog waits for input.
  bool refused = false;
  std::vector<UString> errors;
  THostProgressLine progress(err, request.ProgressLine);
  THostAutomation person(
      core,
      [&](const Action& a) {
        progress.Clear();
        refused = true;
        err << "zorvik-host: the dialog did not take the action on " << Utf8(a.control) << "\n";
      },
      [&](UStringView text, UStringView caption) {
        progress.Clear();
        errors.emplace_back(text);
        err << "[" << Utf8(caption) << "] " << Utf8(text) << "\n";
      });
  TLogEcho echo(out);
  Action watch = Action::Make(Action::Watch, u"mProgress");
  watch.onText = [&](UStringView t) {
    progress.Clear();
    echo.Seen(t);
  };
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
  const std::int64_t walked = core.Server.RowsWalked();
  THostRun run(core, request.Mode, request.Internet ? *request.Internet : local, Utf8ToUString(fieldList));
  if (request.ProgressLine)
    core.Server.Activity = [&] {
      progress.Update(core.Server.RowsWalked() - walked, core.Server.LastRecordCount(), run.Statements());
    };
  auto start = std::chrono::steady_clock::now();
  TCallError click = items.front()->Click();
  double seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
  core.Server.Activity = nullptr;
  progress.Clear();
  echo.Finish();

  if (Failed(click.Code))
    err << "zorvik-host: the click failed: " << Utf8(click.Description) << "\n";
  bool ok = Succeeded(click.Code) && errors.empty() && !refused && core.Kernel.Value(u"REFRESH") == u"YES";
  try {
    run.Finish(ok);
  } catch (const Exception& e) {
    err << "zorvik-host: the run could not be " << (preview ? "rolled back: " : "recorded: ") << Utf8(e.Message) << "\n";
    ok = false;
  }
  char elapsed[32];
  std::snprintf(elapsed, sizeof elapsed, "%.2f s", seconds);
  out << "\nRows walked:      " << GroupDigits(core.Server.RowsWalked() - walked) << "\n"
      << "Statements sent:  " << GroupDigits(run.Statements()) << "\n"
      << "Rows changed:     " << GroupDigits(run.RowsChanged()) << "\n";
  if (request.Mode != THostRun::TMode::Plain)
    for (const std::string& line : ColumnCountLines(run.Counts(), run.Otherwise())) out << "  " << line << "\n";
  out << "Elapsed time:     " << elapsed << "\n";
  if (preview)
    out << "Preview:          rolled back; the callbook is unchanged\n";
  else if (run.Number() > 0)
    out << "Journal run:      " << run.Number() << "\n";
  out << "Result:           " << (ok ? "the update run succeeded" : "the update run failed") << "\n";
  if (preview) {
    PrintPreview(run.ChangeSet(), out);
    if (request.PreviewFile) {
      std::ostringstream text;
      WriteChangesTsv(run.ChangeSet(), text);
      try {
        ReplaceFileContents(ExpandFileName(*request.PreviewFile), text.str());
      } catch (const Exception& e) {
        err << "zorvik-host: cannot write the preview to " << Utf8(*request.PreviewFile) << ": " << Utf8(e.Message) << "\n";
        ok = false;
      }
    }
  }
  return ok;
}
