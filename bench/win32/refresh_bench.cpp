// CPU time of one status refresh with the real probes and service manager, and the CPU the
// program uses while it sits hidden in the notification area.
#include <windows.h>

#include <cstdio>
#include <string>

#include "app/Application.h"
#include "app/Platform.h"
#include "app/fMain.h"

using namespace vantrel;

namespace {

double CpuMs(HANDLE process) {
  FILETIME created, exited, kernel, user;
  GetProcessTimes(process, &created, &exited, &kernel, &user);
  auto ms = [](FILETIME t) {
    return ((static_cast<unsigned long long>(t.dwHighDateTime) << 32) | t.dwLowDateTime) / 10000.0;
  };
  return ms(kernel) + ms(user);
}

std::wstring BinDir() {
  wchar_t path[MAX_PATH];
  GetModuleFileNameW(nullptr, path, MAX_PATH);
  std::wstring p = path;
  return p.substr(0, p.find_last_of(L'\\'));
}

}  // namespace

int wmain(int argc, wchar_t** argv) {
  const int idleSeconds = argc > 1 ? _wtoi(argv[1]) : 60;
  CreateApplicationWindow(GetModuleHandleW(nullptr));
  {
    TfrmMain form(GetModuleHandleW(nullptr), RealPlatform(), {L"-tray"},
                  InstanceMessages{RegisterWindowMessageW(L"RestoreFromTray"),
                                   RegisterWindowMessageW(L"ExitVANTREL")});
    form.SetTimerEnabled(false);
    const int refreshes = 200;
    LARGE_INTEGER f, t0, t1;
    QueryPerformanceFrequency(&f);
    const double cpu0 = CpuMs(GetCurrentProcess());
    QueryPerformanceCounter(&t0);
    for (int i = 0; i < refreshes; ++i) form.RefreshServerState();
    QueryPerformanceCounter(&t1);
    const double cpu = CpuMs(GetCurrentProcess()) - cpu0;
    std::printf("status refresh: %.3f ms CPU, %.3f ms wall per refresh (%d refreshes)\n",
                cpu / refreshes, (t1.QuadPart - t0.QuadPart) * 1000.0 / f.QuadPart / refreshes,
                refreshes);
    form.acCloseCPAExecute();
  }

  // The real program, hidden in the notification area, left alone.
  std::wstring cmd = L"\"" + BinDir() + L"\\vantrel.exe\" -tray";
  STARTUPINFOW si{};
  si.cb = sizeof(si);
  PROCESS_INFORMATION pi{};
  if (!CreateProcessW(nullptr, cmd.data(), nullptr, nullptr, FALSE, 0, nullptr, BinDir().c_str(), &si, &pi))
    return 1;
  Sleep(5000);  // start-up done
  const double before = CpuMs(pi.hProcess);
  Sleep(static_cast<DWORD>(idleSeconds) * 1000);
  const double used = CpuMs(pi.hProcess) - before;
  std::printf("idle, hidden: %.1f ms CPU in %d s (%.3f%% of one core)\n", used, idleSeconds,
              used / (idleSeconds * 10.0));
  TerminateProcess(pi.hProcess, 0);
  CloseHandle(pi.hThread);
  CloseHandle(pi.hProcess);
  return 0;
}
