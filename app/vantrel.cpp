// Program entry: the application object, the main window and the message loop.
#include <windows.h>
#include <commctrl.h>
#include <shellapi.h>

#include <memory>
#include <string>
#include <vector>

#include "app/Application.h"
#include "app/Platform.h"
#include "app/fMain.h"
#include "app/uSingleInst.h"
#include "shell/Dpi.h"
#include "shell/OsError.h"

using namespace vantrel;

namespace {

std::vector<std::wstring> CommandLineParameters() {
  std::vector<std::wstring> parameters;
  int count = 0;
  if (LPWSTR* args = CommandLineToArgvW(GetCommandLineW(), &count)) {
    for (int i = 1; i < count; ++i) parameters.emplace_back(args[i]);
    LocalFree(args);
  }
  return parameters;
}

bool IsIdle() {
  MSG msg;
  return !PeekMessageW(&msg, nullptr, 0, 0, PM_NOREMOVE);
}

int RunMessageLoop(TfrmMain& form) {
  MSG msg;
  for (;;) {
    // Hidden in the notification area nothing shows the actions but the icon's menu, which
    // updates them as it opens.
    if (IsIdle() && IsWindowVisible(form.Handle())) form.ActionListUpdate();
    BOOL got = GetMessageW(&msg, nullptr, 0, 0);
    if (got == 0) return static_cast<int>(msg.wParam);
    if (got < 0) return 1;
    if (form.HandleShortcut(msg)) continue;
    if (IsWindow(form.Handle()) && IsDialogMessageW(form.Handle(), &msg)) continue;
    TranslateMessage(&msg);
    DispatchMessageW(&msg);
  }
}

}  // namespace

int WINAPI wWinMain(HINSTANCE instance, HINSTANCE, PWSTR, int) {
  // Before any window of this process exists: another instance looking for the running one
  // must not find this one while it waits.
  std::vector<std::wstring> parameters = CommandLineParameters();
  WaitForHandOver(parameters, kHandOverWaitMs);

  // Where the manifest's awareness did not take (an old loader, a shim), the thread asks for it.
  dpi::BecomePerMonitorAware();
  INITCOMMONCONTROLSEX controls{sizeof(controls), ICC_WIN95_CLASSES | ICC_BAR_CLASSES |
                                                      ICC_TAB_CLASSES | ICC_LISTVIEW_CLASSES |
                                                      ICC_UPDOWN_CLASS};
  InitCommonControlsEx(&controls);

  const InstanceMessages messages{RegisterWindowMessageW(L"RestoreFromTray"),
                                  RegisterWindowMessageW(L"ExitVANTREL")};
  CreateApplicationWindow(instance);

  try {
    TfrmMain form(instance, RealPlatform(), std::move(parameters), messages);
    if (form.ShowAtStart() && !form.QuitRequested) form.ShowMainWindow();
    return RunMessageLoop(form);
  } catch (...) {
    RealPlatform().dialogs.ShowError(CaughtErrorText());  // e.g. an unreadable alias file
  }
  return 1;
}
