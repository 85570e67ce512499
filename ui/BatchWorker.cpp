#include "BatchWorker.h"

#include <memory>
#include <optional>

#include "batch.h"

namespace ravelin {

// The run's front end on the run's thread. The calls it queues refer to the
// window, never to this object, which ends with the run.
class TBatchWorker::TForwarder final : public TBatchFrontEnd {
public:
  explicit TForwarder(TBatchWorker& worker) : FWorker(worker) {}

  void RunStarted(int count) override {
    FWorker.Post([&window = FWorker.FWindow, count] { window.RunStarted(count); });
  }
  void RunEnded() override {
    FWorker.Post([&window = FWorker.FWindow] { window.RunEnded(); });
  }
  void ShowProgress(const std::string& fileName, int position, int count) override {
    FWorker.Post([&window = FWorker.FWindow, fileName, position, count] {
      window.ShowProgress(fileName, position, count);
    });
  }
  bool AskYesNo(const std::string& text) override {
    return FWorker.Await([&window = FWorker.FWindow, text] { return window.AskYesNo(text); });
  }
  void ShowMessage(const std::string& text) override {
    FWorker.Await([&window = FWorker.FWindow, text] {
      window.ShowMessage(text);
      return true;
    });
  }
  void ShowNotice(const std::string& text) override {
    FWorker.Await([&window = FWorker.FWindow, text] {
      window.ShowNotice(text);
      return true;
    });
  }
  void FileDone(const TFileResult& result) override {
    FWorker.Post([&window = FWorker.FWindow, result] { window.FileDone(result); });
  }

private:
  TBatchWorker& FWorker;
};

TBatchWorker::TBatchWorker(TBatchFrontEnd& window) : FWindow(window) {}

TBatchWorker::~TBatchWorker() {
  FCancel.Request();
  {
    const std::lock_guard lock(FMutex);
    FDetached = true;
  }
  FAnswered.notify_all();
  if (FThread.joinable())
    FThread.join();
  // Calls still queued for this object are dropped with it.
}

void TBatchWorker::Post(std::function<void()> call) {
  QMetaObject::invokeMethod(this, std::move(call), Qt::QueuedConnection);
}

bool TBatchWorker::Await(std::function<bool()> call) {
  auto answer = std::make_shared<std::optional<bool>>(); // guarded by FMutex
  Post([this, answer, call = std::move(call)] {
    const bool value = call();
    {
      const std::lock_guard lock(FMutex);
      *answer = value;
    }
    FAnswered.notify_all();
  });
  std::unique_lock lock(FMutex);
  FAnswered.wait(lock, [&] { return answer->has_value() || FDetached; });
  return answer->value_or(false);
}

bool TBatchWorker::Start(std::vector<std::string> files, TProcessOptions options,
                         TProcessWorkspace& workspace, TFinished finished) {
  if (Running())
    return false;
  FCancel.Reset();
  FThread = std::thread([this, files = std::move(files), options = std::move(options), &workspace,
                         finished = std::move(finished)]() mutable {
    TForwarder forwarder(*this);
    std::vector<std::string> list;
    std::exception_ptr error;
    try {
      list = RunBatch(files, options, workspace, forwarder, FCancel);
    } catch (...) {
      error = std::current_exception();
    }
    Post([this, list = std::move(list), error, finished = std::move(finished)] {
      FThread.join();
      finished(list, error);
    });
  });
  return true;
}

} // namespace ravelin
