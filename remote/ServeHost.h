#pragma once
// The command host of vantrel-serve: the alias list and its settings held in memory, guarded by
// one mutex, and the alias file on disk.
#include <filesystem>
#include <string>

#include "aliases/AliasList.h"
#include "remote/CommandHost.h"

namespace vantrel {

class TServeHost : public TMutexCommandHost {
 public:
  // dataFolder stands where the Windows program has its executable's "Data" folder: the default
  // database folder before the file is read and whenever the file has no default-path line.
  TServeHost(std::filesystem::path aliasFile, std::string dataFolder, char dateSeparator,
             char timeSeparator);

  // Reads the alias file when it exists (a missing file leaves the list empty and the settings
  // at their defaults). Raises EAliasFileError when it exists but cannot be read or written back.
  // Returns whether the file existed.
  bool LoadAliasFile();

  std::vector<std::string> AliasLines() override;
  std::string DefaultPath() override;
  bool HasAliasName(const std::string& name) override;
  void AppendAliasLine(const std::string& line) override;
  void SaveAliasFile() override;
  void RefreshCurrentPage() override {}
  char DateSeparator() override { return dateSeparator_; }
  char TimeSeparator() override { return timeSeparator_; }

  // Settings read under the host's lock.
  int SocketPort();
  const std::filesystem::path& AliasFile() const { return aliasFile_; }

 private:
  std::filesystem::path aliasFile_;
  TPlainAliasSettings settings_;
  TAliasList list_;
  char dateSeparator_;
  char timeSeparator_;
};

}  // namespace vantrel
