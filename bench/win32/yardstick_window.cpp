// The yardstick for vantrel.exe's start: a window that makes the system queries a true status
// of the server needs and nothing else (the installation's registry value, the server's version
// record, both services' state and configuration, both window probes, the user's settings file)
// and shows a tab control holding a dozen controls.
#include <windows.h>
#include <commctrl.h>
#include <shlobj.h>

#include <string>
#include <vector>

namespace {

std::wstring RegisteredRoot() {
  HKEY key = nullptr;
  std::wstring root;
  if (RegOpenKeyExW(HKEY_LOCAL_MACHINE, L"Software\\Firebird Project\\Firebird Server\\Instances", 0,
                    KEY_READ | KEY_WOW64_64KEY, &key) != ERROR_SUCCESS)
    return root;
  wchar_t value[MAX_PATH] = {};
  DWORD size = sizeof value;
  if (RegQueryValueExW(key, L"DefaultInstance", nullptr, nullptr, reinterpret_cast<BYTE*>(value), &size) ==
      ERROR_SUCCESS)
    root = value;
  RegCloseKey(key);
  return root;
}

std::wstring VersionOf(const std::wstring& file) {
  DWORD ignored = 0;
  const DWORD size = GetFileVersionInfoSizeW(file.c_str(), &ignored);
  if (!size) return L"";
  std::vector<BYTE> data(size);
  VS_FIXEDFILEINFO* fixed = nullptr;
  UINT length = 0;
  if (!GetFileVersionInfoW(file.c_str(), 0, size, data.data()) ||
      !VerQueryValueW(data.data(), L"\\", reinterpret_cast<void**>(&fixed), &length))
    return L"";
  return std::to_wstring(HIWORD(fixed->dwFileVersionMS)) + L"." + std::to_wstring(LOWORD(fixed->dwFileVersionMS));
}

std::wstring ServiceText(SC_HANDLE manager, const wchar_t* name) {
  SC_HANDLE service = OpenServiceW(manager, name, SERVICE_QUERY_STATUS | SERVICE_QUERY_CONFIG);
  if (!service) return L"kurulmamış";
  SERVICE_STATUS status{};
  QueryServiceStatus(service, &status);
  alignas(8) BYTE config[8192];
  DWORD needed = 0;
  QueryServiceConfigW(service, reinterpret_cast<QUERY_SERVICE_CONFIGW*>(config), sizeof config, &needed);
  CloseServiceHandle(service);
  return status.dwCurrentState == SERVICE_RUNNING ? L"Servis olarak çalışıyor" : L"Durduruldu";
}

std::string SettingsFile() {
  wchar_t profile[MAX_PATH] = {};
  if (FAILED(SHGetFolderPathW(nullptr, CSIDL_PROFILE, nullptr, 0, profile))) return {};
  HANDLE file = CreateFileW((std::wstring(profile) + L"\\.firebird\\vantrel.ini").c_str(), GENERIC_READ,
                            FILE_SHARE_READ, nullptr, OPEN_EXISTING, 0, nullptr);
  if (file == INVALID_HANDLE_VALUE) return {};
  char buffer[4096];
  DWORD read = 0;
  ReadFile(file, buffer, sizeof buffer, &read, nullptr);
  CloseHandle(file);
  return std::string(buffer, read);
}

LRESULT CALLBACK Proc(HWND hwnd, UINT msg, WPARAM wp, LPARAM lp) {
  if (msg == WM_DESTROY) PostQuitMessage(0);
  return DefWindowProcW(hwnd, msg, wp, lp);
}

HWND Child(const wchar_t* cls, const std::wstring& text, DWORD style, int x, int y, int w, int h, HWND parent) {
  HWND control = CreateWindowExW(0, cls, text.c_str(), WS_CHILD | WS_VISIBLE | style, x, y, w, h, parent, nullptr,
                                 nullptr, nullptr);
  SendMessageW(control, WM_SETFONT, reinterpret_cast<WPARAM>(GetStockObject(DEFAULT_GUI_FONT)), FALSE);
  return control;
}

}  // namespace

