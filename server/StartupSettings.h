#pragma once
// Run entries and the guardian option in the registry.
#include <string>

namespace vantrel {

// The machine's Run value that starts the server with Windows.
inline constexpr wchar_t kServerRunEntry[] = L"Firebird";

// Writes (enabled) or deletes the Run value; the Run key is never created.
void WriteRunEntry(const std::wstring& valueName, const std::wstring& path,
                   const std::wstring& parameters, bool enabled, bool localMachine);
// The program of the machine's "Firebird" Run value when that file exists, else empty.
std::wstring ReadRunEntryProgram();
// "GuardianOptions" under the InterBase key, only when that key exists.
void WriteGuardianOptions(bool useGuardian);

}  // namespace vantrel
