// What the report tests look for in written text: the matches of a pattern.
#pragma once

#include <regex>
#include <string>
#include <vector>

namespace analyser {

// Every match of the first group of pattern in text, in order.
inline std::vector<std::string> matches(const std::string& text, const std::string& pattern) {
  std::vector<std::string> found;
  const std::regex re(pattern);
  for (auto it = std::sregex_iterator(text.begin(), text.end(), re); it != std::sregex_iterator();
       ++it) {
    found.push_back((*it)[1].str());
  }
  return found;
}

}  // namespace analyser
