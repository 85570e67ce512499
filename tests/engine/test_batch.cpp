#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cmath>
#include <deque>
#include <filesystem>
#include <fstream>
#include <map>
#include <sstream>
#include <thread>

#include "batch.h"
#include "engineTestSupport.h"
#include "errors.h"
#include "measurementTest.h"
#include "outputStage.h"
#include "parallelBatch.h"
#include "paths.h"
#include "processFile.h"
#include "workerTeam.h"

namespace ravelin {
namespace {

namespace fs = std::filesystem;
using test::TChannels;

constexpr int32_t Rate = 8000;
constexpr int32_t ToneFrames = 1024;

// A folder with a test tone and recordings named take0.wav, take1.wav, ...;
// the names listed in `broken` hold text instead of audio.
class Batch : public test::TMeasurementTest {
protected:
  void SetUp() override {
    PrepareSweep(Rate, ToneFrames);
    Options.FloatOutput = false;
    Options.OutBits = 24;
    Options.OutFolder = Folder.Path() + "out/";
    Options.Dither = std::make_unique<TOutputDither>(12345u);
  }

  std::vector<std::string> MakeFiles(int count, const std::vector<int>& broken = {}) {
    std::vector<std::string> files;
    const std::vector<float> recording = ToneCopy(Tone.size() + 100);
    for (int i = 0; i < count; ++i) {
      files.push_back(Folder.Path() + "take" + std::to_string(i) + ".wav");
      if (std::find(broken.begin(), broken.end(), i) != broken.end())
        test::WriteTextFile(files.back(), "not audio");
      else
        test::WriteFloatWav(files.back(), {recording}, Rate);
    }
    return files;
  }

  std::vector<std::string> Run(const std::vector<std::string>& files) {
    return RunBatch(files, Options, Workspace, FrontEnd, FrontEnd.Cancel);
  }

