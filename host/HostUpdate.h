// The main job: an update run driven through the module's dialog, as a person would.
#pragma once

#include <optional>
#include <ostream>
#include <string>
#include <vector>

#include "host/HostCore.h"
#include "host/HostRun.h"
#include "host/ModuleLoader.h"

struct TUpdateRequest {
  // The package's source; neither given means the bundled sample package.
  std::optional<UString> Internet;
  std::optional<UString> Local;
  // Field boxes to tick: any of "name", "qth", "grid", "state", "qsl"; all five when empty.
  std::vector<std::string> Fields;
  // How the run's changes are kept: journaled, previewed and rolled back, or neither.
  THostRun::TMode Mode = THostRun::TMode::Journal;
  // For a preview: a file to which every change is written as TSV.
  std::optional<UString> PreviewFile;
  // Whether err is a terminal, on which the dialog's progress is drawn as one line.
  bool ProgressLine = false;
};

// The bundled sample callbook and package, next to the program or in the source tree.
UString ExamplesDir();

// Queues the person's actions (source, fields, Update, Close), clicks the module's item,
// prints the dialog's progress log to out as it grows, then a summary with the values
// changed per column; a preview also lists the changes it rolled back. Returns true only
// when the run itself succeeded. With no source given, the sample package is used, and
// an empty callbook is first filled from the sample callbook (not by a preview, which
// writes nothing).
bool RunUpdateJob(THostCore& core, const TUpdateRequest& request, std::ostream& out, std::ostream& err);

// Reads a --fields list; raises EConvertError naming an unknown field.
std::vector<std::string> ParseFieldList(const std::string& text);
