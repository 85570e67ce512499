#include <gtest/gtest.h>

#include <atomic>
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

} // namespace
} // namespace ravelin
