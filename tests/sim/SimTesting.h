#pragma once
// For tests that drive the simulated installation: private copies, processes, services and
// registry values that are put back however a test ends. Linked as sim_testing.
#include <windows.h>

#include <chrono>
#include <functional>
#include <optional>
#include <string>
#include <vector>

#include "tests/sim/SimSupport.h"

namespace vantrel::sim::testing {

using namespace std::chrono_literals;

// Wine can take several seconds to start a process or a service.
inline constexpr auto kStartTimeout = 15s;

bool WaitUntil(const std::function<bool()>& condition, std::chrono::milliseconds timeout);
// The same while dispatching this thread's messages (what a window of the test is told arrives).
bool PumpUntil(const std::function<bool()>& condition, std::chrono::milliseconds timeout);

// <build>/sim/<kind> (firebird, interbase, firebird5), laid out by the build beside the test's bin folder.
std::wstring LayoutRoot(Kind kind);

// A private installation of one kind in a fresh temporary folder, removed with its contents.
class TempInstallation {
 public:
  explicit TempInstallation(Kind kind, const std::wstring& folderName = L"");
  ~TempInstallation();
  TempInstallation(const TempInstallation&) = delete;
  TempInstallation& operator=(const TempInstallation&) = delete;

  const std::wstring& Root() const { return root_; }  // without trailing delimiter
  // The folder of the programs and tools: bin\, or the root itself in the root layout.
  std::wstring Bin() const { return Names().rootLayout ? root_ : root_ + L"\\bin"; }
  std::wstring BinFile(std::wstring_view name) const { return Bin() + L"\\" + std::wstring(name); }
  Kind GetKind() const { return kind_; }
  const KindNames& Names() const { return NamesOf(kind_); }

 private:
  Kind kind_;
  std::wstring root_;
};

// CreateProcessW, tried again a few times when Wine refuses the start (said on stderr).
bool StartProcess(const std::wstring& commandLine, const std::wstring& workingFolder, PROCESS_INFORMATION& info);

// A started process; ended (TerminateProcess) when the test did not end it.
class ChildProcess {
 public:
  ChildProcess() = default;
  ChildProcess(ChildProcess&&) = default;
  ChildProcess& operator=(ChildProcess&&) = default;
  ~ChildProcess();

  // The command line is passed as it is (program path first, quoted or not, as the caller wants).
  static ChildProcess Start(const std::wstring& commandLine, const std::wstring& workingFolder = L"");

  explicit operator bool() const { return static_cast<bool>(process_); }
  // The exit code once the process has ended within the timeout.
  std::optional<DWORD> WaitForExit(std::chrono::milliseconds timeout);

 private:
  UniqueHandle process_;
};

// Runs a command line to its end; the exit code, or nothing when it did not start or end in time.
std::optional<DWORD> RunToEnd(const std::wstring& commandLine, std::chrono::milliseconds timeout = kStartTimeout);

HWND FindClassWindow(std::wstring_view windowClass);
bool WindowExists(std::wstring_view windowClass);
int CountClassWindows(std::wstring_view windowClass);  // top-level windows of the class
// Closes every top-level window of the class, ending its process when the window does not go.
void EndWindowsOfClass(std::wstring_view windowClass);

// Ends everything of a kind that may run: both services (deleted) and the windows of both programs.
void EndEverythingOf(Kind kind);

// Remembers a string value under HKEY_LOCAL_MACHINE and puts it back (or deletes it) on destruction.
class SavedMachineValue {
 public:
  SavedMachineValue(std::wstring key, std::wstring name);
  ~SavedMachineValue();
  SavedMachineValue(const SavedMachineValue&) = delete;
  SavedMachineValue& operator=(const SavedMachineValue&) = delete;

 private:
  std::wstring key_;
  std::wstring name_;
  bool keyExisted_ = false;
  std::optional<std::wstring> value_;
};

std::optional<std::wstring> ReadMachineString(const std::wstring& key, const std::wstring& name);
bool MachineKeyExists(const std::wstring& key);

// Points the registration tools' log at a fresh file for the life of the object.
class ToolLogCapture {
 public:
  ToolLogCapture();
  ~ToolLogCapture();
  ToolLogCapture(const ToolLogCapture&) = delete;
  ToolLogCapture& operator=(const ToolLogCapture&) = delete;

  std::vector<std::wstring> Lines() const;

 private:
  std::wstring path_;
  std::optional<std::wstring> previous_;
};

// Unsets the log variable for the life of the object, so the tools log beside themselves.
class ToolLogDefault {
 public:
  ToolLogDefault();
  ~ToolLogDefault();
  ToolLogDefault(const ToolLogDefault&) = delete;
  ToolLogDefault& operator=(const ToolLogDefault&) = delete;

 private:
  std::optional<std::wstring> previous_;
};

std::vector<std::wstring> ReadLines(const std::wstring& path);

DWORD ServiceState(const std::wstring& name);  // 0 when the service cannot be queried
std::optional<DWORD> ServiceExitCode(const std::wstring& name);

struct ServiceSetup {
  DWORD startType = 0;
  DWORD serviceType = 0;
  std::wstring binaryPath;
  std::wstring displayName;
};
std::optional<ServiceSetup> QueryServiceSetup(const std::wstring& name);

bool StartServiceByName(const std::wstring& name);
bool SendStop(const std::wstring& name);
bool DeleteServiceByName(const std::wstring& name);  // stops it first; true when it is gone

}  // namespace vantrel::sim::testing
