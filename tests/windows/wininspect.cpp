// Describes the top-level windows on the desktop as Windows itself sees them, for the end-to-end
// tests: one line per window, then its child controls, then the display's DPI.
//
//   wininspect [wait <title> <seconds>]
// With "wait", first waits (in this process, so it sees the window the moment it appears) for a
// visible top-level window with that title, giving up after the seconds given.
//   WINDOW <title>|<class>|<left>,<top>,<width>,<height>|<visible>|<pid>|<client x>,<client y>
//   CHILD <class>|<client left>,<client top>,<width>,<height>|<style hex>|<text>
//   DPI <x>,<y>
//   YEAR <the local year>
//   COLORS <COLOR_APPWORKSPACE> <COLOR_CAPTIONTEXT> <COLOR_BTNTEXT> <COLOR_WINDOW>, as RRGGBB
//
// A font object cannot be read from another process, so the label's font and colours are checked
// by drawing the label the way it was designed and comparing that with a screenshot:
//
//   wininspect render <width> <height> <points> <weight> <charset> <face> <background> <text
//              colour> <out.bmp> <text>

#include <windows.h>

#include <cstdio>
#include <cstdlib>
#include <string>

namespace {

std::string Text(HWND window) {
  char text[1024] = "";
  ::GetWindowTextA(window, text, sizeof text);
  return text;
}

std::string ClassOf(HWND window) {
  char name[256] = "";
  ::GetClassNameA(window, name, sizeof name);
  return name;
}

BOOL CALLBACK PrintChild(HWND child, LPARAM parentParameter) {
  const auto parent = reinterpret_cast<HWND>(parentParameter);
  RECT rect{};
  ::GetWindowRect(child, &rect);
  ::MapWindowPoints(nullptr, parent, reinterpret_cast<POINT*>(&rect), 2);
  std::printf("CHILD %s|%ld,%ld,%ld,%ld|%08lx|%s\n", ClassOf(child).c_str(), rect.left, rect.top,
              rect.right - rect.left, rect.bottom - rect.top,
              static_cast<unsigned long>(::GetWindowLongA(child, GWL_STYLE)), Text(child).c_str());
  return TRUE;
}

BOOL CALLBACK PrintWindow(HWND window, LPARAM) {
  const std::string title = Text(window);
  if (title.empty()) return TRUE;
  RECT rect{};
  ::GetWindowRect(window, &rect);
  DWORD process = 0;
  ::GetWindowThreadProcessId(window, &process);
  POINT client{0, 0};
  ::ClientToScreen(window, &client);
  std::printf("WINDOW %s|%s|%ld,%ld,%ld,%ld|%d|%lu|%ld,%ld\n", title.c_str(),
              ClassOf(window).c_str(), rect.left, rect.top, rect.right - rect.left,
              rect.bottom - rect.top, ::IsWindowVisible(window) ? 1 : 0,
              static_cast<unsigned long>(process), client.x, client.y);
  ::EnumChildWindows(window, PrintChild, reinterpret_cast<LPARAM>(window));
  return TRUE;
}

// Draws centred, word-wrapped text as a static label does, into a 24-bit BMP file.
int Render(char** args) {
  const int width = std::atoi(args[0]);
  const int height = std::atoi(args[1]);
  const int points = std::atoi(args[2]);
  const int weight = std::atoi(args[3]);
  const auto charset = static_cast<DWORD>(std::atoi(args[4]));
  const char* face = args[5];
  const auto background = static_cast<COLORREF>(std::strtoul(args[6], nullptr, 0));
  const auto textColour = static_cast<COLORREF>(std::strtoul(args[7], nullptr, 0));
  const char* path = args[8];
  const char* text = args[9];

  HDC screen = ::GetDC(nullptr);
  const int dpi = ::GetDeviceCaps(screen, LOGPIXELSY);
  HDC dc = ::CreateCompatibleDC(screen);
  ::ReleaseDC(nullptr, screen);
  BITMAPINFO info{};
  info.bmiHeader = {sizeof(BITMAPINFOHEADER), width, height, 1, 24, BI_RGB, 0, 0, 0, 0, 0};
  void* bits = nullptr;
  HBITMAP bitmap = ::CreateDIBSection(dc, &info, DIB_RGB_COLORS, &bits, nullptr, 0);
  HGDIOBJ oldBitmap = ::SelectObject(dc, bitmap);
  HBRUSH brush = ::CreateSolidBrush(background);
  RECT rect{0, 0, width, height};
  ::FillRect(dc, &rect, brush);
  HFONT font = ::CreateFontA(-::MulDiv(points, dpi, 72), 0, 0, 0, weight, FALSE, FALSE, FALSE,
                             charset, OUT_DEFAULT_PRECIS, CLIP_DEFAULT_PRECIS, DEFAULT_QUALITY,
                             DEFAULT_PITCH | FF_DONTCARE, face);
  HGDIOBJ oldFont = ::SelectObject(dc, font);
  ::SetTextColor(dc, textColour);
  ::SetBkMode(dc, TRANSPARENT);
  ::DrawTextA(dc, text, -1, &rect, DT_CENTER | DT_WORDBREAK | DT_EXPANDTABS | DT_NOCLIP);
  ::GdiFlush();

  const int stride = (width * 3 + 3) & ~3;
  BITMAPFILEHEADER file{0x4D42, static_cast<DWORD>(sizeof(BITMAPFILEHEADER) + sizeof(BITMAPINFOHEADER) + stride * height), 0, 0,
                        sizeof(BITMAPFILEHEADER) + sizeof(BITMAPINFOHEADER)};
  FILE* out = std::fopen(path, "wb");
  if (out == nullptr) return 1;
  std::fwrite(&file, sizeof file, 1, out);
  std::fwrite(&info.bmiHeader, sizeof info.bmiHeader, 1, out);
  std::fwrite(bits, 1, static_cast<std::size_t>(stride) * height, out);
  std::fclose(out);

  ::SelectObject(dc, oldFont);
  ::SelectObject(dc, oldBitmap);
  ::DeleteObject(font);
  ::DeleteObject(brush);
  ::DeleteObject(bitmap);
  ::DeleteDC(dc);
  return 0;
}

}  // namespace

