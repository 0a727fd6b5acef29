#include "shell/Dpi.h"

#include <commctrl.h>

#include <vector>

namespace vantrel::dpi {
namespace {

// Windows 10 1607 and later; Wine has them too.
using GetDpiForWindowFn = UINT(WINAPI*)(HWND);
using GetDpiForSystemFn = UINT(WINAPI*)();
using GetSystemMetricsForDpiFn = int(WINAPI*)(int, UINT);
using AdjustWindowRectExForDpiFn = BOOL(WINAPI*)(LPRECT, DWORD, BOOL, DWORD, UINT);
using EnableNonClientDpiScalingFn = BOOL(WINAPI*)(HWND);
using SetThreadDpiAwarenessContextFn = HANDLE(WINAPI*)(HANDLE);
// Vista and later, comctl32 6.
using LoadIconWithScaleDownFn = HRESULT(WINAPI*)(HINSTANCE, PCWSTR, int, int, HICON*);

template <typename Fn>
Fn User32(const char* name) {
  static HMODULE user32 = GetModuleHandleW(L"user32.dll");
  return user32 ? reinterpret_cast<Fn>(reinterpret_cast<void*>(GetProcAddress(user32, name))) : nullptr;
}

LoadIconWithScaleDownFn ScaleDownLoader() {
  static HMODULE comctl = GetModuleHandleW(L"comctl32.dll");
  static auto load = comctl ? reinterpret_cast<LoadIconWithScaleDownFn>(
                                  reinterpret_cast<void*>(GetProcAddress(comctl, "LoadIconWithScaleDown")))
                            : nullptr;
  return load;
}

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
  if (auto load = ScaleDownLoader(); load && SUCCEEDED(load(instance, name, size, size, &icon))) return icon;
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

}  // namespace

UINT SystemDpi() {
  if (auto forSystem = User32<GetDpiForSystemFn>("GetDpiForSystem")) return forSystem();
  HDC screen = GetDC(nullptr);
  const int value = GetDeviceCaps(screen, LOGPIXELSY);
  ReleaseDC(nullptr, screen);
  return value > 0 ? static_cast<UINT>(value) : kDesignDpi;
}

UINT ForWindow(HWND window) {
  if (auto forWindow = User32<GetDpiForWindowFn>("GetDpiForWindow"); forWindow && window)
    if (const UINT value = forWindow(window)) return value;
  return SystemDpi();
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

void Place(HWND control, const ui::Rect& given, UINT dpi) {
  if (!control) return;
  // A window narrower than a layout allows for gives zero, never a negative size.
  const ui::Rect design{given.x, given.y, given.w < 0 ? 0 : given.w, given.h < 0 ? 0 : given.h};
  SetPropW(control, MAKEINTATOM(PositionAtom()), Pack(design.x, design.y));
  SetPropW(control, MAKEINTATOM(SizeAtom()), Pack(design.w, design.h));
  const RECT r = Scale(design, dpi);
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
