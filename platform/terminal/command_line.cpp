#include "command_line.h"

namespace terminal {

namespace {

using common::ControlKind;
using common::ControlOption;

// Sets the control that `option` stands for to `value`; "" or what is wrong.
std::string applyControl(const ControlOption& option, std::string_view spelling,
                         const std::string& value, common::ControlState& controls) {
  if (option.kind == ControlKind::Text) {
    controls.texts[option.textId] = value;
    return {};
  }
  const common::RadioChoice* choice = option.choice(value);
  if (choice == nullptr) {
    return "invalid value for " + std::string(spelling) + ": '" + value + "' (choose " +
           option.valueList() + ")";
  }
  controls.check(choice->id);
  return {};
}

bool matches(std::string_view spelling, std::string_view name,
             const std::vector<std::string_view>& aliases) {
  if (spelling.size() == name.size() + 2 && spelling.substr(0, 2) == "--" &&
      spelling.substr(2) == name) {
    return true;
  }
  for (std::string_view a : aliases) {
    if (a == spelling) return true;
  }
  return false;
}

void appendEntry(std::string& out, std::string spelling, std::string_view help,
                 std::size_t column) {
  out += "  ";
  out += spelling;
  std::size_t used = 2 + spelling.size();
  std::size_t start = 0;
  bool first = true;
  do {
    const std::size_t end = help.find('\n', start);
    const std::string_view part =
        help.substr(start, end == std::string_view::npos ? std::string_view::npos : end - start);
    // A spelling too long for the column gets its description on the next line.
    if (!first || used + 1 > column) {
      out += '\n';
      used = 0;
    }
    out.append(column - used, ' ');
    out += part;
    first = false;
    start = end == std::string_view::npos ? help.size() + 1 : end + 1;
  } while (start <= help.size());
  out += '\n';
}

std::string spellingOf(std::string_view name, const std::vector<std::string_view>& aliases,
                       std::string_view valueText, bool optionalValue) {
  std::string s = "--" + std::string(name);
  if (!valueText.empty()) s += (optionalValue ? "[=" : " ") + std::string(valueText);
  if (optionalValue && !valueText.empty()) s += "]";
  for (std::string_view a : aliases) {
    // Other long spellings are kept out of the list: they are there for old habits.
    if (a.size() == 2) s += ", " + std::string(a);
  }
  return s;
}

}  // namespace

ParsedLine parseLine(const ProgramLine& line, const std::vector<std::string>& args,
                     common::ControlState& controls) {
  ParsedLine result;
  const auto usageError = [&result](std::string text) {
    result.outcome = LineOutcome::UsageError;
    result.error = std::move(text);
    result.files.clear();
    return result;
  };
  bool optionsEnded = false;
  for (std::size_t i = 0; i < args.size(); ++i) {
    const std::string& arg = args[i];
    // A lone "-" is a file name, as it has always been here.
    if (optionsEnded || arg.size() < 2 || arg[0] != '-') {
      result.files.push_back(arg);
      continue;
    }
    if (arg == "--") {
      optionsEnded = true;
      continue;
    }
    if (arg == "-h" || arg == "--help") {
      result.outcome = LineOutcome::Help;
      result.files.clear();
      return result;
    }
    if (arg == "--version") {
      result.outcome = LineOutcome::Version;
      result.files.clear();
      return result;
    }

    std::string spelling = arg;
    std::string value;
    bool haveValue = false;
    const std::size_t eq = arg.find('=');
    if (arg.rfind("--", 0) == 0 && eq != std::string::npos) {
      spelling = arg.substr(0, eq);
      value = arg.substr(eq + 1);
      haveValue = true;
    }

    if (const ControlOption* option = line.model ? line.model->find(spelling) : nullptr) {
      if (option->isFlag()) {
        if (haveValue) return usageError("option " + spelling + " takes no value");
        value = std::string(option->flagValue);
      } else if (!haveValue) {
        if (i + 1 >= args.size()) return usageError("option " + spelling + " needs a value");
        value = args[++i];
      }
      std::string error;
      if (option->kind == ControlKind::Radio && line.radioValue &&
          line.radioValue(*option, value, error)) {
        if (!error.empty()) return usageError(std::move(error));
        continue;
      }
      error = applyControl(*option, spelling, value, controls);
      if (!error.empty()) return usageError(std::move(error));
      continue;
    }

    const ExtraOption* extra = nullptr;
    for (const ExtraOption& e : line.extras) {
      if (matches(spelling, e.name, e.aliases)) extra = &e;
    }
    if (extra == nullptr) return usageError("unknown option: " + spelling);
    switch (extra->value) {
      case ExtraOption::Value::None:
        if (haveValue) return usageError("option " + spelling + " takes no value");
        break;
      case ExtraOption::Value::Required:
        if (!haveValue) {
          if (i + 1 >= args.size()) return usageError("option " + spelling + " needs a value");
          value = args[++i];
          haveValue = true;
        }
        break;
      case ExtraOption::Value::Optional:
        break;
    }
    if (extra->apply) {
      std::string error = extra->apply(value, haveValue);
      if (!error.empty()) return usageError(std::move(error));
    }
  }
  if (result.files.empty() && !(line.filesOptional && line.filesOptional())) {
    return usageError("no FILE given");
  }
  return result;
}

std::string optionHelp(const ProgramLine& line) {
  std::string out;
  if (line.model != nullptr) {
    for (const ControlOption& o : line.model->options) {
      std::string valueText;
      if (!o.isFlag()) valueText = o.valueName.empty() ? o.valueList() : std::string(o.valueName);
      appendEntry(out, spellingOf(o.name, o.aliases, valueText, false), o.help, line.helpColumn);
    }
  }
  for (const ExtraOption& e : line.extras) {
    appendEntry(
        out,
        spellingOf(e.name, e.aliases, e.value == ExtraOption::Value::None ? "" : e.valueName,
                   e.value == ExtraOption::Value::Optional),
        e.help, line.helpColumn);
  }
  appendEntry(out, "--version", "print the program's name and version and exit", line.helpColumn);
  appendEntry(out, "--help, -h", "show this text and exit", line.helpColumn);
  return out;
}

std::string usageErrorText(std::string_view program, std::string_view error) {
  std::string text(program);
  text += ": ";
  text += error;
  text += "\nTry '";
  text += program;
  text += " --help'.\n";
  return text;
}

std::string baseName(const std::string& argv0, std::string_view fallback) {
#ifdef _WIN32
  // Windows hands over the full path, with either separator, and the .exe suffix.
  std::size_t start = argv0.find_last_of("/\\");
#else
  std::size_t start = argv0.find_last_of('/');
#endif
  start = start == std::string::npos ? 0 : start + 1;
  std::string name = argv0.substr(start);
#ifdef _WIN32
  if (name.size() > 4) {
    std::string suffix = name.substr(name.size() - 4);
    for (char& c : suffix) c = static_cast<char>(c >= 'A' && c <= 'Z' ? c - 'A' + 'a' : c);
    if (suffix == ".exe") name.resize(name.size() - 4);
  }
#endif
  return name.empty() ? std::string(fallback) : name;
}

}  // namespace terminal
