#include "host/HostCommandLine.h"

#include <cstdio>
#include <optional>

#include "host/CallbookFile.h"
#include "host/HostCore.h"
#include "host/HostRun.h"
#include "host/HostUpdate.h"
#include "host/ModuleLoader.h"
#include "platform/Kernel.h"
#include "platform/OleAuto.h"

namespace {

struct TOptions {
  UString DataDir;
  UString Module;
  std::optional<std::int32_t> Version;
  std::vector<std::string> Withheld;
  std::vector<THostFault> Faults;
  std::vector<std::string> Words;  // the command and its arguments
  TUpdateRequest Update;
  bool Preview = false, NoJournal = false;
};

struct EUsage {
  std::string Text;
};

TOptions ParseOptions(const std::vector<std::string>& args) {
  TOptions o;
  for (std::size_t i = 0; i < args.size(); ++i) {
    const std::string& a = args[i];
    auto value = [&]() -> const std::string& {
      if (i + 1 >= args.size()) throw EUsage{"option " + a + " needs a value"};
      return args[++i];
    };
    if (a == "--data") {
      o.DataDir = U(value());
    } else if (a == "--module") {
      o.Module = U(value());
    } else if (a == "--host-version") {
      const std::string& v = value();
      auto n = TryStrToInt(U(v));
      if (!n) throw EUsage{"--host-version takes a whole number, not \"" + v + "\""};
      o.Version = *n;
    } else if (a == "--withhold") {
      const std::string& v = value();
      if (!THostFaults::IsInterfaceName(v))
        throw EUsage{"--withhold takes IHostKernel, IHostServer, IApplicationWindows, IMenuManager or IHostIcons, not \"" +
                     v + "\""};
      o.Withheld.push_back(v);
    } else if (a == "--fail") {
      const std::string& v = value();
      try {
        o.Faults.push_back(THostFaults::ParseFault(v));
      } catch (const Exception& e) {
        throw EUsage{e.what()};
      }
    } else if (a == "--internet") {
      o.Update.Internet = U(value());
    } else if (a == "--local") {
      o.Update.Local = U(value());
    } else if (a == "--preview") {
      o.Update.Mode = THostRun::TMode::Preview;
      o.Preview = true;
    } else if (a == "--preview-file") {
      o.Update.PreviewFile = U(value());
    } else if (a == "--no-journal") {
      o.NoJournal = true;
    } else if (a == "--fields") {
      const std::string& v = value();
      try {
        o.Update.Fields = ParseFieldList(v);
      } catch (const Exception& e) {
        throw EUsage{e.what()};
      }
    } else if (a == "-h" || a == "--help") {
      o.Words = {"help"};
      return o;
    } else if (a.rfind("--", 0) == 0) {
      throw EUsage{"unknown option " + a};
    } else {
      o.Words.push_back(a);
    }
  }
  return o;
}

std::string Hex(HRESULT hr) {
  char buf[16];
  std::snprintf(buf, sizeof buf, "0x%08X", static_cast<unsigned>(hr));
  return buf;
}

std::string Describe(const TCallError& e) {
  std::string s = "HRESULT " + Hex(e.Code);
  if (!e.Source.empty()) s += ", source " + UStringToUtf8(e.Source);
  if (!e.Description.empty()) s += ": " + UStringToUtf8(e.Description);
  return s;
}

UString DefaultModule() { return ExtractFilePath(zorvik::GetModuleFileName()) + u"UpdZorvik.ext"; }

// The host with its switches applied.
std::unique_ptr<THostCore> MakeHost(const TOptions& o, std::ostream& err) {
  auto core = std::make_unique<THostCore>(o.DataDir.empty() ? DefaultDataDir() : o.DataDir);
  if (o.Version) core->Faults.Version = *o.Version;
  for (const auto& w : o.Withheld) core->Faults.Withhold(w);
  for (const auto& f : o.Faults) core->Faults.FailCall(f);
  core->Kernel.MessageHook = [&err](const UString& text, const UString& caption) {
    err << "[" << UStringToUtf8(caption) << "] " << UStringToUtf8(text) << "\n";
  };
  return core;
}

// Loads and starts the module; on failure reports why and returns null.
std::unique_ptr<TModuleLoader> StartModule(THostCore& core, const TOptions& o, std::ostream& err) {
  auto loader = std::make_unique<TModuleLoader>(o.Module.empty() ? DefaultModule() : o.Module, &core.Menus);
  HRESULT hr = loader->Start(&core);
  if (Failed(hr)) {
    err << "zorvik-host: the module " << UStringToUtf8(loader->Path()) << " refused to start: " << Describe(TakeCallError(hr))
        << "\n";
    return nullptr;
  }
  return loader;
}

std::string Text(HRESULT hr, BStr& s) { return Succeeded(hr) ? UStringToUtf8(s.Text()) : "(" + Hex(hr) + ")"; }

int CmdPlugins(const TOptions& o, std::ostream& out, std::ostream& err) {
  auto core = MakeHost(o, err);
  auto loader = StartModule(*core, o, err);
  if (!loader) return kExitFailed;
  IPlugin* p = loader->Plugin();
  GUID id{};
  BStr s;
  std::int32_t category = 0;
  out << "Module:   " << UStringToUtf8(loader->Path()) << "\n";
  HRESULT hr = p->GetID(&id);
  out << "ID:       " << (Succeeded(hr) ? GUIDToString(id) : "(" + Hex(hr) + ")") << "\n";
  hr = p->GetName(s.Put());
  out << "Name:     " << Text(hr, s) << "\n";
  hr = p->GetVersionText(s.Put());
  out << "Version:  " << Text(hr, s) << "\n";
  hr = p->GetCategory(&category);
  out << "Category: " << (Succeeded(hr) ? std::to_string(category) : "(" + Hex(hr) + ")") << "\n";
  hr = p->GetNotice(s.Put());
  out << "Notice:   " << Text(hr, s) << "\n";
  hr = p->GetHomePage(s.Put());
  out << "Homepage: " << Text(hr, s) << "\n";
  hr = p->GetEmail(s.Put());
  out << "E-mail:   " << Text(hr, s) << "\n";
  out << "Menu items: " << core->Menus.Items().size() << "\n";
  for (const auto& item : core->Menus.Items()) {
    out << "  Caption: " << UStringToUtf8(item->Caption()) << "\n";
    out << "  Hint:    " << UStringToUtf8(item->Hint()) << "\n";
  }
  HRESULT unload = loader->Unload(true);
  if (Failed(unload)) {
    err << "zorvik-host: unloading failed: " << Describe(TakeCallError(unload)) << "\n";
    return kExitFailed;
  }
  return kExitOk;
}

int CmdClick(const TOptions& o, std::ostream& out, std::ostream& err) {
  auto core = MakeHost(o, err);
  auto loader = StartModule(*core, o, err);
  if (!loader) return kExitFailed;
  int rc = kExitOk;
  // A copy: a click may change the menu.
  auto items = core->Menus.Items();
  if (items.empty()) {
    err << "zorvik-host: the module added no menu item\n";
    rc = kExitFailed;
  }
  for (const auto& item : items) {
    TCallError e = item->Click();
    out << "Click \"" << UStringToUtf8(item->Caption()) << "\": ";
    if (Failed(e.Code)) {
      out << Describe(e) << "\n";
      rc = kExitFailed;
    } else {
      out << "HRESULT " << Hex(e.Code) << "\n";
    }
  }
  loader->Unload(true);
  return rc;
}

int CmdUpdate(const TOptions& o, std::ostream& out, std::ostream& err, bool errIsTerminal) {
  if (o.Update.Internet && o.Update.Local) throw EUsage{"update takes --internet URL or --local FILE, not both"};
  if (o.Update.PreviewFile && !o.Preview) throw EUsage{"--preview-file goes with --preview"};
  if (o.Preview && o.NoJournal) throw EUsage{"--no-journal and --preview do not go together; a preview writes nothing"};
  TUpdateRequest request = o.Update;
  if (o.NoJournal) request.Mode = THostRun::TMode::Plain;
  request.ProgressLine = errIsTerminal;
  auto core = MakeHost(o, err);
  core->Kernel.EchoLog = false;  // the progress log and the summary tell the story
  auto loader = StartModule(*core, o, err);
  if (!loader) return kExitFailed;
  bool ok = RunUpdateJob(*core, request, out, err);
  HRESULT unload = loader->Unload(true);
  if (Failed(unload)) {
    err << "zorvik-host: unloading failed: " << Describe(TakeCallError(unload)) << "\n";
    return kExitFailed;
  }
  return ok ? kExitOk : kExitFailed;
}

int CmdCallbook(const TOptions& o, std::ostream& out, std::ostream& err) {
  const auto& w = o.Words;
  if (w.size() < 2) throw EUsage{"callbook needs import FILE, export or show CALL"};
  const std::string& sub = w[1];
  if (sub == "import" && w.size() != 3) throw EUsage{"callbook import takes one FILE"};
  if (sub == "export" && w.size() != 2) throw EUsage{"callbook export takes no arguments"};
  if (sub == "show" && w.size() != 3) throw EUsage{"callbook show takes one CALL"};
  if (sub != "import" && sub != "export" && sub != "show") throw EUsage{"unknown callbook command " + sub};

  auto core = MakeHost(o, err);
  TCallbookDb& db = core->Server.Db();
  if (sub == "import") {
    ImportCallbookFile(db, U(w[2]));
    auto all = db.Select({});
    err << "zorvik-host: imported " << UStringToUtf8(U(w[2])) << "; the callbook holds " << all->Count() << " rows\n";
    return kExitOk;
  }
  TCallbookSelect select;
  select.OrderByCall = true;
  if (sub == "show") select.Call = U(w[2]);
  auto cursor = db.Select(select);
  if (sub == "show" && cursor->Eof()) {
    err << "zorvik-host: no callbook entry for " << w[2] << "\n";
    return kExitFailed;
  }
  ExportCallbookTsv(*cursor, out);
  return kExitOk;
}

std::string Cell(UStringView text) { return text.empty() ? "-" : UStringToUtf8(text); }

int CmdHistory(const TOptions& o, std::ostream& out, std::ostream& err) {
  auto core = MakeHost(o, err);
  TCallbookDb& db = core->Server.Db();
  if (!db.KeepsJournal()) {
    err << "zorvik-host: this callbook keeps no journal of its runs\n";
    return kExitFailed;
  }
  const std::vector<TJournalRun> runs = db.Runs();
  if (runs.empty()) {
    out << "The journal holds no runs yet.\n";
    return kExitOk;
  }
  out << "RUN\tKIND\tSTARTED\tENDED\tRESULT\tSTATEMENTS\tROWS CHANGED\tVALUES CHANGED\tFIELDS\tSOURCE\n";
  for (const TJournalRun& r : runs) {
    std::string kind = UStringToUtf8(r.Kind);
    if (r.Undoes) kind += " of " + std::to_string(*r.Undoes);
    out << r.Number << '\t' << kind << '\t' << Cell(r.Started) << '\t' << Cell(r.Ended) << '\t'
        << (r.Result.empty() ? "interrupted" : UStringToUtf8(r.Result)) << '\t' << GroupDigits(r.Statements) << '\t'
        << GroupDigits(r.RowsChanged) << '\t' << GroupDigits(r.ValuesChanged) << '\t' << Cell(r.Fields) << '\t'
        << Cell(r.Source) << '\n';
  }
  return kExitOk;
}

std::string Quoted(const std::optional<UString>& v) { return v ? "\"" + UStringToUtf8(*v) + "\"" : "(null)"; }

int CmdUndo(const TOptions& o, std::ostream& out, std::ostream& err) {
  std::optional<std::int64_t> which;
  if (o.Words.size() > 2) throw EUsage{"undo takes at most one RUN"};
  if (o.Words.size() == 2) {
    auto n = TryStrToInt(U(o.Words[1]));
    if (!n || *n <= 0) throw EUsage{"undo takes a run number from history, not \"" + o.Words[1] + "\""};
    which = *n;
  }
  auto core = MakeHost(o, err);
  TUndoOutcome u = core->Server.Db().Undo(which);
  out << "Undo run " << u.Run << " took back run " << u.Undone << ": " << GroupDigits(u.RowsRestored)
      << " rows restored (" << GroupDigits(u.ValuesRestored) << " values)\n";
  if (!u.Conflicts.empty()) {
    out << GroupDigits(std::int64_t(u.Conflicts.size())) << " rows changed since run " << u.Undone
        << " and were left alone:\n";
    for (const TUndoConflict& c : u.Conflicts) {
      out << "  " << (c.Call ? UStringToUtf8(*c.Call) : "(no callsign)") << "  ";
      if (c.Missing)
        out << "the row is no longer in the callbook\n";
      else
        out << UStringToUtf8(CallbookColumnName(c.Column)) << " holds " << Quoted(c.Found) << ", run " << u.Undone
            << " left " << Quoted(c.Expected) << "\n";
    }
  }
  return kExitOk;
}

}  // namespace

