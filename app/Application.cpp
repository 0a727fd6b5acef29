#include "shell/Application.h"

#include "app/Application.h"
#include "resources/Texts.h"
#include "shell/Window.h"

namespace vantrel {
namespace {

HWND applicationWindow = nullptr;
const std::wstring applicationTitle = txt::AppTitle;
HCURSOR currentCursor = nullptr;  // null: each window's own cursor

LRESULT CALLBACK ApplicationWndProc(HWND hwnd, UINT msg, WPARAM wp, LPARAM lp) {
  if (ApplicationMessageHook && ApplicationMessageHook(msg)) return 0;
  return DefWindowProcW(hwnd, msg, wp, lp);
}

void ApplyCursor(HCURSOR cursor) {
  currentCursor = cursor;
  SetCursor(cursor ? cursor : LoadCursorW(nullptr, IDC_ARROW));
}

}  // namespace

bool (*ApplicationMessageHook)(UINT message) = nullptr;

HWND CreateApplicationWindow(HINSTANCE instance) {
  RegisterWindowClass({kApplicationWindowClass, nullptr, nullptr, false}, ApplicationWndProc);
  // Never visible: it only carries the title another instance looks for and owns the boxes.
  applicationWindow = CreateWindowExW(0, kApplicationWindowClass, applicationTitle.c_str(),
                                      WS_POPUP | WS_CAPTION | WS_SYSMENU, 0, 0, 0, 0, nullptr,
                                      nullptr, instance, nullptr);
  return applicationWindow;
}

HWND ApplicationHandle() { return applicationWindow; }
const std::wstring& ApplicationTitle() { return applicationTitle; }

HCURSOR ApplicationCursor() { return currentCursor; }
void ShowHourglass() { ApplyCursor(LoadCursorW(nullptr, IDC_WAIT)); }
void ShowAppStartCursor() { ApplyCursor(LoadCursorW(nullptr, IDC_APPSTARTING)); }
void ShowDefaultCursor() { ApplyCursor(nullptr); }

void ProcessMessages() {
  MSG msg;
  while (PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE)) {
    if (msg.message == WM_QUIT) {
      PostQuitMessage(static_cast<int>(msg.wParam));  // leave it for the main loop
      return;
    }
    TranslateMessage(&msg);
    DispatchMessageW(&msg);
  }
}

}  // namespace vantrel
