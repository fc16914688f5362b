#pragma once
// Texts from and for the system: error descriptions, and conversions between code pages.

#include <string>

namespace win {

// The system's description of an error code in UTF-8, folded into one line; "" when the system
// has none.
std::string SystemMessage(unsigned long code);

std::wstring ToWide(const std::string& text, unsigned codePage);
std::string FromWide(const std::wstring& text, unsigned codePage);

}  // namespace win
