#include "quorvel_terminal.h"

#include <ostream>

#include "command_line.h"
#include "converter_window.h"
#include "message_glosses.h"
#include "messages.h"

namespace quorvel_terminal {

namespace {

using namespace midibuilder;

terminal::ProgramLine quorvelLine(std::string program) {
  terminal::ProgramLine line;
  line.name = std::move(program);
  line.model = &converterControls();
  line.helpColumn = 23;
  return line;
}

}  // namespace

TerminalWindow::TerminalWindow(std::ostream& out, std::ostream& err)
    : MapEnvironment(converterControls()), out_(out), err_(err) {}

void TerminalWindow::showMessage(std::string_view text, common::MessageIcon) {
  lastMessage_ = std::string(text);
  const terminal::OutcomeLines lines =
      terminal::outcomeLines(prefix_, text, msg::glossLine(text, "", false));
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
  text += terminal::optionHelp(quorvelLine(std::string(program)));
  text += R"(
TEXT values are read exactly as the window reads its fields: leading blanks are
skipped and the longest number at the start is taken (so "120abc" is 120 and
an empty text is 0); time base and note start are read as whole numbers.
Options may also be written as --option=VALUE; values may be given in any case;
"--" ends the options.

The final message is printed on one line: on standard output for success, on
standard error otherwise, followed there by one line saying in English what it
means. Several FILEs are converted one after another, each outcome line then
starting with the file's name; Ctrl-C skips the files not yet begun.

Exit status: 0 success, 1 refusal or failure, 2 usage error, 130 interrupted;
for several FILEs the worst of these, in the order 2, 130, 1, 0.
)";
  return text;
}

ArgumentResult parseArguments(const std::vector<std::string>& args, TerminalWindow& window) {
  const terminal::ParsedLine parsed = terminal::parseLine(quorvelLine("quorvel-cli"), args, window);
  ArgumentResult result;
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

int runQuorvelCli(const std::vector<std::string>& args, std::ostream& out, std::ostream& err) {
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

  const bool batch = parsed.files.size() > 1;
  // One conversion takes moments, so Ctrl-C is a flag only in a batch, where it skips the
  // files not yet begun; a single run ends at Ctrl-C as it always has.
  if (batch) terminal::installInterruptHandler();
  ConverterCommand command(window);
  int status = 0;
  for (const std::string& file : parsed.files) {
    if (batch && terminal::interruptReceived()) {
      status = terminal::worseStatus(status, 130);
      break;
    }
    window.setControlText(kDatFileField, file);
    window.setLinePrefix(batch ? file + ": " : std::string());
    window.clearLastMessage();
    command.convert();
    status = terminal::worseStatus(status, window.succeeded() ? 0 : 1);
  }
  return status;
}

}  // namespace quorvel_terminal
