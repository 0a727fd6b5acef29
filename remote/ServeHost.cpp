#include "remote/ServeHost.h"

#include <system_error>

namespace vantrel {

TServeHost::TServeHost(std::filesystem::path aliasFile, std::string dataFolder, char dateSeparator,
                       char timeSeparator)
    : aliasFile_(std::move(aliasFile)),
      settings_(dataFolder),
      list_(&settings_),
      dateSeparator_(dateSeparator),
      timeSeparator_(timeSeparator) {
  settings_.SetDefaultPath(dataFolder);
  // The values a load takes when the file lacks a line, rather than the window's initial ones:
  // a file first written by a create request then carries the usual port 3049.
  settings_.SetZeeBeeDee(true);
  settings_.SetZeeBeeDeePort(kDefaultZeeBeeDeePort);
  settings_.SetSocketPort(kDefaultSocketPort);
  settings_.saveAliasFile = [this] { list_.Save(aliasFile_); };
  list_.SetRules(RulesForFile(aliasFile_));
}

bool TServeHost::LoadAliasFile() {
  std::lock_guard<std::mutex> lock(Lock());
  std::error_code error;
  if (!std::filesystem::exists(aliasFile_, error)) return false;
  list_.Load(aliasFile_);
  return true;
}

std::vector<std::string> TServeHost::AliasLines() { return list_.SendableLines(); }

std::string TServeHost::DefaultPath() { return list_.DefaultPath(); }

bool TServeHost::HasAliasName(const std::string& name) { return list_.ContainsAlias(name); }

void TServeHost::AppendAliasLine(const std::string& line) { list_.AddLine(line); }

void TServeHost::SaveAliasFile() { list_.Save(aliasFile_); }

int TServeHost::SocketPort() {
  std::lock_guard<std::mutex> lock(Lock());
  return list_.SocketPort();
}

}  // namespace vantrel
