#include "consoleFrontEnd.h"

#include <unistd.h>

namespace ravelin {

namespace {

constexpr int BarWidth = 30;

std::string Bar(int done, int total) {
  const int filled = total > 0 ? done * BarWidth / total : BarWidth;
  std::string bar(static_cast<size_t>(BarWidth) + 2, '.');
  bar.front() = '[';
  bar.back() = ']';
  bar.replace(1, static_cast<size_t>(filled), static_cast<size_t>(filled), '#');
  return bar;
}

} // namespace

std::string ConsoleText(std::string text) {
  for (char& c : text)
    if (c == '\r')
      c = '\n';
  return text;
}

TConsoleFrontEnd::TConsoleFrontEnd(int totalFiles, bool stopOnError) :
    FTotal(totalFiles), FStopOnError(stopOnError), FLive(isatty(STDERR_FILENO) == 1) {}

void TConsoleFrontEnd::RunStarted(int /*count*/) {}

void TConsoleFrontEnd::RunEnded() {
  EndLiveLine();
}

void TConsoleFrontEnd::ShowProgress(const std::string& fileName, int /*position*/, int /*count*/) {
  EndLiveLine();
  std::fprintf(stderr, "[%d/%d] %s\n", ++FStarted, FTotal, fileName.c_str());
  DrawBar(FStarted - 1);
}

bool TConsoleFrontEnd::AskYesNo(const std::string& /*text*/) {
  // The error itself has been printed by FileFailed.
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

void TConsoleFrontEnd::FileDone(const std::string& /*recordingPath*/, TFileOutcome outcome,
                                const std::string& /*outputPath*/) {
  switch (outcome) {
  case TFileOutcome::Processed: ++FProcessed; break;
  case TFileOutcome::Skipped: ++FSkipped; break;
  case TFileOutcome::Failed: ++FFailed; break;
  }
  EndLiveLine();
  DrawBar(FProcessed + FSkipped + FFailed);
}

void TConsoleFrontEnd::FileFailed(const std::string& recordingPath, const std::string& message) {
  EndLiveLine();
  std::fprintf(stderr, "ravelin-cli: error: %s: %s\n", recordingPath.c_str(), ConsoleText(message).c_str());
}

void TConsoleFrontEnd::ShowError(const std::string& text) {
  ShowMessage(text);
}

void TConsoleFrontEnd::PrintSummary() {
  EndLiveLine();
  const int notReached = FTotal - FProcessed - FSkipped - FFailed;
  std::fprintf(stderr, "processed %d, skipped %d, failed %d", FProcessed, FSkipped, FFailed);
  if (notReached > 0)
    std::fprintf(stderr, ", not reached %d", notReached);
  std::fprintf(stderr, "\n");
}

void TConsoleFrontEnd::DrawBar(int done) {
  if (FLive) {
    std::fprintf(stderr, "%s %d/%d", Bar(done, FTotal).c_str(), done, FTotal);
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
