// What the batch driver needs from its front end (window, command line, tests).
#pragma once

#include <atomic>
#include <string>
#include <vector>

#include "figures.h"
#include "harmonicsStage.h"

namespace ravelin {

enum class TFileOutcome { Processed, Skipped, Failed };

// What became of one recording of a run.
struct TFileResult {
  std::string RecordingPath;
  TFileOutcome Outcome = TFileOutcome::Processed;
  std::string OutputPath;                   // the file written (Processed only)
  std::string Message;                      // the error (Failed only)
  std::vector<TChannelFigures> Channels;    // Processed: per output channel
  std::vector<TRecordingLevel> Recording;   // Processed: per recording channel
  std::vector<TChannelHarmonics> Harmonics; // Processed with harmonics: per output channel
};

// Cancel, set from any thread (the progress dialog's button) and observed by
// the driver between files.
class TCancelToken {
public:
  void Request() { FRequested.store(true, std::memory_order_relaxed); }
  void Reset() { FRequested.store(false, std::memory_order_relaxed); }
  bool Requested() const { return FRequested.load(std::memory_order_relaxed); }

private:
  std::atomic<bool> FRequested{false};
};

class TBatchFrontEnd {
public:
  virtual ~TBatchFrontEnd() = default;

  // A run begins over count files: disable the window, show the progress dialog.
  virtual void RunStarted(int count) = 0;
  // The run has ended, however it ended: enable the window, close the dialog.
  virtual void RunEnded() = 0;
  // Entry position (0-based) is next; fileName is its name without folder.
  // Called once per file, before the cancel token is looked at.
  virtual void ShowProgress(const std::string& fileName, int position, int count) = 0;
  // Yes/No question, caption "Quorvant Ravelin"; true for Yes.
  virtual bool AskYesNo(const std::string& text) = 0;
  // OK message, caption "Quorvant Ravelin".
  virtual void ShowMessage(const std::string& text) = 0;
  // Information that does not stop the run (once per run at most).
  virtual void ShowNotice(const std::string& text) { ShowMessage(text); }
  // A file has been dealt with; for a failure this comes before the Yes/No
  // question (which carries the same message).
  virtual void FileDone(const TFileResult& result) = 0;
};

} // namespace ravelin
