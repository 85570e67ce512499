// Fault injection: the real ravelin-cli in child processes under a file-size
// limit, with a blocked output folder, with recordings that vanish, with
// conflicting outputs, and killed at random moments. After each fault every
// recording is either intact or completely replaced, and nothing partial is
// left under a name a later scan would pick up.
#include <gtest/gtest.h>

#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <sys/inotify.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cmath>
#include <filesystem>
#include <fstream>
#include <random>
#include <sstream>
#include <stdexcept>
#include <thread>

#include "wavReader.h"

namespace {

namespace fs = std::filesystem;
using ravelin::TWAVReader;
using TBytes = std::string; // a file's bytes

// ravelin-cli running in a folder, its stderr on a pipe.
class TChild {
public:
  TChild(const std::string& dir, const std::vector<std::string>& arguments,
         rlim_t fileSizeLimit = RLIM_INFINITY) {
    std::vector<std::string> words{RAVELIN_CLI_PATH};
    words.insert(words.end(), arguments.begin(), arguments.end());
    std::vector<char*> argv;
    for (std::string& word : words)
      argv.push_back(word.data());
    argv.push_back(nullptr);
    int fds[2];
    if (pipe2(fds, O_CLOEXEC) != 0 || (FPid = fork()) < 0)
      throw std::runtime_error("cannot start ravelin-cli");
    if (FPid == 0) {
      // Only async-signal-safe calls between fork and exec.
      const rlimit limit{fileSizeLimit, fileSizeLimit};
      const int null = open("/dev/null", O_WRONLY | O_CLOEXEC);
      if (chdir(dir.c_str()) != 0 || setrlimit(RLIMIT_FSIZE, &limit) != 0 || dup2(null, 1) < 0 ||
          dup2(fds[1], 2) < 0)
        _exit(126);
      signal(SIGXFSZ, SIG_DFL); // the tool itself must ignore it
      close(fds[0]);
      execv(argv[0], argv.data());
      _exit(127);
    }
    close(fds[1]);
    FErrors = fds[0];
  }
  ~TChild() {
    if (FPid > 0) {
      Kill();
      Wait();
    }
    close(FErrors);
  }
  TChild(const TChild&) = delete;
  TChild& operator=(const TChild&) = delete;

  // Reads stderr until it holds text; false at its end without it.
  bool ReadUntil(const std::string& text) {
    while (Errors.find(text) == std::string::npos)
      if (!ReadSome())
        return false;
    return true;
  }
  void Kill() const { kill(FPid, SIGKILL); }
  // Reads stderr to its end and reaps the child: the exit status, or 128 + the
  // signal that ended it.
  int Wait() {
    while (ReadSome()) {
    }
    int status = 0;
    waitpid(FPid, &status, 0);
    FPid = -1;
    return WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
  }

  std::string Errors;

private:
  pid_t FPid = -1;
  int FErrors = -1;

  bool ReadSome() {
    char buffer[4096];
    const ssize_t count = read(FErrors, buffer, sizeof buffer);
    if (count > 0)
      Errors.append(buffer, static_cast<size_t>(count));
    return count > 0;
  }
};

// Notices files created in a folder, so that a kill can land while an output
// is being written.
class TCreationWatch {
public:
  explicit TCreationWatch(const std::string& folder) : FFd(inotify_init1(IN_NONBLOCK | IN_CLOEXEC)) {
    if (FFd < 0 || inotify_add_watch(FFd, folder.c_str(), IN_CREATE) < 0)
      throw std::runtime_error("cannot watch " + folder);
  }
  ~TCreationWatch() { close(FFd); }
  TCreationWatch(const TCreationWatch&) = delete;
  TCreationWatch& operator=(const TCreationWatch&) = delete;

