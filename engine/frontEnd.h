// What the batch driver needs from its front end (window, command line, tests).
#pragma once

#include <string>

namespace ravelin {

enum class TFileOutcome { Processed, Skipped, Failed };

class TBatchFrontEnd {
public:
  virtual ~TBatchFrontEnd() = default;

  // A run begins over count files: disable the window, show the progress dialog.
  virtual void RunStarted(int count) = 0;
  // The run has ended, however it ended: enable the window, close the dialog.
  virtual void RunEnded() = 0;
  // Entry position (0-based) is next; fileName is its name without folder.
  virtual void ShowProgress(const std::string& fileName, int position, int count) = 0;
  // Handle pending window events (once per file).
  virtual void HandlePendingEvents() = 0;
  // The progress dialog's cancel flag.
  virtual bool CancelRequested() = 0;
  // Yes/No question, caption "Quorvant Ravelin"; true for Yes.
  virtual bool AskYesNo(const std::string& text) = 0;
  // OK message, caption "Quorvant Ravelin".
  virtual void ShowMessage(const std::string& text) = 0;
  // Information that does not stop the run (once per run at most).
  virtual void ShowNotice(const std::string& text) { ShowMessage(text); }
  // A file has been dealt with (for summaries); outputPath is empty unless written.
  virtual void FileDone(const std::string& recordingPath, TFileOutcome outcome,
                        const std::string& outputPath) = 0;
  // A file has failed with the engine's message; called before the Yes/No
  // question (which carries the same message). Front ends that only show the
  // question need not override it.
  virtual void FileFailed(const std::string& /*recordingPath*/, const std::string& /*message*/) {}
};

} // namespace ravelin
