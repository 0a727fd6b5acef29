#pragma once
// Running programs: a child that the caller waits for, and launches through the shell.
#include <cstdint>
#include <memory>
#include <string>

namespace vantrel {

// Runs a command line and waits, dispatching this thread's messages every 500 ms.
// Returns the child's exit code (0 .. 2^32-1), or -1 when the child could not be started
// (GetLastError then holds the reason). A WM_QUIT taken meanwhile ends the process at once.
std::int64_t RunAndWait(const std::wstring& commandLine, unsigned short showState);

// The working directory RunAndWait picks for a command line: the text before its last
// backslash when that names an existing directory, "." otherwise.
std::wstring RunAndWaitDirectory(const std::wstring& commandLine);

class IProgramLauncher {
 public:
  virtual ~IProgramLauncher() = default;
  virtual std::int64_t RunAndWait(const std::wstring& commandLine, unsigned short showState) = 0;
  // ShellExecute with the default verb and no owner. True on success; error = the last error.
  virtual bool ShellOpen(const std::wstring& file, const std::wstring& parameters,
                         const std::wstring& directory, int showCommand, std::uint32_t& error) = 0;
  // Starts the program with the "runas" verb (the elevation prompt). True once it started;
  // error = ERROR_CANCELLED when the user refused the prompt, else the system's reason.
  virtual bool RunElevated(const std::wstring& program, const std::wstring& parameters, std::uint32_t& error) = 0;
};

std::unique_ptr<IProgramLauncher> CreateProgramLauncher();

}  // namespace vantrel
