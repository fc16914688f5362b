#pragma once
// Texts from and for the system: error descriptions, and conversions between code pages.

#include <string>

namespace win {

// The system's description of an error code in UTF-8, folded into one line; "" when the system
// has none.
std::string SystemMessage(unsigned long code);

std::wstring ToWide(const std::string& text, unsigned codePage);
std::string FromWide(const std::wstring& text, unsigned codePage);

// The program's UTF-8 text in the ANSI code page, for an ANSI entry point; nullptr stays empty.
std::string Ansi(const char* utf8);
// Text an ANSI entry point gave, in UTF-8.
std::string Utf8FromAnsi(const std::string& ansi);

}  // namespace win
