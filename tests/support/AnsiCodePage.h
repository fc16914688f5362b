#pragma once
// The in-memory Windows' ANSI code page, Windows-1252 (Western European), as its ANSI entry points
// use it: what they are given is converted from the program's UTF-8, what they give back to it.

#include <string>

namespace win {

// Characters 1252 cannot hold become '?', as WideCharToMultiByte makes them.
std::string Utf8ToAnsi(const std::string& utf8);
std::string AnsiToUtf8(const std::string& ansi);
// Appends the character of that code point to UTF-8 text.
void AppendUtf8(std::string& text, unsigned code);

}  // namespace win
