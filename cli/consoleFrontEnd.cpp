#include "consoleFrontEnd.h"

#include <algorithm>

#include <unistd.h>

#include "progressText.h"

namespace ravelin {

std::string ConsoleText(std::string text) {
  for (char& c : text)
    if (c == '\r')
      c = '\n';
  return text;
}

TConsoleFrontEnd::TConsoleFrontEnd(int totalFiles, bool stopOnError, bool quiet) :
    FTotal(totalFiles), FStopOnError(stopOnError), FQuiet(quiet), FLive(!quiet && isatty(STDERR_FILENO) == 1),
    FStart(std::chrono::steady_clock::now()) {}

void TConsoleFrontEnd::RunStarted(int /*count*/) {}

void TConsoleFrontEnd::RunEnded() {
  EndLiveLine();
}

void TConsoleFrontEnd::ShowProgress(const std::string& fileName, int /*position*/, int /*count*/) {
  ++FStarted;
  if (FQuiet)
    return;
  EndLiveLine();
  std::fprintf(stderr, "[%d/%d] %s\n", FStarted, FTotal, fileName.c_str());
  DrawBar(FStarted - 1);
}

bool TConsoleFrontEnd::AskYesNo(const std::string& /*text*/) {
  // The error itself has been printed by FileDone.
  if (FStopOnError)
    FStopped = true;
  return !FStopOnError;
}

void TConsoleFrontEnd::ShowMessage(const std::string& text) {
  EndLiveLine();
  std::fprintf(stderr, "ravelin-cli: %s\n", ConsoleText(text).c_str());
}

void TConsoleFrontEnd::ShowNotice(const std::string& text) {
  EndLiveLine();
  std::fprintf(stderr, "ravelin-cli: note: %s\n", ConsoleText(text).c_str());
}

void TConsoleFrontEnd::FileDone(const TFileResult& result) {
  EndLiveLine();
  switch (result.Outcome) {
  case TFileOutcome::Processed:
    ++FProcessed;
    PrintFigures(result);
    break;
  case TFileOutcome::Skipped: ++FSkipped; break;
  case TFileOutcome::Failed:
    ++FFailed;
    std::fprintf(stderr, "ravelin-cli: error: %s: %s\n", result.RecordingPath.c_str(),
                 ConsoleText(result.Message).c_str());
    break;
  }
  DrawBar(FProcessed + FSkipped + FFailed);
}

void TConsoleFrontEnd::PrintFigures(const TFileResult& result) {
  if (FQuiet || result.Channels.empty())
    return;
  // The loudest channel's peak, the worst peak-to-noise ratio, every warning once.
  double peak = result.Channels.front().PeakDbfs;
  double pnr = result.Channels.front().PnrDb;
  std::vector<std::string> warnings;
  for (const TChannelFigures& channel : result.Channels) {
    peak = std::max(peak, channel.PeakDbfs);
    pnr = std::min(pnr, channel.PnrDb);
    for (const std::string& warning : channel.Warnings)
      if (std::find(warnings.begin(), warnings.end(), warning) == warnings.end())
        warnings.push_back(warning);
  }
  std::string text;
  for (const std::string& warning : warnings)
    text += (text.empty() ? ", warnings: " : "; ") + warning;
  std::fprintf(stderr, "  peak %.1f dBFS, peak-to-noise %.1f dB%s\n", peak, pnr, text.c_str());
}

void TConsoleFrontEnd::ShowError(const std::string& text) {
  ShowMessage(text);
}

void TConsoleFrontEnd::PrintSummary() {
  EndLiveLine();
  if (FQuiet)
    return;
  const int notReached = FTotal - FProcessed - FSkipped - FFailed;
  std::fprintf(stderr, "processed %d, skipped %d, failed %d", FProcessed, FSkipped, FFailed);
  if (notReached > 0)
    std::fprintf(stderr, ", not reached %d", notReached);
  std::fprintf(stderr, "\n");
}

void TConsoleFrontEnd::DrawBar(int done) {
  if (FLive) {
    const std::chrono::duration<double> elapsed = std::chrono::steady_clock::now() - FStart;
    std::fprintf(stderr, "%s", ProgressLineText(done, FTotal, elapsed.count()).c_str());
    FLineOpen = true;
  }
  std::fflush(stderr);
}

void TConsoleFrontEnd::EndLiveLine() {
  if (!FLineOpen)
    return;
  std::fprintf(stderr, "\r\033[K");
  FLineOpen = false;
}

} // namespace ravelin
