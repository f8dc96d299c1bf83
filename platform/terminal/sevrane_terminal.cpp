#include "sevrane_terminal.h"

#ifdef _WIN32
#include "console.h"
#else
#include <unistd.h>
#endif

#include <algorithm>
#include <cerrno>
#include <cmath>
#include <cstdio>
#include <cstdlib>

#include "analyser_window.h"
#include "command_line.h"
#include "field_parsing.h"
#include "file_io.h"
#include "message_glosses.h"
#include "messages.h"
#include "methods/analysis_method.h"
#include "methods/seed_method.h"
#include "wave_loader.h"
#include "wide_frames.h"

namespace terminal {

namespace {

// UTF-8 text to stdout or stderr (on Windows through the console's UTF-16 output).
void writeText(std::FILE* stream, const std::string& text) {
#ifdef _WIN32
  win32::writeText(stream, text);
#else
  std::fputs(text.c_str(), stream);
  std::fflush(stream);
#endif
}

// `--NAME SECONDS`: a time in seconds, 0 or more, below a day.
ExtraOption secondsOption(std::string_view name, std::string_view help, double* target) {
  return {.name = name,
          .value = ExtraOption::Value::Required,
          .valueName = "SECONDS",
          .help = help,
          .apply = [name, target](const std::string& text, bool) {
            char* end = nullptr;
            errno = 0;
            const double v = std::strtod(text.c_str(), &end);
            if (text.empty() || errno != 0 || *end != '\0' || !(v >= 0.0 && v < 86400.0)) {
              return "--" + std::string(name) +
                     " must be a number of seconds from 0 to 86400, not '" + text + "'";
            }
            if (target) *target = v;
            return std::string();
          }};
}

// The grammar of sevrane-cli; the options' actions fill `options` (none for the help text).
ProgramLine sevraneLine(SevraneOptions* options) {
  ProgramLine line;
  line.name = "sevrane-cli";
  line.model = &analyser::analyserControls();
  line.helpColumn = 19;
  line.extras.push_back({.name = "quiet",
                         .aliases = {"-q"},
                         .help = "no progress display on stderr",
                         .apply = [options](const std::string&, bool) {
                           if (options) options->quiet = true;
                           return std::string();
                         }});
  line.extras.push_back(
      {.name = "threads",
       .value = ExtraOption::Value::Required,
       .valueName = "N",
       .help = "worker threads for the estimates, 0 = all hardware threads\n(default 0)",
       .apply = [options](const std::string& text, bool) {
         int64_t value = 0;
         if (!common::parseWholeInteger(text, 0, 1024, value)) {
           return "--threads must be a number from 0 to 1024, not '" + text + "'";
         }
         if (options) options->threads = static_cast<int>(value);
         return std::string();
       }});
  line.extras.push_back({.name = "convert",
                         .help = "read any recording (other WAVE encodings, AIFF, FLAC, Ogg,\n"
                                 "MP3; any rate and channel count), resampled to 44100 Hz;\n"
                                 "the DAT file is FILE with its extension replaced by .dat",
                         .apply = [options](const std::string&, bool) {
                           if (options) options->convert = true;
                           return std::string();
                         }});
  line.extras.push_back({.name = "method",
                         .value = ExtraOption::Value::Required,
                         .valueName = "NAME",
                         .help = "analysis method: seed (default: six voices at the unit's\n"
                                 "rate) or another one the program has, e.g. tracked",
                         .apply = [options](const std::string& value, bool) {
                           if (options) options->method = value;
                           return std::string();
                         }});
  line.extras.push_back(
      {.name = "voices",
       .value = ExtraOption::Value::Required,
       .valueName = "N",
       .help = "voices per frame: 6 for seed, 4 to 15 for other methods\n(default 6)",
       .apply = [options](const std::string& text, bool) {
         int64_t value = 0;
         if (!common::parseWholeInteger(text, 1, 1000, value))
           return "--voices must be a number, not '" + text + "'";
         if (options) options->voices = static_cast<int32_t>(value);
         return std::string();
       }});
  line.extras.push_back({.name = "frame-rate",
                         .value = ExtraOption::Value::Required,
                         .valueName = "60|120|240",
                         .help = "frames per second of methods other than seed (default 60);\n"
                                 "more than six voices or another rate than 60 are written as\n"
                                 "a wide note-frame file, NAME.wdat, instead of the DAT",
                         .apply = [options](const std::string& text, bool) {
                           int64_t value = 0;
                           if (!common::parseWholeInteger(text, 1, 1000, value) ||
                               !common::isWideFrameRate(static_cast<int>(value))) {
                             return "--frame-rate must be 60, 120 or 240, not '" + text + "'";
                           }
                           if (options) options->frameRate = static_cast<int32_t>(value);
                           return std::string();
                         }});
  line.extras.push_back({.name = "output",
                         .aliases = {"-o"},
                         .value = ExtraOption::Value::Required,
                         .valueName = "FILE",
                         .help = "write the note frames as FILE instead of beside the input\n"
                                 "(a single input only; FILE ends in .wdat for a wide file)",
                         .apply = [options](const std::string& value, bool) {
                           if (value.empty()) return std::string("--output needs a name");
                           if (options) options->outputPath = value;
                           return std::string();
                         }});
  line.extras.push_back({.name = "plot",
                         .value = ExtraOption::Value::Optional,
                         .valueName = "OUT.png",
                         .help = "also draw the recording's spectrogram with the partial\n"
                                 "tracks over it (default: the DAT's name with .png)",
                         .apply = [options](const std::string& value, bool given) {
                           if (given && value.empty()) return std::string("--plot= needs a name");
                           if (options) {
                             options->plot = true;
                             options->plotPath = value;
                           }
                           return std::string();
                         }});
  line.extras.push_back(secondsOption("start",
                                      "analyse from SECONDS into the recording (default 0)",
                                      options ? &options->startSeconds : nullptr));
  line.extras.push_back(secondsOption("length",
                                      "analyse at most SECONDS of it (default: to its end);\n"
                                      "so a part of a recording over 600 s can be analysed",
                                      options ? &options->lengthSeconds : nullptr));
  line.extras.push_back({.name = "debug",
                         .help = "print the decoder libraries' own messages (kept back\n"
                                 "otherwise) after each file's outcome",
                         .apply = [options](const std::string&, bool) {
                           if (options) options->debug = true;
                           return std::string();
                         }});
  return line;
}

// The frame rate the window's unit buttons give (the last checked one; 15 when none is).
int32_t unitRate(const common::ControlState& controls) {
  int32_t rate = 15;
  for (const common::RadioChoice& c : analyser::analyserControls().option("unit").choices) {
    if (controls.isChecked(c.id)) rate = c.number;
  }
  return rate;
}

// The checks that need every option: the method by name, the voices and frame rate it takes,
// and an output name that says the format the frames will be written in. "" when all pass;
// the method's defaults are filled in.
std::string checkMethodOptions(SevraneOptions& options) {
  const std::string refusal = analyser::checkMethodRequest(
      options.method, unitRate(options.controls), options.voices, options.frameRate);
  if (!refusal.empty()) return refusal;
  const bool wide = options.method != analyser::kSeedMethodName &&
                    (options.voices > 6 || options.frameRate != 60);
  // The picture reads its tracks from a DAT file.
  if (wide && options.plot) return "--plot draws the tracks of a DAT file, not of a .wdat file";
  if (!options.outputPath.empty() && common::isWidePath(options.outputPath) != wide) {
    return wide ? "--output must end in .wdat: the frames are written as a wide file"
                : "--output must not end in .wdat: the frames are written as a DAT file";
  }
  if (!options.outputPath.empty() && options.files.size() > 1) return oneOutputError("--output");
  return {};
}

}  // namespace

SevraneOptions::SevraneOptions() : controls(analyser::analyserControls()) {}

ParseOutcome parseSevraneArguments(int argc, const char* const* argv, SevraneOptions& options,
                                   std::string& error) {
  const std::vector<std::string> args(argv + (argc > 0 ? 1 : 0), argv + std::max(argc, 0));
  const ParsedLine parsed = parseLine(sevraneLine(&options), args, options.controls);
  switch (parsed.outcome) {
    case LineOutcome::Help:
      return ParseOutcome::Help;
    case LineOutcome::Version:
      return ParseOutcome::Version;
    case LineOutcome::UsageError:
      error = parsed.error;
      return ParseOutcome::UsageError;
    case LineOutcome::Run:
      break;
  }
  options.files = parsed.files;
  error = checkMethodOptions(options);
  return error.empty() ? ParseOutcome::Run : ParseOutcome::UsageError;
}

std::string sevraneUsage() {
  return "Usage: sevrane-cli [OPTIONS] FILE...\n"
         "\n"
         "Analyses the WAVE file FILE (PCM, 44100 Hz, 16-bit, mono or stereo, at most 600\n"
         "seconds) into six sinusoidal partials per frame and writes them beside it as a DAT\n"
         "note-frame file: FILE without its last four characters, followed by \".dat\".\n"
         "FILE must end in \"wav\" (any case); trailing blanks are ignored.\n"
         "\n"
         "Options (also as --option=VALUE; values in any case; \"--\" ends the options):\n" +
         optionHelp(sevraneLine(nullptr)) +
         "\n"
         "The outcome is one line: \"終了しました\" on stdout when the file was written,\n"
         "otherwise the reason on stderr, followed there by one line in English saying\n"
         "what it means. Ctrl-C cancels the analysis (\"中止しました\"); nothing is written\n"
         "then.\n"
         "\n"
         "Several FILEs are analysed one after another, each outcome line then starting\n"
         "with the file's name; Ctrl-C cancels the current file and skips the rest.\n"
         "\n"
         "Exit status: 0 written, 1 refused or failed, 2 usage error, 130 cancelled; for\n"
         "several FILEs the worst of these, in the order 2, 130, 1, 0.\n";
}

int sevraneExitStatus(const std::string& message) {
  return outcomeStatus(message);
}

std::string sevraneGloss(std::string_view message, const analyser::WaveFormat& format,
                         bool converting, bool convertHint, bool partHint) {
  if (message == msg::kCannotCreate || message == msg::kWriteError) {
    const common::WriteFailure& failure = common::lastWriteFailure();
    return msg::writeFailureLine(message, failure.path, failure.reason);
  }
  std::string detail;
  if (!converting && format.known && (message == msg::kNot44100 || message == msg::kNot16Bit)) {
    detail = message == msg::kNot44100 ? std::to_string(format.sampleRate) + " Hz"
                                       : std::to_string(format.bitsPerSample) + "-bit samples";
  }
  std::string line = msg::glossLine(message, detail, convertHint && !converting);
  if (message == msg::kBadDataLength && convertHint && !converting && format.known &&
      (format.dataSize == 0 || format.dataSize == 0xFFFFFFFFu)) {
    line.append("; ").append(msg::kUnknownLengthHint);
  }
  if (message == msg::kAudioTooLong && partHint) line.append("; ").append(msg::kPartHint);
  return line;
}

TerminalEnvironment::TerminalEnvironment(const SevraneOptions& options, bool showProgress)
    : MapEnvironment(options.controls),
      showProgress_(showProgress),
      start_(std::chrono::steady_clock::now()) {
  if (!options.files.empty()) texts[analyser::kWaveFileField] = options.files.front();
}

void TerminalEnvironment::showMessage(std::string_view text, common::MessageIcon) {
  lastMessage_ = std::string(text);
  const OutcomeLines lines = outcomeLines(prefix_, text, glosser_ ? glosser_(text) : std::string());
  writeText(stdout, lines.out);
  writeText(stderr, lines.err);
}

bool TerminalEnvironment::counterFrequency(int64_t& ticksPerSecond) {
  using Period = std::chrono::steady_clock::period;
  if (Period::num != 1 || Period::den <= 0) return false;
  ticksPerSecond = static_cast<int64_t>(Period::den);
  return true;
}

int64_t TerminalEnvironment::counterNow() {
  return static_cast<int64_t>(std::chrono::steady_clock::now().time_since_epoch().count());
}

int32_t TerminalEnvironment::clockMillis() {
  const auto ms = std::chrono::duration_cast<std::chrono::milliseconds>(
                      std::chrono::steady_clock::now() - start_)
                      .count();
  // Milliseconds since start-up; a run of more than 24 days stays at the top of the range.
  return static_cast<int32_t>(std::min<int64_t>(ms, INT32_MAX));
}

bool TerminalEnvironment::openProgressWindow() {
  progressOpen_ = showProgress_;
  lineDrawn_ = false;
  return progressOpen_;
}

void TerminalEnvironment::closeProgressWindow() {
  if (lineDrawn_) {
    writeText(stderr, "\r\033[K");
  }
  lineDrawn_ = false;
  progressOpen_ = false;
}

std::string TerminalEnvironment::progressLine(std::string_view label, double fractionDone) {
  return ProgressLine::text(label, fractionDone);
}

void TerminalEnvironment::refreshProgress(std::string_view label, double fractionDone) {
  if (!progressOpen_) return;
  // The hook already refreshes at most every 100 ms; this keeps the terminal to ten lines a
  // second whatever calls it.
  const int64_t now = clockMillis();
  if (now - lastDrawMillis_ < 100) return;
  lastDrawMillis_ = now;
  const std::string line = progressLine(label, fractionDone);
  writeText(stderr, "\r" + line + "\033[K");
  lineDrawn_ = true;
}

void TerminalEnvironment::pumpMessages() {
  if (interruptReceived() && onInterrupt_) onInterrupt_();
}

int runSevraneCli(int argc, const char* const* argv, const SevraneMedia& media) {
  const std::string program = baseName(argc > 0 ? argv[0] : "", "sevrane-cli");
  SevraneOptions options;
  std::string error;
  switch (parseSevraneArguments(argc, argv, options, error)) {
    case ParseOutcome::Help:
      writeText(stdout, sevraneUsage());
      return 0;
    case ParseOutcome::Version:
      writeText(stdout, versionText(program));
      return 0;
    case ParseOutcome::UsageError:
      writeText(stderr, usageErrorText(program, error));
      return 2;
    case ParseOutcome::Run:
      break;
  }

  const auto usageError = [&program](const std::string& text) {
    writeText(stderr, usageErrorText(program, text));
    return 2;
  };
  if (options.convert && !media.anyRecordingSource) return usageError(noMediaError("--convert"));
  if (options.plot && !media.plotRecording) return usageError(noMediaError("--plot"));
  if (options.ranged() && !media.partSource) {
    return usageError(noMediaError(options.startSeconds > 0.0 ? "--start" : "--length"));
  }
  if (!options.plotPath.empty() && options.files.size() > 1) {
    return usageError(oneOutputError("--plot"));
  }
  if (options.plot && options.ranged()) {
    return usageError("--plot draws the whole recording; give it without --start and --length");
  }
  analyser::SignalSource source;
  if (options.convert || options.ranged()) {
    source = options.ranged()
                 ? media.partSource(options.startSeconds, options.lengthSeconds, options.convert)
                 : media.anyRecordingSource();
  }
  const auto datPathOf = [&source](const std::string& path) {
    return source.outputPath ? source.outputPath(path) : analyser::datPathFor(path);
  };
  if (options.files.size() > 1) {
    const std::string shared = sharedOutputs(options.files, [&](const std::string& file) {
      const std::string dat = datPathOf(analyser::trimTrailingSpace(file));
      std::vector<std::string> outputs{dat};
      if (options.plot) outputs.push_back(media.plotPathFor(dat));
      return outputs;
    });
    if (!shared.empty()) return usageError(shared);
  }

#ifdef _WIN32
  // A console draws the progress line only with its escape sequences switched on.
  const bool showProgress = !options.quiet && win32::enableTerminalSequences(stderr);
#else
  const bool showProgress = !options.quiet && isatty(STDERR_FILENO) == 1;
#endif
  TerminalEnvironment env(options, showProgress);
  analyser::AnalyserCommand command(env);
  command.setThreadCount(options.threads);
  command.setMethod(options.method);
  command.setVoices(options.voices, options.frameRate);
  command.setOutputPath(options.outputPath);
  env.setInterruptAction([&command] { command.requestCancel(); });
  installInterruptHandler();
  installDurableWrites();
  // The decoder libraries' own messages, kept back while a file is decoded, printed after its
  // outcome with --debug.
  std::string decoderMessages;
  const auto keepingDecoderMessages = [&](const std::function<void()>& work) {
    if (!media.quietDecoders) return work();
    decoderMessages += media.quietDecoders(work);
  };
  if (source.load) {
    analyser::SignalSource quiet = source;
    quiet.load = [&keepingDecoderMessages, load = source.load](common::AllocationRegistry& registry,
                                                               const std::string& path) {
      analyser::LoadResult result;
      keepingDecoderMessages([&] { result = load(registry, path); });
      return result;
    };
    command.setSignalSource(quiet);
  }
  // The hint that --convert would read a refused file, given only where it could.
  const bool convertHint = !options.convert && static_cast<bool>(media.anyRecordingSource);
  const bool partHint = !options.ranged() && static_cast<bool>(media.partSource);

  const bool batch = options.files.size() > 1;
  int status = 0;
  for (const std::string& file : options.files) {
    // Ctrl-C between two files, or during one that ended otherwise, skips the rest.
    if (interruptReceived()) {
      status = worseStatus(status, 130);
      break;
    }
    env.texts[analyser::kWaveFileField] = file;
    env.setLinePrefix(batch ? file + ": " : std::string());
    const std::string path = analyser::trimTrailingSpace(file);
    env.setGlosser([&](std::string_view message) {
      return sevraneGloss(message, command.lastFormat(), options.convert, convertHint, partHint);
    });
    env.clearLastMessage();
    decoderMessages.clear();
    common::lastWriteFailure() = {};
    command.convert();
    status = worseStatus(status, sevraneExitStatus(env.lastMessage()));
    if (options.plot && env.lastMessage() == msg::kFinished) {
      const std::string dat = command.writtenPath();
      const std::string png = options.plotPath.empty() ? media.plotPathFor(dat) : options.plotPath;
      std::string failure;
      common::lastWriteFailure() = {};
      keepingDecoderMessages([&] { failure = media.plotRecording(path, dat, png); });
      if (!failure.empty()) {
        const OutcomeLines lines =
            outcomeLines(env.linePrefix(), failure, sevraneGloss(failure, {}, true, false));
        writeText(stderr, lines.err);
        status = worseStatus(status, 1);
      }
    }
    if (options.debug && !decoderMessages.empty()) {
      writeText(stderr, env.linePrefix() + "decoder messages:\n" + decoderMessages);
    }
  }
  return status;
}

}  // namespace terminal
