#pragma once
// The threaded TCP listener of the command server: listens on a list of IPv4 bindings and serves
// every accepted connection on a thread of its own.
#include <atomic>
#include <cstdint>
#include <functional>
#include <list>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <thread>
#include <vector>

#include "remote/Socket.h"

namespace vantrel::net {

inline constexpr std::size_t kMaxConnections = 256;
inline constexpr int kListenBacklog = 1024;

struct TBinding {
  std::string address;  // dotted IPv4 text
  int port = 0;
};

// One accepted connection as its serving thread sees it. All waits wake when the listener stops.
class TConnection {
 public:
  TConnection(SocketHandle socket, SocketHandle stopSignal);
  // The next request line; nothing once the peer closed, the line broke the length limit,
  // the connection failed or the listener is stopping.
  std::optional<std::string> ReadLine();
  // Sends all bytes; false when the connection failed or the listener is stopping.
  bool Send(std::string_view bytes);
  // The dotted address of this side of the connection.
  std::string LocalAddress() const;
  // Tells the peer that the server is done (the socket itself is closed by the listener).
  void Shutdown();

 private:
  bool WaitReady(bool forWrite);

  SocketHandle socket_;
  SocketHandle stopSignal_;
  TLineBuffer lines_;
  bool finished_ = false;
};

class TTcpListener {
 public:
  using Handler = std::function<void(TConnection&)>;

  explicit TTcpListener(Handler handler, std::size_t maxConnections = kMaxConnections);
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
    std::thread thread;
    std::atomic<bool> finished{false};
  };

  void AcceptLoop();
  void AcceptPending(SocketHandle listening);
  void ServeSlot(TConnectionSlot* slot);
  void ReapFinished();
  void Wake();

  Handler handler_;
  std::size_t maxConnections_;
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
};

}  // namespace vantrel::net