const char* HostUsage() {
  return "Usage: zorvik-host [options] COMMAND\n"
         "\n"
         "Commands:\n"
         "  update                  run an update through the module's dialog, as a person would:\n"
         "                          --internet URL or --local FILE, --fields name,qth,grid,state,qsl;\n"
         "                          with neither source, the sample callbook and package;\n"
         "                          --preview runs it and rolls it back, listing what would change\n"
         "  history                 list the journal's runs, newest first\n"
         "  undo [RUN]              take back a run (default: the last update run not undone);\n"
         "                          rows changed since are listed and left alone\n"
         "  plugins                 load the module and list its identity and menu items\n"
         "  click                   load the module, click each of its menu items, print the result\n"
         "  callbook import FILE    append the rows of a TSV or CSV file (header line names the columns)\n"
         "  callbook export         print the callbook as TSV\n"
         "  callbook show CALL      print the rows of one callsign as TSV\n"
         "  gui [--screenshot FILE] open the host's window (takes --data and --module); with\n"
         "                          --screenshot, save a picture of the module's dialog and quit\n"
         "  help                    print this text\n"
         "\n"
         "Options:\n"
         "  --data DIR              data folder (default ~/.local/share/zorvik-host, on Windows\n"
         "                          %LOCALAPPDATA%\\zorvik-host): the callbook (callbook.db, on\n"
         "                          Windows callbook.tsv), zorvik-host.ini, zorvik-host.log, Download/\n"
         "  --module PATH           the module to load (default UpdZorvik.ext next to the program)\n"
         "  --host-version N        the version the host reports (default 104019)\n"
         "  --withhold INTERFACE    do not offer IHostKernel, IHostServer, IApplicationWindows,\n"
         "                          IMenuManager or IHostIcons (repeatable)\n"
         "  --internet URL          update: fetch the package from URL\n"
         "  --local FILE            update: take the package from FILE\n"
         "  --fields LIST           update: the fields that may change (default all five)\n"
         "  --preview               update: change nothing, list the changes the run would make\n"
         "  --preview-file FILE     update --preview: write every change to FILE as TSV\n"
         "  --no-journal            update: keep no journal of the run (for measurements)\n"
         "  --fail METHOD:N:CODE[:DESCRIPTION]\n"
         "                          make the Nth call (0: every call) of a host method fail with CODE\n"
         "\n"
         "Results go to standard output; errors, messages and the log echo to standard error.\n"
         "Exit codes: 0 success, 1 failure, 2 wrong command line.\n";
}

