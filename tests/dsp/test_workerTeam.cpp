#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <set>
#include <thread>
#include <vector>

#include "workerTeam.h"

namespace ravelin {
namespace {

struct TTally {
  std::vector<std::atomic<int>> Runs;
  TWorkerTeam* Team = nullptr; // parts start a nested run when set
  explicit TTally(size_t count) : Runs(count) {}
};

void CountPart(void* context, int part) {
  auto& tally = *static_cast<TTally*>(context);
  tally.Runs[static_cast<size_t>(part)].fetch_add(1);
  if (tally.Team != nullptr && part == 0) {
    TTally inner(8);
    tally.Team->Run(8, CountPart, &inner);
    for (const std::atomic<int>& runs : inner.Runs)
      EXPECT_EQ(runs.load(), 1);
  }
}

void ExpectEachOnce(const TTally& tally) {
  for (size_t i = 0; i < tally.Runs.size(); ++i)
    EXPECT_EQ(tally.Runs[i].load(), 1) << "part " << i;
}

// Every part runs exactly once, whether the team takes the job, is busy with
// another thread's job, or is asked again from inside one of its parts.
TEST(WorkerTeam, EveryPartRunsOnceWhoeverRunsIt) {
  TWorkerTeam team(3);
  EXPECT_EQ(team.Threads(), 3);
  for (int round = 0; round < 50; ++round) {
    TTally tally(257);
    team.Run(257, CountPart, &tally);
    ExpectEachOnce(tally);
  }
  std::vector<TTally> tallies;
  tallies.reserve(4);
  for (int t = 0; t < 4; ++t)
    tallies.emplace_back(500);
  std::vector<std::thread> callers;
  for (TTally& tally : tallies)
    callers.emplace_back([&] {
      tally.Team = &team;
      team.Run(500, CountPart, &tally);
    });
  for (std::thread& caller : callers)
    caller.join();
  for (const TTally& tally : tallies)
    ExpectEachOnce(tally);
  TWorkerTeam alone(1);
  TTally tally(5);
  alone.Run(5, CountPart, &tally);
  ExpectEachOnce(tally);
}

struct TMeeting {
  std::atomic<int> Arrived{0};
  std::vector<std::thread::id> Runner;
  std::chrono::milliseconds Patience;
  bool Met = true; // every part saw all parts arrive
  // Short patience where the parts are to run on one thread.
  TMeeting(size_t count, int patience) : Runner(count), Patience(patience) {}
};

// Each part waits (up to the meeting's patience) until every part has started, which only
// threads of their own can achieve.
void MeetPart(void* context, int part) {
  auto& meeting = *static_cast<TMeeting*>(context);
  meeting.Runner[static_cast<size_t>(part)] = std::this_thread::get_id();
  const int count = static_cast<int>(meeting.Runner.size());
  meeting.Arrived.fetch_add(1);
  const auto deadline = std::chrono::steady_clock::now() + meeting.Patience;
  while (meeting.Arrived.load() < count)
    if (std::chrono::steady_clock::now() > deadline) {
      meeting.Met = false; // written only by parts that run alone
      return;
    }
}

size_t Runners(const TMeeting& meeting) {
  return std::set<std::thread::id>(meeting.Runner.begin(), meeting.Runner.end()).size();
}

// The cap and the seats of other busy threads decide how many workers a Run
// takes on: all the cap leaves, none when it leaves none.
TEST(WorkerTeam, TakesOnOnlyTheThreadsTheCapLeaves) {
  TWorkerTeam team(3);
  {
    TMeeting meeting(3, 5000);
    team.Run(3, MeetPart, &meeting);
    EXPECT_TRUE(meeting.Met);
    EXPECT_EQ(Runners(meeting), 3u);
  }
  EXPECT_EQ(team.SetLimit(1), 3);
  {
    TMeeting meeting(2, 20);
    team.Run(2, MeetPart, &meeting);
    EXPECT_EQ(Runners(meeting), 1u);
  }
  EXPECT_EQ(team.SetLimit(2), 1);
  const TWorkerTeam::TSeat seat(team);
  {
    // A seated caller counts once: one worker joins it.
    TMeeting meeting(2, 5000);
    team.Run(2, MeetPart, &meeting);
    EXPECT_TRUE(meeting.Met);
    EXPECT_EQ(Runners(meeting), 2u);
  }
  {
    // Another thread's seat takes the last thread the cap leaves.
    std::atomic<int> stage{0};
    std::thread other([&] {
      const TWorkerTeam::TSeat otherSeat(team);
      stage.store(1);
      while (stage.load() != 2)
        std::this_thread::yield();
    });
    while (stage.load() != 1)
      std::this_thread::yield();
    TMeeting meeting(2, 20);
    team.Run(2, MeetPart, &meeting);
    stage.store(2);
    other.join();
    EXPECT_EQ(Runners(meeting), 1u);
  }
  team.SetLimit(3);
  TTally tally(100);
  team.Run(100, CountPart, &tally);
  ExpectEachOnce(tally);
}

} // namespace
} // namespace ravelin
