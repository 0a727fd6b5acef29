#include "shell/uExec.h"

#include <windows.h>

#include "shell/Handles.h"
#include <shellapi.h>

#include <vector>

namespace vantrel {
namespace {

constexpr DWORD WaitSliceMs = 500;
constexpr INT_PTR ShellExecuteSucceeded = 32;  // ShellExecute answers above this on success


bool DirectoryExists(const std::wstring& path) {
  DWORD attributes = GetFileAttributesW(path.c_str());
  return attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY);
}

// Takes this thread's waiting messages off the queue; a quit request ends the program here.
void DispatchWaitingMessages() {
  MSG msg;
  while (PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE)) {
    if (msg.message == WM_QUIT) ExitProcess(static_cast<UINT>(msg.wParam));
    TranslateMessage(&msg);
    DispatchMessageW(&msg);
  }
}

class TProgramLauncher : public IProgramLauncher {
 public:
  std::int64_t RunAndWait(const std::wstring& commandLine, unsigned short showState) override {
    return vantrel::RunAndWait(commandLine, showState);
  }

  bool ShellOpen(const std::wstring& file, const std::wstring& parameters,
                 const std::wstring& directory, int showCommand, std::uint32_t& error) override {
    error = 0;
    SetLastError(ERROR_SUCCESS);
    auto answer = reinterpret_cast<INT_PTR>(
        ShellExecuteW(nullptr, nullptr, file.c_str(), parameters.empty() ? nullptr : parameters.c_str(),
                      directory.empty() ? nullptr : directory.c_str(), showCommand));
    if (answer > ShellExecuteSucceeded) return true;
    error = GetLastError();
    // Some failures leave the last error untouched; the shell's own code is better than none.
    if (error == ERROR_SUCCESS) error = static_cast<std::uint32_t>(answer);
    return false;
  }

  bool RunElevated(const std::wstring& program, const std::wstring& parameters, std::uint32_t& error) override {
    SHELLEXECUTEINFOW info{};
    info.cbSize = sizeof info;
    info.fMask = SEE_MASK_NOASYNC | SEE_MASK_FLAG_NO_UI;
    info.lpVerb = L"runas";
    info.lpFile = program.c_str();
    info.lpParameters = parameters.empty() ? nullptr : parameters.c_str();
    info.nShow = SW_SHOWNORMAL;
    if (ShellExecuteExW(&info)) return true;
    error = GetLastError();
    if (error == ERROR_SUCCESS) error = ERROR_GEN_FAILURE;
    return false;
  }
};

}  // namespace

std::wstring RunAndWaitDirectory(const std::wstring& commandLine) {
  std::size_t lastBackslash = commandLine.rfind(L'\\');
  if (lastBackslash == std::wstring::npos) return L".";
  std::wstring directory = commandLine.substr(0, lastBackslash);
  // "C:" alone names the drive's current directory, not the folder the program lies in.
  if (directory.size() == 2 && directory[1] == L':') directory += L'\\';
  return DirectoryExists(directory) ? directory : L".";
}

namespace {

std::int64_t StartAndWait(const std::wstring& commandLine, unsigned short showState,
                          DWORD& startError) {
  STARTUPINFOW startup{};
  startup.cb = sizeof(startup);
  startup.dwFlags = STARTF_USESHOWWINDOW | STARTF_FORCEONFEEDBACK;
  startup.wShowWindow = showState;
  std::wstring directory = RunAndWaitDirectory(commandLine);
  std::vector<wchar_t> mutableCommandLine(commandLine.begin(), commandLine.end());
  mutableCommandLine.push_back(L'\0');
  PROCESS_INFORMATION process{};
  if (!CreateProcessW(nullptr, mutableCommandLine.data(), nullptr, nullptr, FALSE,
                      NORMAL_PRIORITY_CLASS, nullptr, directory.c_str(), &startup, &process)) {
    startError = GetLastError();
    return -1;
  }
  OwnedHandle thread(process.hThread);
  OwnedHandle child(process.hProcess);
  // The loop ends on the process object, not on STILL_ACTIVE: a child may exit with code 259.
  do {
    Sleep(WaitSliceMs);
    DispatchWaitingMessages();
  } while (WaitForSingleObject(child.Get(), 0) == WAIT_TIMEOUT);
  DWORD exitCode = 0;
  GetExitCodeProcess(child.Get(), &exitCode);
  return static_cast<std::int64_t>(exitCode);
}

}  // namespace

std::int64_t RunAndWait(const std::wstring& commandLine, unsigned short showState) {
  DWORD startError = ERROR_SUCCESS;
  std::int64_t result = StartAndWait(commandLine, showState, startError);
  // Set after every local of the attempt is gone, so the caller reads the start's own reason.
  if (result < 0) SetLastError(startError);
  return result;
}

std::unique_ptr<IProgramLauncher> CreateProgramLauncher() {
  return std::make_unique<TProgramLauncher>();
}

}  // namespace vantrel
