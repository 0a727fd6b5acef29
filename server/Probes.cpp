#include "server/Probes.h"

#include "server/rules/Instances.h"
#include "shell/Busy.h"
#include "shell/Handles.h"

#include <windows.h>

#include <vector>

namespace vantrel {
namespace {

constexpr DWORD kImagePathLength = 32768;

// The full path of the program that owns window; empty when its process cannot be asked.
std::wstring ProgramOfWindow(HWND window) {
  DWORD processId = 0;
  GetWindowThreadProcessId(window, &processId);
  if (processId == 0) return {};
  OwnedHandle process(OpenProcess(PROCESS_QUERY_LIMITED_INFORMATION, FALSE, processId));
  if (!process) return {};
  std::wstring path(kImagePathLength, L'\0');
  DWORD length = kImagePathLength;
  if (!QueryFullProcessImageNameW(process.Get(), 0, path.data(), &length)) return {};
  path.resize(length);
  return path;
}

// The top-level windows of a class whose program lies in rootDir.
std::vector<HWND> ProgramWindows(const std::wstring& windowClass, const std::wstring& rootDir) {
  std::vector<HWND> windows;
  if (windowClass.empty() || rootDir.empty()) return windows;
  for (HWND window = FindWindowExW(nullptr, nullptr, windowClass.c_str(), nullptr); window;
       window = FindWindowExW(nullptr, window, windowClass.c_str(), nullptr))
    if (PathIsInFolder(ProgramOfWindow(window), rootDir)) windows.push_back(window);
  return windows;
}

class Win32Probes final : public ISystemProbes {
 public:
  bool IsWindowsNT() override {
    OSVERSIONINFOW info{sizeof(info)};
#pragma GCC diagnostic push
#pragma GCC diagnostic ignored "-Wdeprecated-declarations"
    if (!GetVersionExW(&info)) return true;
#pragma GCC diagnostic pop
    return info.dwPlatformId == VER_PLATFORM_WIN32_NT;
  }
  bool WindowClassExists(const std::wstring& windowClass) override {
    return !windowClass.empty() && FindWindowW(windowClass.c_str(), nullptr) != nullptr;
  }
  bool ProgramWindowExists(const std::wstring& windowClass, const std::wstring& rootDir) override {
    return !ProgramWindows(windowClass, rootDir).empty();
  }
  bool PostCloseToProgramWindows(const std::wstring& windowClass, const std::wstring& rootDir) override {
    const std::vector<HWND> windows = ProgramWindows(windowClass, rootDir);
    for (HWND window : windows) PostMessageW(window, WM_CLOSE, 0, 0);
    return !windows.empty();
  }
  bool UserCanBeElevated() override {
    HANDLE token = nullptr;
    if (!OpenProcessToken(GetCurrentProcess(), TOKEN_QUERY, &token)) return false;
    OwnedHandle owner(token);
    TOKEN_ELEVATION_TYPE type = TokenElevationTypeDefault;
    DWORD size = 0;
    const bool read = GetTokenInformation(token, TokenElevationType, &type, sizeof type, &size) != FALSE;
    return read && type == TokenElevationTypeLimited;
  }
  std::uint32_t TickCount() override { return GetTickCount(); }
  // The window keeps reading its messages while a start or stop waits.
  void Sleep(unsigned milliseconds) override { PumpMessagesFor(milliseconds); }
};

}  // namespace

std::unique_ptr<ISystemProbes> CreateSystemProbes() { return std::make_unique<Win32Probes>(); }

}  // namespace vantrel
