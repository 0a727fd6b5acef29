#include "remote/ServeHost.h"

#include "remote/ProtocolTexts.h"

namespace vantrel {

TServeHost::TServeHost(std::filesystem::path aliasFile, std::string dataFolder, char dateSeparator,
                       char timeSeparator)
    : aliasFile_(std::move(aliasFile)),
      settings_(dataFolder),
      file_(settings_, SameNameCp1254),
      dateSeparator_(dateSeparator),
      timeSeparator_(timeSeparator) {
  settings_.SetDefaultPath(dataFolder);
  // The values a load takes when the file lacks a line, rather than the window's initial ones:
  // a file first written by a create request then carries the usual port 3049.
  settings_.SetZeeBeeDee(true);
  settings_.SetZeeBeeDeePort(kDefaultZeeBeeDeePort);
  settings_.SetSocketPort(kDefaultSocketPort);
  file_.SetPath(aliasFile_);
}

bool TServeHost::LoadAliasFile() {
  std::lock_guard<std::mutex> lock(Lock());
  file_.Refresh();
  if (!file_.Exists()) return false;
  if (file_.DefaultsUsed()) file_.Apply();
  return true;
}

std::vector<std::string> TServeHost::AliasLines() { return file_.SendableLinesNow(); }

std::string TServeHost::DefaultPath() { return file_.DefaultPathNow(settings_.DefaultPath()); }

bool TServeHost::HasAliasName(const std::string& name) { return file_.HasAliasNow(name); }

void TServeHost::SetLog(std::function<void(const std::string&)> log) {
  log_ = std::move(log);
  file_.notice = [this](TAliasFileSync::TNotice notice, const std::string& detail) {
    if (log_) log_(LogTextOf(notice) + detail);
  };
}

bool TServeHost::AddAlias(const std::string& alias, const std::string& path) {
  const bool werePending = !file_.Pending().empty();
  const bool added = file_.AddAlias(alias, path);
  if (werePending && log_) log_(texts::kLogAliasWritten + aliasFile_.string());
  return added;
}

void TServeHost::KeepAliasPending(const std::string& alias, const std::string& path, const std::string& reason) {
  file_.KeepPending({alias, path});
  if (log_) log_(texts::kLogAliasPending + alias + "=" + path + " (" + reason + ")");
}

void TServeHost::AliasFileHeld(const std::string& alias, const std::string& reason) {
  if (log_) log_(texts::kLogAliasFileHeld + alias + " (" + reason + ")");
}

bool TServeHost::WritePendingAliases() {
  std::lock_guard<std::mutex> lock(Lock());
  const TAliasFileSync::TPendingWrite result = file_.WritePending();
  if (result == TAliasFileSync::TPendingWrite::Written && log_) log_(texts::kLogAliasWritten + aliasFile_.string());
  return result != TAliasFileSync::TPendingWrite::Waiting;
}

std::vector<std::string> TServeHost::PendingAliasLines() {
  std::lock_guard<std::mutex> lock(Lock());
  std::vector<std::string> lines;
  for (const TPendingAlias& pending : file_.Pending()) lines.push_back(pending.alias + "=" + pending.path);
  return lines;
}

int TServeHost::SocketPort() {
  std::lock_guard<std::mutex> lock(Lock());
  return file_.Exists() ? file_.Settings().socketPort : settings_.SocketPort();
}

}  // namespace vantrel
