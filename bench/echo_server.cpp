// The yardstick for remote_bench: a minimal single-threaded epoll server on 127.0.0.1 that answers
// every line with the same line and CR LF. Prints its port, serves until stdin closes.
#include <arpa/inet.h>
#include <fcntl.h>
#include <netinet/in.h>
#include <sys/epoll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <string>
#include <unordered_map>

namespace {

constexpr int kMaxEvents = 256;

void SetNonBlocking(int fd) { fcntl(fd, F_SETFL, fcntl(fd, F_GETFL, 0) | O_NONBLOCK); }

// Replies are small; a client that stops reading just loses them, which a benchmark never does.
void Answer(int fd, std::string& pending) {
  std::string out;
  std::size_t start = 0;
  for (std::size_t lf; (lf = pending.find('\n', start)) != std::string::npos; start = lf + 1) {
    std::size_t end = lf > start && pending[lf - 1] == '\r' ? lf - 1 : lf;
    out.append(pending, start, end - start);
    out += "\r\n";
  }
  pending.erase(0, start);
  if (!out.empty()) send(fd, out.data(), out.size(), MSG_NOSIGNAL);
}

}  // namespace

int main(int argc, char** argv) {
  int port = argc > 1 ? std::atoi(argv[1]) : 0;
  int listener = socket(AF_INET, SOCK_STREAM, 0);
  int on = 1;
  setsockopt(listener, SOL_SOCKET, SO_REUSEADDR, &on, sizeof on);
  sockaddr_in at{};
  at.sin_family = AF_INET;
  at.sin_port = htons(static_cast<std::uint16_t>(port));
  at.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  socklen_t len = sizeof at;
  if (bind(listener, reinterpret_cast<sockaddr*>(&at), sizeof at) != 0 || listen(listener, 1024) != 0 ||
      getsockname(listener, reinterpret_cast<sockaddr*>(&at), &len) != 0) {
    std::perror("echo_server");
    return 1;
  }
  SetNonBlocking(listener);
  std::printf("%d\n", ntohs(at.sin_port));
  std::fflush(stdout);

  int ep = epoll_create1(0);
  epoll_event ev{};
  ev.events = EPOLLIN;
  ev.data.fd = listener;
  epoll_ctl(ep, EPOLL_CTL_ADD, listener, &ev);
  ev.data.fd = 0;
  epoll_ctl(ep, EPOLL_CTL_ADD, 0, &ev);

  std::unordered_map<int, std::string> pending;
  epoll_event events[kMaxEvents];
  for (;;) {
    int n = epoll_wait(ep, events, kMaxEvents, -1);
    for (int i = 0; i < n; ++i) {
      int fd = events[i].data.fd;
      if (fd == 0) return 0;  // the benchmark closed our stdin
      if (fd == listener) {
        for (int c; (c = accept(listener, nullptr, nullptr)) >= 0;) {
          SetNonBlocking(c);
          ev.data.fd = c;
          epoll_ctl(ep, EPOLL_CTL_ADD, c, &ev);
          pending[c];
        }
        continue;
      }
      char buffer[16384];
      ssize_t got;
      bool closed = false;
      while ((got = recv(fd, buffer, sizeof buffer, 0)) > 0) pending[fd].append(buffer, static_cast<std::size_t>(got));
      if (got == 0) closed = true;
      Answer(fd, pending[fd]);
      if (closed) {
        pending.erase(fd);
        close(fd);
      }
    }
  }
}
