#pragma once
// Socket ownership, IPv4 address text and the request-line framing of the command protocol.
#include <cstdint>
#include <optional>
#include <stdexcept>
#include <string>
#include <string_view>

#include "remote/SocketPlatform.h"

namespace vantrel::net {

// Owns one socket handle and closes it on every path out.
class TSocket {
 public:
  TSocket() = default;
  explicit TSocket(SocketHandle handle) : handle_(handle) {}
  ~TSocket() { Close(); }
  TSocket(TSocket&& other) noexcept : handle_(other.Release()) {}
  TSocket& operator=(TSocket&& other) noexcept;
  TSocket(const TSocket&) = delete;
  TSocket& operator=(const TSocket&) = delete;

  SocketHandle Get() const { return handle_; }
  bool Valid() const { return handle_ != kInvalidSocket; }
  SocketHandle Release();
  void Close();

 private:
  SocketHandle handle_ = kInvalidSocket;
};

// A failure of the socket layer, with a text fit for the listener's error list.
class ESocketError : public std::runtime_error {
 public:
  using std::runtime_error::runtime_error;
};

// Dotted decimal "a.b.c.d", each part 0-255 without a sign; nothing else is an address.
std::optional<std::uint32_t> ParseIPv4(std::string_view text);
std::string FormatIPv4(std::uint32_t address);

// An IPv4 network: the addresses whose first `bits` bits equal those of `address`.
struct TIPv4Network {
  std::uint32_t address = 0;
  int bits = 32;
  bool Contains(std::uint32_t a) const;
};
// "a.b.c.d" (one address) or "a.b.c.d/BITS" with BITS 0-32; host bits past the prefix are
// dropped, as routers read such a network.
std::optional<TIPv4Network> ParseIPv4Network(std::string_view text);

inline constexpr std::size_t kMaxRequestLine = 16384;

// Cuts received bytes into request lines: a line ends at LF, a CR just before the LF is dropped,
// and a line may hold at most kMaxRequestLine bytes before its terminator.
class TLineBuffer {
 public:
  void Append(const char* data, std::size_t size) { pending_.append(data, size); }
  // The next complete line, if one has arrived. Sets TooLong() instead when the limit is broken.
  std::optional<std::string> NextLine();
  bool TooLong() const { return tooLong_; }
  // Bytes of a line whose end has not arrived yet are waiting.
  bool HasPartialLine() const { return !pending_.empty(); }

 private:
  std::string pending_;
  std::size_t scanned_ = 0;
  bool tooLong_ = false;
};

}  // namespace vantrel::net