  // Forgets the creations so far.
  void Clear() const {
    char buffer[4096];
    while (read(FFd, buffer, sizeof buffer) > 0) {
    }
  }
  // Waits up to milliseconds for a creation; false when none came.
  bool Wait(int milliseconds) const {
    pollfd event{FFd, POLLIN, 0};
    return poll(&event, 1, milliseconds) > 0;
  }

private:
  int FFd;
};

struct TRun {
  int Status;
  std::string Errors;
};

TBytes ReadFile(const std::string& path) {
  // Through a string stream: GCC 12 at -O2 warns (null dereference) about
  // an istreambuf_iterator range here.
  std::ifstream file(path, std::ios::binary);
  std::ostringstream bytes;
  bytes << file.rdbuf();
  return bytes.str();
}

// Every frame of every channel, planar.
std::vector<std::vector<float>> ReadAll(TWAVReader& reader) {
  std::vector<std::vector<float>> planes(static_cast<size_t>(reader.Channels()),
                                         std::vector<float>(static_cast<size_t>(reader.FrameCount())));
  std::vector<float*> pointers;
  for (std::vector<float>& plane : planes)
    pointers.push_back(plane.data());
  reader.ReadFrames(pointers.data(), static_cast<int32_t>(reader.FrameCount()));
  return planes;
}

TBytes BigEndian(uint32_t value, int bytes) {
  TBytes text;
  for (int shift = 8 * (bytes - 1); shift >= 0; shift -= 8)
    text += static_cast<char>((value >> shift) & 0xFF);
  return text;
}

// A mono 16-bit AIFF file at 48 kHz.
TBytes Aiff48k(const std::vector<float>& samples) {
  TBytes sound;
  for (const float sample : samples)
    sound += BigEndian(static_cast<uint16_t>(static_cast<int16_t>(std::lround(sample * 32767.0f))), 2);
  const TBytes rate = TBytes("\x40\x0E\xBB\x80", 4) + TBytes(6, '\0'); // 48000 as an 80-bit extended
  const TBytes comm =
      BigEndian(1, 2) + BigEndian(static_cast<uint32_t>(samples.size()), 4) + BigEndian(16, 2) + rate;
  const TBytes body = "AIFFCOMM" + BigEndian(18, 4) + comm + "SSND" +
                      BigEndian(static_cast<uint32_t>(sound.size() + 8), 4) + TBytes(8, '\0') + sound;
  return "FORM" + BigEndian(static_cast<uint32_t>(body.size()), 4) + body;
}

void Sleep(double seconds) {
  std::this_thread::sleep_for(std::chrono::duration<double>(seconds));
}

bool Contains(const std::string& text, const std::string& part) {
  return text.find(part) != std::string::npos;
}

// The names in a folder, sorted.
std::vector<std::string> Names(const std::string& folder) {
  std::vector<std::string> names;
  for (const fs::directory_entry& entry : fs::directory_iterator(folder))
    names.push_back(entry.path().filename().string());
  std::sort(names.begin(), names.end());
  return names;
}

// Reads every frame: a file the reader accepts as a whole, not a truncated one.
void ExpectCompleteOutput(const std::string& path, int64_t frames) {
  TWAVReader reader(path);
  EXPECT_EQ(reader.ProductTag(), "Ravelin") << path;
  EXPECT_EQ(reader.FrameCount(), frames) << path;
  ReadAll(reader);
}

class Faults : public ::testing::Test {
protected:
  std::string Dir;
  // 0.25 s of float sweep at 48 kHz, and its output frame count at 0.1 s pre-silence.
  static constexpr int Rate = 48000;
  static constexpr int64_t ToneFrames = 12000;
  static constexpr int64_t OutputFrames = 9601; // recording + pre-silence - tone + 1
  const std::vector<std::string> Options{"deconvolve", "--tone", "tone.wav", "--silence", "0.1"};

  void SetUp() override {
    Dir =
        (fs::temp_directory_path() / ("ravelin-faults-" + std::to_string(std::random_device()()))).string() +
        "/";
    fs::create_directories(Dir + "rec");
    ASSERT_EQ(Run({"sweep", "tone.wav", "--rate", "48000", "--duration", "0.25", "--bits", "float"}).Status,
              0);
    Tone = ReadFile(Dir + "tone.wav");
  }
  void TearDown() override { fs::remove_all(Dir); }

  TRun Run(const std::vector<std::string>& arguments, rlim_t fileSizeLimit = RLIM_INFINITY) const {
    TChild child(Dir, arguments, fileSizeLimit);
    const int status = child.Wait();
    return {status, child.Errors};
  }
  // The deconvolve options followed by extra arguments.
  std::vector<std::string> Deconvolve(std::vector<std::string> extra) const {
    extra.insert(extra.begin(), Options.begin(), Options.end());
    return extra;
  }
  void Put(const std::string& name, const TBytes& bytes) const {
    std::ofstream(Dir + name, std::ios::binary) << bytes;
  }
  TBytes Bytes(const std::string& name) const { return ReadFile(Dir + name); }

