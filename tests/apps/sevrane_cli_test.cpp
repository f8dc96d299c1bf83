#include <fcntl.h>
#include <gtest/gtest.h>
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cmath>
#include <filesystem>
#include <string>
#include <thread>
#include <vector>

#include "messages.h"
#include "note_frame.h"
#include "wave_test_support.h"

extern char** environ;

namespace {

using wavetest::Bytes;

struct CliRun {
  int status = -1;  // exit status, or -1 when the process did not exit normally
  std::string out;
  std::string err;
};

class SevraneCliTest : public ::testing::Test {
 protected:
  // Starts sevrane-cli with `args`, stdout and stderr going to files in the scratch folder.
  pid_t start(const std::vector<std::string>& args) {
    std::vector<std::string> all = {SEVRANE_CLI};
    all.insert(all.end(), args.begin(), args.end());
    std::vector<char*> argv;
    for (std::string& a : all) argv.push_back(a.data());
    argv.push_back(nullptr);
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_addopen(&actions, 1, outPath().c_str(), O_WRONLY | O_CREAT | O_TRUNC,
                                     0644);
    posix_spawn_file_actions_addopen(&actions, 2, errPath().c_str(), O_WRONLY | O_CREAT | O_TRUNC,
                                     0644);
    pid_t pid = -1;
    EXPECT_EQ(posix_spawn(&pid, SEVRANE_CLI, &actions, nullptr, argv.data(), environ), 0);
    posix_spawn_file_actions_destroy(&actions);
    return pid;
  }
  CliRun finish(pid_t pid) {
    CliRun r;
    int wstatus = 0;
    EXPECT_EQ(waitpid(pid, &wstatus, 0), pid);
    if (WIFEXITED(wstatus)) r.status = WEXITSTATUS(wstatus);
    const Bytes out = wavetest::readFile(outPath());
    const Bytes err = wavetest::readFile(errPath());
    r.out.assign(out.begin(), out.end());
    r.err.assign(err.begin(), err.end());
    return r;
  }
  CliRun run(const std::vector<std::string>& args) { return finish(start(args)); }

  std::string wave(const std::string& name, const std::vector<int16_t>& samples,
                   uint32_t channels = 1) {
    const std::string path = dir.file(name);
    wavetest::writeFile(path, wavetest::canonical(samples, channels));
    return path;
  }
  std::string outPath() const { return dir.file("stdout.txt"); }
  std::string errPath() const { return dir.file("stderr.txt"); }

