#include "quorvel_terminal.h"

#include <ostream>

#include "converter_window.h"
#include "messages.h"

namespace quorvel_terminal {

namespace {

using namespace midibuilder;

// The radio groups as (first id, last id).
struct Group {
  int first, last;
};
constexpr Group kGroups[] = {{kPolyphony4, kPolyphony6},
                             {kPitchSortOn, kPitchSortOff},
                             {kChannels4, kChannels8},
                             {kHalvoran, kMsgs}};

struct Choice {
  std::string_view name;
  int id;
};
constexpr Choice kPolyphonyChoices[] = {{"4", kPolyphony4}, {"5", kPolyphony5}, {"6", kPolyphony6}};
constexpr Choice kChannelChoices[] = {
    {"4", kChannels4}, {"5", kChannels5}, {"6", kChannels6}, {"7", kChannels7}, {"8", kChannels8}};
constexpr Choice kDeviceChoices[] = {
    {"halvoran", kHalvoran}, {"sc-88", kSc88}, {"sc-8850", kSc8850}, {"msgs", kMsgs}};
constexpr Choice kSortChoices[] = {{"on", kPitchSortOn}, {"off", kPitchSortOff}};

template <std::size_t N>
bool pick(const Choice (&choices)[N], std::string_view value, TerminalWindow& window) {
  for (const Choice& c : choices) {
    if (c.name == value) {
      window.checkRadio(c.id);
      return true;
    }
  }
  return false;
}

}  // namespace

TerminalWindow::TerminalWindow(std::ostream& out, std::ostream& err) : out_(out), err_(err) {
  texts_[kTempoField] = kDefaultTempoText;
  texts_[kTimeBaseField] = kDefaultTimeBaseText;
  texts_[kNoteStartField] = kDefaultNoteStartText;
  checked_ = {kPolyphony6, kPitchSortOn, kChannels6, kHalvoran};
}

std::string TerminalWindow::controlText(int id) const {
  const auto it = texts_.find(id);
  return it == texts_.end() ? std::string() : it->second;
}

void TerminalWindow::setControlText(int id, std::string_view text) {
  texts_[id] = std::string(text);
}

bool TerminalWindow::isRadioChecked(int id) const {
  return checked_.count(id) != 0;
}

void TerminalWindow::checkRadio(int id) {
  for (const Group& g : kGroups) {
    if (id >= g.first && id <= g.last) {
      for (int i = g.first; i <= g.last; ++i) checked_.erase(i);
    }
  }
  checked_.insert(id);
}

void TerminalWindow::showMessage(std::string_view text, common::MessageIcon) {
  lastMessage_ = std::string(text);
  (succeeded() ? out_ : err_) << text << '\n' << std::flush;
}

bool TerminalWindow::succeeded() const {
  return lastMessage_ == msg::kFinished;
}

std::string usageText(std::string_view program) {
  std::string text;
  text += "Usage: ";
  text += program;
  text += R"( [OPTIONS] FILE

Converts the DAT note-frame file FILE into a Standard MIDI File beside it (the
last three characters of FILE replaced by "mid"). FILE must end in "dat" (any
case). The options are those of the converter window, with its defaults:

  --tempo TEXT         tempo in quarter notes per minute, 30 to 1000, fractions
                       allowed (default 120.0)
  --time-base TEXT     ticks per quarter note, 24 to 65535 (default 480)
  --note-start TEXT    tick of the first frame, at least twice the time base
                       (default 1920)
  --polyphony 4|5|6    voices played (default 6)
  --channels 4|5|6|7|8 MIDI channels used, at least the polyphony (default 6)
  --device halvoran|sc-88|sc-8850|msgs
                       sound module the file is set up for (default halvoran)
  --pitch-sort on|off  reorder voices to follow continuous pitches (default on)
  -h, --help           show this text and exit

TEXT values are read exactly as the window reads its fields: leading blanks are
skipped and the longest number at the start is taken (so "120abc" is 120 and
an empty text is 0); time base and note start are read as whole numbers.
Options may also be written as --option=VALUE; "--" ends the options.

The final message is printed on one line: on standard output for success, on
standard error otherwise. Exit status: 0 success, 1 refusal or failure, 2 usage
error.
)";
  return text;
}

ArgumentResult parseArguments(const std::vector<std::string>& args, TerminalWindow& window) {
  const auto usageError = [](std::string text) {
    return ArgumentResult{ArgumentOutcome::UsageError, std::move(text)};
  };
  bool haveFile = false;
  bool optionsEnded = false;
  for (std::size_t i = 0; i < args.size(); ++i) {
    const std::string& arg = args[i];
    if (optionsEnded || arg.size() < 2 || arg[0] != '-') {
      if (haveFile) return usageError("more than one FILE given: " + arg);
      window.setControlText(kDatFileField, arg);
      haveFile = true;
      continue;
    }
    if (arg == "--") {
      optionsEnded = true;
      continue;
    }
    if (arg == "-h" || arg == "--help") return {ArgumentOutcome::Help, {}};

    std::string name = arg;
    std::string value;
    bool haveValue = false;
    const std::size_t eq = arg.find('=');
    if (arg.rfind("--", 0) == 0 && eq != std::string::npos) {
      name = arg.substr(0, eq);
      value = arg.substr(eq + 1);
      haveValue = true;
    }
    const bool known = name == "--tempo" || name == "--time-base" || name == "--note-start" ||
                       name == "--polyphony" || name == "--channels" || name == "--device" ||
                       name == "--pitch-sort";
    if (!known) return usageError("unknown option: " + name);
    if (!haveValue) {
      if (i + 1 >= args.size()) return usageError("option " + name + " needs a value");
      value = args[++i];
    }
    if (name == "--tempo") {
      window.setControlText(kTempoField, value);
    } else if (name == "--time-base") {
      window.setControlText(kTimeBaseField, value);
    } else if (name == "--note-start") {
      window.setControlText(kNoteStartField, value);
    } else {
      bool ok = false;
      if (name == "--polyphony") ok = pick(kPolyphonyChoices, value, window);
      if (name == "--channels") ok = pick(kChannelChoices, value, window);
      if (name == "--device") ok = pick(kDeviceChoices, value, window);
      if (name == "--pitch-sort") ok = pick(kSortChoices, value, window);
      if (!ok) return usageError("invalid value for " + name + ": " + value);
    }
  }
  if (!haveFile) return usageError("no FILE given");
  return {};
}

int runQuorvelCli(const std::vector<std::string>& args, std::ostream& out, std::ostream& err) {
  const std::string program = args.empty() ? "quorvel-cli" : args[0];
  TerminalWindow window(out, err);
  const ArgumentResult parsed = parseArguments(
      std::vector<std::string>(args.begin() + (args.empty() ? 0 : 1), args.end()), window);
  if (parsed.outcome == ArgumentOutcome::Help) {
    out << usageText(program);
    return 0;
  }
  if (parsed.outcome == ArgumentOutcome::UsageError) {
    err << program << ": " << parsed.error << "\n"
        << "Try '" << program << " --help' for more information.\n";
    return 2;
  }
  ConverterCommand command(window);
  command.convert();
  return window.succeeded() ? 0 : 1;
}

}  // namespace quorvel_terminal
