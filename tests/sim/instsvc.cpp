// Simulated service tool: "install [dir] [-g] [-auto] [-i] [-n NAME]" creates the server (and
// guardian) services of the instance (FirebirdServer<NAME>, registered with "-s NAME"),
// "remove [-g] [-n NAME]" stops and deletes them.
#include <windows.h>

#include <cstdio>
#include <optional>

#include "tests/sim/SimHost.h"

using namespace vantrel::sim;

namespace {

struct Options {
  bool install = false;
  std::optional<std::wstring> root;
  bool guardian = false;
  bool automatic = false;
  bool interactive = false;
  std::wstring instance = L"DefaultInstance";  // -n NAME
};

bool Same(const wchar_t* text, const wchar_t* word) {
  return CompareStringOrdinal(text, -1, word, -1, TRUE) == CSTR_EQUAL;
}

std::optional<Options> ParseOptions(int argc, wchar_t** argv) {
  if (argc < 2) return std::nullopt;
  Options options;
  if (Same(argv[1], L"install")) {
    options.install = true;
  } else if (!Same(argv[1], L"remove")) {
    return std::nullopt;
  }
  for (int i = 2; i < argc; ++i) {
    if (Same(argv[i], L"-g")) {
      options.guardian = true;
    } else if (Same(argv[i], L"-n") && i + 1 < argc) {
      options.instance = argv[++i];
    } else if (options.install && Same(argv[i], L"-auto")) {
      options.automatic = true;
    } else if (options.install && Same(argv[i], L"-i")) {
      options.interactive = true;
    } else if (options.install && argv[i][0] != L'-' && argv[i][0] != L'\0' && !options.root) {
      options.root = argv[i];
    } else {
      return std::nullopt;
    }
  }
  return options;
}

// Creates the service, or points an existing one at the given program with the given start type.
bool InstallService(SC_HANDLE manager, std::wstring_view name, std::wstring_view displayName,
                    const std::wstring& program, const std::wstring& arguments, DWORD startType,
                    DWORD serviceType) {
  const std::wstring serviceName(name);
  const std::wstring display(displayName);
  const std::wstring binaryPath = L"\"" + program + L"\"" + arguments;
  ServiceHandle created(CreateServiceW(manager, serviceName.c_str(), display.c_str(), SERVICE_ALL_ACCESS,
                                       serviceType, startType, SERVICE_ERROR_NORMAL, binaryPath.c_str(),
                                       nullptr, nullptr, nullptr, nullptr, nullptr));
  if (created) return true;
  if (GetLastError() != ERROR_SERVICE_EXISTS) return false;
  ServiceHandle existing(OpenServiceW(manager, serviceName.c_str(), SERVICE_CHANGE_CONFIG));
  return existing && ChangeServiceConfigW(existing.Get(), serviceType, startType, SERVICE_ERROR_NORMAL,
                                          binaryPath.c_str(), nullptr, nullptr, nullptr, nullptr,
                                          nullptr, display.c_str());
}

// A service that is not installed counts as removed.
bool RemoveService(SC_HANDLE manager, std::wstring_view name) {
  const std::wstring serviceName(name);
  ServiceHandle service(OpenServiceW(manager, serviceName.c_str(), DELETE | SERVICE_STOP | SERVICE_QUERY_STATUS));
  if (!service) return GetLastError() == ERROR_SERVICE_DOES_NOT_EXIST;
  bool stopped = StopServiceAndWaitStopped(service.Get(), kServiceWaitMs);
  bool deleted = DeleteService(service.Get()) || GetLastError() == ERROR_SERVICE_MARKED_FOR_DELETE;
  return stopped && deleted;
}

// The services of an instance: the kind's own names for the default one, <prefix><NAME> else.
struct InstanceServices {
  std::wstring server, guardian, serverDisplay, guardianDisplay;
};

InstanceServices ServicesOf(const KindNames& names, const std::wstring& instance) {
  if (instance == L"DefaultInstance")
    return {std::wstring(names.serverService), std::wstring(names.guardianService),
            std::wstring(names.serverDisplayName), std::wstring(names.guardianDisplayName)};
  return {L"FirebirdServer" + instance, L"FirebirdGuardian" + instance, L"Firebird Server - " + instance,
          L"Firebird Guardian - " + instance};
}

int Install(const Options& options) {
  const KindNames& names = NamesOf(KindOfBinFolder(OwnBinFolder()));
  const InstanceServices services = ServicesOf(names, options.instance);
  std::wstring bin = !options.root ? OwnBinFolder()
                     : names.rootLayout ? FullPath(*options.root)
                                        : WithTrailingDelimiter(FullPath(*options.root)) + L"bin";
  bin = WithTrailingDelimiter(bin);
  const std::wstring arguments = options.instance != L"DefaultInstance" ? L" -s " + options.instance
                                 : names.rootLayout                 ? kInstanceArguments
                                                                    : L"";
  DWORD serviceType = SERVICE_WIN32_OWN_PROCESS | (options.interactive ? SERVICE_INTERACTIVE_PROCESS : 0);
  DWORD chosenStart = options.automatic ? SERVICE_AUTO_START : SERVICE_DEMAND_START;
  // With a guardian, the guardian starts the server: only the guardian follows -auto.
  DWORD serverStart = options.guardian ? SERVICE_DEMAND_START : chosenStart;

  ServiceHandle manager(OpenSCManagerW(nullptr, nullptr, SC_MANAGER_ALL_ACCESS));
  if (!manager) return kExitFailed;
  if (!InstallService(manager.Get(), services.server, services.serverDisplay,
                      bin + std::wstring(names.serverExe), arguments, serverStart, serviceType))
    return kExitFailed;
  if (options.guardian &&
      !InstallService(manager.Get(), services.guardian, services.guardianDisplay,
                      bin + std::wstring(names.guardianExe), arguments, chosenStart, serviceType))
    return kExitFailed;
  return kExitOk;
}

int Remove(const Options& options) {
  const KindNames& names = NamesOf(KindOfBinFolder(OwnBinFolder()));
  const InstanceServices services = ServicesOf(names, options.instance);
  ServiceHandle manager(OpenSCManagerW(nullptr, nullptr, SC_MANAGER_ALL_ACCESS));
  if (!manager) return kExitFailed;
  // The guardian goes first, so it cannot start the server again.
  bool removed = !options.guardian || RemoveService(manager.Get(), services.guardian);
  removed = RemoveService(manager.Get(), services.server) && removed;
  return removed ? kExitOk : kExitFailed;
}

}  // namespace

int wmain(int argc, wchar_t** argv) {
  AppendToolLog(GetCommandLineW());
  std::optional<Options> options = ParseOptions(argc, argv);
  if (!options) {
    std::fputs("usage: instsvc install [root directory] [-g] [-auto] [-i] [-n name] | instsvc remove [-g] [-n name]\n", stderr);
    return kExitUsage;
  }
  return options->install ? Install(*options) : Remove(*options);
}
