#pragma once
// Names compared as Windows compares the ASCII ones it gives this program (switches, paths it
// supplies, processor identifiers): without regard to letter case.

#include <algorithm>
#include <cctype>
#include <string>
#include <string_view>

namespace win {

inline char LowerAscii(char c) {
  return static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
}

inline bool SameIgnoringCase(std::string_view a, std::string_view b) {
  return a.size() == b.size() && std::equal(a.begin(), a.end(), b.begin(), [](char x, char y) {
           return LowerAscii(x) == LowerAscii(y);
         });
}

inline bool ContainsIgnoringCase(std::string_view text, std::string_view part) {
  return std::search(text.begin(), text.end(), part.begin(), part.end(),
                     [](char x, char y) { return LowerAscii(x) == LowerAscii(y); }) != text.end();
}

inline std::string LowerCase(std::string text) {
  std::transform(text.begin(), text.end(), text.begin(), LowerAscii);
  return text;
}

}  // namespace win