int RunHostCommandLine(const std::vector<std::string>& args, std::ostream& out, std::ostream& err, bool errIsTerminal) {
  try {
    TOptions o = ParseOptions(args);
    if (o.Words.empty()) throw EUsage{"no command given"};
    const std::string& cmd = o.Words[0];
    if (cmd == "help") {
      out << HostUsage();
      return kExitOk;
    }
    if (cmd == "plugins" || cmd == "click") {
      if (o.Words.size() != 1) throw EUsage{cmd + " takes no arguments"};
      return cmd == "plugins" ? CmdPlugins(o, out, err) : CmdClick(o, out, err);
    }
    if (cmd == "callbook") return CmdCallbook(o, out, err);
    if (cmd == "update") {
      if (o.Words.size() != 1) throw EUsage{"update takes no arguments besides its options"};
      return CmdUpdate(o, out, err, errIsTerminal);
    }
    if (cmd == "history") {
      if (o.Words.size() != 1) throw EUsage{"history takes no arguments"};
      return CmdHistory(o, out, err);
    }
    if (cmd == "undo") return CmdUndo(o, out, err);
    throw EUsage{"unknown command " + cmd};
  } catch (const EUsage& u) {
    err << "zorvik-host: " << u.Text << "\n\n" << HostUsage();
    return kExitUsage;
  } catch (const Exception& e) {
    err << "zorvik-host: " << e.what() << "\n";
    return kExitFailed;
  } catch (const std::exception& e) {
    err << "zorvik-host: " << e.what() << "\n";
    return kExitFailed;
  }
}
