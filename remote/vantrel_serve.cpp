// vantrel-serve: the command server without the window, for a Linux host running Firebird.
#include <cerrno>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <exception>
#include <filesystem>
#include <iostream>
#include <pthread.h>

#include "remote/CommandServer.h"
#include "remote/ProtocolTexts.h"
#include "remote/ServeHost.h"
#include "remote/ServeOptions.h"

namespace {

constexpr char kDataFolder[] = "Data";
constexpr time_t kPendingRetrySeconds = 30;

void Log(const std::string& line) { std::cout << line << std::endl; }

// Blocked in every thread, so that only the main thread's sigwait receives them.
sigset_t BlockStopSignals() {
  sigset_t set;
  sigemptyset(&set);
  sigaddset(&set, SIGINT);
  sigaddset(&set, SIGTERM);
  pthread_sigmask(SIG_BLOCK, &set, nullptr);
  std::signal(SIGPIPE, SIG_IGN);
  return set;
}

int Serve(const vantrel::TServeOptions& options) {
  namespace fs = std::filesystem;
  using namespace vantrel;

  sigset_t stopSignals = BlockStopSignals();
  // The database server resolves relative paths against its own folder, so every path is absolute.
  fs::path root = options.root.empty() ? fs::path() : fs::absolute(options.root).lexically_normal();
  fs::path aliasFile = options.aliasFile.empty() ? root / "aliases.conf" : fs::absolute(options.aliasFile);
  fs::path data = options.dataFolder.empty() ? root / kDataFolder
                                             : fs::absolute(options.dataFolder).lexically_normal();
  std::string dataFolder = (data / "").string();

  TDateTimeSeparators separators = EnvironmentSeparators();
  TServeHost host(aliasFile, dataFolder, separators.date, separators.time);
  host.SetLog(Log);
  try {
    host.LoadAliasFile();
  } catch (const std::exception& e) {
    Log(texts::kLogStartFailed);
    std::cerr << e.what() << std::endl;
    return 1;
  }

  int port = options.port ? *options.port : host.SocketPort();
  std::vector<std::string> addresses = options.addresses;
  if (addresses.empty()) addresses = TickedAddresses(AddressListEntries(HostAddressTexts()));

  TProtocolOptions protocol;
  protocol.serverPrefix = options.serverPrefix;
  TCredentials credentials = ServeCredentials(std::getenv("ISC_USER"), std::getenv("ISC_PASSWORD"));
  protocol.user = credentials.user;
  protocol.password = credentials.password;

  TCommandServer server(host, protocol, options.limits);
  std::vector<net::TBinding> bindings;
  for (const std::string& address : addresses) bindings.push_back({address, port});
  try {
    server.Start(bindings);
  } catch (const std::exception& e) {
    Log(texts::kLogStartFailed);
    std::cerr << e.what() << std::endl;
    return 1;
  }
  for (const net::TBinding& binding : bindings) Log(BoundLogLine(binding));
  Log(texts::kLogStarted);

  // Waits for a stop signal; aliases whose lines could not be written are tried again meanwhile.
  const timespec retryEvery{kPendingRetrySeconds, 0};
  while (sigtimedwait(&stopSignals, nullptr, &retryEvery) < 0) {
    if (errno == EAGAIN) host.WritePendingAliases();
  }
  server.Stop();
  host.WritePendingAliases();
  for (const std::string& line : host.PendingAliasLines())
    Log(texts::kLogAliasLost + line + " (" + aliasFile.string() + ")");
  Log(texts::kLogStopped);
  return 0;
}

}  // namespace

int main(int argc, char** argv) {
  vantrel::TServeOptions options;
  try {
    options = vantrel::ParseServeOptions(std::vector<std::string>(argv + 1, argv + argc));
  } catch (const vantrel::EUsageError& e) {
    std::cerr << "vantrel-serve: " << e.what() << "\n" << vantrel::ServeUsage();
    return 2;
  }
  if (options.help) {
    std::cout << vantrel::ServeUsage();
    return 0;
  }
  if (options.version) {
    std::cout << "vantrel-serve " VANTREL_VERSION "\n";
    return 0;
  }
  return Serve(options);
}
