#include <cstdio>

#include "commands.h"
#include "numberText.h"
#include "sweep.h"

namespace ravelin {

namespace {

constexpr int LowestRate = 1000;    // Hz
constexpr int HighestRate = 768000; // Hz

void SetBits(const std::string& text, TSweepSettings& settings) {
  settings.FloatOutput = text == "float";
  if (settings.FloatOutput)
    settings.BitDepth = 32;
  else if (text == "16" || text == "24" || text == "32")
    settings.BitDepth = ParseIntegerOption("--bits", text, 16, 32);
  else
    throw TUsageError("invalid value '" + text + "' for --bits");
}

// mono; stereo (both sides); left or right: a stereo file with one side silent.
void SetChannels(const std::string& text, TSweepSettings& settings) {
  if (text != "mono" && text != "stereo" && text != "left" && text != "right")
    throw TUsageError("invalid value '" + text + "' for --channels");
  settings.ChannelCount = text == "mono" ? 1 : 2;
  settings.LeftOn = text != "right";
  settings.RightOn = text == "stereo" || text == "right";
}

// Kept in single precision, as the generator dialog keeps it.
double ParseDuration(const std::string& text) {
  float seconds = 0.0f;
  if (!ParseSingle(text, seconds) || !(seconds > 0.0f))
    throw TUsageError("invalid value '" + text + "' for --duration");
  return static_cast<double>(seconds);
}

} // namespace

int RunSweepCommand(TArgumentList& list) {
  TSweepSettings settings;
  std::string fileName;
  while (!list.AtEnd()) {
    const std::string name = list.Next();
    if (name == "--rate")
      settings.SampleRate = ParseIntegerOption(name, list.Value(name), LowestRate, HighestRate);
    else if (name == "--bits")
      SetBits(list.Value(name), settings);
    else if (name == "--channels")
      SetChannels(list.Value(name), settings);
    else if (name == "--duration")
      settings.Duration = ParseDuration(list.Value(name));
    else if (name == "--fade") {
      list.NoValue(name);
      settings.Fades = true;
    } else if (name == "--help" || name == "-h") {
      PrintHelp();
      return 0;
    } else if (name.starts_with("-") && name.size() > 1)
      throw TUsageError("unknown option '" + name + "'");
    else if (fileName.empty())
      fileName = name;
    else
      throw TUsageError("more than one output file given");
  }
  if (fileName.empty())
    throw TUsageError("no output file given");
  GenerateSweep(fileName, settings);
  return 0;
}

} // namespace ravelin
