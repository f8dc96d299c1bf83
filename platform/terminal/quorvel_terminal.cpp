#include "quorvel_terminal.h"

#include <cmath>
#include <memory>
#include <ostream>

#include "cable_budget.h"
#include "command_line.h"
#include "converter_window.h"
#include "field_parsing.h"
#include "file_io.h"
#include "live_play.h"
#include "message_glosses.h"
#include "messages.h"
#include "progress_window.h"
#include "smf_writer.h"
#include "song_merge_command.h"
#include "targets/targets.h"
#include "wide_frames.h"

namespace quorvel_terminal {

namespace {

using namespace midibuilder;

using Value = terminal::ExtraOption::Value;

// `--name[=OUT]`: sets `flag`, and `path` when a name is given.
terminal::ExtraOption outputOption(std::string_view name, std::string_view valueName,
                                   std::string_view help, bool* flag, std::string* path) {
  return {.name = name,
          .value = Value::Optional,
          .valueName = valueName,
          .help = help,
          .apply = [name, flag, path](const std::string& value, bool given) {
            if (given && value.empty()) return "--" + std::string(name) + "= needs a name";
            if (flag) *flag = true;
            if (path) *path = value;
            return std::string();
          }};
}

// --polyphony and --channels as whole numbers: recorded for a .wdat FILE, which may take 1 to
// 15 of them; the window's buttons stay the model's to set. Returns true when the value is taken
// here (it names no button).
bool takeVoiceCount(const common::ControlOption& option, const std::string& value,
                    ArgumentResult& result, std::string& error) {
  const bool polyphony = option.name == "polyphony";
  if (!polyphony && option.name != "channels") return false;
  return midibuilder::readWideVoiceCount(
      option, value, polyphony ? result.polyphony : result.channels,
      polyphony ? result.polyphonyBeyondButtons : result.channelsBeyondButtons, error);
}

// --merge-into SONG.mid and --at SECONDS|BAR:BEAT.
void addMergeOptions(terminal::ProgramLine& line, ArgumentResult* result) {
  const auto take = [result](std::string ArgumentResult::*field, std::string_view name) {
    return [result, field, name](const std::string& value, bool) {
      if (value.empty()) return "--" + std::string(name) + " needs a value";
      if (result) result->*field = value;
      return std::string();
    };
  };
  line.extras.push_back({.name = "merge-into",
                         .value = Value::Required,
                         .valueName = "SONG.mid",
                         .help = "add the speech to the MIDI file SONG.mid on channels\n"
                                 "it leaves free, writing SONG-with-NAME.mid beside it\n"
                                 "(or -o FILE); needs --at",
                         .apply = take(&ArgumentResult::mergeSong, "merge-into")});
  line.extras.push_back({.name = "at",
                         .value = Value::Required,
                         .valueName = "POS",
                         .help = "where the speech's first frame falls in the song:\n"
                                 "SECONDS, or BAR:BEAT counted from 1:1 (e.g. 3:2.5)",
                         .apply = take(&ArgumentResult::mergeAt, "at")});
}

// --list-ports and --play[=PORT]: live MIDI output.
void addLiveOptions(terminal::ProgramLine& line, ArgumentResult* result) {
  line.extras.push_back({.name = "list-ports",
                         .help = "list the MIDI output ports, numbered from 1, and exit",
                         .apply = [result](const std::string&, bool) {
                           if (result) result->listPorts = true;
                           return std::string();
                         }});
  line.filesOptional = [result] { return result != nullptr && result->listPorts; };
  line.extras.push_back(outputOption("play", "PORT",
                                     "then play the MIDI file to the MIDI output port PORT\n"
                                     "(a number or a name, or part of one; by default the\n"
                                     "first port); a .mid FILE is played as it is",
                                     result ? &result->play : nullptr,
                                     result ? &result->playPort : nullptr));
}

// --play after the conversions: the one MIDI file written, or FILE itself when it is one.
int playAfter(const ArgumentResult& parsed, const std::string& program, ports::MidiOut& port,
              terminal::ProgressLine& bar, std::ostream& err) {
  const std::string file(common::trimTrailingSpace(parsed.files.front()));
  const std::string midi = terminal::isMidiPath(file)  ? file
                           : parsed.outputPath.empty() ? outputPathFor(file)
                                                       : parsed.outputPath;
  return terminal::playMidiFileCommand(program, port, midi, bar, err);
}

// --device gm or mpe: a target beyond the window's buttons, recorded in `result`. A value that
// names a button clears it and is the model's to set. Returns true when the value is taken here.
bool takeTarget(const common::ControlOption& option, const std::string& value,
                ArgumentResult& result) {
  if (option.name != "device") return false;
  result.target = nullptr;
  if (option.choice(value) != nullptr) return false;
  result.target = targets::extraForValue(value);
  return result.target != nullptr;
}

// The usage error of a --bend-range that the conversion's target does not take ("" when it
// takes it).
std::string bendRangeError(const ArgumentResult& parsed, const TerminalWindow& window) {
  if (parsed.bendRange == 0) return {};
  const TargetProfile* target = parsed.target;
  if (target == nullptr) {
    target = targets::forRadioValue(
        common::checkedNumber(window, converterControls().option("device"), kDeviceHalvoran));
  }
  return target == nullptr ? std::string() : bendRangeRefusal(*target, parsed.bendRange);
}

// The grammar of quorvel-cli; the options' actions fill `result` (none for the help text).
terminal::ProgramLine quorvelLine(std::string program, ArgumentResult* result) {
  terminal::ProgramLine line;
  line.name = std::move(program);
  line.model = &converterControls();
  line.helpColumn = 23;
  line.extras.push_back(outputOption("render", "OUT.wav",
                                     "also render the MIDI file with the built-in sine\n"
                                     "SoundFont into a 44.1 kHz 16-bit WAVE, by default\n"
                                     "NAME-rendered.wav beside the MIDI file",
                                     result ? &result->render : nullptr,
                                     result ? &result->renderPath : nullptr));
  line.extras.push_back({.name = "keep-lead-in",
                         .help = "keep the silent set-up before the first note in the\n"
                                 "rendering (default: cut)",
                         .apply = [result](const std::string&, bool) {
                           if (result) result->keepLeadIn = true;
                           return std::string();
                         }});
  line.extras.push_back({.name = "output",
                         .aliases = {"-o"},
                         .value = Value::Required,
                         .valueName = "FILE",
                         .help = "write the MIDI file as FILE instead of beside the input\n"
                                 "(a single input only)",
                         .apply = [result](const std::string& value, bool) {
                           if (value.empty()) return std::string("--output needs a name");
                           if (result) result->outputPath = value;
                           return std::string();
                         }});
  line.radioValue = [result](const common::ControlOption& option, const std::string& value,
                             std::string& error) {
    return result != nullptr &&
           (takeTarget(option, value, *result) || takeVoiceCount(option, value, *result, error));
  };
  line.extras.push_back({.name = "budget",
                         .value = Value::Required,
                         .valueName = "din|BYTES",
                         .help = "keep the MIDI stream within what a cable carries in\n"
                                 "any 100 ms: din (3125 bytes a second) or BYTES a\n"
                                 "second (1000 to 1000000), thinning level and bend\n"
                                 "updates; a summary goes to stderr",
                         .apply = [result](const std::string& value, bool) {
                           const int32_t budget = parseCableBudget(value);
                           if (budget == 0) return cableBudgetRefusal(value);
                           if (result) result->budget = budget;
                           return std::string();
                         }});
  line.extras.push_back({.name = "bend-range",
                         .value = Value::Required,
                         .valueName = "N",
                         .help = "pitch-bend range in semitones: 2, 12, 24 (default) or\n"
                                 "48 (the default for --device mpe); GS modules and gm\n"
                                 "take up to 24",
                         .apply = [result](const std::string& value, bool) {
                           for (const int32_t allowed : {2, 12, 24, 48}) {
                             if (value == std::to_string(allowed)) {
                               if (result) result->bendRange = allowed;
                               return std::string();
                             }
                           }
                           return "invalid value for --bend-range: '" + value +
                                  "' (choose 2, 12, 24 or 48)";
                         }});
  line.extras.push_back({.name = "soundfont",
                         .value = Value::Required,
                         .valueName = "FILE.sf2",
                         .help = "render (--render, --plot) with this SoundFont instead\n"
                                 "of the built-in sine SoundFont",
                         .apply = [result](const std::string& value, bool) {
                           if (value.empty()) return std::string("--soundfont needs a name");
                           if (result) result->soundFont = value;
                           return std::string();
                         }});
  line.extras.push_back(outputOption("plot", "OUT.png",
                                     "also draw the rendering's spectrogram with the partial\n"
                                     "tracks of the DAT over it, by default\n"
                                     "NAME-rendered.png beside the MIDI file",
                                     result ? &result->plot : nullptr,
                                     result ? &result->plotPath : nullptr));
  line.extras.push_back({.name = "quiet",
                         .aliases = {"-q"},
                         .help = "no progress display of the rendering on stderr",
                         .apply = [result](const std::string&, bool) {
                           if (result) result->quiet = true;
                           return std::string();
                         }});
  addMergeOptions(line, result);
  addLiveOptions(line, result);
  return line;
}

// What --budget did to one file, in English, for stderr.
std::string budgetLine(const std::string& file, bool batch, const CableBudgetReport& r) {
  return (batch ? file + ": " : std::string()) + cableBudgetSummary(r) + "\n";
}

}  // namespace

TerminalWindow::TerminalWindow(std::ostream& out, std::ostream& err)
    : MapEnvironment(converterControls()), out_(out), err_(err) {}

void TerminalWindow::showMessage(std::string_view text, common::MessageIcon) {
  lastMessage_ = std::string(text);
  if (holdSuccess_ && text == msg::kFinished) return;
  const common::WriteFailure& failure = common::lastWriteFailure();
  const terminal::OutcomeLines lines = terminal::outcomeLines(
      prefix_, text, msg::writeFailureLine(text, failure.path, failure.reason));
  out_ << lines.out << std::flush;
  err_ << lines.err << std::flush;
}

bool TerminalWindow::succeeded() const {
  return lastMessage_ == msg::kFinished;
}

std::string usageText(std::string_view program) {
  std::string text;
  text += "Usage: ";
  text += program;
  text += R"( [OPTIONS] FILE...

Converts the DAT note-frame file FILE into a Standard MIDI File beside it (the
last three characters of FILE replaced by "mid"). FILE must end in "dat" (any
case). The options are those of the converter window, with its defaults:

)";
  text += terminal::optionHelp(quorvelLine(std::string(program), nullptr));
  text += R"(
--device also takes gm (a General MIDI module: GM System On, no GS messages) and
mpe (an MPE lower zone: the zone set up on channel 1, one voice per member
channel from 2 up, levels as channel pressure), which the window does not offer.

A FILE ending in ".wdat" is a wide note-frame file (up to 15 voices at 60, 120
or 240 frames a second; "x.wdat" gives "x.mid"). For it --polyphony may be 1 to
15, at most the file's voices when above 6, and --channels 1 to 15, at least the
polyphony; the channel tracks use MIDI channels 1-9 and 11-16, never 10.

TEXT values are read exactly as the window reads its fields: leading blanks are
skipped and the longest number at the start is taken (so "120abc" is 120 and
an empty text is 0); time base and note start are read as whole numbers.
Options may also be written as --option=VALUE; values may be given in any case;
"--" ends the options.

The final message is printed on one line: on standard output for success, on
standard error otherwise, followed there by one line saying in English what it
means. Several FILEs are converted one after another, each outcome line then
starting with the file's name; Ctrl-C skips the files not yet begun.

With --merge-into the speech is added to a copy of the song: the song's tracks
unchanged, the speech's tracks on channels the song does not use (never 10),
each frame at its time through the song's tempo changes and the set-up before
the first frame. The module reset (GS reset, master volume) is not added, since
it would undo the song's own set-up; --tempo, --time-base and --note-start do
not apply. Too few free channels or a song that is not a MIDI file: exit 1.

Exit status: 0 success, 1 refusal or failure, 2 usage error, 130 interrupted;
for several FILEs the worst of these, in the order 2, 130, 1, 0.
)";
  return text;
}

