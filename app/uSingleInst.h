#pragma once
#include <windows.h>

#include <string>
#include <vector>

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

// An instance restarting itself elevated names itself to the new one: "/handover:" + its id.
std::wstring HandOverParameter(DWORD processId);
// The process a parameter hands over from, or 0 when it is no hand-over parameter.
DWORD HandOverProcessId(const std::wstring& parameter);
// Takes the hand-over parameter out of parameters and waits, at most timeoutMs, for that
// process to end, so that the single-instance check and the listener's port find it gone.
void WaitForHandOver(std::vector<std::wstring>& parameters, DWORD timeoutMs);
inline constexpr DWORD kHandOverWaitMs = 10000;

}  // namespace vantrel
