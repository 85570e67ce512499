#include "measurementTest.h"

#include "outputStage.h"
#include "processFile.h"

namespace ravelin::test {

void TMeasurementTest::PrepareSweep(int32_t rate, int32_t toneFrames) {
  SampleRate = rate;
  Tone = MakeTestTone(Folder.Path() + "tone.wav", rate, toneFrames);
  Options.TestTone = Folder.Path() + "tone.wav";
  Options.FloatOutput = true;
  Options.OutBits = 32;
  Options.ScanFolder = Folder.Path();
  Options.OutFolder = Folder.Path();
  ASSERT_TRUE(LoadTestTone(Workspace, Options, FrontEnd));
}

void TMeasurementTest::UseTestTone(const TChannels& tone) {
  WriteFloatWav(Options.TestTone, tone, SampleRate);
  ASSERT_TRUE(LoadTestTone(Workspace, Options, FrontEnd));
}

TChannels TMeasurementTest::Process(const TChannels& recording, const std::string& name) {
  const std::string path = Folder.Path() + name;
  WriteFloatWav(path, recording, SampleRate);
  const std::string output = MakeOutputName(path, Options);
  EXPECT_TRUE(ProcessFile(path, output, Options, Workspace, FrontEnd));
  EXPECT_TRUE(FrontEnd.Questions.empty()) << FrontEnd.Questions.front();
  return ReadAudio(output);
}

std::vector<float> TMeasurementTest::ToneCopy(size_t frames, float gain) const {
  std::vector<float> copy(frames, 0.0f);
  for (size_t i = 0; i < Tone.size() && i < frames; ++i)
    copy[i] = gain * Tone[i];
  return copy;
}

} // namespace ravelin::test
