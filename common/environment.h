// What a convert command needs from its front end (the Qt windows, the terminal, or a scripted
// fake in tests). The convert commands know controls only by their numeric ids.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

namespace common {

enum class MessageIcon { None, Exclamation };

class Environment {
 public:
  virtual ~Environment() = default;

  // Text of a text field (UTF-8), as typed.
  virtual std::string controlText(int id) const = 0;
  virtual void setControlText(int id, std::string_view text) = 0;
  virtual bool isRadioChecked(int id) const = 0;
  // A message box owned by the main window, OK button only, titled with the program's name.
  virtual void showMessage(std::string_view text, MessageIcon icon) = 0;
};

// The analyser's extra needs: clocks, the progress window and message pumping during the
// extraction.
class ProgressEnvironment : public Environment {
 public:
  // Ticks per second of a monotonic high-resolution counter; false when there is none.
  virtual bool counterFrequency(int64_t& ticksPerSecond) = 0;
  virtual int64_t counterNow() = 0;
  // Milliseconds of a monotonic process clock.
  virtual int32_t clockMillis() = 0;

  // Opens the progress window; false when it could not be created (the conversion then runs
  // without it).
  virtual bool openProgressWindow() = 0;
  // Closes it if it is still open (the user may already have closed it).
  virtual void closeProgressWindow() = 0;
  virtual bool progressWindowOpen() const = 0;
  // The refresh command: sets the progress window's label. `fractionDone` (0 to 1) is for an
  // optional progress bar.
  virtual void refreshProgress(std::string_view label, double fractionDone) = 0;
  // Lets pending window messages through without blocking.
  virtual void pumpMessages() = 0;
};

}  // namespace common
