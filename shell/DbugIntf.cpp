#include "shell/DbugIntf.h"

#include <windows.h>

#include "shell/Handles.h"

#include <atomic>

#include "shell/Application.h"
#include "shell/Registry.h"
#include "shell/TextConv.h"

namespace vantrel {
namespace {

constexpr int TraceKind = 2;
constexpr wchar_t ViewerWindowClass[] = L"TfmDebug";
constexpr wchar_t ViewerKeyPath[] = L"Software\\GExperts";
constexpr wchar_t ViewerSubKey[] = L"Debug";
constexpr wchar_t ViewerPathValue[] = L"FilePath";
constexpr wchar_t DefaultViewerFile[] = L"GDebug.exe";
constexpr DWORD ViewerReadyTimeoutMs = 3000;

std::atomic<bool> viewerStartFailed{false};
std::atomic<int> viewerStartAttempts{0};



std::wstring ProgramFolder() {
  std::wstring path(MAX_PATH, L'\0');
  for (;;) {
    DWORD length = GetModuleFileNameW(nullptr, path.data(), static_cast<DWORD>(path.size()));
    if (length == 0) return {};
    if (length < path.size()) {
      path.resize(length);
      break;
    }
    path.resize(path.size() * 2);
  }
  return path.substr(0, path.rfind(L'\\') + 1);
}

std::wstring ConfiguredViewerPath() {
  RegKey key = RegKey::Create(HKEY_CURRENT_USER, ViewerKeyPath);
  if (!key) return {};
  RegKey debug = RegKey::Open(key.Get(), ViewerSubKey, KEY_READ);
  return TrimBlanks(debug.ReadString(ViewerPathValue).value_or(L""));
}

bool FileExists(const std::wstring& path) {
  DWORD attributes = GetFileAttributesW(path.c_str());
  return attributes != INVALID_FILE_ATTRIBUTES && !(attributes & FILE_ATTRIBUTE_DIRECTORY);
}

HWND FindViewer() { return FindWindowW(ViewerWindowClass, nullptr); }

HWND StartViewer() {
  if (viewerStartFailed) return nullptr;
  ++viewerStartAttempts;
  std::wstring path = ConfiguredViewerPath();
  if (path.empty()) path = ProgramFolder() + DefaultViewerFile;
  if (path.empty() || !FileExists(path)) {
    viewerStartFailed = true;
    return nullptr;
  }
  STARTUPINFOW startup{};
  startup.cb = sizeof(startup);
  startup.dwFlags = STARTF_USESHOWWINDOW;
  startup.wShowWindow = SW_SHOW;
  PROCESS_INFORMATION process{};
  if (!CreateProcessW(path.c_str(), nullptr, nullptr, nullptr, FALSE, 0, nullptr, nullptr, &startup,
                      &process)) {
    viewerStartFailed = true;
    return nullptr;
  }
  OwnedHandle thread(process.hThread);
  OwnedHandle viewer(process.hProcess);
  WaitForInputIdle(viewer.Get(), ViewerReadyTimeoutMs);
  return FindViewer();
}

}  // namespace

void DebugTrace(const std::wstring& text) {
  HWND viewer = FindViewer();
  if (!viewer) viewer = StartViewer();
  if (!viewer) return;
  std::string payload = DebugPayload(ToAnsi(text), TraceKind);
  COPYDATASTRUCT record{};
  record.dwData = 0;
  record.cbData = static_cast<DWORD>(payload.size() + 1);  // and the buffer's own terminator
  record.lpData = payload.data();
  SendMessageW(viewer, WM_COPYDATA, reinterpret_cast<WPARAM>(ApplicationHandle()),
               reinterpret_cast<LPARAM>(&record));
}

namespace detail {

int DebugViewerStartAttempts() { return viewerStartAttempts; }

void ResetDebugViewerStarts() {
  viewerStartFailed = false;
  viewerStartAttempts = 0;
}

}  // namespace detail

}  // namespace vantrel
