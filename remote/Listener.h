#pragma once
// The threaded TCP listener of the command server: listens on a list of IPv4 bindings and serves
// every accepted connection on a thread of its own, giving each client address a fair share.
#include <atomic>
#include <chrono>
#include <cstdint>
#include <functional>
#include <list>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <thread>
#include <unordered_map>
#include <vector>

#include "remote/Socket.h"

namespace vantrel::net {

inline constexpr std::size_t kMaxConnections = 256;
inline constexpr std::size_t kMaxConnectionsPerClient = 16;
inline constexpr std::chrono::milliseconds kLineTimeout{30000};
inline constexpr int kListenBacklog = 1024;

// How many connections the listener serves at once, from whom. A connection over either cap or
// from outside `allowed` is closed at once, before a byte is sent; the handler never sees it.
struct TListenerLimits {
  std::size_t maxConnections = kMaxConnections;
  std::size_t perClient = kMaxConnectionsPerClient;  // connections at once from one address
  // Longest time from the first byte of a request line to its end; idle time between whole
  // lines is not limited.
  std::chrono::milliseconds lineTimeout = kLineTimeout;
  std::vector<TIPv4Network> allowed;  // empty: every client
};

struct TBinding {
  std::string address;  // dotted IPv4 text
  int port = 0;
};

// One accepted connection as its serving thread sees it; only that thread uses it. All waits
// wake when the listener stops.
class TConnection {
 public:
  TConnection(SocketHandle socket, SocketHandle stopSignal,
              std::chrono::milliseconds lineTimeout = kLineTimeout);
  // The next request line; nothing once the peer closed, the line broke the length limit or
  // was not finished within the line time-out, the connection failed or the listener is stopping.
  std::optional<std::string> ReadLine();
  // Sends all bytes; false when the connection failed or the listener is stopping.
  bool Send(std::string_view bytes);
  // The dotted address of this side of the connection.
  std::string LocalAddress() const;
  // Tells the peer that the server is done (the socket itself is closed by the listener).
  void Shutdown();

 private:
  using Clock = std::chrono::steady_clock;

  // False when the listener stops or the wait fails; true when ready or timeoutMs passed.
  bool WaitReady(bool forWrite, int timeoutMs = -1);
  // How long a wait for more of the current line may take; nothing without a partial line,
  // zero once its time is up.
  std::optional<int> LineWaitMs();

  SocketHandle socket_;
  SocketHandle stopSignal_;
  std::chrono::milliseconds lineTimeout_;
  TLineBuffer lines_;
  std::optional<Clock::time_point> lineStarted_;
  bool finished_ = false;
};

// Start, Stop, the destructor, Active and BoundPort belong to one owner thread; the handler runs
// on each connection's own thread; OpenConnections may be called from any thread.
class TTcpListener {
 public:
  using Handler = std::function<void(TConnection&)>;

  explicit TTcpListener(Handler handler, TListenerLimits limits = {});
  ~TTcpListener();
  TTcpListener(const TTcpListener&) = delete;
  TTcpListener& operator=(const TTcpListener&) = delete;

  // Listens on every binding. Throws ESocketError naming the binding that failed; nothing is
  // left listening then. A running listener is stopped first.
  void Start(const std::vector<TBinding>& bindings);
  // Closes the listening sockets and every open connection, and joins every thread.
  void Stop();
  bool Active() const { return active_; }
  // The port actually bound for binding i (differs from the requested one for port 0).
  std::uint16_t BoundPort(std::size_t i) const;
  std::size_t OpenConnections() const;

 private:
  struct TConnectionSlot {
    TSocket socket;
    std::uint32_t client = 0;
    std::thread thread;
    std::atomic<bool> finished{false};
  };

  void AcceptLoop();
  void AcceptPending(SocketHandle listening);
  bool Allowed(std::uint32_t client) const;
  // Under slotsMutex_: a slot for this client fits inside both caps.
  bool HasRoomFor(std::uint32_t client) const;
  void ServeSlot(TConnectionSlot* slot);
  void ReapFinished();
  void Wake();

  Handler handler_;
  TListenerLimits limits_;
  std::unique_ptr<TSocketLibrary> library_;
  std::vector<TSocket> listening_;
  std::vector<std::uint16_t> boundPorts_;
  TSocket stopSignal_;
  TSocket stopSender_;
  std::thread acceptThread_;
  std::atomic<bool> stopping_{false};
  bool active_ = false;
  mutable std::mutex slotsMutex_;
  std::list<TConnectionSlot> slots_;
  std::size_t busySlots_ = 0;
  std::unordered_map<std::uint32_t, std::size_t> clientSlots_;  // busy slots per client address
};

}  // namespace vantrel::net
