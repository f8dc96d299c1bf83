// Quorvel's terminal front end: the converter window's controls filled from the command line,
// and the final message printed on one line (stdout for success, stderr otherwise, followed
// there by its English gloss).
#pragma once

#include <iosfwd>
#include <string>
#include <string_view>
#include <vector>

#include "cli_common.h"
#include "control_model.h"
#include "environment.h"

namespace quorvel_terminal {

class TerminalWindow : public common::MapEnvironment<> {
 public:
  // Starts with the window's defaults.
  TerminalWindow(std::ostream& out, std::ostream& err);

  void showMessage(std::string_view text, common::MessageIcon icon) override;

  // Starts every printed line (the file name in a batch).
  void setLinePrefix(std::string prefix) { prefix_ = std::move(prefix); }

  // The message shown last, and whether it was the success message.
  const std::string& lastMessage() const { return lastMessage_; }
  void clearLastMessage() { lastMessage_.clear(); }
  bool succeeded() const;

 private:
  std::ostream& out_;
  std::ostream& err_;
  std::string prefix_;
  std::string lastMessage_;
};

enum class ArgumentOutcome { Run, Help, Version, UsageError };

struct ArgumentResult {
  ArgumentOutcome outcome = ArgumentOutcome::Run;
  std::string error;               // for UsageError
  std::vector<std::string> files;  // for Run
};

// Reads the options into the window's controls and returns the FILE arguments.
ArgumentResult parseArguments(const std::vector<std::string>& args, TerminalWindow& window);

std::string usageText(std::string_view program);

// The whole program: parse, convert every FILE, report. Returns the exit status (0 success,
// 1 refusal or failure, 2 usage error, 130 interrupted; the worst of them for several FILEs).
int runQuorvelCli(const std::vector<std::string>& args, std::ostream& out, std::ostream& err);

}  // namespace quorvel_terminal