  wavetest::ScratchDir dir{"cli"};
};

std::string line(std::string_view text) {
  return std::string(text) + "\n";
}

// The first line of `text`, with its line end.
std::string firstLine(const std::string& text) {
  return text.substr(0, text.find('\n') + 1);
}

// A tone of `amplitude` at `hertz` (16-bit samples).
std::vector<int16_t> tone(int count, double hertz, double amplitude) {
  std::vector<int16_t> s(count);
  for (int i = 0; i < count; ++i) {
    s[i] = static_cast<int16_t>(amplitude * std::sin(6.283185307179586 * hertz * i / 44100));
  }
  return s;
}

TEST_F(SevraneCliTest, WritesTheDatBesideTheWaveAndSaysSoOnStdout) {
  const std::string path = wave("voice.wav", tone(4410, 440, 10000));
  const CliRun r = run({path});
  EXPECT_EQ(r.status, 0);
  EXPECT_EQ(r.out, line(msg::kFinished));
  EXPECT_EQ(r.err, "");  // stderr is not a terminal: no progress line
  const Bytes dat = wavetest::readFile(dir.file("voice.dat"));
  ASSERT_EQ(dat.size(), 7u * 64);  // (4410 + 1469) / 735 frames
  EXPECT_EQ(Bytes(dat.end() - 8, dat.end()), (Bytes{1, 0, 0, 0, 0x3C, 0, 0, 0}));
  for (int g = 0; g < 7; ++g) {
    const common::NoteFrame f = common::decodeNoteFrame(dat.data() + 64 * g);
    for (int s = 0; s < 6; ++s) {
      EXPECT_GE(f.slots[s].level, 0);
      EXPECT_GE(f.slots[s].frequency, 550);
      EXPECT_LE(f.slots[s].frequency, 80000);
    }
    EXPECT_EQ(f.slots[6].level, 0);
    if (g <= 5) {  // frames wholly inside the tone
      EXPECT_NEAR(f.slots[0].frequency, 4400, 10) << g;
      EXPECT_NEAR(f.slots[0].level, 10000 * 256, 10000 * 256 / 50) << g;
    }
    if (g == 6) {
      EXPECT_EQ(f.slots[0].level, 0);  // past the end of the recording
    }
  }
}

TEST_F(SevraneCliTest, OptionsChooseUnitShiftAndPasses) {
  const std::string path = wave("take.wav", tone(1500, 300, 8000), 1);
  CliRun r = run({"--unit", "15", "--onset-shift", "--quiet", path});
  EXPECT_EQ(r.status, 0) << r.err;
  Bytes dat = wavetest::readFile(dir.file("take.dat"));
  ASSERT_EQ(dat.size(), 2u * 64);  // (1500 + 5879) / 2940
  EXPECT_EQ(Bytes(dat.end() - 8, dat.end()), (Bytes{0, 0, 0, 0, 15, 0, 0, 0}));

  r = run({"--optimise", "--unit", "60", "--threads", "1", "-q", path});
  EXPECT_EQ(r.status, 0) << r.err;
  dat = wavetest::readFile(dir.file("take.dat"));
  ASSERT_EQ(dat.size(), 4u * 64);
  EXPECT_EQ(Bytes(dat.end() - 8, dat.end()), (Bytes{1, 0, 0, 0, 60, 0, 0, 0}));
}

TEST_F(SevraneCliTest, RefusalsAndFailuresGoToStderrWithStatus1) {
  const std::string wavePath = wave("upper.WAV", {});
  CliRun r = run({dir.file("notes.txt")});
  EXPECT_EQ(r.status, 1);
  EXPECT_EQ(r.out, "");
  EXPECT_EQ(firstLine(r.err), line(msg::kSpecifyWave));

  r = run({dir.file("absent.wav")});
  EXPECT_EQ(r.status, 1);
  EXPECT_EQ(firstLine(r.err), line(msg::kFileNotFound));

  const std::string stereo48k = dir.file("s48.wav");
  wavetest::writeFile(stereo48k, wavetest::canonical({1, 2, 3, 4}, 2, 48000));
  r = run({stereo48k});
  EXPECT_EQ(r.status, 1);
  EXPECT_EQ(firstLine(r.err), line(msg::kNot44100));
  EXPECT_FALSE(std::filesystem::exists(dir.file("s48.dat")));

  // Trailing blanks of FILE are dropped, as from the window's field.
  r = run({wavePath + "  "});
  EXPECT_EQ(r.status, 0);
  EXPECT_EQ(wavetest::readFile(dir.file("upper.dat")).size(), 64u);
}

TEST_F(SevraneCliTest, UsageErrorsExitWith2AndHelpDocumentsEveryOption) {
  for (const std::vector<std::string>& args : {std::vector<std::string>{},
                                               {"--unit", "25", "a.wav"},
                                               {"--unit"},
                                               {"--bogus", "a.wav"},
                                               {"--quiet=yes", "a.wav"},
                                               {"--threads", "-1", "a.wav"}}) {
    const CliRun r = run(args);
    EXPECT_EQ(r.status, 2) << (args.empty() ? "" : args[0]);
    EXPECT_NE(r.err.find("Try 'sevrane-cli --help'."), std::string::npos);
  }
  const CliRun help = run({"--help"});
  EXPECT_EQ(help.status, 0);
  for (const char* option :
       {"--optimise", "--unit", "--onset-shift", "--quiet", "--threads", "--help"}) {
    EXPECT_NE(help.out.find(option), std::string::npos) << option;
  }
}

// The method and its voices are checked before anything is read; -o names the file.
TEST_F(SevraneCliTest, MethodVoicesAndOutputName) {
  const std::string path = wave("take.wav", tone(1500, 300, 8000), 1);
  ASSERT_EQ(run({"-q", path}).status, 0);
  const std::string named = dir.file("named.dat");
  const CliRun r = run({"-q", "--method=seed", "--voices", "6", "-o", named, path});
  EXPECT_EQ(r.status, 0) << r.err;
  EXPECT_EQ(wavetest::readFile(named), wavetest::readFile(dir.file("take.dat")));
  for (const std::vector<std::string>& args : {std::vector<std::string>{"--method", "bogus", path},
                                               {"--voices", "8", path},
                                               {"--frame-rate", "120", path},
                                               {"--frame-rate", "100", path},
                                               {"-o", dir.file("x.wdat"), path},
                                               {"--output", named, path, path}}) {
    const CliRun bad = run(args);
    EXPECT_EQ(bad.status, 2) << args[0] << " " << args[1];
  }
  EXPECT_NE(run({"--method", "bogus", path}).err.find("(choose seed"), std::string::npos);
}

// Several files: every outcome line names its file, stdout keeps only the successes, each
// refusal is followed by its English gloss (with the file's own rate), and the status is the
// worst outcome.
TEST_F(SevraneCliTest, BatchNamesEachOutcomeGlossesRefusalsAndExitsWithTheWorst) {
  const std::string good = wave("good.wav", tone(4410, 440, 10000));
  const std::string s48 = dir.file("s48.wav");
  wavetest::writeFile(s48, wavetest::canonical({1, 2, 3, 4}, 2, 48000));
  const std::string eight = dir.file("eight.wav");
  wavetest::writeFile(eight, wavetest::riff({wavetest::fmtChunk(1, 1, 44100, 8),
                                             wavetest::chunk("data", Bytes(100, 128))}));
  const CliRun r = run({"-q", s48, good, eight});
  EXPECT_EQ(r.status, 1);
  EXPECT_EQ(r.out, good + ": " + line(msg::kFinished));
  const std::string rateGloss = s48 + ": 48000 Hz";
  const std::string bitsGloss = eight + ": 8-bit samples";
  EXPECT_EQ(r.err.find(s48 + ": " + line(msg::kNot44100) + rateGloss), 0u) << r.err;
  EXPECT_NE(r.err.find(eight + ": " + line(msg::kNot16Bit) + bitsGloss), std::string::npos)
      << r.err;
  EXPECT_EQ(std::count(r.err.begin(), r.err.end(), '\n'), 4);
  EXPECT_TRUE(std::filesystem::exists(dir.file("good.dat")));

  // One file: the lines as ever, no name in front; the gloss is the one extra line.
  const CliRun single = run({dir.file("absent.wav")});
  EXPECT_EQ(single.err, line(msg::kFileNotFound) + "file not found\n");
}

#ifdef CLI_WITH_MEDIA
TEST_F(SevraneCliTest, ConvertReadsWhatTheLoaderRefusesAndPlotDrawsBesideTheDat) {
  const std::string s48 = dir.file("s48.wav");
  wavetest::writeFile(s48, wavetest::canonical(tone(4800, 440, 10000), 1, 48000));
  CliRun r = run({s48});
  EXPECT_EQ(r.err, line(msg::kNot44100) +
                       "48000 Hz; sevrane-cli reads only 44100 Hz unless --convert is given\n");
  r = run({"--convert", "--plot", s48});
  EXPECT_EQ(r.status, 0) << r.err;
  EXPECT_EQ(r.out, line(msg::kFinished));
  EXPECT_FALSE(wavetest::readFile(dir.file("s48.dat")).empty());
  const Bytes png = wavetest::readFile(dir.file("s48.png"));
  ASSERT_GT(png.size(), 8u);
  EXPECT_EQ(std::string(png.begin() + 1, png.begin() + 4), "PNG");

  // A file the loader reads gives the same DAT either way.
  const std::string good = wave("good.wav", tone(4410, 440, 10000));
  EXPECT_EQ(run({good}).status, 0);
  const Bytes plain = wavetest::readFile(dir.file("good.dat"));
  EXPECT_EQ(run({"--convert", good}).status, 0);
  EXPECT_EQ(wavetest::readFile(dir.file("good.dat")), plain);

  r = run({"--plot=x.png", good, s48});
  EXPECT_EQ(r.status, 2);
  EXPECT_EQ(std::count(r.err.begin(), r.err.end(), '\n'), 2);
}

TEST_F(SevraneCliTest, SharedOutputsUnknownLengthsAndUnwritableOutputsAreNamed) {
  // Two recordings that --convert names alike are refused before either is read.
  const std::string a = wave("speech.wav", tone(4410, 440, 10000));
  const std::string b = dir.file("speech.flac");
  std::filesystem::copy_file(a, b);
  CliRun r = run({"--convert", a, b});
  EXPECT_EQ(r.status, 2);
  EXPECT_EQ(firstLine(r.err), "sevrane-cli: " + a + " and " + b + " would both write " +
                                  dir.file("speech.dat") + "\n");
  EXPECT_FALSE(std::filesystem::exists(dir.file("speech.dat")));

  // A WAVE written to a pipe gives its data length as 0xFFFFFFFF; --convert reads it.
  Bytes piped = wavetest::canonical(tone(4410, 440, 10000), 1);
  for (int i = 40; i < 44; ++i) piped[i] = 0xFF;
  wavetest::writeFile(dir.file("piped.wav"), piped);
  r = run({dir.file("piped.wav")});
  EXPECT_EQ(r.status, 1);
  EXPECT_EQ(r.err.substr(r.err.find('\n') + 1),
            "the data length is wrong (the file is cut short or damaged); the header gives the "
            "data length as unknown (as a recording written to a pipe has it); sevrane-cli "
            "reads it with --convert\n");
  EXPECT_EQ(run({"--convert", dir.file("piped.wav")}).status, 0);

  // An output that cannot be written: its path and the system's reason.
  std::filesystem::create_directory(dir.file("speech.dat"));
  r = run({a});
  EXPECT_EQ(r.status, 1);
  EXPECT_EQ(r.err, line(msg::kCannotCreate) + "the output file could not be created: " +
                       dir.file("speech.dat") + ": it is a folder\n");
}
#endif

TEST_F(SevraneCliTest, InterruptCancelsWithStatus130AndWritesNothing) {
  // Five minutes of sound in four passes: far longer than the test waits before interrupting,
  // even with fast kernels and several threads.
  const std::string path = wave("long.wav", tone(300 * 44100, 220, 12000));
  const Bytes earlier = {1, 2, 3, 4};
  wavetest::writeFile(dir.file("long.dat"), earlier);
  const pid_t pid = start({"--optimise", path});
  std::this_thread::sleep_for(std::chrono::milliseconds(700));
  ASSERT_EQ(kill(pid, SIGINT), 0);
  const CliRun r = finish(pid);
  EXPECT_EQ(r.status, 130);
  EXPECT_EQ(r.out, "");
  EXPECT_EQ(firstLine(r.err), line(msg::kCancelled));
  EXPECT_EQ(wavetest::readFile(dir.file("long.dat")), earlier);

  // Started with Ctrl-C ignored (as under nohup), the analysis runs to the end regardless.
  const std::string shorter = wave("short.wav", tone(60 * 44100, 220, 12000));
  struct sigaction ignore = {};
  struct sigaction previous = {};
  ignore.sa_handler = SIG_IGN;
  ASSERT_EQ(sigaction(SIGINT, &ignore, &previous), 0);
  const pid_t ignoring = start({"--optimise", shorter});
  sigaction(SIGINT, &previous, nullptr);
  std::this_thread::sleep_for(std::chrono::milliseconds(200));
  kill(ignoring, SIGINT);  // may come after the end on a fast machine; then it proves less
  const CliRun done = finish(ignoring);
  EXPECT_EQ(done.status, 0);
  EXPECT_EQ(done.out, line(msg::kFinished));

  // In a batch, Ctrl-C cancels the file being analysed and skips the rest.
  const pid_t batch = start({"--optimise", path, shorter});
  std::this_thread::sleep_for(std::chrono::milliseconds(700));
  ASSERT_EQ(kill(batch, SIGINT), 0);
  std::filesystem::remove(dir.file("short.dat"));
  const CliRun skipped = finish(batch);
  EXPECT_EQ(skipped.status, 130);
  EXPECT_EQ(firstLine(skipped.err), path + ": " + line(msg::kCancelled));
  EXPECT_FALSE(std::filesystem::exists(dir.file("short.dat")));
}

}  // namespace
