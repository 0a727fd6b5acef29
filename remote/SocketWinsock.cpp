#include "remote/SocketPlatform.h"

#include <winsock2.h>
#include <ws2tcpip.h>
#include <windows.h>

namespace vantrel::net {
namespace {

SOCKET Sock(SocketHandle s) { return static_cast<SOCKET>(s); }

SocketHandle Handle(SOCKET s) {
  return s == INVALID_SOCKET ? kInvalidSocket : static_cast<SocketHandle>(s);
}

sockaddr_in ToSockaddr(TIPv4Endpoint e) {
  sockaddr_in sa{};
  sa.sin_family = AF_INET;
  sa.sin_port = htons(e.port);
  sa.sin_addr.s_addr = htonl(e.address);
  return sa;
}

int ClampSize(std::size_t size) { return size > 0x40000000u ? 0x40000000 : static_cast<int>(size); }

}  // namespace

TSocketLibrary::TSocketLibrary(std::uint8_t major, std::uint8_t minor) {
  WSADATA data;
  started_ = WSAStartup(MAKEWORD(major, minor), &data) == 0;
}

TSocketLibrary::~TSocketLibrary() {
  if (started_) WSACleanup();
}

int LastSocketError() { return WSAGetLastError(); }

// UTF-8, as every error text of the program: the window shows it whatever the code page.
std::string SocketErrorText(int code) {
  wchar_t* text = nullptr;
  const DWORD n = FormatMessageW(FORMAT_MESSAGE_ALLOCATE_BUFFER | FORMAT_MESSAGE_FROM_SYSTEM |
                                     FORMAT_MESSAGE_IGNORE_INSERTS,
                                 nullptr, static_cast<DWORD>(code), 0, reinterpret_cast<wchar_t*>(&text),
                                 0, nullptr);
  std::string result = "Socket error " + std::to_string(code);
  if (n) {
    const int bytes = WideCharToMultiByte(CP_UTF8, 0, text, static_cast<int>(n), nullptr, 0, nullptr, nullptr);
    result.assign(static_cast<std::size_t>(bytes), '\0');
    WideCharToMultiByte(CP_UTF8, 0, text, static_cast<int>(n), result.data(), bytes, nullptr, nullptr);
  }
  if (text) LocalFree(text);
  while (!result.empty() && (result.back() == '\n' || result.back() == '\r')) result.pop_back();
  return result;
}

bool IsWouldBlock(int code) { return code == WSAEWOULDBLOCK || code == WSAEINTR; }

SocketHandle OpenTcpSocket() {
  return Handle(WSASocketW(AF_INET, SOCK_STREAM, IPPROTO_TCP, nullptr, 0, WSA_FLAG_NO_HANDLE_INHERIT));
}

SocketHandle OpenUdpSocket() {
  return Handle(WSASocketW(AF_INET, SOCK_DGRAM, IPPROTO_UDP, nullptr, 0, WSA_FLAG_NO_HANDLE_INHERIT));
}

void CloseSocketHandle(SocketHandle s) {
  if (s != kInvalidSocket) closesocket(Sock(s));
}

void ShutdownSocketHandle(SocketHandle s) {
  if (s != kInvalidSocket) shutdown(Sock(s), SD_BOTH);
}

bool SetNonBlocking(SocketHandle s) {
  u_long on = 1;
  return ioctlsocket(Sock(s), FIONBIO, &on) == 0;
}

// Winsock's SO_REUSEADDR would let a second program steal a bound port; exclusive use is the
// safe equivalent of the POSIX option.
bool SetReuseAddress(SocketHandle s) {
  BOOL on = TRUE;
  return setsockopt(Sock(s), SOL_SOCKET, SO_EXCLUSIVEADDRUSE, reinterpret_cast<const char*>(&on),
                    sizeof on) == 0;
}

bool BindSocket(SocketHandle s, TIPv4Endpoint at) {
  sockaddr_in sa = ToSockaddr(at);
  return bind(Sock(s), reinterpret_cast<sockaddr*>(&sa), sizeof sa) == 0;
}

bool ListenSocket(SocketHandle s, int backlog) { return listen(Sock(s), backlog) == 0; }

SocketHandle AcceptSocket(SocketHandle listening) {
  return Handle(accept(Sock(listening), nullptr, nullptr));
}

bool ConnectSocket(SocketHandle s, TIPv4Endpoint to) {
  sockaddr_in sa = ToSockaddr(to);
  return connect(Sock(s), reinterpret_cast<sockaddr*>(&sa), sizeof sa) == 0;
}

bool LocalEndpoint(SocketHandle s, TIPv4Endpoint& out) {
  sockaddr_in sa{};
  int len = sizeof sa;
  if (getsockname(Sock(s), reinterpret_cast<sockaddr*>(&sa), &len) != 0 || sa.sin_family != AF_INET)
    return false;
  out.address = ntohl(sa.sin_addr.s_addr);
  out.port = ntohs(sa.sin_port);
  return true;
}

bool PeerEndpoint(SocketHandle s, TIPv4Endpoint& out) {
  sockaddr_in sa{};
  int len = sizeof sa;
  if (getpeername(Sock(s), reinterpret_cast<sockaddr*>(&sa), &len) != 0 || sa.sin_family != AF_INET)
    return false;
  out.address = ntohl(sa.sin_addr.s_addr);
  out.port = ntohs(sa.sin_port);
  return true;
}

long SendBytes(SocketHandle s, const char* data, std::size_t size) {
  return send(Sock(s), data, ClampSize(size), 0);
}

long ReceiveBytes(SocketHandle s, char* data, std::size_t size) {
  return recv(Sock(s), data, ClampSize(size), 0);
}

bool WaitSockets(const std::vector<SocketHandle>& sockets, const std::vector<bool>& wantWrite,
                 std::vector<bool>& ready, int timeoutMs) {
  std::vector<WSAPOLLFD> fds(sockets.size());
  for (std::size_t i = 0; i < sockets.size(); ++i) {
    fds[i].fd = Sock(sockets[i]);
    fds[i].events = wantWrite[i] ? POLLWRNORM : POLLRDNORM;
  }
  int rc = WSAPoll(fds.data(), static_cast<ULONG>(fds.size()), timeoutMs < 0 ? -1 : timeoutMs);
  if (rc == SOCKET_ERROR) return false;
  ready.assign(sockets.size(), false);
  for (std::size_t i = 0; rc > 0 && i < sockets.size(); ++i) ready[i] = fds[i].revents != 0;
  return true;
}

bool FileExists(const std::string& path) {
  DWORD attributes = GetFileAttributesA(path.c_str());
  return attributes != INVALID_FILE_ATTRIBUTES && !(attributes & FILE_ATTRIBUTE_DIRECTORY);
}

}  // namespace vantrel::net
