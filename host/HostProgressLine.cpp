#include "host/HostProgressLine.h"

#include <algorithm>
#include <cstdio>

#include "host/HostRun.h"

namespace {
constexpr auto kInterval = std::chrono::milliseconds(100);
}

THostProgressLine::THostProgressLine(std::ostream& out, bool enabled, TClock clock)
    : FOut(out), FEnabled(enabled), FClock(std::move(clock)), FStart(FClock()) {}

std::string THostProgressLine::Format(std::int64_t walked, std::int64_t total, std::int64_t statements,
                                      double seconds) {
  const int percent = total > 0 ? static_cast<int>(std::min<std::int64_t>(walked, total) * 100 / total) : 0;
  char head[16], tail[32];
  std::snprintf(head, sizeof head, "%3d%%", percent);
  std::snprintf(tail, sizeof tail, "%.1f s", seconds);
  return std::string(head) + "  " + GroupDigits(walked) + " of " + GroupDigits(total) + " rows  " +
         GroupDigits(statements) + " statements  " + tail;
}

void THostProgressLine::Update(std::int64_t walked, std::int64_t total, std::int64_t statements) {
  if (!FEnabled) return;
  const auto now = FClock();
  if (FDrawnOnce && now - FLastDrawn < kInterval) return;
  FDrawnOnce = true;
  FLastDrawn = now;
  std::string line = Format(walked, total, statements, std::chrono::duration<double>(now - FStart).count());
  const std::size_t length = line.size();
  // Blanks cover what a longer earlier line left.
  if (length < FShown) line.append(FShown - length, ' ');
  FOut << '\r' << line << std::flush;
  FShown = length;
}

void THostProgressLine::Clear() {
  if (!FEnabled || FShown == 0) return;
  FOut << '\r' << std::string(FShown, ' ') << '\r' << std::flush;
  FShown = 0;
}
