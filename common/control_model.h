// The controls of a program described once: which text fields and radio groups its window has,
// their initial state, and how the command line spells each of them. The windows take their
// initial state from here, the terminal front ends their options and help, the convert
// commands the values behind radio buttons, and the tests their scripted controls.
#pragma once

#include <cstdint>
#include <map>
#include <set>
#include <string>
#include <string_view>
#include <vector>

#include "environment.h"

namespace common {

enum class ControlKind {
  Text,   // a text field: the option's value is the field's text
  Radio,  // a radio group: the option's value names one of its buttons
};

// One button of a radio group.
struct RadioChoice {
  int id;
  std::string_view value;  // its spelling on the command line
  int32_t number;          // what the convert command takes from it
};

struct ControlOption {
  ControlKind kind = ControlKind::Text;
  std::string_view name{};                  // the long option without "--", e.g. "time-base"
  std::vector<std::string_view> aliases{};  // other spellings in full: "--optimize", "-q"
  int textId = 0;                           // Text: the field
  std::vector<RadioChoice> choices{};       // Radio: the group's buttons in window order
  std::string_view defaultValue{};          // initial text, or the value of the checked button
  // A radio group written as a flag: the option takes no value and checks this button.
  std::string_view flagValue{};
  std::string_view valueName{};  // how the help names the value ("TEXT", "N")
  std::string_view help{};       // for --help; "\n" starts another line

  bool isFlag() const { return !flagValue.empty(); }
  // The button whose value is `value`, compared without regard to ASCII case; null if none.
  const RadioChoice* choice(std::string_view value) const;
  const RadioChoice* choiceById(int id) const;
  // "15|20|30|60"
  std::string valueList() const;
};

struct ControlModel {
  int fileField = 0;  // the file-name field, which the command line fills from FILE
  std::vector<ControlOption> options;

  // The option spelt `spelling` ("--name" or an alias); null if none.
  const ControlOption* find(std::string_view spelling) const;
  // The radio group that `id` belongs to; null if none.
  const ControlOption* groupOf(int id) const;
  // The option of a text field or radio group by its name; it must exist.
  const ControlOption& option(std::string_view name) const;
};

// Control state held in plain maps, starting from a model's initial state. Checking a button
// clears the others of its group, as a window does.
class ControlState {
 public:
  ControlState() = default;
  explicit ControlState(const ControlModel& model) : model_(&model) { resetToDefaults(); }

  std::map<int, std::string> texts;
  std::set<int> checked;

  const ControlModel* model() const { return model_; }
  void resetToDefaults();
  // Checks `id` and clears the other buttons of its group (without a model, only checks it).
  void check(int id);
  std::string text(int id) const;
  bool isChecked(int id) const { return checked.count(id) != 0; }

 private:
  const ControlModel* model_ = nullptr;
};

// An environment whose controls are a ControlState; the front end or test adds the rest
// (messages, and for a ProgressEnvironment the clocks and the progress window).
template <class Base = Environment>
class MapEnvironment : public Base, public ControlState {
 public:
  MapEnvironment() = default;
  explicit MapEnvironment(const ControlModel& model) : ControlState(model) {}
  explicit MapEnvironment(const ControlState& state) : ControlState(state) {}

  std::string controlText(int id) const override { return text(id); }
  void setControlText(int id, std::string_view value) override { texts[id] = std::string(value); }
  bool isRadioChecked(int id) const override { return isChecked(id); }
};

// The number behind the last checked button of `group`, in window order; `fallback` when none
// is checked (a front end always has one checked).
int32_t checkedNumber(const Environment& env, const ControlOption& group, int32_t fallback);

}  // namespace common
