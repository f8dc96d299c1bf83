#include "midi_port.h"

#include <algorithm>
#include <cctype>

namespace ports {

namespace {

std::string lowered(std::string_view text) {
  std::string out(text);
  std::transform(out.begin(), out.end(), out.begin(),
                 [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
  return out;
}

}  // namespace

int pickPort(const std::vector<std::string>& names, std::string_view which, std::string& error) {
  if (names.empty()) {
    error = "no MIDI output port found";
    return -1;
  }
  if (which.empty()) return 0;
  if (which.size() <= 4 && which.find_first_not_of("0123456789") == std::string_view::npos) {
    const int number = std::stoi(std::string(which));
    if (number >= 1 && static_cast<std::size_t>(number) <= names.size()) return number - 1;
    error = "no MIDI output port number " + std::string(which) + " (there are " +
            std::to_string(names.size()) + ")";
    return -1;
  }
  for (std::size_t i = 0; i < names.size(); ++i) {
    if (names[i] == which) return static_cast<int>(i);
  }
  const std::string part = lowered(which);
  int found = -1;
  for (std::size_t i = 0; i < names.size(); ++i) {
    if (lowered(names[i]).find(part) == std::string::npos) continue;
    if (found >= 0) {
      error = "more than one MIDI output port matches '" + std::string(which) + "'";
      return -1;
    }
    found = static_cast<int>(i);
  }
  if (found < 0) error = "no MIDI output port matches '" + std::string(which) + "'";
  return found;
}

}  // namespace ports
