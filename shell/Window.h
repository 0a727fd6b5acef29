#pragma once
// One way to tie a window to its C++ object: the class's procedure takes the object from the
// creation parameters and hands every message to Owner::WindowMessage.
#include <windows.h>

namespace vantrel {

struct TWindowClass {
  const wchar_t* name;
  HBRUSH background = nullptr;
  HICON icon = nullptr;
  bool arrowCursor = true;
};

// Registers the class once per process; later calls with the same name do nothing.
void RegisterWindowClass(const TWindowClass& info, WNDPROC procedure);

template <class Owner>
LRESULT CALLBACK WindowThunk(HWND hwnd, UINT msg, WPARAM wp, LPARAM lp) {
  if (msg == WM_NCCREATE) {
    auto* created = static_cast<Owner*>(reinterpret_cast<CREATESTRUCTW*>(lp)->lpCreateParams);
    SetWindowLongPtrW(hwnd, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(created));
  }
  auto* owner = reinterpret_cast<Owner*>(GetWindowLongPtrW(hwnd, GWLP_USERDATA));
  if (!owner) return DefWindowProcW(hwnd, msg, wp, lp);
  if (msg == WM_NCDESTROY) SetWindowLongPtrW(hwnd, GWLP_USERDATA, 0);
  return owner->WindowMessage(hwnd, msg, wp, lp);
}

template <class Owner>
void RegisterWindowClassFor(const TWindowClass& info) {
  RegisterWindowClass(info, &WindowThunk<Owner>);
}

// Creates a window of a class registered for Owner, tied to owner.
HWND CreateOwnedWindow(const wchar_t* className, void* owner, DWORD exStyle, const wchar_t* title,
                       DWORD style, RECT bounds, HWND parent);

// Detaches the object and destroys the window: no message reaches an object being destroyed.
void DestroyOwnedWindow(HWND& hwnd);

}  // namespace vantrel
