// A child program for the shell-service tests; what it does is chosen on its command line:
//   (none)                 a debug viewer: a window of class "TfmDebug" that appends every
//                          WM_COPYDATA record to the file named by VANTREL_VIEWER_LOG
//   exit <code>            ends with that exit code (any 32-bit value)
//   sleep-exit <ms> <code> waits, then ends with that exit code
//   marker                 exit code 10 when "marker.txt" is in the working directory, else 11
//   quit-during-wait       a quit request arrives while RunAndWait waits for a child: the
//                          process must end with the request's code 42, not 100 + the child's
#include <windows.h>
#include <shellapi.h>

#include <cstdio>
#include <cwchar>
#include <string>

#include "shell/uExec.h"

namespace {

constexpr UINT QuitCode = 42;

UINT Number(const wchar_t* text) { return static_cast<UINT>(std::wcstoul(text, nullptr, 0)); }

std::wstring OwnPath() {
  wchar_t path[MAX_PATH] = {};
  GetModuleFileNameW(nullptr, path, MAX_PATH);
  return path;
}

LRESULT CALLBACK ViewerProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
  if (message == WM_COPYDATA) {
    const auto* record = reinterpret_cast<const COPYDATASTRUCT*>(lParam);
    wchar_t logPath[MAX_PATH] = {};
    if (GetEnvironmentVariableW(L"VANTREL_VIEWER_LOG", logPath, MAX_PATH)) {
      if (FILE* log = _wfopen(logPath, L"ab")) {
        std::uint64_t sender = static_cast<std::uint64_t>(wParam);
        std::uint64_t data = static_cast<std::uint64_t>(record->dwData);
        std::uint32_t size = record->cbData;
        std::fwrite(&sender, sizeof(sender), 1, log);
        std::fwrite(&data, sizeof(data), 1, log);
        std::fwrite(&size, sizeof(size), 1, log);
        std::fwrite(record->lpData, 1, size, log);
        std::fclose(log);
      }
    }
    return TRUE;
  }
  if (message == WM_DESTROY) PostQuitMessage(0);
  return DefWindowProcW(window, message, wParam, lParam);
}

int RunViewer(HINSTANCE instance) {
  WNDCLASSW windowClass{};
  windowClass.lpfnWndProc = ViewerProc;
  windowClass.hInstance = instance;
  windowClass.lpszClassName = L"TfmDebug";
  RegisterClassW(&windowClass);
  CreateWindowExW(0, L"TfmDebug", L"Test debug viewer", WS_OVERLAPPEDWINDOW, 0, 0, 200, 100,
                  nullptr, nullptr, instance, nullptr);
  MSG msg;
  while (GetMessageW(&msg, nullptr, 0, 0) > 0) {
    TranslateMessage(&msg);
    DispatchMessageW(&msg);
  }
  return 0;
}

}  // namespace

int WINAPI wWinMain(HINSTANCE instance, HINSTANCE, PWSTR, int) {
  int argc = 0;
  wchar_t** argv = CommandLineToArgvW(GetCommandLineW(), &argc);
  std::wstring mode = argc > 1 ? argv[1] : L"";
  if (mode.empty()) return RunViewer(instance);
  if (mode == L"exit" && argc > 2) ExitProcess(Number(argv[2]));
  if (mode == L"sleep-exit" && argc > 3) {
    Sleep(Number(argv[2]));
    ExitProcess(Number(argv[3]));
  }
  if (mode == L"marker")
    return GetFileAttributesW(L"marker.txt") != INVALID_FILE_ATTRIBUTES ? 10 : 11;
  if (mode == L"quit-during-wait") {
    PostQuitMessage(QuitCode);
    std::int64_t child = vantrel::RunAndWait(L"\"" + OwnPath() + L"\" sleep-exit 1500 5", SW_HIDE);
    return static_cast<int>(100 + child);
  }
  return 2;
}
