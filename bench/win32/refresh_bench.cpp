// CPU time of one status refresh with the real probes and service manager, and of its steps.
// (The CPU of the program idling in the notification area is measured from outside by
// scripts/bench-startup: Wine reports no times for other processes.)
#include <windows.h>

#include <cstdio>
#include <string>

#include "app/Application.h"
#include "app/Platform.h"
#include "app/fMain.h"
#include "server/uService.h"

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


}  // namespace

int wmain() {
  CreateApplicationWindow(GetModuleHandleW(nullptr));
  {
    TfrmMain form(GetModuleHandleW(nullptr), RealPlatform(), {L"-tray"},
                  InstanceMessages{RegisterWindowMessageW(L"RestoreFromTray"),
                                   RegisterWindowMessageW(L"ExitVANTREL")});
    form.SetTimerEnabled(false);
    // The services' states arrive by notification once the manager has answered the first time.
    for (int waited = 0; waited < 200 && !form.Sys().services.Pushed(); ++waited) {
      MSG msg;
      while (PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE)) DispatchMessageW(&msg);
      Sleep(50);
    }
    std::printf("service states: %s\n", form.Sys().services.Pushed() ? "pushed by the system" : "asked for (no notifications)");
    const int refreshes = 200;
    LARGE_INTEGER f, t0, t1;
    QueryPerformanceFrequency(&f);
    const double cpu0 = CpuMs(GetCurrentProcess());
    QueryPerformanceCounter(&t0);
    for (int i = 0; i < refreshes; ++i) form.StartPage().RefreshServerState();
    QueryPerformanceCounter(&t1);
    const double cpu = CpuMs(GetCurrentProcess()) - cpu0;
    std::printf("status refresh: %.3f ms CPU, %.3f ms wall per refresh (%d refreshes)\n",
                cpu / refreshes, (t1.QuadPart - t0.QuadPart) * 1000.0 / f.QuadPart / refreshes,
                refreshes);
    // Where the time of a refresh goes.
    Platform& sys = form.Sys();
    auto each = [&](const char* what, auto&& step) {
      const int n = 100;
      const double c0 = CpuMs(GetCurrentProcess());
      for (int i = 0; i < n; ++i) step();
      std::printf("  %-34s %.3f ms CPU\n", what, (CpuMs(GetCurrentProcess()) - c0) / n);
    };
    each("service state (server)", [&] { sys.services.QueryServiceState(form.ServerServiceName); });
    each("service setup (guardian)", [&] { sys.services.QueryServiceSetup(form.GuardianServiceName); });
    each("may control services", [&] { sys.services.CanControlServices(); });
    each("server window lookup", [&] { sys.probes.ProgramWindowExists(form.ServerWindowClass, form.RootDir); });
    // The rest of a tick of the status timer, and what the message loop does after each message.
    each("alias file followed", [&] { form.AliasPage().FollowFile(); });
    each("actions updated", [&] { form.ActionListUpdate(); });
    form.acCloseCPAExecute();
  }

  return 0;
}
