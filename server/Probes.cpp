#include "server/Probes.h"

#include "shell/Busy.h"

#include <windows.h>

namespace vantrel {
namespace {

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
  bool PostCloseToWindowClass(const std::wstring& windowClass) override {
    if (windowClass.empty()) return false;
    HWND window = FindWindowW(windowClass.c_str(), nullptr);
    if (!window) return false;
    PostMessageW(window, WM_CLOSE, 0, 0);
    return true;
  }
  bool UserCanBeElevated() override {
    HANDLE token = nullptr;
    if (!OpenProcessToken(GetCurrentProcess(), TOKEN_QUERY, &token)) return false;
    TOKEN_ELEVATION_TYPE type = TokenElevationTypeDefault;
    DWORD size = 0;
    const bool read = GetTokenInformation(token, TokenElevationType, &type, sizeof type, &size) != FALSE;
    CloseHandle(token);
    return read && type == TokenElevationTypeLimited;
  }
  std::uint32_t TickCount() override { return GetTickCount(); }
  // The window keeps reading its messages while a start or stop waits.
  void Sleep(unsigned milliseconds) override { PumpMessagesFor(milliseconds); }
};

}  // namespace

std::unique_ptr<ISystemProbes> CreateSystemProbes() { return std::make_unique<Win32Probes>(); }

}  // namespace vantrel