ArgumentResult parseArguments(const std::vector<std::string>& args, TerminalWindow& window) {
  ArgumentResult result;
  const terminal::ParsedLine parsed =
      terminal::parseLine(quorvelLine("quorvel-cli", &result), args, window);
  result.error = parsed.error;
  result.files = parsed.files;
  switch (parsed.outcome) {
    case terminal::LineOutcome::Run:
      result.outcome = ArgumentOutcome::Run;
      break;
    case terminal::LineOutcome::Help:
      result.outcome = ArgumentOutcome::Help;
      break;
    case terminal::LineOutcome::Version:
      result.outcome = ArgumentOutcome::Version;
      break;
    case terminal::LineOutcome::UsageError:
      result.outcome = ArgumentOutcome::UsageError;
      break;
  }
  return result;
}

void TerminalWindow::reportFailure(std::string_view text, std::string_view english) {
  err_ << terminal::outcomeLines(prefix_, text, english).err << std::flush;
}

void TerminalWindow::printHeldSuccess() {
  if (lastMessage_ == msg::kFinished) out_ << prefix_ << msg::kFinished << "\n" << std::flush;
}

int runQuorvelCli(const std::vector<std::string>& args, std::ostream& out, std::ostream& err,
                  const QuorvelMedia& media, bool progress) {
  const std::string program = terminal::baseName(args.empty() ? "" : args[0], "quorvel-cli");
  TerminalWindow window(out, err);
  const ArgumentResult parsed = parseArguments(
      std::vector<std::string>(args.begin() + (args.empty() ? 0 : 1), args.end()), window);
  switch (parsed.outcome) {
    case ArgumentOutcome::Help:
      out << usageText(program);
      return 0;
    case ArgumentOutcome::Version:
      out << terminal::versionText(program);
      return 0;
    case ArgumentOutcome::UsageError:
      err << terminal::usageErrorText(program, parsed.error);
      return 2;
    case ArgumentOutcome::Run:
      break;
  }
  const auto usageError = [&](const std::string& text) {
    err << terminal::usageErrorText(program, text);
    return 2;
  };
  if (parsed.listPorts) {
    if (!parsed.files.empty()) return usageError("--list-ports takes no FILE");
    return terminal::listPortsCommand(program, out, err);
  }
  const bool playMidi = parsed.play && parsed.files.size() == 1 &&
                        terminal::isMidiPath(common::trimTrailingSpace(parsed.files.front()));
  if (parsed.play && !parsed.mergeSong.empty()) {
    return usageError("--play does not apply to --merge-into (play the merged file with --play)");
  }
  if (parsed.play && parsed.files.size() != 1) return usageError("--play takes a single FILE");
  if (playMidi && (parsed.render || parsed.plot || !parsed.outputPath.empty())) {
    return usageError("a .mid FILE is only played: no --render, --plot or --output");
  }
  std::unique_ptr<ports::MidiOut> port;
  if (parsed.play) {
    ports::OpenedPort opened = ports::openMidiPort(parsed.playPort);
    if (!opened.port) {
      err << program << ": " << opened.error << "\n";
      return 1;
    }
    port = std::move(opened.port);
  }
  if (parsed.render && !media.render) return usageError(terminal::noMediaError("--render"));
  if (parsed.plot && !media.plot) return usageError(terminal::noMediaError("--plot"));
  if (parsed.files.size() > 1 && !parsed.renderPath.empty()) {
    return usageError(terminal::oneOutputError("--render"));
  }
  if (parsed.files.size() > 1 && !parsed.plotPath.empty()) {
    return usageError(terminal::oneOutputError("--plot"));
  }
  if (parsed.files.size() > 1 && !parsed.outputPath.empty()) {
    return usageError(terminal::oneOutputError("--output"));
  }
  for (const std::string& file : parsed.files) {
    // The picture reads its tracks from a DAT file.
    if (parsed.plot && common::isWidePath(file)) {
      return usageError("--plot draws the tracks of a DAT file, not of a .wdat file");
    }
  }
  if (const std::string range = bendRangeError(parsed, window); !range.empty()) {
    return usageError(range);
  }
  if (!parsed.soundFont.empty()) {
    if (!parsed.render && !parsed.plot) return usageError("--soundfont needs --render or --plot");
    // Refused before anything is written.
    if (const std::string problem =
            media.soundFontProblem ? media.soundFontProblem(parsed.soundFont) : std::string();
        !problem.empty()) {
      err << program << ": cannot use the SoundFont: " << problem << "\n";
      return 1;
    }
  }
  for (const std::string* beyond :
       {&parsed.polyphonyBeyondButtons, &parsed.channelsBeyondButtons}) {
    for (const std::string& file : parsed.files) {
      if (!beyond->empty() && !common::isWidePath(file)) return usageError(*beyond);
    }
  }

  if (!parsed.mergeSong.empty() || !parsed.mergeAt.empty()) {
    if (parsed.budget > 0) return usageError("--budget does not apply to --merge-into");
    return runSongMerge(parsed, window, program, err);
  }

  const bool batch = parsed.files.size() > 1;
  if (batch) {
    // The MIDI files and, with --render or --plot, their renderings and pictures.
    const std::string shared = terminal::sharedOutputs(parsed.files, [&](const std::string& f) {
      std::vector<std::string> outputs{outputPathFor(std::string(common::trimTrailingSpace(f)))};
      if (parsed.render) outputs.push_back(media.renderedPathFor(outputs.front()));
      if (parsed.plot) outputs.push_back(media.plotPathFor(outputs.front()));
      return outputs;
    });
    if (!shared.empty()) return usageError(shared);
  }
  const bool withMedia = parsed.render || parsed.plot;
  // One conversion takes moments, so Ctrl-C is a flag only in a batch, where it skips the
  // files not yet begun, and while rendering, which it cancels; a single run without them ends
  // at Ctrl-C as it always has.
  if (batch || withMedia) terminal::installInterruptHandler();
  terminal::installDurableWrites();
  terminal::ProgressLine bar([&err](const std::string& text) { err << text << std::flush; },
                             progress && !parsed.quiet);
  window.holdSuccess(withMedia);
  ConverterCommand command(window);
  command.setWideVoices(parsed.polyphony, parsed.channels);
  command.setOutputPath(parsed.outputPath);
  command.setCableBudget(parsed.budget);
  command.setTarget(parsed.target, parsed.bendRange);
  int status = 0;
  for (const std::string& file : playMidi ? std::vector<std::string>() : parsed.files) {
    if (batch && terminal::interruptReceived()) {
      status = terminal::worseStatus(status, 130);
      break;
    }
    window.setControlText(kDatFileField, file);
    window.setLinePrefix(batch ? file + ": " : std::string());
    window.clearLastMessage();
    common::lastWriteFailure() = {};
    command.convert();
    status = terminal::worseStatus(status, window.succeeded() ? 0 : 1);
    if (window.succeeded() && parsed.budget > 0)
      err << budgetLine(file, batch, command.cableReport());
    if (!window.succeeded() || !withMedia) continue;

    QuorvelMedia::Job job;
    job.datPath = std::string(common::trimTrailingSpace(file));
    job.midiPath = parsed.outputPath.empty() ? outputPathFor(job.datPath) : parsed.outputPath;
    job.keepLeadIn = parsed.keepLeadIn;
    job.soundFont = parsed.soundFont;
    job.startTick = common::parseInteger(window.controlText(kNoteStartField));
    job.cancel = &terminal::interruptFlag();
    job.progress = [&bar](double fraction, double secondsLeft) {
      if (secondsLeft >= 0) bar.draw(analyser::remainingLabel(secondsLeft), fraction);
    };
    std::vector<std::string> written{job.midiPath};
    common::lastWriteFailure() = {};
    std::string failure;
    if (parsed.render) {
      job.outputPath =
          parsed.renderPath.empty() ? media.renderedPathFor(job.midiPath) : parsed.renderPath;
      failure = media.render(job);
      if (failure.empty()) written.push_back(job.outputPath);
    }
    if (failure.empty() && parsed.plot) {
      job.outputPath = parsed.plotPath.empty() ? media.plotPathFor(job.midiPath) : parsed.plotPath;
      failure = media.plot(job);
    }
    bar.clear();
    if (failure.empty()) {
      window.printHeldSuccess();
      continue;
    }
    // The failure replaces the success message, and its English line says what was written
    // and what was not.
    std::string why;
    if (failure == msg::kAudioTooLong) {
      why = msg::renderTooLongMeaning(media.maxRenderSeconds);
    } else if (failure == msg::kCancelled) {
      why = "cancelled";
    } else {
      const common::WriteFailure& writeFailure = common::lastWriteFailure();
      why = msg::writeFailureLine(failure, writeFailure.path, writeFailure.reason);
    }
    std::string done = written.front();
    if (written.size() > 1) done += " and " + written.back();
    window.reportFailure(failure, msg::partlyWrittenLine(why, done, job.outputPath));
    status = terminal::worseStatus(status, terminal::outcomeStatus(failure));
  }
  if (port && status == 0) status = playAfter(parsed, program, *port, bar, err);
  return status;
}

}  // namespace quorvel_terminal
