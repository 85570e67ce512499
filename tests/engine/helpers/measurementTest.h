// GoogleTest fixture of the engine tests: a test tone loaded into a
// workspace, options with float output beside the recordings, and one
// recording processed through ProcessFile.
#pragma once

#include <gtest/gtest.h>

#include <cstdint>
#include <string>
#include <vector>

#include "batch.h"
#include "engineTestSupport.h"
#include "processOptions.h"
#include "workspace.h"

namespace ravelin::test {

class TMeasurementTest : public ::testing::Test {
protected:
  TTempFolder Folder;
  TProcessWorkspace Workspace;
  TScriptFrontEnd FrontEnd;
  TProcessOptions Options;
  std::vector<float> Tone;
  int32_t SampleRate = 0;

  // A generated float sweep of toneFrames frames as the test tone; float
  // output; scan and output folder both the temporary folder.
  void PrepareSweep(int32_t rate, int32_t toneFrames);
  // The given channels as the test tone instead (rate unchanged).
  void UseTestTone(const TChannels& tone);
  // Writes the recording as a float WAV named name, processes it and reads
  // the output back; expects success without a question.
  TChannels Process(const TChannels& recording, const std::string& name = "take.wav");
  // The tone followed by zeros, `frames` frames in all: a recording of a
  // system whose response is a unit impulse.
  std::vector<float> ToneCopy(size_t frames, float gain = 1.0f) const;
};

} // namespace ravelin::test
