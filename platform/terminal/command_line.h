// The command-line grammar both terminal programs share, driven by a program's control model:
// `--opt VALUE` and `--opt=VALUE`, radio values in any case, `--` ends the options, and
// every other argument is a FILE. Options of the terminal alone (quiet, threads, rendering...)
// are described beside the model in the same way.
#pragma once

#include <functional>
#include <string>
#include <string_view>
#include <vector>

#include "control_model.h"

namespace terminal {

// An option of the command line that is not a window control.
struct ExtraOption {
  enum class Value {
    None,      // --opt
    Required,  // --opt VALUE or --opt=VALUE
    Optional,  // --opt or --opt=VALUE (a following argument is never taken as its value)
  };
  std::string_view name{};  // without "--"
  std::vector<std::string_view> aliases{};
  Value value = Value::None;
  std::string_view valueName{};
  std::string_view help{};
  // Takes the option; returns "" or what is wrong (a usage error). `given` says whether a value
  // came with it (always true for Required, never for None).
  std::function<std::string(const std::string& value, bool given)> apply{};
};

struct ProgramLine {
  std::string name;     // base name of the program, for messages
  std::string version;  // printed by --version
  const common::ControlModel* model = nullptr;
  std::vector<ExtraOption> extras;  // listed after the model's options
  std::size_t helpColumn = 19;      // where the option descriptions start in --help
  // Sees every value given for a radio option before the model does: returns true when the
  // program takes the value itself (setting `error` when it refuses it), false to leave it to
  // the model's buttons.
  std::function<bool(const common::ControlOption& option, const std::string& value,
                     std::string& error)>
      radioValue{};
  // Asked once the options are read: true when the run needs no FILE (a listing).
  std::function<bool()> filesOptional{};
};

enum class LineOutcome { Run, Help, Version, UsageError };

struct ParsedLine {
  LineOutcome outcome = LineOutcome::Run;
  std::string error;               // for UsageError: what was wrong, one line
  std::vector<std::string> files;  // the FILE arguments in order
};

// Parses `args` (without the program name), setting the model's controls in `controls`.
ParsedLine parseLine(const ProgramLine& line, const std::vector<std::string>& args,
                     common::ControlState& controls);

// The option list of --help: one entry per option, descriptions from `helpColumn`.
std::string optionHelp(const ProgramLine& line);

// The two lines of a usage error.
std::string usageErrorText(std::string_view program, std::string_view error);

// The program's name for messages: the last component of argv[0] ("" gives `fallback`).
std::string baseName(const std::string& argv0, std::string_view fallback);

}  // namespace terminal
