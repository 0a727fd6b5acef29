#pragma once
// A loopback TCP client, a host with its state in memory and a recording database creator.
#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <filesystem>
#include <functional>
#include <fstream>
#include <mutex>
#include <optional>
#include <random>
#include <string>
#include <vector>

#include "aliases/AliasFileIO.h"
#include "remote/CommandHost.h"
#include "remote/CommandProtocol.h"
#include "remote/IB_Ext.h"
#include "remote/Socket.h"

namespace vantrel::testing {

namespace fs = std::filesystem;

inline constexpr int kReplyTimeoutMs = 10000;

class TTestClient {
 public:
  // from: the loopback address this client connects from, to act as another host.
  explicit TTestClient(std::uint16_t port, std::uint32_t from = 0) {
    socket_ = net::TSocket(net::OpenTcpSocket());
    if (socket_.Valid() && from != 0 && !net::BindSocket(socket_.Get(), {from, 0})) socket_.Close();
    if (socket_.Valid() && !net::ConnectSocket(socket_.Get(), {0x7F000001u, port})) socket_.Close();
  }
  bool Connected() const { return socket_.Valid(); }

  bool Send(std::string_view bytes) {
    while (!bytes.empty()) {
      long n = net::SendBytes(socket_.Get(), bytes.data(), bytes.size());
      if (n <= 0) return false;
      bytes.remove_prefix(static_cast<std::size_t>(n));
    }
    return true;
  }

  // The next line as received, its CR LF or LF included; nothing on close or time-out.
  std::optional<std::string> ReadLine(int timeoutMs = kReplyTimeoutMs) {
    for (;;) {
      if (auto lf = pending_.find('\n'); lf != std::string::npos) {
        std::string line = pending_.substr(0, lf + 1);
        pending_.erase(0, lf + 1);
        return line;
      }
      if (!Fill(timeoutMs)) return std::nullopt;
    }
  }

  // Whether the server closed the connection (within the time), with no further bytes.
  bool ClosedByServer(int timeoutMs = kReplyTimeoutMs) {
    if (!pending_.empty()) return false;
    return !Fill(timeoutMs) && closed_;
  }

  // count lines; fewer when the connection ends or times out.
  std::vector<std::string> ReadLines(std::size_t count) {
    std::vector<std::string> lines;
    while (lines.size() < count) {
      auto line = ReadLine();
      if (!line) break;
      lines.push_back(*line);
    }
    return lines;
  }

  void Close() { socket_.Close(); }

  // Whether the server closed the connection before sending a single byte.
  bool RefusedByServer(int timeoutMs = kReplyTimeoutMs) {
    return received_ == 0 && ClosedByServer(timeoutMs);
  }

 private:
  bool Fill(int timeoutMs) {
    if (!socket_.Valid() || closed_) return false;
    std::vector<bool> ready;
    if (!net::WaitSockets({socket_.Get()}, {false}, ready, timeoutMs) || !ready[0]) return false;
    char chunk[65536];
    long n = net::ReceiveBytes(socket_.Get(), chunk, sizeof chunk);
    if (n <= 0) {
      closed_ = true;
      return false;
    }
    pending_.append(chunk, static_cast<std::size_t>(n));
    received_ += static_cast<std::size_t>(n);
    return true;
  }

  net::TSocketLibrary library_;
  net::TSocket socket_;
  std::string pending_;
  std::size_t received_ = 0;
  bool closed_ = false;
};

// Sends a request and reads its one reply line.
inline std::string Ask(TTestClient& c, const std::string& request) {
  c.Send(request);
  return c.ReadLine().value_or("(none)");
}

inline bool SameAsciiText(const std::string& a, const std::string& b) {
  if (a.size() != b.size()) return false;
  for (std::size_t i = 0; i < a.size(); ++i) {
    char x = a[i], y = b[i];
    if (x >= 'a' && x <= 'z') x = static_cast<char>(x - 32);
    if (y >= 'a' && y <= 'z') y = static_cast<char>(y - 32);
    if (x != y) return false;
  }
  return true;
}

// The shared state the protocol reads and changes, in memory. Tests read it under Lock().
template <typename Base>
class TMemoryHost : public Base {
 public:
  using Base::Base;

  std::vector<std::string> lines;
  std::string defaultPath;
  std::vector<std::string> existingFiles;
  int saves = 0;
  int refreshes = 0;
  int failingSaves = 0;  // this many saves fail, then they succeed again
  bool failHeld = true;  // as a file held by another process fails, or as a refused one
  std::vector<std::string> pending;
  std::string localIP = "192.0.2.7";