int WINAPI wWinMain(HINSTANCE instance, HINSTANCE, PWSTR, int show) {
  INITCOMMONCONTROLSEX controls{sizeof controls, ICC_TAB_CLASSES};
  InitCommonControlsEx(&controls);
  const std::wstring root = RegisteredRoot();
  const std::wstring version = VersionOf(root + L"\\bin\\fbserver.exe") + VersionOf(root + L"\\firebird.exe");
  SC_HANDLE manager = OpenSCManagerW(nullptr, nullptr, SC_MANAGER_CONNECT);
  const std::wstring guardian = ServiceText(manager, L"FirebirdGuardianDefaultInstance");
  const std::wstring server = ServiceText(manager, L"FirebirdServerDefaultInstance");
  CloseServiceHandle(manager);
  const bool windows = FindWindowW(L"FB_Server", nullptr) || FindWindowW(L"FB_Guard", nullptr);
  const std::string settings = SettingsFile();

  WNDCLASSW wc{};
  wc.lpfnWndProc = Proc;
  wc.hInstance = instance;
  wc.hbrBackground = reinterpret_cast<HBRUSH>(COLOR_BTNFACE + 1);
  wc.lpszClassName = L"YardstickWindow";
  RegisterClassW(&wc);
  HWND window = CreateWindowExW(0, L"YardstickWindow", L"Yardstick", WS_OVERLAPPEDWINDOW, CW_USEDEFAULT,
                                CW_USEDEFAULT, 436, 252, nullptr, nullptr, instance, nullptr);
  HWND tabs = Child(WC_TABCONTROLW, L"", WS_CLIPSIBLINGS, 4, 4, 412, 172, window);
  for (const wchar_t* caption : {L"Başlangıç", L"Gelişmiş", L"Takma adlar", L"Araçlar"}) {
    TCITEMW item{};
    item.mask = TCIF_TEXT;
    item.pszText = const_cast<wchar_t*>(caption);
    TabCtrl_InsertItem(tabs, TabCtrl_GetItemCount(tabs), &item);
  }
  Child(L"STATIC", L"Firebird " + version + (settings.empty() ? L"" : L" "), 0, 12, 30, 390, 14, tabs);
  Child(L"STATIC", L"Firebird Muhafızı", 0, 12, 50, 120, 14, tabs);
  Child(L"STATIC", guardian, 0, 134, 50, 200, 14, tabs);
  Child(L"STATIC", L"Firebird Sunucusu", 0, 12, 66, 120, 14, tabs);
  Child(L"STATIC", windows ? L"Uygulama olarak çalışıyor" : server, 0, 134, 66, 200, 14, tabs);
  Child(L"STATIC", L"Bağlantılar", 0, 12, 82, 120, 14, tabs);
  Child(L"BUTTON", L"Windows ile başlat", BS_AUTOCHECKBOX, 12, 110, 300, 17, tabs);
  Child(L"BUTTON", L"Servis olarak çalış", BS_AUTOCHECKBOX, 12, 127, 300, 17, tabs);
  Child(L"BUTTON", L"Muhafızı kullan", BS_AUTOCHECKBOX, 12, 144, 300, 17, tabs);
  Child(L"BUTTON", L"Başlat", BS_PUSHBUTTON, 322, 136, 80, 25, tabs);
  Child(L"BUTTON", L"Tamam", BS_PUSHBUTTON, 180, 183, 75, 25, window);
  Child(L"BUTTON", L"Kapat", BS_DEFPUSHBUTTON, 260, 183, 75, 25, window);
  ShowWindow(window, show);
  UpdateWindow(window);
  MSG msg;
  while (GetMessageW(&msg, nullptr, 0, 0) > 0) {
    TranslateMessage(&msg);
    DispatchMessageW(&msg);
  }
  return 0;
}
