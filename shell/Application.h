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
}  // namespace vantrel
#endif
