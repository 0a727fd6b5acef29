#pragma once
// Program-level pieces of the application object that only the program entry and the main
// window use (the shared part is shell/Application.h).
#include <windows.h>

#include "shell/Application.h"

namespace vantrel {

inline constexpr wchar_t kApplicationWindowClass[] = L"TApplication";

HWND CreateApplicationWindow(HINSTANCE instance);

// The application-wide cursor while a long operation runs (null: the windows' own).
HCURSOR ApplicationCursor();

// Restore/exit requests of another instance; returns true when the message was handled.
extern bool (*ApplicationMessageHook)(UINT message);

}  // namespace vantrel
