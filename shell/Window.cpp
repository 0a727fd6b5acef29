#include "shell/Window.h"

#include <set>
#include <string>

namespace vantrel {

void RegisterWindowClass(const TWindowClass& info, WNDPROC procedure) {
  static std::set<std::wstring> registered;
  if (!registered.insert(info.name).second) return;
  WNDCLASSEXW wc{};
  wc.cbSize = sizeof(wc);
  wc.lpfnWndProc = procedure;
  wc.hInstance = GetModuleHandleW(nullptr);
  wc.hCursor = info.arrowCursor ? LoadCursorW(nullptr, IDC_ARROW) : nullptr;
  wc.hbrBackground = info.background;
  wc.hIcon = info.icon;
  wc.lpszClassName = info.name;
  RegisterClassExW(&wc);
}

HWND CreateOwnedWindow(const wchar_t* className, void* owner, DWORD exStyle, const wchar_t* title,
                       DWORD style, RECT bounds, HWND parent) {
  return CreateWindowExW(exStyle, className, title, style, bounds.left, bounds.top,
                         bounds.right - bounds.left, bounds.bottom - bounds.top, parent, nullptr,
                         GetModuleHandleW(nullptr), owner);
}

void DestroyOwnedWindow(HWND& hwnd) {
  if (!hwnd) return;
  if (IsWindow(hwnd)) {
    SetWindowLongPtrW(hwnd, GWLP_USERDATA, 0);
    DestroyWindow(hwnd);
  }
  hwnd = nullptr;
}

}  // namespace vantrel
