#include "platform/win32/SystemText.h"

#include <windows.h>

namespace win {

std::string SystemMessage(unsigned long code) {
  wchar_t text[512] = L"";
  const DWORD length = ::FormatMessageW(FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS,
                                        nullptr, code, 0, text, 512, nullptr);
  // One line, whatever the system's text: every data source keeps one line in the log.
  std::wstring line;
  for (DWORD i = 0; i < length; ++i) {
    if (text[i] != L'\r' && text[i] != L'\n') {
      line += text[i];
    } else if (!line.empty() && line.back() != L' ') {
      line += L' ';
    }
  }
  while (!line.empty() && line.back() == L' ') line.pop_back();
  return FromWide(line, CP_UTF8);
}

std::wstring ToWide(const std::string& text, unsigned codePage) {
  if (text.empty()) return {};
  const int size =
      ::MultiByteToWideChar(codePage, 0, text.data(), static_cast<int>(text.size()), nullptr, 0);
  std::wstring wide(static_cast<std::size_t>(size), L'\0');
  ::MultiByteToWideChar(codePage, 0, text.data(), static_cast<int>(text.size()), wide.data(), size);
  return wide;
}

std::string Ansi(const char* utf8) {
  return utf8 == nullptr ? std::string() : FromWide(ToWide(utf8, CP_UTF8), CP_ACP);
}

std::string Utf8FromAnsi(const std::string& ansi) {
  return FromWide(ToWide(ansi, CP_ACP), CP_UTF8);
}

std::string FromWide(const std::wstring& text, unsigned codePage) {
  if (text.empty()) return {};
  const int size = ::WideCharToMultiByte(codePage, 0, text.data(), static_cast<int>(text.size()),
                                         nullptr, 0, nullptr, nullptr);
  std::string narrow(static_cast<std::size_t>(size), '\0');
  ::WideCharToMultiByte(codePage, 0, text.data(), static_cast<int>(text.size()), narrow.data(),
                        size, nullptr, nullptr);
  return narrow;
}

}  // namespace win
