#include "remote/Listener.h"

#include <system_error>

namespace vantrel::net {
namespace {

constexpr std::size_t kReceiveChunk = 16384;
// The stop datagram is the way out of every wait (it stays readable until read, and nobody
// else can send to its socket); the accept loop still looks at the flag this often, in case one
// were ever lost. Seldom: every wake of an idle program costs the system CPU.
constexpr int kAcceptSafetyWakeMs = 30000;
constexpr int kAcceptErrorPauseMs = 100;

// The stop signal is a pair of loopback datagram sockets connected to each other: the receiving
// one takes datagrams from its partner only, so no other local program can stop a listener.
void OpenStopSignal(TSocket& receiver, TSocket& sender) {
  receiver = TSocket(OpenUdpSocket());
  sender = TSocket(OpenUdpSocket());
  TIPv4Endpoint loopback{0x7F000001u, 0};
  TIPv4Endpoint receiverAt, senderAt;
  if (!receiver.Valid() || !sender.Valid() || !BindSocket(receiver.Get(), loopback) ||
      !BindSocket(sender.Get(), loopback) || !LocalEndpoint(receiver.Get(), receiverAt) ||
      !LocalEndpoint(sender.Get(), senderAt) || !ConnectSocket(receiver.Get(), senderAt) ||
      !ConnectSocket(sender.Get(), receiverAt))
    throw ESocketError("Could not create the listener's stop signal. " +
                       SocketErrorText(LastSocketError()));
}

TSocket OpenListening(const TBinding& binding, std::uint16_t& boundPort) {
  std::string where = binding.address + ":" + std::to_string(binding.port);
  auto address = ParseIPv4(binding.address);
  if (!address) throw ESocketError("Could not bind socket " + where + ". Not an IPv4 address.");
  if (binding.port < 0 || binding.port > 65535)
    throw ESocketError("Could not bind socket " + where + ". Port out of range.");
  TSocket s(OpenTcpSocket());
  TIPv4Endpoint at{*address, static_cast<std::uint16_t>(binding.port)};
  TIPv4Endpoint bound;
  if (!s.Valid() || !SetReuseAddress(s.Get()) || !BindSocket(s.Get(), at) ||
      !ListenSocket(s.Get(), kListenBacklog) || !SetNonBlocking(s.Get()) ||
      !LocalEndpoint(s.Get(), bound))
    throw ESocketError("Could not bind socket " + where + ". " +
                       SocketErrorText(LastSocketError()));
  boundPort = bound.port;
  return s;
}

}  // namespace

TConnection::TConnection(SocketHandle socket, SocketHandle stopSignal,
                         std::chrono::milliseconds lineTimeout)
    : socket_(socket), stopSignal_(stopSignal), lineTimeout_(lineTimeout) {}

bool TConnection::WaitReady(bool forWrite, int timeoutMs) {
  std::vector<bool> ready;
  if (!WaitSockets({socket_, stopSignal_}, {forWrite, false}, ready, timeoutMs)) return false;
  return !ready[1];
}

std::optional<int> TConnection::LineWaitMs() {
  if (!lines_.HasPartialLine()) {
    lineStarted_.reset();
    return std::nullopt;
  }
  Clock::time_point now = Clock::now();
  if (!lineStarted_) lineStarted_ = now;
  auto left = std::chrono::ceil<std::chrono::milliseconds>(*lineStarted_ + lineTimeout_ - now);
  return left.count() > 0 ? static_cast<int>(left.count()) : 0;
}

std::optional<std::string> TConnection::ReadLine() {
  char chunk[kReceiveChunk];
  while (!finished_) {
    if (auto line = lines_.NextLine()) {
      lineStarted_.reset();
      return line;
    }
    if (lines_.TooLong()) break;
    std::optional<int> waitMs = LineWaitMs();
    if (waitMs == 0) break;  // half a line for too long
    if (!WaitReady(false, waitMs.value_or(-1))) break;
    long n = ReceiveBytes(socket_, chunk, sizeof chunk);
    if (n > 0) {
      lines_.Append(chunk, static_cast<std::size_t>(n));
    } else if (n == 0 || !IsWouldBlock(LastSocketError())) {
      break;
    }
  }
  finished_ = true;
  return std::nullopt;
}

bool TConnection::Send(std::string_view bytes) {
  while (!finished_ && !bytes.empty()) {
    long n = SendBytes(socket_, bytes.data(), bytes.size());
    if (n > 0) {
      bytes.remove_prefix(static_cast<std::size_t>(n));
    } else if (n < 0 && IsWouldBlock(LastSocketError())) {
      if (!WaitReady(true)) finished_ = true;
    } else {
      finished_ = true;
    }
  }
  return !finished_;
}

std::string TConnection::LocalAddress() const {
  TIPv4Endpoint local;
  return LocalEndpoint(socket_, local) ? FormatIPv4(local.address) : std::string();
}

void TConnection::Shutdown() {
  finished_ = true;
  ShutdownSocketHandle(socket_);
}

TTcpListener::TTcpListener(Handler handler, TListenerLimits limits)
    : handler_(std::move(handler)), limits_(std::move(limits)) {}

TTcpListener::~TTcpListener() { Stop(); }

void TTcpListener::Start(const std::vector<TBinding>& bindings) {
  Stop();
  try {
    library_ = std::make_unique<TSocketLibrary>();
    if (!library_->Started()) throw ESocketError("The socket library cannot be started.");
    OpenStopSignal(stopSignal_, stopSender_);
    for (const TBinding& binding : bindings) {
      std::uint16_t port = 0;
      listening_.push_back(OpenListening(binding, port));
      boundPorts_.push_back(port);
    }
    stopping_ = false;
    acceptThread_ = std::thread(&TTcpListener::AcceptLoop, this);
  } catch (const std::system_error& e) {
    Stop();
    throw ESocketError(std::string("Could not start the listener thread. ") + e.what());
  } catch (...) {
    Stop();
    throw;
  }
  active_ = true;
}

void TTcpListener::Stop() {
  stopping_ = true;
  if (acceptThread_.joinable()) {
    Wake();
    acceptThread_.join();
  }
  {
    std::lock_guard<std::mutex> lock(slotsMutex_);
    for (TConnectionSlot& slot : slots_)
      if (slot.socket.Valid()) ShutdownSocketHandle(slot.socket.Get());
  }
  // No thread adds slots any more; the serving threads only touch their own slot.
  for (TConnectionSlot& slot : slots_)
    if (slot.thread.joinable()) slot.thread.join();
  slots_.clear();
  busySlots_ = 0;
  clientSlots_.clear();
  listening_.clear();
  boundPorts_.clear();
  stopSignal_.Close();
  stopSender_.Close();
  library_.reset();
  active_ = false;
}

std::uint16_t TTcpListener::BoundPort(std::size_t i) const {
  return i < boundPorts_.size() ? boundPorts_[i] : 0;
}

std::size_t TTcpListener::OpenConnections() const {
  std::lock_guard<std::mutex> lock(slotsMutex_);
  return busySlots_;
}

void TTcpListener::Wake() {
  if (stopSender_.Valid()) SendBytes(stopSender_.Get(), "!", 1);
}

void TTcpListener::AcceptLoop() {
  std::vector<SocketHandle> sockets;
  std::vector<bool> wantWrite;
  for (const TSocket& s : listening_) sockets.push_back(s.Get());
  sockets.push_back(stopSignal_.Get());
  wantWrite.assign(sockets.size(), false);
  std::vector<bool> ready;
  while (!stopping_) {
    if (!WaitSockets(sockets, wantWrite, ready, kAcceptSafetyWakeMs)) {
      WaitSockets({stopSignal_.Get()}, {false}, ready, kAcceptErrorPauseMs);
      continue;
    }
    if (stopping_ || ready.back()) break;
    for (std::size_t i = 0; i + 1 < sockets.size(); ++i)
      if (ready[i]) AcceptPending(sockets[i]);
    ReapFinished();
  }
}

void TTcpListener::AcceptPending(SocketHandle listening) {
  while (!stopping_) {
    TSocket accepted(AcceptSocket(listening));
    if (!accepted.Valid()) {
      int error = LastSocketError();
      if (IsWouldBlock(error)) return;
      // Out of descriptors or a similar condition: give the system a moment instead of spinning.
      std::vector<bool> ready;
      WaitSockets({stopSignal_.Get()}, {false}, ready, kAcceptErrorPauseMs);
      return;
    }
    // Refused connections are closed at once, before a byte is sent.
    TIPv4Endpoint peer;
    if (!PeerEndpoint(accepted.Get(), peer) || !Allowed(peer.address)) continue;
    if (!SetNonBlocking(accepted.Get())) continue;
    ReapFinished();
    std::lock_guard<std::mutex> lock(slotsMutex_);
    if (!HasRoomFor(peer.address)) continue;
    TConnectionSlot& slot = slots_.emplace_back();
    slot.socket = std::move(accepted);
    slot.client = peer.address;
    try {
      slot.thread = std::thread(&TTcpListener::ServeSlot, this, &slot);
      ++busySlots_;
      ++clientSlots_[peer.address];
    } catch (const std::system_error&) {
      slots_.pop_back();
    }
  }
}

bool TTcpListener::Allowed(std::uint32_t client) const {
  if (limits_.allowed.empty()) return true;
  for (const TIPv4Network& network : limits_.allowed)
    if (network.Contains(client)) return true;
  return false;
}

bool TTcpListener::HasRoomFor(std::uint32_t client) const {
  if (busySlots_ >= limits_.maxConnections) return false;
  auto held = clientSlots_.find(client);
  return held == clientSlots_.end() || held->second < limits_.perClient;
}

void TTcpListener::ServeSlot(TConnectionSlot* slot) {
  TConnection connection(slot->socket.Get(), stopSignal_.Get(), limits_.lineTimeout);
  try {
    handler_(connection);
  } catch (...) {
    // A failed request ends its own connection only.
  }
  connection.Shutdown();
  std::lock_guard<std::mutex> lock(slotsMutex_);
  slot->socket.Close();
  --busySlots_;
  if (auto held = clientSlots_.find(slot->client); held != clientSlots_.end() && --held->second == 0)
    clientSlots_.erase(held);
  slot->finished = true;
}

void TTcpListener::ReapFinished() {
  std::lock_guard<std::mutex> lock(slotsMutex_);
  for (auto it = slots_.begin(); it != slots_.end();) {
    if (it->finished) {
      it->thread.join();
      it = slots_.erase(it);
    } else {
      ++it;
    }
  }
}

}  // namespace vantrel::net
