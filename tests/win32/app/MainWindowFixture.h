#pragma once
// A main window created in-process on a throw-away Firebird root, with scripted services.
#include <windows.h>
#include <shlobj.h>

#include <gtest/gtest.h>

#include <memory>

#include "app/Application.h"
#include "shell/Controls.h"
#include "app/fMain.h"
#include "tests/win32/app/Fakes.h"
#include "tests/win32/app/PageControls.h"

namespace vantrel::testing_support {

inline constexpr wchar_t kFirebirdKey[] = L"Software\\Firebird Project\\Firebird Server\\Instances";

inline std::wstring MakeRoot(bool withGuardian) {
  wchar_t temp[MAX_PATH];
  GetTempPathW(MAX_PATH, temp);
  std::wstring root = std::wstring(temp) + L"vantrel-app-test";
  SHCreateDirectoryExW(nullptr, (root + L"\\bin").c_str(), nullptr);
  for (const wchar_t* name : {L"fbserver.exe", L"fbguard.exe"}) {
    std::wstring path = root + L"\\bin\\" + name;
    DeleteFileW(path.c_str());
    if (!withGuardian && std::wstring(name) == L"fbguard.exe") continue;
    HANDLE f = CreateFileW(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr);
    CloseHandle(f);
  }
  std::wstring value = root + L"\\";
  RegSetKeyValueW(HKEY_LOCAL_MACHINE, kFirebirdKey, L"DefaultInstance", REG_SZ, value.c_str(),
                  static_cast<DWORD>((value.size() + 1) * sizeof(wchar_t)));
  return root;
}

class MainWindow : public ::testing::Test {
 protected:
  // The registration this fixture made is not left to the next test program in the prefix.
  ~MainWindow() override {
    form.reset();
    RegDeleteKeyValueW(HKEY_LOCAL_MACHINE, kFirebirdKey, L"DefaultInstance");
  }

  static void SetUpTestSuite() {
    static bool created = false;
    if (!created) CreateApplicationWindow(GetModuleHandleW(nullptr));
    created = true;
  }

  void Create(bool withGuardian = true) {
    root = MakeRoot(withGuardian);
    services.setups[L"FirebirdGuardianDefaultInstance"] = {L"Firebird Guardian", true, false, false};
    services.activeDependents[L"FirebirdServerDefaultInstance"] = {};
    services.inactiveDependents[L"FirebirdServerDefaultInstance"] = {};
    form = OpenMainForm(platform);
  }

  std::wstring Text(HWND h) { return ui::GetText(h); }

  fakes::Services services;
  fakes::Probes probes;
  fakes::Dialogs dialogs;
  fakes::Launcher launcher;
  Platform platform{services, probes, dialogs, launcher};
  std::wstring root;
  std::unique_ptr<TfrmMain> form;
};


}  // namespace vantrel::testing_support
