#pragma once
// Scripted stand-ins for the operating-system services the main window works through.
#include <map>
#include <functional>
#include <set>
#include <string>
#include <vector>

#include "app/Platform.h"
#include "server/Probes.h"
#include "server/StartPage.h"
#include "server/uService.h"
#include "shell/OsError.h"

namespace fakes {

using namespace vantrel;

struct Services : IServiceControl {
  std::map<std::wstring, ServiceState> states;
  std::map<std::wstring, ServiceSetup> setups;
  std::map<std::wstring, std::vector<TServiceListItem>> activeDependents, inactiveDependents;
  std::set<std::wstring> refuseToStop;
  bool canControl = true;
  bool failSetup = false;
  std::vector<std::wstring> calls;
  bool pushed = false;  // every followed service's state is told by the system
  std::function<void()> changed;
  void Follow(std::vector<std::wstring>, std::function<void()> told) override { changed = std::move(told); }
  bool Pushed() const override { return pushed; }

  std::wstring SystemDirectory() override { return L"C:\\windows\\system32"; }
  bool CanControlServices() override { return canControl; }
  ServiceState QueryServiceState(const std::wstring& n) override {
    auto it = states.find(n);
    return it == states.end() ? ServiceStateUnknown : it->second;
  }
  ServiceState StartServiceAndWait(const std::wstring& n) override {
    calls.push_back(L"start " + n);
    return states[n] = ServiceRunning;
  }
  ServiceState StopServiceAndWait(const std::wstring& n) override {
    calls.push_back(L"stop " + n);
    if (refuseToStop.count(n)) return ServiceRunning;
    states[n] = ServiceStopped;
    for (auto& [server, list] : activeDependents)
      std::erase_if(list, [&](const TServiceListItem& i) { return i.ServiceName == n; });
    return ServiceStopped;
  }
  ServiceSetup QueryServiceSetup(const std::wstring& n) override {
    if (failSetup) throw EOSError(5, L"Access is denied.");
    auto it = setups.find(n);
    ServiceSetup s = it == setups.end() ? ServiceSetup{} : it->second;
    s.Running = QueryServiceState(n) == ServiceRunning;
    return s;
  }
  bool SetServiceStartType(const std::wstring& n, bool enabled, bool automatic) override {
    setups[n].Enabled = enabled;
    setups[n].Automatic = enabled && automatic;
    return true;
  }
  std::vector<TServiceCommandLine> installed;  // what ListServices finds, by prefix
  std::vector<TServiceCommandLine> ListServices(const std::wstring& prefix) override {
    std::vector<TServiceCommandLine> found;
    for (const auto& service : installed)
      if (service.ServiceName.rfind(prefix, 0) == 0) found.push_back(service);
    return found;
  }
  bool ListDependentServices(const std::wstring& n, bool active, TServiceList& list) override {
    auto& source = active ? activeDependents : inactiveDependents;
    auto it = source.find(n);
    if (it == source.end()) return false;
    for (auto& item : it->second) list.AddService(item.ServiceName, item.DisplayName);
    return true;
  }
};

struct Probes : ISystemProbes {
  bool nt = true;
  std::set<std::wstring> windows;
  std::uint32_t tick = 0xFFFFF000u;  // close to the wrap of the tick counter
  std::vector<std::wstring> closed;
  std::set<std::wstring> staying;  // windows that take WM_CLOSE and stay (a server asking first)
  bool elevatable = false;  // a limited administrator token
  bool followsWindows = false;  // the system tells when a server's window comes or goes
  std::vector<std::wstring> followedClasses;
  std::function<void()> windowsChanged;
  bool FollowWindows(std::vector<std::wstring> classes, std::function<void()> told) override {
    followedClasses = std::move(classes);
    windowsChanged = std::move(told);
    return followsWindows;
  }
  bool IsWindowsNT() override { return nt; }
  bool UserCanBeElevated() override { return elevatable; }
  // Windows of other installations' programs, by root folder: seen by class, never ours.
  std::map<std::wstring, std::set<std::wstring>> windowsOf;
  bool WindowClassExists(const std::wstring& c) override {
    if (windows.count(c)) return true;
    for (const auto& [root, classes] : windowsOf)
      if (classes.count(c)) return true;
    return false;
  }
  // `windows` are the chosen installation's, whatever root it is asked with.
  bool ProgramWindowExists(const std::wstring& c, const std::wstring& root) override {
    auto it = windowsOf.find(root);
    return windows.count(c) != 0 || (it != windowsOf.end() && it->second.count(c) != 0);
  }
  bool PostCloseToProgramWindows(const std::wstring& c, const std::wstring& root) override {
    if (auto it = windowsOf.find(root); it != windowsOf.end() && it->second.count(c)) {
      closed.push_back(root + L"|" + c);
      it->second.erase(c);
      return true;
    }
    if (!windows.count(c)) return false;
    closed.push_back(c);
    if (!staying.count(c)) windows.erase(c);
    return true;
  }
  std::function<void()> onSleep;  // what happens while a wait sleeps (the window's messages)
  std::uint32_t TickCount() override { return tick; }
  void Sleep(unsigned ms) override {
    tick += ms;
    if (onSleep) onSleep();
  }
};

struct Dialogs : IDialogs {
  struct Browse {
    std::wstring title, root, initialFolder;
  };
  std::vector<std::wstring> errors, questions, warnings, infos;
  std::vector<int> answers;  // scripted answers, used in order; then `answer`
  int answer = AnswerYes;
  std::vector<Browse> browsed;
  std::vector<FileDialogOptions> fileDialogs;
  bool chooseFolder = false;  // BrowseForFolder returns folder when true
  std::wstring folder;
  bool chooseFile = false;
  std::wstring file;
  void ShowError(const std::wstring& t) override { errors.push_back(t); }
  int AskConfirmation(const std::wstring& t) override {
    questions.push_back(t);
    if (questions.size() <= answers.size()) return answers[questions.size() - 1];
    return answer;
  }
  // Warnings are questions too, answered from the same script.
  int AskWarning(const std::wstring& t) override {
    warnings.push_back(t);
    return AskConfirmation(t);
  }
  void ShowInformation(const std::wstring& t) override { infos.push_back(t); }
  bool BrowseForFolder(const std::wstring& title, const std::wstring& root,
                       const std::wstring& initialFolder, std::wstring& chosen) override {
    browsed.push_back({title, root, initialFolder});
    chosen = chooseFolder ? folder : std::wstring();
    return chooseFolder;
  }
  bool OpenFile(const FileDialogOptions& options, std::wstring& chosen) override {
    fileDialogs.push_back(options);
    chosen = chooseFile ? file : std::wstring();
    return chooseFile;
  }
};

struct Launcher : IProgramLauncher {
  std::vector<std::wstring> opened;
  std::uint32_t failWith = 0;
  std::function<void()> onOpen;
  std::int64_t RunAndWait(const std::wstring&, unsigned short) override { return 0; }
  bool ShellOpen(const std::wstring& file, const std::wstring& params, const std::wstring& dir,
                 int, std::uint32_t& error) override {
    opened.push_back(file + L" " + params + L" @" + dir);
    if (failWith) {
      error = failWith;
      return false;
    }
    if (onOpen) onOpen();
    return true;
  }
  std::vector<std::wstring> elevated;  // program and parameters of each elevated start
  std::uint32_t elevationError = 0;    // 0: the elevated start succeeds
  bool RunElevated(const std::wstring& program, const std::wstring& params, std::uint32_t& error) override {
    elevated.push_back(program + L" " + params);
    error = elevationError;
    return elevationError == 0;
  }
};

// Who is connected, as the start page asks before a stop: the user's answer is scripted.
struct Attachments : IAttachmentsSource {
  bool mayStop = false;
  int asked = 0;
  void Follow(bool, bool) override {}
  bool MayStop() override { return ++asked, mayStop; }
  void Forget() override {}
};

}  // namespace fakes
