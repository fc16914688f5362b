#include "tests/support/AnsiCodePage.h"

#include <array>
#include <cstdint>

namespace win {
namespace {

// 0x80 to 0x9F; the five bytes 1252 leaves undefined stand for the C1 controls of their number,
// as Windows converts them.
constexpr std::array<char16_t, 32> kHighControls = {
    0x20AC, 0x0081, 0x201A, 0x0192, 0x201E, 0x2026, 0x2020, 0x2021, 0x02C6, 0x2030, 0x0160,
    0x2039, 0x0152, 0x008D, 0x017D, 0x008F, 0x0090, 0x2018, 0x2019, 0x201C, 0x201D, 0x2022,
    0x2013, 0x2014, 0x02DC, 0x2122, 0x0161, 0x203A, 0x0153, 0x009D, 0x017E, 0x0178};

unsigned CodeOf(unsigned char byte) {
  return byte >= 0x80 && byte < 0xA0 ? kHighControls[byte - 0x80] : byte;
}

}  // namespace

void AppendUtf8(std::string& text, unsigned code) {
  if (code < 0x80) {
    text += static_cast<char>(code);
  } else if (code < 0x800) {
    text += static_cast<char>(0xC0 | (code >> 6));
    text += static_cast<char>(0x80 | (code & 0x3F));
  } else if (code < 0x10000) {
    text += static_cast<char>(0xE0 | (code >> 12));
    text += static_cast<char>(0x80 | ((code >> 6) & 0x3F));
    text += static_cast<char>(0x80 | (code & 0x3F));
  } else {
    text += static_cast<char>(0xF0 | (code >> 18));
    text += static_cast<char>(0x80 | ((code >> 12) & 0x3F));
    text += static_cast<char>(0x80 | ((code >> 6) & 0x3F));
    text += static_cast<char>(0x80 | (code & 0x3F));
  }
}

std::string AnsiToUtf8(const std::string& ansi) {
  std::string utf8;
  for (const char c : ansi) AppendUtf8(utf8, CodeOf(static_cast<unsigned char>(c)));
  return utf8;
}

std::string Utf8ToAnsi(const std::string& utf8) {
  std::string ansi;
  for (std::size_t at = 0; at < utf8.size();) {
    const auto lead = static_cast<unsigned char>(utf8[at]);
    const std::size_t length = lead < 0x80 ? 1 : lead < 0xE0 ? 2 : lead < 0xF0 ? 3 : 4;
    unsigned code = length == 1 ? lead : lead & (0xFF >> (length + 1));
    for (std::size_t i = 1; i < length && at + i < utf8.size(); ++i) {
      code = (code << 6) | (static_cast<unsigned char>(utf8[at + i]) & 0x3F);
    }
    at += length;
    char byte = '?';
    for (unsigned candidate = 0; candidate < 0x100; ++candidate) {
      if (CodeOf(static_cast<unsigned char>(candidate)) == code) {
        byte = static_cast<char>(candidate);
        break;
      }
    }
    ansi += byte;
  }
  return ansi;
}

}  // namespace win
