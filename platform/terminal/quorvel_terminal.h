// Quorvel's terminal front end: the converter window's controls filled from the command line,
// and the final message printed on one line (stdout for success, stderr otherwise).
#pragma once

#include <iosfwd>
#include <map>
#include <set>
#include <string>
#include <string_view>
#include <vector>

#include "environment.h"

namespace quorvel_terminal {

class TerminalWindow : public common::Environment {
 public:
  // Starts with the window's defaults.
  TerminalWindow(std::ostream& out, std::ostream& err);

  std::string controlText(int id) const override;
  void setControlText(int id, std::string_view text) override;
  bool isRadioChecked(int id) const override;
  void showMessage(std::string_view text, common::MessageIcon icon) override;

  // Checks `id` and clears the other buttons of its group.
  void checkRadio(int id);

  // The message shown last, and whether it was the success message.
  const std::string& lastMessage() const { return lastMessage_; }
  bool succeeded() const;

 private:
  std::ostream& out_;
  std::ostream& err_;
  std::map<int, std::string> texts_;
  std::set<int> checked_;
  std::string lastMessage_;
};

enum class ArgumentOutcome { Run, Help, UsageError };

struct ArgumentResult {
  ArgumentOutcome outcome = ArgumentOutcome::Run;
  std::string error;  // for UsageError
};

// Reads the options and the file name into the window's controls.
ArgumentResult parseArguments(const std::vector<std::string>& args, TerminalWindow& window);

std::string usageText(std::string_view program);

// The whole program: parse, convert, report. Returns the exit status (0 success, 1 refusal or
// failure, 2 usage error).
int runQuorvelCli(const std::vector<std::string>& args, std::ostream& out, std::ostream& err);

}  // namespace quorvel_terminal