  std::vector<std::string> AliasLines() override { return lines; }
  std::string DefaultPath() override { return defaultPath; }
  bool HasAliasName(const std::string& name) override {
    for (const std::string& r : reserved)
      if (SameAsciiText(r, name)) return true;
    return InLines(name);
  }
  std::optional<std::string> NewAliasProblem(const std::string&, const std::string&) override { return problem; }
  std::optional<std::string> problem;  // the file as it stands takes no alias, for this reason
  void ReserveAlias(const std::string& name) override { reserved.push_back(name); }
  void ReleaseAlias(const std::string& name) override { std::erase(reserved, name); }
  bool AddAlias(const std::string& alias, const std::string& path) override {
    if (failingSaves > 0) {
      --failingSaves;
      throw EAliasFileError("Cannot write file \"aliases.conf\". in use", "aliases.conf", "in use", 32, failHeld);
    }
    ++saves;
    if (InLines(alias)) return false;
    lines.push_back(alias + "=" + path);
    return true;
  }
  bool InLines(const std::string& name) const {
    for (const std::string& l : lines) {
      auto eq = l.find('=');
      if (eq != std::string::npos && SameAsciiText(l.substr(0, eq), name)) return true;
    }
    return false;
  }
  std::vector<std::string> reserved;
  void KeepAliasPending(const std::string& alias, const std::string& path, const std::string&) override {
    pending.push_back(alias + "=" + path);
  }
  void RefreshCurrentPage() override { ++refreshes; }
  bool FileExists(const std::string& path) override {
    for (const std::string& f : existingFiles)
      if (f == path) return true;
    return false;
  }
  std::string LocalIPAddress() override { return localIP; }
  char DateSeparator() override { return '.'; }
  char TimeSeparator() override { return ':'; }
};

using TMutexMemoryHost = TMemoryHost<TMutexCommandHost>;

// Stands for the client library: records each call; a "created" database becomes an existing
// file of the host, as the real server's file would.
class TRecordingCreator {
 public:
  struct TCall {
    std::string path, user, password, clause;
    std::uint16_t dialect;
  };

  explicit TRecordingCreator(TMutexMemoryHost* host, std::string prefix)
      : host_(host), prefix_(std::move(prefix)) {}

  DatabaseCreator Creator() {
    return [this](const std::string& path, const std::string& user, const std::string& password,
                  std::uint16_t dialect, const std::string& clause) {
      {
        std::lock_guard<std::mutex> lock(mutex_);
        calls_.push_back({path, user, password, clause, dialect});
      }
      if (!error.empty()) throw EDatabaseError(error);
      {
        std::lock_guard<std::mutex> lock(host_->Lock());
        host_->existingFiles.push_back(path.substr(prefix_.size()));
        if (whileCreating) whileCreating();
      }
      if (afterCreating) afterCreating();
    };
  }

  std::vector<TCall> Calls() {
    std::lock_guard<std::mutex> lock(mutex_);
    return calls_;
  }

  std::string error;  // set before requests: every creation fails with it
  std::function<void()> whileCreating;  // runs under the host's lock as each database is made
  std::function<void()> afterCreating;  // runs once it is made, outside the lock

 private:
  TMutexMemoryHost* host_;
  std::string prefix_;
  std::mutex mutex_;
  std::vector<TCall> calls_;
};

// A fixed moment: 6 December 2026, 09:05:03.
inline std::tm FixedMoment() {
  std::tm t{};
  t.tm_year = 2026 - 1900;
  t.tm_mon = 11;
  t.tm_mday = 6;
  t.tm_hour = 9;
  t.tm_min = 5;
  t.tm_sec = 3;
  return t;
}

inline fs::path FreshFolder(const std::string& tag) {
  const auto* test = ::testing::UnitTest::GetInstance()->current_test_info();
  fs::path folder = fs::temp_directory_path() /
                    ("vantrel-remote-" + tag + "-" + test->name() + "-" +
                     std::to_string(std::random_device{}() & 0xFFFFFF));
  fs::remove_all(folder);
  fs::create_directories(folder);
  return folder;
}

inline std::string ReadFileBytes(const fs::path& path) {
  std::ifstream in(path, std::ios::binary);
  return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

}  // namespace vantrel::testing
