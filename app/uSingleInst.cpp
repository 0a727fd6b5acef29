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

}  // namespace vantrel
