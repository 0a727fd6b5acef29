#pragma once
// The vantrel-serve program run as a separate process, its standard output read line by line.
#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdlib>

#include "RemoteTestSupport.h"

extern char** environ;

namespace vantrel::testing {

class TServeProcess {
 public:
  // launcher, when given, starts the program (setpriv with its arguments, say).
  TServeProcess(const std::vector<std::string>& args, const std::vector<std::string>& extraEnv = {},
                const std::vector<std::string>& launcher = {}) {
    int fds[2];
    if (pipe2(fds, O_CLOEXEC) != 0) return;
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_adddup2(&actions, fds[1], 1);
    std::vector<std::string> argStore = launcher;
    argStore.push_back(VANTREL_SERVE_PATH);
    argStore.insert(argStore.end(), args.begin(), args.end());
    std::vector<char*> argv;
    for (auto& a : argStore) argv.push_back(a.data());
    argv.push_back(nullptr);
    std::vector<std::string> envStore = Environment(extraEnv);
    std::vector<char*> envp;
    for (auto& e : envStore) envp.push_back(e.data());
    envp.push_back(nullptr);
    if (posix_spawn(&pid_, argv[0], &actions, nullptr, argv.data(), envp.data()) != 0) pid_ = -1;
    posix_spawn_file_actions_destroy(&actions);
    close(fds[1]);
    out_ = fds[0];
  }
  ~TServeProcess() {
    if (pid_ > 0) {
      kill(pid_, SIGKILL);
      waitpid(pid_, nullptr, 0);
    }
    if (out_ >= 0) close(out_);
  }

  // The test's environment with extra entries replacing those of the same name. A thread-checked
  // build of the program learns to leave the client library's insides alone.
  static std::vector<std::string> Environment(std::vector<std::string> extra) {
    std::string tsan = "TSAN_OPTIONS=suppressions=" VANTREL_FBCLIENT_TSAN_SUPPRESSIONS;
    if (const char* own = std::getenv("TSAN_OPTIONS")) tsan += std::string(":") + own;
    extra.push_back(tsan);
    std::vector<std::string> env;
    for (char** e = environ; *e; ++e) {
      std::string entry = *e;
      std::string name = entry.substr(0, entry.find('=') + 1);
      bool replaced = false;
      for (const std::string& x : extra) replaced = replaced || x.rfind(name, 0) == 0;
      if (!replaced) env.push_back(entry);
    }
    env.insert(env.end(), extra.begin(), extra.end());
    return env;
  }

  // The next line of its standard output, without the line feed.
  std::optional<std::string> ReadLine(int timeoutMs = kReplyTimeoutMs) {
    auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(timeoutMs);
    for (;;) {
      if (auto lf = buffer_.find('\n'); lf != std::string::npos) {
        std::string line = buffer_.substr(0, lf);
        buffer_.erase(0, lf + 1);
        return line;
      }
      int left = static_cast<int>(std::chrono::duration_cast<std::chrono::milliseconds>(
                                      deadline - std::chrono::steady_clock::now())
                                      .count());
      pollfd p{out_, POLLIN, 0};
      if (left <= 0 || poll(&p, 1, left) <= 0) return std::nullopt;
      char chunk[4096];
      ssize_t n = read(out_, chunk, sizeof chunk);
      if (n <= 0) return std::nullopt;
      buffer_.append(chunk, static_cast<std::size_t>(n));
    }
  }

  void Signal(int sig) { kill(pid_, sig); }

  // The exit code, or -1 when it did not end normally within the time.
  int Wait(int timeoutMs = kReplyTimeoutMs) {
    auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(timeoutMs);
    while (std::chrono::steady_clock::now() < deadline) {
      int status = 0;
      if (waitpid(pid_, &status, WNOHANG) == pid_) {
        pid_ = -1;
        return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
      }
      usleep(10000);
    }
    return -1;
  }

 private:
  pid_t pid_ = -1;
  int out_ = -1;
  std::string buffer_;
};

inline std::uint16_t FreePort() {
  net::TSocket s(net::OpenTcpSocket());
  net::TIPv4Endpoint at{0x7F000001u, 0};
  net::BindSocket(s.Get(), at);
  net::LocalEndpoint(s.Get(), at);
  return at.port;
}

}  // namespace vantrel::testing
