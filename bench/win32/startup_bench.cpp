// Start-to-visible-window time of vantrel.exe against a bare Win32 window program, measured
// in one run. Needs a registered (simulated) installation so that vantrel.exe opens its window.
#include <windows.h>

#include <algorithm>
#include <cstdio>
#include <string>
#include <vector>

namespace {

std::wstring BinDir() {
  wchar_t path[MAX_PATH];
  GetModuleFileNameW(nullptr, path, MAX_PATH);
  std::wstring p = path;
  return p.substr(0, p.find_last_of(L'\\'));
}

HWND VisibleWindowOf(DWORD pid, const wchar_t* cls) {
  HWND w = nullptr;
  while ((w = FindWindowExW(nullptr, w, cls, nullptr))) {
    DWORD owner = 0;
    GetWindowThreadProcessId(w, &owner);
    if (owner == pid && IsWindowVisible(w)) return w;
  }
  return nullptr;
}

// Milliseconds from CreateProcess to a visible top-level window of the class; -1 on time-out.
double Measure(const std::wstring& exe, const wchar_t* cls) {
  std::wstring cmd = L"\"" + exe + L"\"";
  STARTUPINFOW si{sizeof(si)};
  PROCESS_INFORMATION pi{};
  LARGE_INTEGER f, t0, t1;
  QueryPerformanceFrequency(&f);
  QueryPerformanceCounter(&t0);
  if (!CreateProcessW(nullptr, cmd.data(), nullptr, nullptr, FALSE, 0, nullptr, BinDir().c_str(), &si, &pi))
    return -1;
  HWND w = nullptr;
  for (int i = 0; i < 20000 && !(w = VisibleWindowOf(pi.dwProcessId, cls)); ++i) Sleep(1);
  QueryPerformanceCounter(&t1);
  if (w) PostMessageW(w, WM_CLOSE, 0, 0);
  if (WaitForSingleObject(pi.hProcess, 10000) != WAIT_OBJECT_0) TerminateProcess(pi.hProcess, 1);
  CloseHandle(pi.hThread);
  CloseHandle(pi.hProcess);
  return w ? (t1.QuadPart - t0.QuadPart) * 1000.0 / f.QuadPart : -1;
}

struct TFigures {
  double median, lowest, highest;
};

TFigures Figures(std::vector<double> v) {
  std::sort(v.begin(), v.end());
  return {v[v.size() / 2], v.front(), v.back()};
}

}  // namespace

// The three programs in turn, round after round, so that a machine's changing load falls on all.
int main() {
  const int rounds = 15;
  struct TProgram {
    const wchar_t* file;
    const wchar_t* windowClass;
    const char* label;
    std::vector<double> times;
  } programs[] = {{L"bare_window.exe", L"BareWindow", "bare window", {}},
                  {L"yardstick_window.exe", L"YardstickWindow", "yardstick (a true status's queries)", {}},
                  {L"vantrel.exe", L"TfrmMain", "vantrel.exe", {}}};
  for (int round = 0; round < rounds; ++round)
    for (TProgram& program : programs) program.times.push_back(Measure(BinDir() + L"\\" + program.file, program.windowClass));
  bool measured = true;
  std::printf("start to visible window, %d interleaved rounds (median, lowest-highest):\n", rounds);
  for (const TProgram& program : programs) {
    const TFigures f = Figures(program.times);
    measured = measured && f.lowest > 0;
    std::printf("  %-38s %7.1f ms  (%.1f-%.1f)\n", program.label, f.median, f.lowest, f.highest);
  }
  const double yardstick = Figures(programs[1].times).median, vantrel = Figures(programs[2].times).median;
  std::printf("vantrel.exe / yardstick: %.2f\n", vantrel / yardstick);
  WIN32_FILE_ATTRIBUTE_DATA a;
  if (GetFileAttributesExW((BinDir() + L"\\vantrel.exe").c_str(), GetFileExInfoStandard, &a))
    std::printf("vantrel.exe size: %lu bytes (static, stripped)\n", a.nFileSizeLow);
  return measured ? 0 : 1;
}
