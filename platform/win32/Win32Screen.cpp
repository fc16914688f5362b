// The program's windows on Win32: an MDI frame, and a small window with one label. Geometry is
// converted between twips and pixels through the display's logical DPI (1440 twips an inch).

#include <windows.h>

#include <cmath>
#include <memory>
#include <stdexcept>
#include <string>

#include "platform/win32/BoundFunction.h"
#include "platform/win32/GdiObject.h"
#include "platform/win32/SystemText.h"
#include "platform/win32/Win32Api.h"

namespace win {
namespace {

constexpr const char* kFrameClass = "QuilletFrame";
constexpr const char* kLabelWindowClass = "QuilletLabelWindow";
constexpr int kLabelId = 1;

HWND ToHwnd(WindowHandle window) { return reinterpret_cast<HWND>(window); }

[[noreturn]] void ThrowError(const std::string& function, DWORD error) {
  throw std::runtime_error(function + " failed (error " + std::to_string(error) +
                           "): " + SystemMessage(error));
}

[[noreturn]] void ThrowLastError(const std::string& function) {
  ThrowError(function, ::GetLastError());
}

struct Dpi {
  int x;
  int y;
};

// The display's logical DPI; 96, the Windows default, when the display cannot tell.
Dpi DisplayDpi() {
  constexpr int kDefaultDpi = 96;
  HDC screen = ::GetDC(nullptr);
  if (screen == nullptr) return {kDefaultDpi, kDefaultDpi};
  Dpi dpi{::GetDeviceCaps(screen, LOGPIXELSX), ::GetDeviceCaps(screen, LOGPIXELSY)};
  ::ReleaseDC(nullptr, screen);
  if (dpi.x <= 0) dpi.x = kDefaultDpi;
  if (dpi.y <= 0) dpi.y = kDefaultDpi;
  return dpi;
}

int ToPixels(float twips, int dpi) { return static_cast<int>(std::lround(twips * dpi / 1440.0f)); }
float ToTwips(int pixels, int dpi) { return static_cast<float>(pixels) * 1440.0f / dpi; }

RECT WindowRect(WindowHandle window) {
  RECT rect{};
  if (!::GetWindowRect(ToHwnd(window), &rect)) ThrowLastError("GetWindowRect");
  return rect;
}

void MoveAndSize(WindowHandle window, int x, int y, int width, int height, UINT flags) {
  if (!::SetWindowPos(ToHwnd(window), nullptr, x, y, width, height,
                      flags | SWP_NOZORDER | SWP_NOACTIVATE)) {
    ThrowLastError("SetWindowPos");
  }
}

// The outer size in pixels of a window whose client area is `client` twips.
SIZE OuterPixels(TwipSize client, DWORD style) {
  const Dpi dpi = DisplayDpi();
  RECT rect{0, 0, ToPixels(client.width, dpi.x), ToPixels(client.height, dpi.y)};
  ::AdjustWindowRectEx(&rect, style, FALSE, 0);
  return {rect.right - rect.left, rect.bottom - rect.top};
}

// ------------------------------------------------------------------ the MDI frame

LRESULT CALLBACK FrameProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
  auto mdiClient = reinterpret_cast<HWND>(::GetWindowLongPtrA(window, GWLP_USERDATA));
  if (message == WM_CREATE) {
    CLIENTCREATESTRUCT client{nullptr, 1};
    mdiClient = ::CreateWindowExA(WS_EX_CLIENTEDGE, "MDICLIENT", nullptr,
                                  WS_CHILD | WS_CLIPCHILDREN | WS_VISIBLE, 0, 0, 0, 0, window,
                                  nullptr, ::GetModuleHandleA(nullptr), &client);
    if (mdiClient == nullptr) return -1;
    ::SetWindowLongPtrA(window, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(mdiClient));
    return 0;
  }
  return ::DefFrameProcA(window, mdiClient, message, wParam, lParam);
}

// ------------------------------------------------------------------ the label window

struct LabelPaint {
  GdiObject<HFONT> font;
  GdiObject<HBRUSH> background;
  COLORREF text;
  COLORREF backgroundColor;
};

LRESULT CALLBACK LabelWindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
  auto* paint = reinterpret_cast<LabelPaint*>(::GetWindowLongPtrA(window, GWLP_USERDATA));
  switch (message) {
    case WM_CTLCOLORSTATIC:
      if (paint != nullptr) {
        auto dc = reinterpret_cast<HDC>(wParam);
        ::SetTextColor(dc, paint->text);
        ::SetBkColor(dc, paint->backgroundColor);
        return reinterpret_cast<LRESULT>(paint->background.get());
      }
      break;
    case WM_NCDESTROY: {
      ::SetWindowLongPtrA(window, GWLP_USERDATA, 0);
      const std::unique_ptr<LabelPaint> owned(paint);  // the window owned it from creation on
      break;
    }
    default: break;
  }
  return ::DefWindowProcA(window, message, wParam, lParam);
}