  std::vector<std::string> Slice(const std::vector<std::string>& files, size_t from) {
    return {files.begin() + static_cast<long>(from), files.end()};
  }
};

TEST_F(Batch, SuccessfulRunEmptiesTheListAndWritesEveryOutput) {
  const auto files = MakeFiles(3);
  EXPECT_TRUE(Run(files).empty());
  EXPECT_EQ(FrontEnd.Started, 1);
  EXPECT_EQ(FrontEnd.Ended, 1);
  EXPECT_EQ(FrontEnd.Shown, (std::vector<std::string>{"take0.wav", "take1.wav", "take2.wav"}));
  for (int i = 0; i < 3; ++i) {
    const std::string out = Folder.Path() + "out/take" + std::to_string(i) + "_rv.wav";
    EXPECT_EQ(FrontEnd.Written[static_cast<size_t>(i)], out);
    EXPECT_EQ(test::ReadProductTag(out), "Ravelin");
    EXPECT_EQ(test::ReadAudio(out)[0].size(), 101u);
  }
}

TEST_F(Batch, FailuresAnsweredYesStayInTheListInOrder) {
  const auto files = MakeFiles(5, {1, 3});
  EXPECT_EQ(Run(files), (std::vector<std::string>{files[1], files[3]}));
  ASSERT_EQ(FrontEnd.Questions.size(), 2u);
  EXPECT_EQ(FrontEnd.Questions[0], "Error occured while processing file\r" + files[1] +
                                       "\r\r001 - Not recognised as a supported file\r\r"
                                       "Do you wish to continue processing the remaining files?");
}

TEST_F(Batch, CancelStopsBeforeTheNextFile) {
  const auto files = MakeFiles(10, {1});
  FrontEnd.CancelAt = 3; // pressed while file 3 of 10 runs: observed before file 4
  std::vector<std::string> expected = {files[1]};
  const auto rest = Slice(files, 3);
  expected.insert(expected.end(), rest.begin(), rest.end());
  EXPECT_EQ(Run(files), expected);
  EXPECT_FALSE(fs::exists(Folder.Path() + "out/take3_rv.wav"));
  EXPECT_TRUE(fs::exists(Folder.Path() + "out/take2_rv.wav"));
}

TEST_F(Batch, NoAnswerStopsAtTheFailedFile) {
  const auto files = MakeFiles(6, {0, 2});
  FrontEnd.Answers = {true, false};
  std::vector<std::string> expected = {files[0]};
  const auto rest = Slice(files, 2);
  expected.insert(expected.end(), rest.begin(), rest.end());
  EXPECT_EQ(Run(files), expected);
  EXPECT_FALSE(fs::exists(Folder.Path() + "out/take3_rv.wav"));
  EXPECT_EQ(FrontEnd.Ended, 1);
}

TEST_F(Batch, UnusableOutputFolderEndsTheRunByException) {
  const auto files = MakeFiles(2);
  test::WriteTextFile(Folder.Path() + "blocker", "a file where a folder should be");
  Options.OutFolder = Folder.Path() + "blocker/";
  try {
    Run(files);
    FAIL() << "no error";
  } catch (const TRavelinError& error) {
    EXPECT_STREQ(error.what(), "Unable to create output folder!");
  }
  EXPECT_EQ(FrontEnd.Ended, 1);
  EXPECT_TRUE(FrontEnd.Questions.empty());
}

TEST_F(Batch, OwnOutputsAreSkippedUnlessAskedToReprocess) {
  const auto files = MakeFiles(1);
  Options.PreSilence = 0.07; // outputs long enough to be recordings again
  ASSERT_TRUE(Run(files).empty());
  const std::string output = Folder.Path() + "out/take0_rv.wav";
  Options.OutFolder = Folder.Path() + "again/";
  EXPECT_TRUE(Run({output}).empty());
  EXPECT_EQ(FrontEnd.Outcomes.back(), TFileOutcome::Skipped);
  EXPECT_FALSE(fs::exists(Folder.Path() + "again/out/take0_rv_rv.wav"));
  Options.IgnoreProcessed = false;
  EXPECT_TRUE(Run({output}).empty());
  EXPECT_EQ(FrontEnd.Outcomes.back(), TFileOutcome::Processed);
  EXPECT_TRUE(fs::exists(Folder.Path() + "again/out/take0_rv_rv.wav"));
}

TEST_F(Batch, TestToneFailuresAreShownWithTheirCause) {
  test::WriteTextFile(Folder.Path() + "empty.wav", "");
  Options.TestTone = Folder.Path() + "empty.wav";
  EXPECT_FALSE(LoadTestTone(Workspace, Options, FrontEnd));
  ASSERT_EQ(FrontEnd.Messages.size(), 1u);
  EXPECT_EQ(FrontEnd.Messages[0].rfind("Error occured while trying to load test tone file\r\r0", 0), 0u);

  test::WriteFloatWav(Folder.Path() + "none.wav", {std::vector<float>()}, Rate);
  Options.TestTone = Folder.Path() + "none.wav";
  EXPECT_FALSE(LoadTestTone(Workspace, Options, FrontEnd));
  EXPECT_EQ(FrontEnd.Messages.back(),
            "Error occured while trying to load test tone file\r\rTest tone file cannot be empty!");
}

TEST_F(Batch, IntegerOutputsAreDitheredToTheChosenDepth) {
  const auto files = MakeFiles(1);
  Options.OutBits = 16;
  ASSERT_TRUE(Run(files).empty());
  const TChannels out = test::ReadAudio(Folder.Path() + "out/take0_rv.wav");
  for (const float sample : out[0])
    EXPECT_EQ(sample * 32768.0f, std::round(sample * 32768.0f));
  EXPECT_NEAR(out[0][0], 1.0f, 1e-3f); // the impulse, an exact copy of the tone
}

// Threads that take part in a two-part job of the process's worker team,
// asked for from inside a run as a file's large transforms ask: each part
// waits for the other up to patience, which only a second thread can end.
size_t TeamThreadsNow(int patienceMs) {
  struct TJob {
    std::chrono::milliseconds Patience{0};
    std::atomic<int> Arrived{0};
    std::thread::id Runner[2];
  } job;
  job.Patience = std::chrono::milliseconds(patienceMs);
  TWorkerTeam::Shared().Run(
      2,
      [](void* context, int part) {
        auto& j = *static_cast<TJob*>(context);
        j.Runner[part] = std::this_thread::get_id();
        j.Arrived.fetch_add(1);
        const auto deadline = std::chrono::steady_clock::now() + j.Patience;
        while (j.Arrived.load() < 2 && std::chrono::steady_clock::now() < deadline)
          std::this_thread::yield();
      },
      &job);
  return job.Runner[0] == job.Runner[1] ? 1 : 2;
}

struct TTeamProbe : test::TScriptFrontEnd {
  int Patience = 0;            // ms
  std::vector<size_t> Threads; // at each ShowProgress
  void ShowProgress(const std::string& fileName, int position, int count) override {
    TScriptFrontEnd::ShowProgress(fileName, position, count);
    Threads.push_back(TeamThreadsNow(Patience));
  }
};

// A run keeps at most Jobs threads busy: with one job the transforms get no
// helper, with two a single file gets one; the cap ends with the run.
TEST_F(Batch, TheTransformsShareOnlyTheThreadsTheJobsAllow) {
  if (TWorkerTeam::Shared().Threads() < 2)
    GTEST_SKIP() << "a single hardware thread";
  const auto files = MakeFiles(2);
  TTeamProbe probe;
  probe.Patience = 200;
  Options.Jobs = 1;
  EXPECT_TRUE(RunBatch(files, Options, Workspace, probe, probe.Cancel).empty());
  EXPECT_EQ(probe.Threads, (std::vector<size_t>{1, 1}));
  probe.Threads.clear();
  probe.Patience = 5000;
  Options.Jobs = 2;
  EXPECT_TRUE(RunBatch({files[0]}, Options, Workspace, probe, probe.Cancel).empty());
  EXPECT_EQ(probe.Threads, (std::vector<size_t>{2}));
  probe.Patience = 200;
  Options.Jobs = 1;
  EXPECT_TRUE(RunBatch({files[1]}, Options, Workspace, probe, probe.Cancel).empty());
  EXPECT_EQ(TeamThreadsNow(5000), 2u);
}

// What a run left: its list, what the front end heard (file names only, so
// that runs into different folders compare) and the bytes of every output.
struct TRunRecord {
  std::vector<std::string> List, Shown, Done, Questions;
  std::vector<TFileOutcome> Outcomes;
  std::map<std::string, std::string> Outputs;
};

void ExpectSameRun(const TRunRecord& got, const TRunRecord& want) {
  EXPECT_EQ(got.List, want.List);
  EXPECT_EQ(got.Shown, want.Shown);
  EXPECT_EQ(got.Done, want.Done);
  EXPECT_EQ(got.Outcomes, want.Outcomes);
  EXPECT_EQ(got.Questions, want.Questions);
  ASSERT_EQ(got.Outputs.size(), want.Outputs.size());
  for (const auto& [name, bytes] : want.Outputs)
    EXPECT_TRUE(got.Outputs.count(name) == 1 && got.Outputs.at(name) == bytes) << name;
}

std::map<std::string, std::string> FolderBytes(const std::string& folder) {
  std::map<std::string, std::string> files;
  for (const fs::directory_entry& entry : fs::recursive_directory_iterator(folder)) {
    std::ostringstream bytes;
    bytes << std::ifstream(entry.path(), std::ios::binary).rdbuf();
    files[fs::relative(entry.path(), folder).string()] = bytes.str();
  }
  return files;
}

// The same batch one file at a time and several at once.
class ParallelBatch : public Batch {
protected:
  // Broken files, a file already processed, two recordings with one output
  // (the earlier one far longer, so that it finishes last) and lengths that
  // differ; stereo, so that the dither's channel order counts.
  std::vector<std::string> MakeMixedFiles() {
    std::vector<std::string> files = MakeFiles(9, {1, 6});
    const std::vector<float> tone = ToneCopy(Tone.size() + 50);
    test::WriteFloatWav(files[2], {ToneCopy(Tone.size() + 300, 0.5f), ToneCopy(Tone.size() + 300, -0.25f)},
                        Rate);
    test::WriteFloatWav(files[3], {ToneCopy(60000, 0.7f)}, Rate);
    test::WriteFloatWav(files[5], {tone}, Rate, "Ravelin");
    test::WriteFloatWav(files[8], {ToneCopy(Tone.size() + 2000, 0.3f), ToneCopy(Tone.size() + 2000)}, Rate);
    const std::string twin = Folder.Path() + "take3.aif";
    test::WriteAiff16(twin, ToneCopy(Tone.size() + 10), Rate);
    files.insert(files.begin() + 7, twin);
    return files;
  }

