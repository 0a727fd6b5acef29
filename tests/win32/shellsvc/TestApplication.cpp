#include "tests/win32/shellsvc/TestApplication.h"

#include "shell/Application.h"

namespace vantrel {

HWND ApplicationHandle() {
  static HWND window = CreateWindowExW(0, L"STATIC", L"Vantrel", WS_POPUP, 0, 0, 0, 0, nullptr,
                                       nullptr, GetModuleHandleW(nullptr), nullptr);
  return window;
}

const std::wstring& ApplicationTitle() {
  static const std::wstring title = L"Vantrel";
  return title;
}

void ShowHourglass() {
  ++test::Cursor().hourglassCalls;
  test::Cursor().current = test::CursorShown::Hourglass;
}

void ShowAppStartCursor() { test::Cursor().current = test::CursorShown::AppStart; }

void ShowDefaultCursor() {
  ++test::Cursor().defaultCalls;
  test::Cursor().current = test::CursorShown::Default;
}

void ProcessMessages() {
  MSG msg;
  while (PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE)) {
    TranslateMessage(&msg);
    DispatchMessageW(&msg);
  }
}

namespace test {

CursorLog& Cursor() {
  static CursorLog log;
  return log;
}

void ResetCursor() { Cursor() = CursorLog{}; }

}  // namespace test
}  // namespace vantrel
