#include "shell/Busy.h"

#include "shell/Application.h"

namespace vantrel {
namespace {

int busyDepth = 0;
bool quitPending = false;  // the program is ending: waits only sleep

std::function<void(bool)>& Changed() {
  static std::function<void(bool)> changed;
  return changed;
}

bool IsUserInput(const MSG& msg) {
  return (msg.message >= WM_KEYFIRST && msg.message <= WM_KEYLAST) ||
         (msg.message >= WM_MOUSEFIRST && msg.message <= WM_MOUSELAST);
}

}  // namespace

bool ApplicationBusy() { return busyDepth > 0; }

TBusyScope::TBusyScope() {
  if (busyDepth++ > 0) return;
  ShowHourglass();
  if (Changed()) Changed()(true);
}

TBusyScope::~TBusyScope() {
  if (--busyDepth > 0) return;
  ShowDefaultCursor();
  if (Changed()) Changed()(false);
}

void SetBusyChanged(std::function<void(bool busy)> changed) { Changed() = std::move(changed); }

void PumpMessagesFor(unsigned milliseconds) {
  if (quitPending) {
    Sleep(milliseconds);
    return;
  }
  const DWORD start = GetTickCount();
  for (;;) {
    MSG msg;
    while (PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE)) {
      if (msg.message == WM_QUIT) {
        quitPending = true;
        PostQuitMessage(static_cast<int>(msg.wParam));  // for the main loop
        return;
      }
      if (IsUserInput(msg)) continue;
      TranslateMessage(&msg);
      DispatchMessageW(&msg);
    }
    const DWORD elapsed = GetTickCount() - start;
    if (elapsed >= milliseconds) return;
    MsgWaitForMultipleObjectsEx(0, nullptr, milliseconds - elapsed, QS_ALLINPUT, MWMO_INPUTAVAILABLE);
  }
}

}  // namespace vantrel
