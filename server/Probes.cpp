#include "server/Probes.h"

#include "server/rules/Instances.h"
#include "shell/Busy.h"
#include "shell/Handles.h"
#include "shell/Window.h"

#include <windows.h>

#include <algorithm>
#include <utility>
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

constexpr wchar_t kWindowFollowClass[] = L"TVantrelWindowFollow";
constexpr UINT WMAPP_WINDOWSCHANGED = WM_APP + 1;

// Follows the server's and the guardian's windows without asking each period. A window made
// anywhere is told by the system's window events, taken out of context (nothing of ours runs in
// the other program); the end of a window is not told everywhere (Wine tells no destruction), so
// the program that owns a found window is waited for instead: a server's window lives as long
// as its program. Both come back to the following thread through a message-only window.
class TWindowFollower {
 public:
  TWindowFollower(std::vector<std::wstring> classes, std::function<void()> changed)
      : classes_(std::move(classes)), changed_(std::move(changed)) {
    RegisterWindowClassFor<TWindowFollower>({kWindowFollowClass});
    window_ = CreateOwnedWindow(kWindowFollowClass, this, 0, L"", 0, {}, HWND_MESSAGE);
    if (!window_) return;
    hook_ = SetWinEventHook(EVENT_OBJECT_CREATE, EVENT_OBJECT_CREATE, nullptr, &WindowMade, 0, 0,
                            WINEVENT_OUTOFCONTEXT | WINEVENT_SKIPOWNPROCESS);
    if (!hook_) return;
    Followers().emplace_back(hook_, this);
    PostMessageW(window_, WMAPP_WINDOWSCHANGED, 0, 0);  // what exists now is looked at once
  }

  ~TWindowFollower() {
    if (hook_) {
      UnhookWinEvent(hook_);
      auto& all = Followers();
      all.erase(std::remove(all.begin(), all.end(), std::pair{hook_, this}), all.end());
    }
    // Waits for a callback under way, so none posts to a window about to go.
    for (Program& program : programs_) UnregisterWaitEx(program.wait, INVALID_HANDLE_VALUE);
    DestroyOwnedWindow(window_);
  }

  TWindowFollower(const TWindowFollower&) = delete;
  TWindowFollower& operator=(const TWindowFollower&) = delete;

  bool Following() const { return hook_ != nullptr; }

  // The program of a window found is waited for until it ends (once per program).
  void Watch(HWND window) {
    DWORD processId = 0;
    GetWindowThreadProcessId(window, &processId);
    if (processId == 0 || !Following()) return;
    for (const Program& program : programs_)
      if (program.id == processId) return;
    OwnedHandle process(OpenProcess(SYNCHRONIZE, FALSE, processId));
    HANDLE wait = nullptr;
    if (!process || !RegisterWaitForSingleObject(&wait, process.Get(), &ProgramEnded, window_, INFINITE,
                                                 WT_EXECUTEONLYONCE))
      return;  // it will be asked for again at the next change
    programs_.push_back({processId, std::move(process), wait});
  }

  LRESULT WindowMessage(HWND hwnd, UINT msg, WPARAM wp, LPARAM lp) {
    if (msg != WMAPP_WINDOWSCHANGED) return DefWindowProcW(hwnd, msg, wp, lp);
    ForgetEndedPrograms();
    if (changed_) changed_();
    return 0;
  }

 private:
  struct Program {
    DWORD id;
    OwnedHandle process;
    HANDLE wait;
  };

  // Out-of-context events carry no pointer of ours: the hook handle finds its follower.
  static std::vector<std::pair<HWINEVENTHOOK, TWindowFollower*>>& Followers() {
    static std::vector<std::pair<HWINEVENTHOOK, TWindowFollower*>> followers;
    return followers;
  }

  static void CALLBACK WindowMade(HWINEVENTHOOK hook, DWORD, HWND window, LONG object, LONG child, DWORD, DWORD) {
    if (object != OBJID_WINDOW || child != CHILDID_SELF) return;
    for (const auto& [followed, follower] : Followers())
      if (followed == hook && follower->Concerns(window)) PostMessageW(follower->window_, WMAPP_WINDOWSCHANGED, 0, 0);
  }

  static void CALLBACK ProgramEnded(void* window, BOOLEAN) {
    PostMessageW(static_cast<HWND>(window), WMAPP_WINDOWSCHANGED, 0, 0);
  }

  bool Concerns(HWND window) const {
    wchar_t className[256];
    if (GetClassNameW(window, className, 256) == 0) return false;
    return std::any_of(classes_.begin(), classes_.end(), [&](const std::wstring& followed) {
      return CompareStringOrdinal(className, -1, followed.c_str(), -1, TRUE) == CSTR_EQUAL;
    });
  }

  void ForgetEndedPrograms() {
    std::erase_if(programs_, [](Program& program) {
      if (WaitForSingleObject(program.process.Get(), 0) != WAIT_OBJECT_0) return false;
      UnregisterWaitEx(program.wait, INVALID_HANDLE_VALUE);
      return true;
    });
  }

  std::vector<std::wstring> classes_;
  std::function<void()> changed_;
  HWND window_ = nullptr;
  HWINEVENTHOOK hook_ = nullptr;
  std::vector<Program> programs_;
};

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
    const std::vector<HWND> windows = ProgramWindows(windowClass, rootDir);
    if (follower_)
      for (HWND window : windows) follower_->Watch(window);
    return !windows.empty();
  }
  bool FollowWindows(std::vector<std::wstring> classes, std::function<void()> changed) override {
    follower_.reset();
    classes.erase(std::remove(classes.begin(), classes.end(), std::wstring()), classes.end());
    if (classes.empty()) return false;
    follower_ = std::make_unique<TWindowFollower>(std::move(classes), std::move(changed));
    if (!follower_->Following()) follower_.reset();
    return follower_ != nullptr;
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

 private:
  std::unique_ptr<TWindowFollower> follower_;
};

}  // namespace

std::unique_ptr<ISystemProbes> CreateSystemProbes() { return std::make_unique<Win32Probes>(); }

}  // namespace vantrel
