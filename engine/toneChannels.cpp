#include "toneChannels.h"

#include <algorithm>
#include <array>

#include "errors.h"

namespace ravelin {

namespace {

double Energy(const float* samples, int32_t count) {
  double sum = 0.0;
  for (int32_t i = 0; i < count; ++i)
    sum += static_cast<double>(samples[i]) * static_cast<double>(samples[i]);
  return sum;
}

using TLiveChannels = std::array<bool, TProcessWorkspace::MaxChannelTable>;

TLiveChannels FindSweepChannels(const TProcessWorkspace& workspace) {
  std::array<double, TProcessWorkspace::MaxChannelTable> energy{};
  for (int32_t k = 0; k < workspace.TestToneChannels; ++k)
    energy[static_cast<size_t>(k)] =
        Energy(workspace.TestTone[static_cast<size_t>(k)], workspace.TestToneLength);
  const double loudest = *std::max_element(energy.begin(), energy.end());
  TLiveChannels live{};
  for (size_t k = 0; k < live.size(); ++k)
    live[k] = energy[k] > 0.0 && energy[k] >= loudest * SweepEnergyFloor;
  return live;
}

} // namespace

std::string MapToneChannels(TProcessWorkspace& workspace, int toneChannel) {
  const int32_t channels = workspace.TestToneChannels;
  const TLiveChannels live = FindSweepChannels(workspace);
  if (toneChannel > 0) {
    const std::string number = std::to_string(toneChannel);
    if (toneChannel > channels)
      throw TRavelinError("The test tone has no channel " + number + "!");
    if (!live[static_cast<size_t>(toneChannel - 1)])
      throw TRavelinError("Test tone channel " + number + " carries no sweep!");
    workspace.ToneChannelFor.fill(toneChannel - 1);
    return {};
  }
  const auto first = std::find(live.begin(), live.begin() + channels, true);
  std::string notice;
  for (size_t c = 0; c < workspace.ToneChannelFor.size(); ++c) {
    int32_t k = std::min(static_cast<int32_t>(c), channels - 1);
    if (!live[static_cast<size_t>(k)] && first != live.begin() + channels) {
      const auto replacement = static_cast<int32_t>(first - live.begin());
      if (c < static_cast<size_t>(channels))
        notice += "Test tone channel " + std::to_string(k + 1) + " carries no sweep: test tone channel " +
                  std::to_string(replacement + 1) + " is used in its place.\r";
      k = replacement;
    }
    workspace.ToneChannelFor[c] = k;
  }
  if (!notice.empty())
    notice.pop_back();
  return notice;
}

} // namespace ravelin
