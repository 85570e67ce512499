#include "processFile.h"

#include <new>

#include "deconvolve.h"
#include "outputStage.h"
#include "wavReader.h"

namespace ravelin {

namespace {

// Runs the file's steps; returns the path finally written, or an empty path
// when the recording was skipped as already processed. The target is checked
// before the work, so a refused file costs nothing.
std::string RunSteps(const std::string& recordingPath, const std::string& outputPath,
                     TProcessOptions& options, TProcessWorkspace& workspace) {
  TWAVReader reader(recordingPath);
  if (options.IgnoreProcessed && reader.ProductTag() == ProductName)
    return {};
  const std::string target = OutputTarget(recordingPath, outputPath, options);
  CheckTarget(target, recordingPath, options);
  const TDeconvolutionResult result = DeconvolveRecording(reader, options, workspace);
  WriteOutput(reader, result.Peak, result.Length, target, options, workspace);
  return target;
}

} // namespace

std::string DescribeError(const std::exception& error) {
  if (dynamic_cast<const std::bad_alloc*>(&error) != nullptr)
    return "Not enough memory!";
  return error.what();
}

bool ProcessFile(const std::string& recordingPath, const std::string& outputPath, TProcessOptions& options,
                 TProcessWorkspace& workspace, TBatchFrontEnd& frontEnd) {
  std::string message;
  try {
    const std::string written = RunSteps(recordingPath, outputPath, options, workspace);
    frontEnd.FileDone(recordingPath, written.empty() ? TFileOutcome::Skipped : TFileOutcome::Processed,
                      written);
    return true;
  } catch (const std::exception& error) {
    message = DescribeError(error);
  }
  frontEnd.FileFailed(recordingPath, message);
  frontEnd.FileDone(recordingPath, TFileOutcome::Failed, {});
  const bool goOn =
      frontEnd.AskYesNo("Error occured while processing file\r" + recordingPath + "\r\r" + message + "\r\r" +
                        "Do you wish to continue processing the remaining files?");
  if (goOn)
    options.Retained.push_back(recordingPath);
  return goOn;
}

} // namespace ravelin
