#pragma once
// Tests reach a page's controls as a user does: by their ids, on the window's pages.
#include <windows.h>

#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "app/fMain.h"
#include "shell/ControlIds.h"

namespace vantrel {

// The window as the program opens it: made, then its first messages taken until the start-up
// that follows the first paint is done.
inline std::unique_ptr<TfrmMain> OpenMainForm(Platform& platform, std::vector<std::wstring> parameters = {}) {
  auto form = std::make_unique<TfrmMain>(GetModuleHandleW(nullptr), platform, std::move(parameters),
                                         InstanceMessages{RegisterWindowMessageW(L"RestoreFromTray"),
                                                          RegisterWindowMessageW(L"ExitVANTREL")});
  MSG msg;
  std::optional<WPARAM> quit;  // left by a window closed earlier in the test: kept for after
  while (!form->StartedUp() && !form->QuitRequested) {
    const BOOL got = GetMessageW(&msg, nullptr, 0, 0);
    if (got < 0) break;
    if (got == 0) {
      quit = msg.wParam;
      continue;
    }
    TranslateMessage(&msg);
    DispatchMessageW(&msg);
  }
  if (quit) PostQuitMessage(static_cast<int>(*quit));
  return form;
}

// The control of that id on any page of the window (every page made first) or on the window.
inline HWND Ctl(TfrmMain& form, int id) {
  form.CreateAllPages();
  struct Search {
    int id;
    HWND found;
  } search{id, nullptr};
  EnumChildWindows(
      form.Handle(),
      [](HWND child, LPARAM data) -> BOOL {
        auto* s = reinterpret_cast<Search*>(data);
        if (GetDlgCtrlID(child) != s->id) return TRUE;
        s->found = child;
        return FALSE;
      },
      reinterpret_cast<LPARAM>(&search));
  return search.found;
}

// Sets a check box and runs its click handling, as a user's click does.
inline void Tick(HWND box, bool checked) {
  if ((SendMessageW(box, BM_GETCHECK, 0, 0) == BST_CHECKED) == checked) return;
  SendMessageW(box, BM_SETCHECK, checked ? BST_CHECKED : BST_UNCHECKED, 0);
  SendMessageW(GetParent(box), WM_COMMAND, MAKEWPARAM(GetDlgCtrlID(box), BN_CLICKED), reinterpret_cast<LPARAM>(box));
}

}  // namespace vantrel
