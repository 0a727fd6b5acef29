#include "shell/Dpi.h"

#include <commctrl.h>

#include <vector>

#include "shell/DelayLoad.h"

namespace vantrel::dpi {
namespace {

// Windows 10 1607 and later; Wine has them too.
using GetDpiForSystemFn = UINT WINAPI();
using GetSystemMetricsForDpiFn = int WINAPI(int, UINT);
using AdjustWindowRectExForDpiFn = BOOL WINAPI(LPRECT, DWORD, BOOL, DWORD, UINT);
using EnableNonClientDpiScalingFn = BOOL WINAPI(HWND);
using SetThreadDpiAwarenessContextFn = HANDLE WINAPI(HANDLE);
// Vista and later, comctl32 6.
using LoadIconWithScaleDownFn = HRESULT WINAPI(HINSTANCE, PCWSTR, int, int, HICON*);
constexpr int kEffectiveDpi = 0;  // MDT_EFFECTIVE_DPI
constexpr UINT_PTR kForgetDesignRect = 1;

template <typename Fn>
Fn* User32(const char* name) {
  return LoadedFunction<Fn>(L"user32.dll", name);
}

HMONITOR MonitorOfWindow(HWND window) { return MonitorFromWindow(window, MONITOR_DEFAULTTONEAREST); }
HMONITOR PrimaryMonitor() { return MonitorFromPoint({0, 0}, MONITOR_DEFAULTTOPRIMARY); }
HMONITOR MonitorOfTaskbar() {
  HWND taskbar = FindWindowW(L"Shell_TrayWnd", nullptr);
  return taskbar ? MonitorFromWindow(taskbar, MONITOR_DEFAULTTOPRIMARY) : PrimaryMonitor();
}
bool WorkAreaOf(HMONITOR monitor, RECT& area) {
  MONITORINFO info{};
  info.cbSize = sizeof info;
  if (!monitor || !GetMonitorInfoW(monitor, &info)) return false;
  area = info.rcWork;
  return true;
}

TMonitorLookups SystemLookups() {
  TMonitorLookups lookups;
  lookups.dpiForWindow = User32<UINT WINAPI(HWND)>("GetDpiForWindow");
  lookups.dpiForMonitor =
      SystemFunction<HRESULT WINAPI(HMONITOR, int, UINT*, UINT*)>(L"shcore.dll", "GetDpiForMonitor");
  lookups.monitorOf = &MonitorOfWindow;
  lookups.taskbarMonitor = &MonitorOfTaskbar;
  lookups.workArea = &WorkAreaOf;
  return lookups;
}

// Controls placed from design units keep their rectangle as two window properties; these go
// when the control does.
LRESULT CALLBACK ForgetDesignRect(HWND window, UINT msg, WPARAM wp, LPARAM lp, UINT_PTR id, DWORD_PTR);

ATOM PositionAtom() {
  static const ATOM atom = GlobalAddAtomW(L"Vantrel.DesignPosition");
  return atom;
}
ATOM SizeAtom() {
  static const ATOM atom = GlobalAddAtomW(L"Vantrel.DesignSize");
  return atom;
}

HANDLE Pack(int a, int b) {
  return reinterpret_cast<HANDLE>(static_cast<ULONG_PTR>(MAKELONG(static_cast<WORD>(a), static_cast<WORD>(b))));
}

HICON LoadIconSized(HINSTANCE instance, const wchar_t* name, int size) {
  HICON icon = nullptr;
  static auto* load = LoadedFunction<LoadIconWithScaleDownFn>(L"comctl32.dll", "LoadIconWithScaleDown");
  if (load && SUCCEEDED(load(instance, name, size, size, &icon))) return icon;
  return static_cast<HICON>(LoadImageW(instance, name, IMAGE_ICON, size, size, 0));
}

bool IsOfClass(HWND window, const wchar_t* className) {
  wchar_t name[64] = {};
  GetClassNameW(window, name, 64);
  return lstrcmpiW(name, className) == 0;
}

void ScaleColumns(HWND list, UINT oldDpi, UINT dpi) {
  HWND header = ListView_GetHeader(list);
  const int count = header ? Header_GetItemCount(header) : 0;
  for (int i = 0; i < count; ++i)
    ListView_SetColumnWidth(list, i, MulDiv(ListView_GetColumnWidth(list, i), static_cast<int>(dpi),
                                            static_cast<int>(oldDpi)));
}

LRESULT CALLBACK ForgetDesignRect(HWND window, UINT msg, WPARAM wp, LPARAM lp, UINT_PTR id, DWORD_PTR) {
  if (msg == WM_NCDESTROY) {
    RemovePropW(window, MAKEINTATOM(PositionAtom()));
    RemovePropW(window, MAKEINTATOM(SizeAtom()));
    RemoveWindowSubclass(window, &ForgetDesignRect, id);
  }
  return DefSubclassProc(window, msg, wp, lp);
}

}  // namespace

TMonitorLookups& MonitorLookups() {
  static TMonitorLookups lookups = SystemLookups();
  return lookups;
}

UINT SystemDpi() {
  static auto* forSystem = User32<GetDpiForSystemFn>("GetDpiForSystem");
  if (forSystem) return forSystem();
  HDC screen = GetDC(nullptr);
  const int value = GetDeviceCaps(screen, LOGPIXELSY);
  ReleaseDC(nullptr, screen);
  return value > 0 ? static_cast<UINT>(value) : kDesignDpi;
}

UINT ForMonitor(HMONITOR monitor) {
  UINT x = 0, y = 0;
  if (auto forMonitor = MonitorLookups().dpiForMonitor;
      forMonitor && monitor && SUCCEEDED(forMonitor(monitor, kEffectiveDpi, &x, &y)) && x)
    return x;
  return SystemDpi();
}

UINT ForWindow(HWND window) {
  const TMonitorLookups& lookups = MonitorLookups();
  if (lookups.dpiForWindow && window)
    if (const UINT value = lookups.dpiForWindow(window)) return value;
  return window && lookups.monitorOf ? ForMonitor(lookups.monitorOf(window)) : SystemDpi();
}

UINT ForTaskbar() {
  const TMonitorLookups& lookups = MonitorLookups();
  return lookups.taskbarMonitor ? ForMonitor(lookups.taskbarMonitor()) : SystemDpi();
}

void CentreOver(HWND window, HWND owner) {
  const TMonitorLookups& lookups = MonitorLookups();
  RECT area{0, 0, GetSystemMetrics(SM_CXSCREEN), GetSystemMetrics(SM_CYSCREEN)};
  const HMONITOR monitor = owner && lookups.monitorOf ? lookups.monitorOf(owner) : PrimaryMonitor();
  if (lookups.workArea) lookups.workArea(monitor, area);
  RECT frame{};
  GetWindowRect(window, &frame);
  const int w = frame.right - frame.left, h = frame.bottom - frame.top;
  SetWindowPos(window, nullptr, area.left + (area.right - area.left - w) / 2,
               area.top + (area.bottom - area.top - h) / 2, 0, 0, SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE);
}

RECT Scale(const ui::Rect& d, UINT dpi) {
  const int left = Scale(d.x, dpi), top = Scale(d.y, dpi);
  // The far edges are scaled, not the sizes, so neighbours stay exactly side by side.
  return {left, top, Scale(d.x + d.w, dpi), Scale(d.y + d.h, dpi)};
}

int SystemMetric(int index, UINT dpi) {
  if (auto forDpi = User32<GetSystemMetricsForDpiFn>("GetSystemMetricsForDpi")) return forDpi(index, dpi);
  // Already at the system DPI, the only one such systems have.
  return GetSystemMetrics(index);
}

void AdjustWindowRect(RECT& rect, DWORD style, DWORD exStyle, UINT dpi) {
  if (auto forDpi = User32<AdjustWindowRectExForDpiFn>("AdjustWindowRectExForDpi"); forDpi &&
                                                                                   forDpi(&rect, style, FALSE, exStyle, dpi))
    return;
  AdjustWindowRectEx(&rect, style, FALSE, exStyle);
}

RECT FrameAround(int clientWidth, int clientHeight, DWORD style, DWORD exStyle, UINT dpi) {
  RECT frame = Scale({0, 0, clientWidth, clientHeight}, dpi);
  AdjustWindowRect(frame, style, exStyle, dpi);
  OffsetRect(&frame, -frame.left, -frame.top);
  return frame;
}

void FitClientArea(HWND window, int clientWidth, int clientHeight, UINT dpi) {
  RECT frame{}, client{};
  GetWindowRect(window, &frame);
  GetClientRect(window, &client);
  const RECT want = Scale({0, 0, clientWidth, clientHeight}, dpi);
  if (client.right == want.right && client.bottom == want.bottom) return;
  SetWindowPos(window, nullptr, 0, 0, (frame.right - frame.left) - client.right + want.right,
               (frame.bottom - frame.top) - client.bottom + want.bottom, SWP_NOMOVE | SWP_NOZORDER | SWP_NOACTIVATE);
}

HICON LoadSmallIcon(HINSTANCE instance, const wchar_t* name, UINT dpi) {
  return LoadIconSized(instance, name, SystemMetric(SM_CXSMICON, dpi));
}

HICON LoadLargeIcon(HINSTANCE instance, const wchar_t* name, UINT dpi) {
  return LoadIconSized(instance, name, SystemMetric(SM_CXICON, dpi));
}

void EnableNonClientScaling(HWND window) {
  if (auto enable = User32<EnableNonClientDpiScalingFn>("EnableNonClientDpiScaling")) enable(window);
}

void BecomePerMonitorAware() {
  // DPI_AWARENESS_CONTEXT_PER_MONITOR_AWARE_V2, then V1; refused contexts change nothing.
  if (auto set = User32<SetThreadDpiAwarenessContextFn>("SetThreadDpiAwarenessContext")) {
    if (!set(reinterpret_cast<HANDLE>(static_cast<LONG_PTR>(-4)))) set(reinterpret_cast<HANDLE>(static_cast<LONG_PTR>(-3)));
  }
}

// A window narrower than a layout allows for gives zero, never a negative size.
static ui::Rect Clamped(const ui::Rect& given) { return {given.x, given.y, given.w < 0 ? 0 : given.w, given.h < 0 ? 0 : given.h}; }

RECT ScaledPlace(const ui::Rect& design, UINT dpi) { return Scale(Clamped(design), dpi); }

void RememberDesignRect(HWND control, const ui::Rect& given) {
  if (!control) return;
  const ui::Rect design = Clamped(given);
  if (!GetPropW(control, MAKEINTATOM(SizeAtom()))) SetWindowSubclass(control, &ForgetDesignRect, kForgetDesignRect, 0);
  SetPropW(control, MAKEINTATOM(PositionAtom()), Pack(design.x, design.y));
  SetPropW(control, MAKEINTATOM(SizeAtom()), Pack(design.w, design.h));
}

void Place(HWND control, const ui::Rect& design, UINT dpi) {
  if (!control) return;
  RememberDesignRect(control, design);
  const RECT r = ScaledPlace(design, dpi);
  SetWindowPos(control, nullptr, r.left, r.top, r.right - r.left, r.bottom - r.top,
               SWP_NOZORDER | SWP_NOACTIVATE);
}

bool DesignRect(HWND control, ui::Rect& design) {
  const HANDLE position = GetPropW(control, MAKEINTATOM(PositionAtom()));
  const HANDLE size = GetPropW(control, MAKEINTATOM(SizeAtom()));
  if (!size) return false;
  const auto p = static_cast<DWORD>(reinterpret_cast<ULONG_PTR>(position));
  const auto s = static_cast<DWORD>(reinterpret_cast<ULONG_PTR>(size));
  design = {static_cast<short>(LOWORD(p)), static_cast<short>(HIWORD(p)), static_cast<short>(LOWORD(s)),
            static_cast<short>(HIWORD(s))};
  return true;
}

TWindowFonts::TWindowFonts(UINT dpi)
    : dpi_(dpi), normal_(ui::CreateWindowFont(FW_NORMAL, dpi)), bold_(ui::CreateWindowFont(FW_BOLD, dpi)) {}

TWindowFonts::~TWindowFonts() {
  DeleteObject(normal_);
  DeleteObject(bold_);
}

void TWindowFonts::Rescale(HWND top, UINT dpi) {
  const UINT oldDpi = dpi_;
  const HFONT oldNormal = normal_, oldBold = bold_;
  dpi_ = dpi;
  normal_ = ui::CreateWindowFont(FW_NORMAL, dpi);
  bold_ = ui::CreateWindowFont(FW_BOLD, dpi);
  Relayout(top, oldDpi, dpi, {{oldNormal, normal_}, {oldBold, bold_}});
  DeleteObject(oldNormal);
  DeleteObject(oldBold);
}

void Relayout(HWND top, UINT oldDpi, UINT dpi, std::initializer_list<std::pair<HFONT, HFONT>> fonts) {
  struct Context {
    std::vector<HWND> windows;
  } context;
  EnumChildWindows(
      top,
      [](HWND child, LPARAM lp) -> BOOL {
        reinterpret_cast<Context*>(lp)->windows.push_back(child);
        return TRUE;
      },
      reinterpret_cast<LPARAM>(&context));
  for (HWND child : context.windows) {
    const auto current = reinterpret_cast<HFONT>(SendMessageW(child, WM_GETFONT, 0, 0));
    for (const auto& [from, to] : fonts)
      if (current && current == from) SendMessageW(child, WM_SETFONT, reinterpret_cast<WPARAM>(to), FALSE);
    ui::Rect design{};
    if (DesignRect(child, design)) Place(child, design, dpi);
    if (oldDpi != dpi && IsOfClass(child, WC_LISTVIEWW)) ScaleColumns(child, oldDpi, dpi);
    // A status bar sizes itself to its font when its parent's size is told.
    if (IsOfClass(child, STATUSCLASSNAMEW)) SendMessageW(child, WM_SIZE, 0, 0);
  }
  RedrawWindow(top, nullptr, nullptr, RDW_INVALIDATE | RDW_ERASE | RDW_ALLCHILDREN);
}

}  // namespace vantrel::dpi
