#pragma once
// The command host of vantrel-serve: the alias file kept in step with the disk and its settings,
// guarded by one mutex.
#include <filesystem>
#include <functional>
#include <string>

#include "aliases/AliasFileSync.h"
#include "remote/CommandHost.h"

namespace vantrel {

class TServeHost : public TMutexCommandHost {
 public:
  // dataFolder stands where the Windows program has its executable's "Data" folder: the default
  // database folder before the file is read and whenever the file has no default-path line.
  TServeHost(std::filesystem::path aliasFile, std::string dataFolder, char dateSeparator,
             char timeSeparator);

  // Reads the alias file when it exists (a missing file leaves the list empty and the settings
  // at their defaults) and writes back the settings lines it lacks. Raises EAliasFileError when
  // it exists but cannot be read or written back. Returns whether the file existed.
  bool LoadAliasFile();

  std::vector<std::string> AliasLines() override;
  std::string DefaultPath() override;
  bool HasAliasName(const std::string& name) override;
  std::optional<std::string> NewAliasProblem(const std::string& alias, const std::string& path) override {
    return file_.NewAliasProblem(alias, path);
  }
  void ReserveAlias(const std::string& name) override { file_.Reserve(name); }
  void ReleaseAlias(const std::string& name) override { file_.Release(name); }
  bool AddAlias(const std::string& alias, const std::string& path) override;
  void KeepAliasPending(const std::string& alias, const std::string& path, const std::string& reason) override;
  void AliasFileHeld(const std::string& alias, const std::string& reason) override;
  void RefreshCurrentPage() override {}
  char DateSeparator() override { return dateSeparator_; }
  char TimeSeparator() override { return timeSeparator_; }

  // Under the host's lock: tries once to write the aliases still pending; true when none is left.
  bool WritePendingAliases();
  // Under the host's lock: the aliases whose lines are not written yet, as "alias=path".
  std::vector<std::string> PendingAliasLines();

  // Settings read under the host's lock.
  int SocketPort();
  const std::filesystem::path& AliasFile() const { return aliasFile_; }

  // Where the host says what happened to pending aliases and to the file; empty: nowhere.
  void SetLog(std::function<void(const std::string&)> log);

 private:
  std::filesystem::path aliasFile_;
  TPlainAliasSettings settings_;
  TAliasFileSync file_;
  std::function<void(const std::string&)> log_;
  char dateSeparator_;
  char timeSeparator_;
};

}  // namespace vantrel
