#pragma once
// Drives vantrel.exe from outside: a simulated installation, the registry, the program's
// windows and message boxes.
#include <windows.h>

#include <functional>
#include <string>
#include <vector>

namespace e2e {

std::wstring BinDir();  // where vantrel.exe and the simulated programs are built

// FirebirdRoot: the layout of Firebird 3 and later, firebird.exe and fbguard.exe in the root.
enum class Kind { Firebird, InterBase, FirebirdRoot };
enum class RegistryView { Bits64, Bits32 };

// Lays the simulated server and guardian of the kind into a fresh folder (bin\, or the root
// itself for FirebirdRoot).
std::wstring LayInstallation(const std::wstring& name, Kind kind);
// The root value where the kind's installer writes it; Bits32 as a 32-bit server on 64-bit Windows.
void RegisterRoot(Kind kind, const std::wstring& root, RegistryView view = RegistryView::Bits64);
void ClearRegistrations();
void ResetUserSettings();  // removes the per-user initialization file

bool WaitFor(const std::function<bool()>& condition, DWORD timeoutMs = 15000);

class Vantrel {
 public:
  // waitIdle: returns once the program waits for input (at most 10 s), as a user would see it.
  explicit Vantrel(const std::wstring& arguments = L"", bool waitIdle = true);
  ~Vantrel();  // ends the process if it still runs
  DWORD Pid() const { return pi_.dwProcessId; }
  bool WaitExit(DWORD timeoutMs, DWORD* exitCode = nullptr);
  bool Running();
  HWND MainWindow();                         // the TfrmMain window of this process, or null
  HWND WaitMainWindow(DWORD timeoutMs = 15000);
  HWND WaitMessageBox(DWORD timeoutMs = 15000);  // a #32770 box titled "Vantrel"

 private:
  PROCESS_INFORMATION pi_{};
};

HWND FindControl(HWND window, int id);
std::wstring Text(HWND window);
std::wstring MessageBoxText(HWND box);
void PressButton(HWND dialog, int id);
std::wstring FileVersionString(const std::wstring& path, const wchar_t* key);

}  // namespace e2e
