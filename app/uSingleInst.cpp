#include "app/uSingleInst.h"

#include <cwctype>

#include "app/Application.h"

namespace vantrel {
namespace {

HANDLE instanceMutex = nullptr;  // held until the process ends; the system releases it

HWND FindOtherApplicationWindow(const std::wstring& title) {
  HWND own = ApplicationHandle();
  HWND found = nullptr;
  while ((found = FindWindowExW(nullptr, found, kApplicationWindowClass, title.c_str())) != nullptr) {
    if (found != own) return found;
  }
  return nullptr;
}

}  // namespace

bool ParameterHasSwitch(const std::wstring& parameter, const wchar_t* lowerCaseSwitch) {
  std::wstring lower = parameter;
  for (auto& c : lower) c = static_cast<wchar_t>(std::towlower(c));
  return lower.find(lowerCaseSwitch) != std::wstring::npos;
}

void CheckPreviousInstance(const std::wstring& windowTitle, const std::wstring& mutexName,
                           const std::wstring& firstParameter, const InstanceMessages& messages) {
  if (instanceMutex) return;  // this process checked already and is the one instance
  instanceMutex = CreateMutexW(nullptr, TRUE, mutexName.c_str());
  if (GetLastError() != ERROR_ALREADY_EXISTS) return;

  if (HWND other = FindOtherApplicationWindow(windowTitle)) {
    if (ParameterHasSwitch(firstParameter, L"-exit")) {
      PostMessageW(other, messages.exitRequest, 0, 0);
    } else {
      PostMessageW(other, messages.restoreFromTray, 0, 0);
      ProcessMessages();
      SwitchToThisWindow(other, FALSE);
    }
  }
  ExitProcess(0);
}

namespace {
constexpr wchar_t kHandOverPrefix[] = L"/handover:";
}  // namespace

std::wstring HandOverParameter(DWORD processId) { return kHandOverPrefix + std::to_wstring(processId); }

DWORD HandOverProcessId(const std::wstring& parameter) {
  const std::wstring prefix = kHandOverPrefix;
  if (parameter.size() <= prefix.size() || parameter.compare(0, prefix.size(), prefix) != 0) return 0;
  DWORD id = 0;
  for (std::size_t i = prefix.size(); i < parameter.size(); ++i) {
    const wchar_t c = parameter[i];
    if (c < L'0' || c > L'9' || id > (0xFFFFFFFFu - 9) / 10) return 0;
    id = id * 10 + static_cast<DWORD>(c - L'0');
  }
  return id;
}

void WaitForHandOver(std::vector<std::wstring>& parameters, DWORD timeoutMs) {
  DWORD from = 0;
  std::erase_if(parameters, [&](const std::wstring& p) {
    const DWORD id = HandOverProcessId(p);
    if (id) from = id;
    return id != 0;
  });
  if (!from) return;
  // A process that is already gone (or never was) is nothing to wait for.
  if (HANDLE process = OpenProcess(SYNCHRONIZE, FALSE, from)) {
    WaitForSingleObject(process, timeoutMs);
    CloseHandle(process);
  }
}

}  // namespace vantrel
