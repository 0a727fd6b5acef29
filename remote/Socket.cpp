#include "remote/Socket.h"

namespace vantrel::net {

TSocket& TSocket::operator=(TSocket&& other) noexcept {
  if (this != &other) {
    Close();
    handle_ = other.Release();
  }
  return *this;
}

SocketHandle TSocket::Release() {
  SocketHandle h = handle_;
  handle_ = kInvalidSocket;
  return h;
}

void TSocket::Close() {
  CloseSocketHandle(handle_);
  handle_ = kInvalidSocket;
}

std::optional<std::uint32_t> ParseIPv4(std::string_view text) {
  std::uint32_t address = 0;
  int parts = 0;
  std::size_t i = 0;
  while (parts < 4) {
    if (parts > 0) {
      if (i >= text.size() || text[i] != '.') return std::nullopt;
      ++i;
    }
    std::size_t start = i;
    unsigned value = 0;
    while (i < text.size() && text[i] >= '0' && text[i] <= '9' && i - start < 3)
      value = value * 10 + static_cast<unsigned>(text[i++] - '0');
    if (i == start || value > 255) return std::nullopt;
    address = (address << 8) | value;
    ++parts;
  }
  if (i != text.size()) return std::nullopt;
  return address;
}

namespace {
std::uint32_t PrefixMask(int bits) { return bits == 0 ? 0 : ~std::uint32_t{0} << (32 - bits); }
}  // namespace

bool TIPv4Network::Contains(std::uint32_t a) const {
  return (a & PrefixMask(bits)) == (address & PrefixMask(bits));
}

std::optional<TIPv4Network> ParseIPv4Network(std::string_view text) {
  std::string_view addressText = text.substr(0, text.find('/'));
  auto address = ParseIPv4(addressText);
  if (!address) return std::nullopt;
  int bits = 32;
  if (addressText.size() < text.size()) {
    std::string_view bitsText = text.substr(addressText.size() + 1);
    if (bitsText.empty() || bitsText.size() > 2) return std::nullopt;
    bits = 0;
    for (char c : bitsText) {
      if (c < '0' || c > '9') return std::nullopt;
      bits = bits * 10 + (c - '0');
    }
    if (bits > 32) return std::nullopt;
  }
  return TIPv4Network{*address & PrefixMask(bits), bits};
}

std::string FormatIPv4(std::uint32_t address) {
  return std::to_string(address >> 24) + "." + std::to_string((address >> 16) & 255) + "." +
         std::to_string((address >> 8) & 255) + "." + std::to_string(address & 255);
}

std::optional<std::string> TLineBuffer::NextLine() {
  if (tooLong_) return std::nullopt;
  std::size_t lf = pending_.find('\n', scanned_);
  if (lf == std::string::npos) {
    scanned_ = pending_.size();
    // A CR may still arrive in front of the LF, so one byte more than the limit can wait.
    if (pending_.size() > kMaxRequestLine + 1) tooLong_ = true;
    return std::nullopt;
  }
  std::size_t end = lf;
  if (end > 0 && pending_[end - 1] == '\r') --end;
  if (end > kMaxRequestLine) {
    tooLong_ = true;
    return std::nullopt;
  }
  std::string line = pending_.substr(0, end);
  pending_.erase(0, lf + 1);
  scanned_ = 0;
  return line;
}

}  // namespace vantrel::net