bool WaitForWindow(const char* title, int seconds) {
  const ULONGLONG deadline = ::GetTickCount64() + static_cast<ULONGLONG>(seconds) * 1000;
  while (::GetTickCount64() < deadline) {
    HWND window = ::FindWindowA(nullptr, title);
    if (window != nullptr && ::IsWindowVisible(window)) return true;
    ::Sleep(10);
  }
  return false;
}

int main(int argc, char** argv) {
  ::SetProcessDPIAware();
  if (argc == 12 && std::string(argv[1]) == "render") return Render(argv + 2);
  if (argc == 4 && std::string(argv[1]) == "wait" && !WaitForWindow(argv[2], std::atoi(argv[3]))) {
    return 2;
  }
  ::EnumWindows(PrintWindow, 0);
  HDC screen = ::GetDC(nullptr);
  std::printf("DPI %d,%d\n", ::GetDeviceCaps(screen, LOGPIXELSX), ::GetDeviceCaps(screen, LOGPIXELSY));
  ::ReleaseDC(nullptr, screen);
  SYSTEMTIME now;
  ::GetLocalTime(&now);
  std::printf("YEAR %d\n", now.wYear);
  std::printf("COLORS");
  for (const int index : {COLOR_APPWORKSPACE, COLOR_CAPTIONTEXT, COLOR_BTNTEXT, COLOR_WINDOW}) {
    const COLORREF colour = ::GetSysColor(index);
    std::printf(" %02x%02x%02x", GetRValue(colour), GetGValue(colour), GetBValue(colour));
  }
  std::printf("\n");
  return 0;
}
