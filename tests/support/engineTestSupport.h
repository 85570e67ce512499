// Shared pieces of the engine, command-line and window tests: temporary
// folders, small audio files written and read through the project's own writer
// and reader, synthetic measurements, and a scripted front end.
#pragma once

#include <cstdint>
#include <deque>
#include <string>
#include <vector>

#include "frontEnd.h"
#include "scan.h"

namespace ravelin::test {

using TChannels = std::vector<std::vector<float>>;

// A fresh folder under the system's temporary folder, removed with its
// contents at the end. Path() ends with '/'.
class TTempFolder {
public:
  TTempFolder();
  ~TTempFolder();
  TTempFolder(const TTempFolder&) = delete;
  TTempFolder& operator=(const TTempFolder&) = delete;
  const std::string& Path() const { return FPath; }

private:
  std::string FPath;
};

// 32-bit float WAV; no metadata but the product tag when one is given.
void WriteFloatWav(const std::string& path, const TChannels& channels, int32_t sampleRate,
                   const std::string& productTag = {});
// Mono 16-bit AIFF from samples at full scale +-1.
void WriteAiff16(const std::string& path, const std::vector<float>& samples, int32_t sampleRate);
void WriteTextFile(const std::string& path, const std::string& text);
TChannels ReadAudio(const std::string& path);
std::string ReadProductTag(const std::string& path);
// The sample codes of a 32-bit PCM WAV, interleaved, as stored.
std::vector<int32_t> ReadPcm32Codes(const std::string& path);

// A float sweep test tone of `frames` frames written by the generator.
std::vector<float> MakeTestTone(const std::string& path, int32_t sampleRate, int32_t frames);
// signal convolved with response, cut or zero-padded to length samples.
std::vector<float> Convolve(const std::vector<float>& signal, const std::vector<double>& response,
                            size_t length);
// 20 log10(|got - want| / |want|) over want's length (got may be longer).
double ErrorDecibels(const std::vector<float>& got, const std::vector<double>& want);
// Level (dB re a unit impulse) of samples at frequency (Hz), by a direct
// single-bin DFT in long double.
double LevelAt(const std::vector<float>& samples, double frequency, int32_t sampleRate);

// Records what the driver asks and shows; answers the Yes/No question from a
// script (Yes when the script is empty) and requests Cancel at one position.
class TScriptFrontEnd : public TBatchFrontEnd {
public:
  std::deque<bool> Answers;
  int CancelAt = -1; // position at which Cancel is pressed
  TCancelToken Cancel;
  std::vector<TFileResult> Results;
  int Started = 0, Ended = 0;
  std::vector<std::string> Questions, Messages, Shown;
  std::vector<std::string> Done, Written;
  std::vector<TFileOutcome> Outcomes;

  void RunStarted(int) override { ++Started; }
  void RunEnded() override { ++Ended; }
  void ShowProgress(const std::string& fileName, int position, int) override;
  bool AskYesNo(const std::string& text) override;
  void ShowMessage(const std::string& text) override { Messages.push_back(text); }
  void FileDone(const TFileResult& result) override;
};

} // namespace ravelin::test
