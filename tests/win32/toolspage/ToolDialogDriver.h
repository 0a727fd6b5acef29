#pragma once
// Runs a script against the tool editor while its modal loop is running.
#include <windows.h>

#include <gtest/gtest.h>

#include <functional>
#include <string>

#include "shell/Controls.h"
#include "tools/fTools.h"

namespace tools_testing {

inline constexpr wchar_t kDialogClass[] = L"TVantrelDialog";
inline constexpr wchar_t kDialogCaption[] = L"Araç özellikleri";
inline constexpr UINT kPollMs = 20;

// Calls open(), which shows the dialog modally; once the dialog is visible, script(dialog) runs
// inside the modal loop. The script must close the dialog. Returns whether the script ran.
inline bool DriveToolDialog(const std::function<void()>& open, const std::function<void(HWND)>& script) {
  static const std::function<void(HWND)>* pending = nullptr;
  static bool ran = false;
  pending = &script;
  ran = false;
  const UINT_PTR timer = SetTimer(nullptr, 0, kPollMs, [](HWND, UINT, UINT_PTR id, DWORD) {
    HWND dialog = FindWindowW(kDialogClass, kDialogCaption);
    if (!pending || !dialog || !IsWindowVisible(dialog)) return;
    KillTimer(nullptr, id);
    const auto* run = pending;
    pending = nullptr;
    ran = true;
    (*run)(dialog);
    // A failed check may have left the dialog open: close it so the test goes on.
    if (::testing::Test::HasFailure()) PostMessageW(dialog, WM_CLOSE, 0, 0);
  });
  open();
  KillTimer(nullptr, timer);
  pending = nullptr;
  return ran;
}

inline HWND Item(HWND dialog, int id) { return GetDlgItem(dialog, id); }
inline std::wstring ItemText(HWND dialog, int id) { return vantrel::ui::GetText(Item(dialog, id)); }
// Typing into a field: the edit reports the change as a keystroke would.
inline void Type(HWND dialog, int id, const std::wstring& text) {
  SetWindowTextW(Item(dialog, id), text.c_str());
}
// The command a click or Enter produces, delivered at once.
inline void Press(HWND dialog, int id) {
  SendMessageW(dialog, WM_COMMAND, MAKEWPARAM(id, BN_CLICKED), reinterpret_cast<LPARAM>(Item(dialog, id)));
}

}  // namespace tools_testing