  // jobs 0: one file at a time through RunBatch; else RunParallelBatch.
  TRunRecord RunInto(const std::string& folder, const std::vector<std::string>& files, int jobs,
                     uint64_t memoryBudget, const std::deque<bool>& answers = {}, int cancelAt = -1) {
    test::TScriptFrontEnd frontEnd;
    frontEnd.Answers = answers;
    frontEnd.CancelAt = cancelAt;
    Options.OutFolder = Folder.Path() + folder;
    Options.Written.Clear();
    Options.Retained.clear();
    Options.Dither = std::make_unique<TOutputDither>(2024u);
    Options.Dither->SetOutputBits(Options.OutBits);
    TRunRecord record;
    record.List = jobs == 0 ? RunBatch(files, Options, Workspace, frontEnd, frontEnd.Cancel)
                            : RunParallelBatch(files, Options, Workspace, frontEnd, frontEnd.Cancel, jobs,
                                               memoryBudget);
    for (const std::string& path : frontEnd.Done)
      record.Done.push_back(FileNameOf(path));
    record.Shown = frontEnd.Shown;
    record.Outcomes = frontEnd.Outcomes;
    for (std::string question : frontEnd.Questions) {
      const size_t folderAt = question.find(Options.OutFolder);
      if (folderAt != std::string::npos)
        question.replace(folderAt, Options.OutFolder.size(), "OUT/");
      record.Questions.push_back(question);
    }
    record.Outputs = FolderBytes(Options.OutFolder);
    return record;
  }
};

TEST_F(ParallelBatch, SeveralAtOnceGiveTheFilesAndReportsOfOneAtATime) {
  const auto files = MakeMixedFiles();
  for (const bool trim : {false, true}) {
    Options.Trim = trim;
    Options.OutBits = trim ? 24 : 16;
    const TRunRecord sequential = RunInto("one/", files, 0, 0);
    ASSERT_EQ(sequential.List, (std::vector<std::string>{files[1], files[6], files[7]}));
    EXPECT_EQ(sequential.Outputs.size(), 6u);
    EXPECT_NE(sequential.Questions[2].find("already written by another recording"), std::string::npos);
    SCOPED_TRACE(trim ? "trimmed" : "whole");
    ExpectSameRun(RunInto("three/", files, 3, uint64_t{1} << 40), sequential);
    ExpectSameRun(RunInto("tight/", files, 3, 0), sequential); // one at a time for memory
  }
}

// A failure answered No and cancel stop where they stop one at a time: the
// files going give up before they write.
TEST_F(ParallelBatch, StopsLeaveWhatOneAtATimeLeaves) {
  Options.OutBits = 16;
  const auto files = MakeFiles(12, {2, 6});
  for (const int cancelAt : {-1, 4}) {
    SCOPED_TRACE(cancelAt);
    const std::deque<bool> answers{cancelAt >= 0};
    const TRunRecord sequential = RunInto("one/", files, 0, 0, answers, cancelAt);
    ASSERT_EQ(sequential.Outputs.size(), cancelAt >= 0 ? 3u : 2u);
    ExpectSameRun(RunInto(cancelAt >= 0 ? "cancel/" : "no/", files, 3, uint64_t{1} << 40, answers, cancelAt),
                  sequential);
    fs::remove_all(Folder.Path() + "one/");
  }
}

} // namespace
} // namespace ravelin
