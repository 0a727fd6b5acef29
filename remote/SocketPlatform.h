#pragma once
// The few socket calls that differ between POSIX and Winsock. SocketPosix.cpp or
// SocketWinsock.cpp implements them; everything above works with these only.
#include <cstdint>
#include <string>
#include <vector>

namespace vantrel::net {

// SOCKET on Winsock, a file descriptor on POSIX.
using SocketHandle = std::uintptr_t;
inline constexpr SocketHandle kInvalidSocket = ~SocketHandle{0};

// Keeps the platform's socket library started while it lives (WSAStartup/WSACleanup on Winsock).
class TSocketLibrary {
 public:
  explicit TSocketLibrary(std::uint8_t major = 2, std::uint8_t minor = 2);
  ~TSocketLibrary();
  TSocketLibrary(const TSocketLibrary&) = delete;
  TSocketLibrary& operator=(const TSocketLibrary&) = delete;
  bool Started() const { return started_; }

 private:
  bool started_ = false;
};

// IPv4 addresses are kept in host byte order in portable code.
struct TIPv4Endpoint {
  std::uint32_t address = 0;
  std::uint16_t port = 0;
};

int LastSocketError();
// The system's text for a socket error, in UTF-8.
std::string SocketErrorText(int code);
bool IsWouldBlock(int code);

SocketHandle OpenTcpSocket();
SocketHandle OpenUdpSocket();
void CloseSocketHandle(SocketHandle s);
// Ends both directions, so the peer sees the close and waits on the socket wake up.
void ShutdownSocketHandle(SocketHandle s);
bool SetNonBlocking(SocketHandle s);
bool SetReuseAddress(SocketHandle s);
bool BindSocket(SocketHandle s, TIPv4Endpoint at);
bool ListenSocket(SocketHandle s, int backlog);
// Non-blocking accept: kInvalidSocket with LastSocketError() telling why (would-block included).
SocketHandle AcceptSocket(SocketHandle listening);
bool ConnectSocket(SocketHandle s, TIPv4Endpoint to);
bool LocalEndpoint(SocketHandle s, TIPv4Endpoint& out);
// The other side of a connected socket; false when it is not an IPv4 peer (or already gone).
bool PeerEndpoint(SocketHandle s, TIPv4Endpoint& out);
// Byte counts, or -1 with LastSocketError(); sending never raises a signal.
long SendBytes(SocketHandle s, const char* data, std::size_t size);
long ReceiveBytes(SocketHandle s, char* data, std::size_t size);

// Waits until one of the sockets is ready; `wantWrite[i]` asks for writability instead of
// readability. A closed or failed socket counts as ready. Returns false on a wait error.
// timeoutMs < 0 waits without limit.
bool WaitSockets(const std::vector<SocketHandle>& sockets, const std::vector<bool>& wantWrite,
                 std::vector<bool>& ready, int timeoutMs);

// The IPv4 addresses the local host name resolves to, in resolver order; empty when the name
// cannot be read or does not resolve. Needs a started socket library on Winsock.
std::vector<std::uint32_t> HostIPv4Addresses();

// A regular file (not a directory) exists at this path, given in the system's byte encoding.
bool FileExists(const std::string& path);

}  // namespace vantrel::net
