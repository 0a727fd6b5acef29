#include "remote/SocketPlatform.h"

#include <arpa/inet.h>
#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <netdb.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <unistd.h>

namespace vantrel::net {
namespace {

int Fd(SocketHandle s) { return static_cast<int>(s); }

SocketHandle Handle(int fd) { return fd < 0 ? kInvalidSocket : static_cast<SocketHandle>(fd); }

sockaddr_in ToSockaddr(TIPv4Endpoint e) {
  sockaddr_in sa{};
  sa.sin_family = AF_INET;
  sa.sin_port = htons(e.port);
  sa.sin_addr.s_addr = htonl(e.address);
  return sa;
}

}  // namespace

TSocketLibrary::TSocketLibrary(std::uint8_t, std::uint8_t) : started_(true) {}
TSocketLibrary::~TSocketLibrary() = default;

int LastSocketError() { return errno; }

std::string SocketErrorText(int code) {
  char buffer[256] = {};
  return strerror_r(code, buffer, sizeof buffer);
}

bool IsWouldBlock(int code) { return code == EAGAIN || code == EWOULDBLOCK || code == EINTR; }

SocketHandle OpenTcpSocket() { return Handle(socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0)); }
SocketHandle OpenUdpSocket() { return Handle(socket(AF_INET, SOCK_DGRAM | SOCK_CLOEXEC, 0)); }

void CloseSocketHandle(SocketHandle s) {
  if (s != kInvalidSocket) close(Fd(s));
}

void ShutdownSocketHandle(SocketHandle s) {
  if (s != kInvalidSocket) shutdown(Fd(s), SHUT_RDWR);
}

bool SetNonBlocking(SocketHandle s) {
  int flags = fcntl(Fd(s), F_GETFL, 0);
  return flags >= 0 && fcntl(Fd(s), F_SETFL, flags | O_NONBLOCK) == 0;
}

bool SetReuseAddress(SocketHandle s) {
  int on = 1;
  return setsockopt(Fd(s), SOL_SOCKET, SO_REUSEADDR, &on, sizeof on) == 0;
}

bool BindSocket(SocketHandle s, TIPv4Endpoint at) {
  sockaddr_in sa = ToSockaddr(at);
  return bind(Fd(s), reinterpret_cast<sockaddr*>(&sa), sizeof sa) == 0;
}

bool ListenSocket(SocketHandle s, int backlog) { return listen(Fd(s), backlog) == 0; }

SocketHandle AcceptSocket(SocketHandle listening) {
  return Handle(accept4(Fd(listening), nullptr, nullptr, SOCK_CLOEXEC));
}

bool ConnectSocket(SocketHandle s, TIPv4Endpoint to) {
  sockaddr_in sa = ToSockaddr(to);
  int rc;
  do {
    rc = connect(Fd(s), reinterpret_cast<sockaddr*>(&sa), sizeof sa);
  } while (rc != 0 && errno == EINTR);
  return rc == 0;
}

bool LocalEndpoint(SocketHandle s, TIPv4Endpoint& out) {
  sockaddr_in sa{};
  socklen_t len = sizeof sa;
  if (getsockname(Fd(s), reinterpret_cast<sockaddr*>(&sa), &len) != 0 || sa.sin_family != AF_INET)
    return false;
  out.address = ntohl(sa.sin_addr.s_addr);
  out.port = ntohs(sa.sin_port);
  return true;
}

bool PeerEndpoint(SocketHandle s, TIPv4Endpoint& out) {
  sockaddr_in sa{};
  socklen_t len = sizeof sa;
  if (getpeername(Fd(s), reinterpret_cast<sockaddr*>(&sa), &len) != 0 || sa.sin_family != AF_INET)
    return false;
  out.address = ntohl(sa.sin_addr.s_addr);
  out.port = ntohs(sa.sin_port);
  return true;
}

long SendBytes(SocketHandle s, const char* data, std::size_t size) {
  return static_cast<long>(send(Fd(s), data, size, MSG_NOSIGNAL));
}

long ReceiveBytes(SocketHandle s, char* data, std::size_t size) {
  return static_cast<long>(recv(Fd(s), data, size, 0));
}

bool WaitSockets(const std::vector<SocketHandle>& sockets, const std::vector<bool>& wantWrite,
                 std::vector<bool>& ready, int timeoutMs) {
  std::vector<pollfd> fds(sockets.size());
  for (std::size_t i = 0; i < sockets.size(); ++i) {
    fds[i].fd = Fd(sockets[i]);
    fds[i].events = wantWrite[i] ? POLLOUT : POLLIN;
  }
  int rc = poll(fds.data(), fds.size(), timeoutMs);
  if (rc < 0 && errno != EINTR) return false;
  ready.assign(sockets.size(), false);
  for (std::size_t i = 0; rc > 0 && i < sockets.size(); ++i) ready[i] = fds[i].revents != 0;
  return true;
}

bool FileExists(const std::string& path) {
  struct stat st{};
  return stat(path.c_str(), &st) == 0 && !S_ISDIR(st.st_mode);
}

}  // namespace vantrel::net
