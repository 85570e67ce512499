// The batch driver's front end on a terminal: progress on stderr (a line per
// file, or a live bar when stderr is a terminal), errors with the engine's
// message, the per-file question answered from --stop-on-error, and counts for
// the summary line.
#pragma once

#include <chrono>
#include <cstdio>
#include <string>

#include "frontEnd.h"
#include "scan.h"

namespace ravelin {

// Message texts of the engine use "\r" as the line break; the terminal gets "\n".
std::string ConsoleText(std::string text);

class TConsoleFrontEnd : public TBatchFrontEnd, public TScanObserver {
public:
  // quiet: no progress lines, no bar and no summary; errors and notes still print.
  TConsoleFrontEnd(int totalFiles, bool stopOnError, bool quiet = false);

  void RunStarted(int count) override;
  void RunEnded() override;
  void ShowProgress(const std::string& fileName, int position, int count) override;
  bool AskYesNo(const std::string& text) override;
  void ShowMessage(const std::string& text) override;
  void ShowNotice(const std::string& text) override;
  void FileDone(const TFileResult& result) override;

  void FolderEntered(const std::string& /*folder*/) override {}
  bool CancelRequested() override { return false; }
  void ShowError(const std::string& text) override;

  // "processed N, skipped N, failed N" (and the files not reached).
  void PrintSummary();
  bool Stopped() const { return FStopped; }
  int Failed() const { return FFailed; }

private:
  // The live bar below the file lines (terminal only).
  void DrawBar(int done);
  // One line under the file: its peak, peak-to-noise ratio and warnings.
  void PrintFigures(const TFileResult& result);
  void EndLiveLine();

  int FTotal;       // files over all runs of the command
  int FStarted = 0; // files announced so far
  bool FStopOnError;
  bool FQuiet;
  bool FLive;                                   // stderr is a terminal: one rewritten progress line
  std::chrono::steady_clock::time_point FStart; // the command's start, for the elapsed time
  bool FLineOpen = false;                       // the live line waits for its end
  bool FStopped = false;                        // a failure ended the work
  int FProcessed = 0;
  int FSkipped = 0;
  int FFailed = 0;
};

} // namespace ravelin
