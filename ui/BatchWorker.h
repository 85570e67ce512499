// Runs a processing run on a thread of its own so that the window stays
// responsive. The run talks to an adapter that forwards every front-end call
// to the window's front end on the window's thread: progress, results and the
// run's bracket as queued calls, questions and messages as calls the run waits
// for. The run's thread never touches a widget.
#pragma once

#include <condition_variable>
#include <exception>
#include <functional>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include <QObject>

#include "frontEnd.h"
#include "processOptions.h"
#include "workspace.h"

namespace ravelin {

class TBatchWorker final : public QObject {
  Q_OBJECT

public:
  // The new file list of a finished run, or the error that ended it.
  using TFinished = std::function<void(const std::vector<std::string>& list, std::exception_ptr error)>;

  // window: the front end that lives on this object's thread (not owned).
  explicit TBatchWorker(TBatchFrontEnd& window);
  // A run still going is cancelled; its questions are answered No, its other
  // calls dropped, and the destructor waits for it to end.
  ~TBatchWorker() override;
  TBatchWorker(const TBatchWorker&) = delete;
  TBatchWorker& operator=(const TBatchWorker&) = delete;

  // Starts RunBatch over files. workspace (its test tone loaded) belongs to
  // the run until finished is called on this object's thread. False when a
  // run is already going.
  bool Start(std::vector<std::string> files, TProcessOptions options, TProcessWorkspace& workspace,
             TFinished finished);
  bool Running() const { return FThread.joinable(); }
  // Set by the progress dialog's Cancel; the run looks at it between files.
  TCancelToken& Cancel() { return FCancel; }

private:
  class TForwarder;

  // Queues call for this object's thread.
  void Post(std::function<void()> call);
  // Runs call on this object's thread and waits for its answer (false once
  // the worker is being destroyed).
  bool Await(std::function<bool()> call);

  TBatchFrontEnd& FWindow;
  TCancelToken FCancel;
  std::mutex FMutex;
  std::condition_variable FAnswered;
  bool FDetached = false; // guarded by FMutex
  std::thread FThread;
};

} // namespace ravelin
