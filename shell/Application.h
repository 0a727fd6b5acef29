#pragma once
// The application object: the hidden top-level window (class "TApplication") that titles
// message boxes, owns dialogs and receives the messages of a second instance.
#include <string>

#ifdef _WIN32
#include <windows.h>
namespace vantrel {
HWND ApplicationHandle();
const std::wstring& ApplicationTitle();
// Application-wide mouse cursor: hourglass during long operations, default afterwards.
void ShowHourglass();
void ShowAppStartCursor();
void ShowDefaultCursor();
// Takes every pending message of this thread off the queue and dispatches it.
void ProcessMessages();

// The application-wide cursor while the guard lives, and the default one again on every path
// out of the operation it covers.
class TCursorGuard {
 public:
  enum Kind { Hourglass, AppStarting };
  explicit TCursorGuard(Kind kind = Hourglass) {
    if (kind == Hourglass)
      ShowHourglass();
    else
      ShowAppStartCursor();
  }
  ~TCursorGuard() { ShowDefaultCursor(); }
  TCursorGuard(const TCursorGuard&) = delete;
  TCursorGuard& operator=(const TCursorGuard&) = delete;
};
}  // namespace vantrel
#endif
