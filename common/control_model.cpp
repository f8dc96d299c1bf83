#include "control_model.h"

#include <cstdlib>

namespace common {

namespace {

char lowerAscii(char c) {
  return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c;
}

bool equalIgnoringCase(std::string_view a, std::string_view b) {
  if (a.size() != b.size()) return false;
  for (std::size_t i = 0; i < a.size(); ++i) {
    if (lowerAscii(a[i]) != lowerAscii(b[i])) return false;
  }
  return true;
}

}  // namespace

const RadioChoice* ControlOption::choice(std::string_view value) const {
  for (const RadioChoice& c : choices) {
    if (equalIgnoringCase(c.value, value)) return &c;
  }
  return nullptr;
}

const RadioChoice* ControlOption::choiceById(int id) const {
  for (const RadioChoice& c : choices) {
    if (c.id == id) return &c;
  }
  return nullptr;
}

std::string ControlOption::valueList() const {
  std::string list;
  for (const RadioChoice& c : choices) {
    if (!list.empty()) list += '|';
    list += c.value;
  }
  return list;
}

const ControlOption* ControlModel::find(std::string_view spelling) const {
  for (const ControlOption& o : options) {
    if (spelling.size() == o.name.size() + 2 && spelling.substr(0, 2) == "--" &&
        spelling.substr(2) == o.name) {
      return &o;
    }
    for (std::string_view alias : o.aliases) {
      if (alias == spelling) return &o;
    }
  }
  return nullptr;
}

const ControlOption* ControlModel::groupOf(int id) const {
  for (const ControlOption& o : options) {
    if (o.kind == ControlKind::Radio && o.choiceById(id) != nullptr) return &o;
  }
  return nullptr;
}

const ControlOption& ControlModel::option(std::string_view name) const {
  for (const ControlOption& o : options) {
    if (o.name == name) return o;
  }
  // A misspelt name in the program's own code: nothing sensible can follow.
  std::abort();
}

void ControlState::resetToDefaults() {
  texts.clear();
  checked.clear();
  if (model_ == nullptr) return;
  for (const ControlOption& o : model_->options) {
    if (o.kind == ControlKind::Text) {
      texts[o.textId] = std::string(o.defaultValue);
    } else if (const RadioChoice* c = o.choice(o.defaultValue)) {
      checked.insert(c->id);
    }
  }
}

void ControlState::check(int id) {
  if (model_ != nullptr) {
    if (const ControlOption* group = model_->groupOf(id)) {
      for (const RadioChoice& c : group->choices) checked.erase(c.id);
    }
  }
  checked.insert(id);
}

std::string ControlState::text(int id) const {
  const auto it = texts.find(id);
  return it == texts.end() ? std::string() : it->second;
}

int32_t checkedNumber(const Environment& env, const ControlOption& group, int32_t fallback) {
  int32_t value = fallback;
  for (const RadioChoice& c : group.choices) {
    if (env.isRadioChecked(c.id)) value = c.number;
  }
  return value;
}

}  // namespace common