void RegisterClassOnce(const char* name, WNDPROC procedure, int background) {
  WNDCLASSEXA existing{};
  existing.cbSize = sizeof existing;
  if (::GetClassInfoExA(::GetModuleHandleA(nullptr), name, &existing)) return;
  WNDCLASSEXA windowClass{};
  windowClass.cbSize = sizeof windowClass;
  windowClass.lpfnWndProc = procedure;
  windowClass.hInstance = ::GetModuleHandleA(nullptr);
  windowClass.hCursor = ::LoadCursorA(nullptr, reinterpret_cast<LPCSTR>(IDC_ARROW));
  windowClass.hIcon = ::LoadIconA(windowClass.hInstance, MAKEINTRESOURCEA(1));
  windowClass.hbrBackground = reinterpret_cast<HBRUSH>(static_cast<INT_PTR>(background + 1));
  windowClass.lpszClassName = name;
  if (::RegisterClassExA(&windowClass) == 0) ThrowLastError("RegisterClassExA");
}

HWND CreateTopLevel(const char* windowClass, const char* caption, DWORD style, SIZE outer,
                    void* parameter = nullptr) {
  HWND window = ::CreateWindowExA(0, windowClass, caption, style, 0, 0, outer.cx, outer.cy, nullptr,
                                  nullptr, ::GetModuleHandleA(nullptr), parameter);
  if (window == nullptr) ThrowLastError("CreateWindowExA");
  return window;
}

}  // namespace

int Win32Screen::MessageBoxA(const char* text, const char* caption, std::uint32_t style) {
  return ::MessageBoxW(nullptr, ToWide(text, CP_UTF8).c_str(), ToWide(caption, CP_UTF8).c_str(),
                       style | MB_TASKMODAL);
}

WindowHandle Win32Screen::CreateFrameWindow(const FrameWindowDesign& design) {
  RegisterClassOnce(kFrameClass, FrameProc, COLOR_APPWORKSPACE);
  constexpr DWORD style = WS_OVERLAPPEDWINDOW | WS_CLIPCHILDREN;
  return reinterpret_cast<WindowHandle>(
      CreateTopLevel(kFrameClass, design.caption, style, OuterPixels(design.clientSize, style)));
}

WindowHandle Win32Screen::CreateLabelWindow(const LabelWindowDesign& design) {
  RegisterClassOnce(kLabelWindowClass, LabelWindowProc, COLOR_BTNFACE);
  constexpr DWORD style = WS_OVERLAPPED | WS_CAPTION | WS_SYSMENU;
  HWND window = CreateTopLevel(kLabelWindowClass, design.caption, style,
                               OuterPixels(design.clientSize, style));

  const Dpi dpi = DisplayDpi();
  const LabelDesign& label = design.label;
  auto paint = std::make_unique<LabelPaint>();
  paint->font = GdiObject<HFONT>(::CreateFontA(
      -::MulDiv(label.fontPoints, dpi.y, 72), 0, 0, 0, label.fontWeight, FALSE, FALSE, FALSE,
      static_cast<DWORD>(label.fontCharset), OUT_DEFAULT_PRECIS, CLIP_DEFAULT_PRECIS,
      DEFAULT_QUALITY, DEFAULT_PITCH | FF_DONTCARE, label.fontName));
  paint->background = GdiObject<HBRUSH>(::CreateSolidBrush(label.background));
  if (paint->font.get() == nullptr || paint->background.get() == nullptr) {
    const DWORD error = ::GetLastError();
    ::DestroyWindow(window);
    ThrowError(paint->font.get() == nullptr ? "CreateFontA" : "CreateSolidBrush", error);
  }
  paint->text = label.text;
  paint->backgroundColor = label.background;
  HFONT font = paint->font.get();
  ::SetWindowLongPtrA(window, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(paint.release()));

  HWND control = ::CreateWindowExA(0, "STATIC", label.caption, WS_CHILD | WS_VISIBLE | SS_CENTER,
                                   ToPixels(label.left, dpi.x), ToPixels(label.top, dpi.y),
                                   ToPixels(label.width, dpi.x), ToPixels(label.height, dpi.y),
                                   window, reinterpret_cast<HMENU>(static_cast<INT_PTR>(kLabelId)),
                                   ::GetModuleHandleA(nullptr), nullptr);
  if (control == nullptr) {
    const DWORD error = ::GetLastError();  // before DestroyWindow sets its own
    ::DestroyWindow(window);
    ThrowError("CreateWindowExA", error);
  }
  ::SendMessageA(control, WM_SETFONT, reinterpret_cast<WPARAM>(font), FALSE);
  return reinterpret_cast<WindowHandle>(window);
}

