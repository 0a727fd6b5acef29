// The host's own IPv4 addresses. getaddrinfo is the same call on Winsock and POSIX; only the
// header differs.
#include "remote/SocketPlatform.h"

#ifdef _WIN32
#include <winsock2.h>
#include <ws2tcpip.h>
#else
#include <arpa/inet.h>
#include <netdb.h>
#include <unistd.h>
#endif

#include <algorithm>

namespace vantrel::net {

std::vector<std::uint32_t> HostIPv4Addresses() {
  std::vector<std::uint32_t> result;
  char name[128] = {};
  if (gethostname(name, sizeof name - 1) != 0) return result;
  addrinfo hints{};
  hints.ai_family = AF_INET;
  hints.ai_socktype = SOCK_STREAM;
  addrinfo* found = nullptr;
  if (getaddrinfo(name, nullptr, &hints, &found) != 0) return result;
  for (addrinfo* ai = found; ai; ai = ai->ai_next) {
    const auto* sa = reinterpret_cast<const sockaddr_in*>(ai->ai_addr);
    const std::uint32_t address = ntohl(sa->sin_addr.s_addr);
    if (std::find(result.begin(), result.end(), address) == result.end()) result.push_back(address);
  }
  freeaddrinfo(found);
  return result;
}

}  // namespace vantrel::net
