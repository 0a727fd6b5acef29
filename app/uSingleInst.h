#pragma once
#include <windows.h>

#include <string>

namespace vantrel {

struct InstanceMessages {
  UINT restoreFromTray;  // "RestoreFromTray"
  UINT exitRequest;      // "ExitVANTREL"
};

// Returns only when no other instance runs. Otherwise hands the command line over to the
// running instance's application window (restore, or exit for "-exit") and ends this process
// with exit code 0.
void CheckPreviousInstance(const std::wstring& windowTitle, const std::wstring& mutexName,
                           const std::wstring& firstParameter, const InstanceMessages& messages);

// Lower-cases a parameter and tells whether it contains the switch ("-tray", "-exit").
bool ParameterHasSwitch(const std::wstring& parameter, const wchar_t* lowerCaseSwitch);

}  // namespace vantrel