void Win32Screen::ShowWindow(WindowHandle window) {
  if (!::IsWindow(ToHwnd(window))) throw std::runtime_error("ShowWindow: no such window");
  ::ShowWindow(ToHwnd(window), SW_SHOWNORMAL);
}

void Win32Screen::RepaintWindow(WindowHandle window) {
  if (!::RedrawWindow(ToHwnd(window), nullptr, nullptr,
                      RDW_INVALIDATE | RDW_ERASE | RDW_FRAME | RDW_ALLCHILDREN | RDW_UPDATENOW)) {
    ThrowLastError("RedrawWindow");
  }
  // Wine draws into an off-screen surface and puts it on the display when the thread waits for
  // messages. A wait that returns at once shows what was just painted, and dispatches nothing.
  ::MsgWaitForMultipleObjects(0, nullptr, FALSE, 0, QS_ALLINPUT);
}

void Win32Screen::DestroyWindow(WindowHandle window) {
  if (!::DestroyWindow(ToHwnd(window))) ThrowLastError("DestroyWindow");
}

TwipSize Win32Screen::GetWindowSize(WindowHandle window) {
  const RECT rect = WindowRect(window);
  const Dpi dpi = DisplayDpi();
  return {ToTwips(rect.right - rect.left, dpi.x), ToTwips(rect.bottom - rect.top, dpi.y)};
}

void Win32Screen::SetWindowWidth(WindowHandle window, float twips) {
  const RECT rect = WindowRect(window);
  MoveAndSize(window, 0, 0, ToPixels(twips, DisplayDpi().x), rect.bottom - rect.top, SWP_NOMOVE);
}

void Win32Screen::SetWindowHeight(WindowHandle window, float twips) {
  const RECT rect = WindowRect(window);
  MoveAndSize(window, 0, 0, rect.right - rect.left, ToPixels(twips, DisplayDpi().y), SWP_NOMOVE);
}

void Win32Screen::SetWindowLeft(WindowHandle window, float twips) {
  const RECT rect = WindowRect(window);
  MoveAndSize(window, ToPixels(twips, DisplayDpi().x), rect.top, 0, 0, SWP_NOSIZE);
}

void Win32Screen::SetWindowTop(WindowHandle window, float twips) {
  const RECT rect = WindowRect(window);
  MoveAndSize(window, rect.left, ToPixels(twips, DisplayDpi().y), 0, 0, SWP_NOSIZE);
}

ColorRef Win32Screen::GetSysColor(int index) { return ::GetSysColor(index); }

bool Win32Screen::IsWindowOnScreen(WindowHandle window) {
  return ::IsWindowVisible(ToHwnd(window)) && !::IsIconic(ToHwnd(window));
}

TwipRect Win32Screen::GetWorkArea() {
  RECT area{};
  if (!::SystemParametersInfoA(SPI_GETWORKAREA, 0, &area, 0)) {
    area = {0, 0, ::GetSystemMetrics(SM_CXSCREEN), ::GetSystemMetrics(SM_CYSCREEN)};
  }
  const Dpi dpi = DisplayDpi();
  return {ToTwips(area.left, dpi.x), ToTwips(area.top, dpi.y),
          ToTwips(area.right - area.left, dpi.x), ToTwips(area.bottom - area.top, dpi.y)};
}

// A service's or session 0's window station is not visible: no one sees a window shown there.
// Windows without window stations (95, 98) have a visible desktop, as do those where the flags
// cannot be read.
bool Win32Screen::IsDesktopVisible() {
  using GetStationFunction = HWINSTA(WINAPI*)();
  using GetInformationFunction = BOOL(WINAPI*)(HANDLE, int, PVOID, DWORD, LPDWORD);
  const auto getStation =
      BoundFunction<GetStationFunction>("user32.dll", "GetProcessWindowStation");
  const auto getInformation =
      BoundFunction<GetInformationFunction>("user32.dll", "GetUserObjectInformationW");
  if (getStation == nullptr || getInformation == nullptr) return true;
  const HWINSTA station = getStation();
  USEROBJECTFLAGS flags{};
  DWORD needed = 0;
  if (station == nullptr || !getInformation(station, UOI_FLAGS, &flags, sizeof flags, &needed)) {
    return true;
  }
  return (flags.dwFlags & WSF_VISIBLE) != 0;
}

}  // namespace win