  TBytes Tone;
};

TEST_F(Faults, FileSizeLimitLeavesNoPartialFile) {
  for (const bool noSuffix : {false, true})
    for (const char* bits : {"24", "float"}) {
      SCOPED_TRACE(std::string(bits) + (noSuffix ? " --no-suffix" : ""));
      fs::remove_all(Dir + "rec");
      fs::create_directories(Dir + "rec");
      Put("rec/a.wav", Tone);
      std::vector<std::string> arguments = Deconvolve({"--bits", bits, "rec"});
      if (noSuffix)
        arguments.push_back("--no-suffix");
      // Far below the output's size (29 kB at 24 bits), above nothing else the tool writes.
      const TRun run = Run(arguments, 16384);
      EXPECT_EQ(run.Status, 1) << run.Errors;
      EXPECT_TRUE(Contains(run.Errors, "ravelin-cli: error: rec/a.wav: 011 - File write error\n"))
          << run.Errors;
      EXPECT_EQ(Names(Dir + "rec"), std::vector<std::string>{"a.wav"});
      EXPECT_TRUE(Bytes("rec/a.wav") == Tone) << "recording changed";
    }
}

TEST_F(Faults, UncreatableOutputFolderEndsTheCommand) {
  Put("rec/a.wav", Tone);
  Put("rec/b.wav", Tone);
  Put("blocked", "x");
  for (const char* out : {"blocked", "blocked/sub"}) {
    SCOPED_TRACE(out);
    const TRun run = Run(Deconvolve({"--out", out, "rec"}));
    EXPECT_EQ(run.Status, 1) << run.Errors;
    EXPECT_TRUE(Contains(run.Errors, "ravelin-cli: Unable to create output folder!\n")) << run.Errors;
    EXPECT_FALSE(Contains(run.Errors, "[2/2]")) << run.Errors;
    EXPECT_EQ(Names(Dir + "rec"), (std::vector<std::string>{"a.wav", "b.wav"}));
    EXPECT_TRUE(Bytes("rec/a.wav") == Tone) << "recording changed";
    EXPECT_TRUE(Bytes("blocked") == TBytes("x")) << "file replaced";
  }
}

TEST_F(Faults, RecordingDeletedAfterTheScanFailsAloneWithTheReadersMessage) {
  // The first recording is long (10 s): it is being processed when its
  // progress line arrives, well before the second is opened (one file at a
  // time; several jobs would open the second at once).
  ASSERT_EQ(Run({"sweep", "rec/a.wav", "--rate", "48000", "--duration", "10", "--bits", "float"}).Status, 0);
  Put("rec/b.wav", Tone);
  TChild child(Dir, Deconvolve({"--jobs", "1", "rec"}));
  ASSERT_TRUE(child.ReadUntil("[1/2] a.wav\n")) << child.Errors;
  fs::remove(Dir + "rec/b.wav");
  EXPECT_EQ(child.Wait(), 1) << child.Errors;
  EXPECT_TRUE(Contains(child.Errors, "ravelin-cli: error: rec/b.wav: 007 - File open error\n"))
      << child.Errors;
  EXPECT_TRUE(Contains(child.Errors, "processed 1, skipped 0, failed 1\n")) << child.Errors;
  ExpectCompleteOutput(Dir + "rec/a_rv.wav", 10 * Rate + OutputFrames - ToneFrames);
}

// A folder named like a recording is no recording: inside a scanned folder it
// is passed over (entered with --recurse), and given itself it is scanned as a
// folder like any other.
TEST_F(Faults, FolderNamedLikeARecordingIsScannedNeverRead) {
  Put("rec/a.wav", Tone);
  fs::create_directories(Dir + "rec/x.wav");
  const std::vector<std::string> cases[] = {{"rec"}, {"--recurse", "rec"}, {"rec/x.wav", "rec/a.wav"}};
  for (const std::vector<std::string>& extra : cases) {
    SCOPED_TRACE(extra.front());
    const TRun run = Run(Deconvolve(extra));
    EXPECT_EQ(run.Status, 0) << run.Errors;
    EXPECT_TRUE(Contains(run.Errors, "processed 1, skipped 0, failed 0\n")) << run.Errors;
    EXPECT_FALSE(Contains(run.Errors, "x.wav:")) << run.Errors;
    fs::remove(Dir + "rec/a_rv.wav");
  }
}

TEST_F(Faults, ForeignOutputIsRefusedAndOwnOutputReplaced) {
  Put("rec/a.wav", Tone);
  Put("rec/a_rv.wav", Tone); // a recording of the user's that happens to carry the output's name
  TRun run = Run(Deconvolve({"rec/a.wav"}));
  EXPECT_EQ(run.Status, 1) << run.Errors;
  EXPECT_TRUE(Contains(run.Errors,
                       "ravelin-cli: error: rec/a.wav: Refusing to replace a file Ravelin did not write: "))
      << run.Errors;
  EXPECT_TRUE(Contains(run.Errors, "a_rv.wav\n")) << run.Errors;
  EXPECT_TRUE(Bytes("rec/a_rv.wav") == Tone) << "foreign file replaced";
  EXPECT_EQ(Names(Dir + "rec"), (std::vector<std::string>{"a.wav", "a_rv.wav"}));

  // An earlier output (16 bits) is replaced by the rerun (float).
  fs::remove(Dir + "rec/a_rv.wav");
  ASSERT_EQ(Run(Deconvolve({"--bits", "16", "rec/a.wav"})).Status, 0);
  run = Run(Deconvolve({"--bits", "float", "rec/a.wav"}));
  EXPECT_EQ(run.Status, 0) << run.Errors;
  EXPECT_EQ(TWAVReader(Dir + "rec/a_rv.wav").FormatKind(), 3);
}

TEST_F(Faults, SecondRecordingOfOneOutputNameIsRefused) {
  // take.aif: the tone as 16-bit AIFF with 0.1 s more at its end, so its
  // output is longer than the one take.wav would give.
  TWAVReader tone(Dir + "tone.wav");
  std::vector<float> samples = ReadAll(tone)[0];
  samples.resize(samples.size() + 4800);
  Put("rec/take.aif", Aiff48k(samples));
  Put("rec/take.wav", Tone);
  const TRun run = Run(Deconvolve({"--bits", "float", "rec"}));
  EXPECT_EQ(run.Status, 1) << run.Errors;
  EXPECT_TRUE(Contains(run.Errors, "ravelin-cli: error: rec/take.wav: Output file already written by another "
                                   "recording of this run: "))
      << run.Errors;
  EXPECT_TRUE(Contains(run.Errors, "processed 1, skipped 0, failed 1\n")) << run.Errors;
  ExpectCompleteOutput(Dir + "rec/take_rv.wav", OutputFrames + 4800);
}

// kill -9 at random moments of a --no-suffix batch, rerun on what is left
// until every recording is replaced, then again on fresh copies. Every other
// kill lands within 2 ms of a file's creation in the folder, in the middle of
// writing an output.
TEST_F(Faults, KilledBatchLeavesEveryRecordingWholeOrReplaced) {
  constexpr int Count = 10;
  constexpr int Kills = 100;
  const auto name = [](int i) { return "rec/r" + std::to_string(i) + ".wav"; };
  const auto copyAll = [&] {
    for (int i = 0; i < Count; ++i)
      Put(name(i), Tone);
  };
  const std::vector<std::string> arguments = Deconvolve({"--bits", "float", "--no-suffix", "rec"});

  // An undisturbed run: the reference output and the batch's duration.
  copyAll();
  const auto start = std::chrono::steady_clock::now();
  ASSERT_EQ(Run(arguments).Status, 0);
  const double duration = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
  ExpectCompleteOutput(Dir + name(0), OutputFrames);
  const TBytes output = Bytes(name(0));

  // Every recording is the original or the reference output, never a partial
  // file, and nothing carries the suffixed name; other names are temporaries.
  const auto check = [&] {
    int replaced = 0;
    for (const std::string& file : Names(Dir + "rec")) {
      const bool recording = file.size() > 1 && file[0] == 'r' && file.ends_with(".wav");
      EXPECT_TRUE(recording || file.starts_with(".")) << file;
      EXPECT_FALSE(file.ends_with("_rv.wav")) << file;
      if (recording) {
        const TBytes bytes = Bytes("rec/" + file);
        EXPECT_TRUE(bytes == Tone || bytes == output) << file << ": " << bytes.size() << " bytes";
        replaced += bytes == output;
      }
    }
    for (int i = 0; i < Count; ++i)
      EXPECT_TRUE(fs::exists(Dir + name(i))) << name(i);
    return replaced;
  };
  // A scan lists exactly the ten recordings, never a temporary.
  const auto expectScanned = [&](const std::string& errors) {
    std::istringstream lines(errors);
    for (std::string line; std::getline(lines, line);)
      EXPECT_TRUE(!line.starts_with("[") || Contains(line, "/10] r")) << line;
  };

  copyAll();
  const TCreationWatch watch(Dir + "rec");
  std::mt19937 random(20240610);
  int kills = 0;
  int left = Count; // recordings the next run processes
  for (int attempt = 0; kills < Kills && attempt < 4 * Kills && !HasFailure(); ++attempt) {
    watch.Clear();
    TChild child(Dir, arguments);
    // The run's expected length: start-up and the recordings left.
    const double length = duration * (left + 1) / (Count + 1);
    if (attempt % 2 == 0)
      Sleep(std::uniform_real_distribution<double>(0.0, length)(random));
    else if (watch.Wait(static_cast<int>(length * 1000.0) + 1))
      Sleep(std::uniform_real_distribution<double>(0.0, 0.002)(random));
    child.Kill();
    const int status = child.Wait();
    kills += status == 128 + SIGKILL;
    EXPECT_TRUE(status == 0 || status == 128 + SIGKILL) << status << child.Errors;
    expectScanned(child.Errors);
    left = Count - check();
    if (left == 0) {
      const TRun rerun = Run(arguments);
      EXPECT_TRUE(Contains(rerun.Errors, "processed 0, skipped 10, failed 0\n")) << rerun.Errors;
      expectScanned(rerun.Errors);
      copyAll();
      left = Count;
    }
  }
  EXPECT_TRUE(HasFailure() || kills >= Kills) << kills << " kills";
}

} // namespace
