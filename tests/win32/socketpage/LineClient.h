#pragma once
// A test's own TCP client of the command server: plain Winsock, lines read with a time limit.
#include <winsock2.h>
#include <ws2tcpip.h>
#include <windows.h>

#include <functional>
#include <optional>
#include <string>

namespace vantrel::testing_support {

// A port nobody listens on at this moment.
inline int FreePort() {
  WSADATA data;
  WSAStartup(MAKEWORD(2, 2), &data);
  SOCKET s = socket(AF_INET, SOCK_STREAM, IPPROTO_TCP);
  sockaddr_in at{};
  at.sin_family = AF_INET;
  at.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  int length = sizeof at;
  bind(s, reinterpret_cast<sockaddr*>(&at), sizeof at);
  getsockname(s, reinterpret_cast<sockaddr*>(&at), &length);
  closesocket(s);
  WSACleanup();
  return ntohs(at.sin_port);
}

// Code page 1254 bytes of a text, as the protocol puts its fixed replies on the wire.
inline std::string Cp1254(const std::wstring& text) {
  std::string bytes(text.size() * 2, '\0');
  int n = WideCharToMultiByte(1254, 0, text.c_str(), static_cast<int>(text.size()), bytes.data(),
                              static_cast<int>(bytes.size()), nullptr, nullptr);
  bytes.resize(n > 0 ? n : 0);
  return bytes;
}

class TLineClient {
 public:
  // idle runs while the client waits (an in-process test lets its window thread work there).
  explicit TLineClient(std::function<void()> idle = [] { Sleep(5); }) : idle_(std::move(idle)) {
    WSADATA data;
    WSAStartup(MAKEWORD(2, 2), &data);
  }
  ~TLineClient() {
    if (s_ != INVALID_SOCKET) closesocket(s_);
    WSACleanup();
  }
  TLineClient(const TLineClient&) = delete;
  TLineClient& operator=(const TLineClient&) = delete;

  // May be called again after a refused attempt.
  bool Connect(int port) {
    if (s_ != INVALID_SOCKET) closesocket(s_);
    s_ = socket(AF_INET, SOCK_STREAM, IPPROTO_TCP);
    sockaddr_in to{};
    to.sin_family = AF_INET;
    to.sin_port = htons(static_cast<u_short>(port));
    to.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    if (connect(s_, reinterpret_cast<sockaddr*>(&to), sizeof to) != 0) return false;
    u_long nonBlocking = 1;
    return ioctlsocket(s_, FIONBIO, &nonBlocking) == 0;
  }

  void Send(const std::string& bytes) { send(s_, bytes.data(), static_cast<int>(bytes.size()), 0); }

  // The bytes up to the next LF, one CR before it dropped; nothing when the connection ended or
  // no line came within the time.
  std::optional<std::string> ReadLine(DWORD timeoutMs = 10000) {
    if (!Fill([&] { return pending_.find('\n') != std::string::npos; }, timeoutMs)) return std::nullopt;
    std::size_t lf = pending_.find('\n');
    std::string line = pending_.substr(0, lf);
    pending_.erase(0, lf + 1);
    if (!line.empty() && line.back() == '\r') line.pop_back();
    return line;
  }

  std::optional<std::string> Ask(const std::string& request) {
    Send(request + "\r\n");
    return ReadLine();
  }

  // The server ended the connection within the time.
  bool Closed(DWORD timeoutMs = 10000) {
    return Fill([&] { return ended_; }, timeoutMs) || ended_;
  }

  // Nothing arrived for the whole time.
  bool Silent(DWORD ms) {
    Fill([] { return false; }, ms);
    return pending_.empty() && !ended_;
  }

 private:
  bool Fill(const std::function<bool()>& done, DWORD timeoutMs) {
    const DWORD start = GetTickCount();
    while (!done()) {
      if (ended_ || GetTickCount() - start > timeoutMs) return false;
      char chunk[4096];
      int n = recv(s_, chunk, sizeof chunk, 0);
      if (n > 0)
        pending_.append(chunk, n);
      else if (n == 0 || WSAGetLastError() != WSAEWOULDBLOCK)
        ended_ = true;
      else
        idle_();
    }
    return true;
  }

  std::function<void()> idle_;
  SOCKET s_ = INVALID_SOCKET;
  std::string pending_;
  bool ended_ = false;
};

}  // namespace vantrel::testing_support
