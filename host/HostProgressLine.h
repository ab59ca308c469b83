// The dialog's progress as one line on a terminal, rewritten in place while a run goes on.
#pragma once

#include <chrono>
#include <cstdint>
#include <functional>
#include <ostream>
#include <string>

class THostProgressLine {
 public:
  using TClock = std::function<std::chrono::steady_clock::time_point()>;
  // Draws on out when enabled; a disabled line writes nothing at all. Elapsed time counts
  // from construction.
  THostProgressLine(std::ostream& out, bool enabled, TClock clock = std::chrono::steady_clock::now);
  // Redraws the line with these figures, at most ten times a second.
  void Update(std::int64_t walked, std::int64_t total, std::int64_t statements);
  // Removes the line from the terminal, if one is shown.
  void Clear();
  // The line's text for these figures.
  static std::string Format(std::int64_t walked, std::int64_t total, std::int64_t statements, double seconds);

 private:
  std::ostream& FOut;
  bool FEnabled;
  TClock FClock;
  std::chrono::steady_clock::time_point FStart, FLastDrawn;
  bool FDrawnOnce = false;
  std::size_t FShown = 0;  // characters of the line on the terminal now
};
