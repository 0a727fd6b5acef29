#pragma once
// What the command protocol needs from the program that owns the alias list: the Windows main
// window or vantrel-serve. Shared state is touched only inside RunSerialised work, so the
// owner's own changes and the connection threads never meet.
#include <functional>
#include <mutex>
#include <optional>
#include <string>
#include <vector>

#include "aliases/AliasFileSync.h"
#include "remote/OwnerThreadQueue.h"

namespace vantrel {

// How a new database reaches the local server: the text before its path, and the login.
struct TLocalServer {
  std::string prefix;
  std::string user;
  std::string password;
};

class ICommandHost {
 public:
  virtual ~ICommandHost() = default;

  // Runs work serialised with the alias list's owner. False when the work was cancelled because
  // the listener stops; it did not run then. An exception of the work propagates.
  virtual bool RunSerialised(const std::function<void()>& work) = 0;
  // Waiting and later RunSerialised calls return false until AcceptWork.
  virtual void CancelWork() = 0;
  virtual void AcceptWork() = 0;

  // Only inside RunSerialised work. Each answer is taken from the alias file as it is now.
  // The alias file's lines as clients get them (a databases.conf without its blocks).
  virtual std::vector<std::string> AliasLines() = 0;
  // Always ends with a path delimiter.
  virtual std::string DefaultPath() = 0;
  // An alias of that name exists, waits to be written or is reserved, ignoring letter case.
  virtual bool HasAliasName(const std::string& name) = 0;
  // Why "alias=path" could not be added to the file as it is now; nothing when it can.
  virtual std::optional<std::string> NewAliasProblem(const std::string& alias, const std::string& path) = 0;
  // A request creating a database for this alias holds it until its line is written or given up:
  // meanwhile HasAliasName says it exists.
  virtual void ReserveAlias(const std::string& name) = 0;
  virtual void ReleaseAlias(const std::string& name) = 0;
  // Adds "alias=path" to the file as it is now, unless an alias of that name is there by then
  // (false: another program wrote it meanwhile). Raises EAliasFileError when the file cannot be
  // written; nothing is written then.
  virtual bool AddAlias(const std::string& alias, const std::string& path) = 0;
  // A created database whose alias could not be written: the host writes it later and says so.
  virtual void KeepAliasPending(const std::string& alias, const std::string& path, const std::string& reason) = 0;
  // The file is held by another program (a scanner, an editor): the alias waits for it a while.
  // Told once per request, so the log says why a reply is late.
  virtual void AliasFileHeld(const std::string& alias, const std::string& reason) {}
  virtual void RefreshCurrentPage() = 0;
  virtual bool FileExists(const std::string& path);
  // Given the protocol's own settings, a host that knows its installation and its user's login
  // puts those in; by default they stay.
  virtual void ChooseLocalServer(TLocalServer& server) {}

  // Any thread:
  virtual std::string LocalIPAddress();
  virtual char DateSeparator() = 0;
  virtual char TimeSeparator() = 0;
};

// Serialises with one mutex: for a program whose owner takes the same lock (vantrel-serve).
class TMutexCommandHost : public ICommandHost {
 public:
  bool RunSerialised(const std::function<void()>& work) override;
  void CancelWork() override;
  void AcceptWork() override;
  // The owner's own changes of the shared state take this lock.
  std::mutex& Lock() { return mutex_; }

 private:
  std::mutex mutex_;
  bool cancelled_ = false;
};

// Serialises by running the work on the owner thread (the Windows window thread).
class TQueuedCommandHost : public ICommandHost {
 public:
  // Constructed on the owner thread; notifier as for TOwnerThreadQueue.
  explicit TQueuedCommandHost(TOwnerThreadQueue::Notifier notifier) : queue_(std::move(notifier)) {}
  bool RunSerialised(const std::function<void()>& work) override { return queue_.Run(work); }
  void CancelWork() override { queue_.Close(); }
  void AcceptWork() override { queue_.Open(); }
  // The owner calls this when the notifier has told it that work waits.
  void RunQueuedWork() { queue_.Drain(); }

 private:
  TOwnerThreadQueue queue_;
};

// The log line's own words (UTF-8) for what the alias file's sync tells; its detail follows them.
const char* LogTextOf(TAliasFileSync::TNotice notice);

// The first IPv4 address of the local host name, dotted; empty when there is none.
std::string LocalIPAddress();

}  // namespace vantrel
