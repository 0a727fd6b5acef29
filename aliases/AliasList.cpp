#include "aliases/AliasList.h"

#include <algorithm>
#include <stdexcept>

#include "aliases/DatabasesConf.h"
#include "shell/rules/TextRules.h"

namespace vantrel {

namespace {

constexpr std::string_view kDefaultPathMarker = "# DEFAULT_PATH";
constexpr std::string_view kZeeBeeDeeMarker = "# ZEEBEEDEE";
constexpr std::string_view kZeeBeeDeePortMarker = "# ZEEBEEDEE_PORT";
constexpr std::string_view kSocketPortMarker = "# SOCKET_PORT";

// Whether line, with its ASCII letters upper-cased, contains marker (given in upper case).
bool Carries(std::string_view line, std::string_view marker) {
  auto upperEqual = [](char a, char b) { return (a >= 'a' && a <= 'z' ? a - 'a' + 'A' : a) == b; };
  return std::search(line.begin(), line.end(), marker.begin(), marker.end(), upperEqual) != line.end();
}

}  // namespace

EAliasFileError::EAliasFileError(const std::string& message, std::string path, std::string reason, int code,
                                 bool held)
    : std::runtime_error(message), path_(std::move(path)), reason_(std::move(reason)), code_(code), held_(held) {}

TPlainAliasSettings::TPlainAliasSettings(std::string executableFolder)
    : executableFolder_(IncludeTrailingPathDelimiter(std::move(executableFolder))) {}

void TPlainAliasSettings::SetDefaultPath(const std::string& path) {
  Change(defaultPath_, IncludeTrailingPathDelimiter(path), false);
}

bool TPlainAliasSettings::DirectoryExists(const std::string& path) const { return IsDirectory(path); }

void TPlainAliasSettings::SetValues(const TAliasSettingsValues& values, bool countAsPending) {
  fromFile_ = !countAsPending;
  SetDefaultPath(values.defaultPath);
  SetZeeBeeDee(values.zeeBeeDee);
  SetZeeBeeDeePort(values.zeeBeeDeePort);
  SetSocketPort(values.socketPort);
  fromFile_ = false;
}

void TPlainAliasSettings::SaveAliasFile() {
  if (saveAliasFile) saveAliasFile();
}

bool SameNameCp1254(const std::string& a, const std::string& b) { return SameTextCp1254(a, b); }

std::vector<std::string> SplitAliasText(std::string_view bytes) {
  bytes = bytes.substr(0, bytes.find('\0'));
  std::vector<std::string> lines;
  std::size_t start = 0;
  while (start < bytes.size()) {
    std::size_t end = start;
    while (end < bytes.size() && bytes[end] != '\r' && bytes[end] != '\n') ++end;
    lines.emplace_back(bytes.substr(start, end - start));
    if (end < bytes.size() && bytes[end] == '\r' && end + 1 < bytes.size() && bytes[end + 1] == '\n') ++end;
    start = end + 1;
  }
  return lines;
}

std::string JoinAliasLines(const std::vector<std::string>& lines, std::string_view lineEnd) {
  std::size_t size = 0;
  for (const std::string& line : lines) size += line.size() + lineEnd.size();
  std::string text;
  text.reserve(size);
  for (const std::string& line : lines) {
    text += line;
    text += lineEnd;
  }
  return text;
}

std::string_view PlatformLineEnd() {
#ifdef _WIN32
  return "\r\n";
#else
  return "\n";
#endif
}

std::string_view LineEndOf(std::string_view bytes) {
  const std::size_t brk = bytes.substr(0, bytes.find('\0')).find_first_of("\r\n");
  if (brk == std::string_view::npos) return PlatformLineEnd();
  return bytes[brk] == '\n' ? "\n" : "\r\n";
}

std::optional<std::int32_t> ParseAliasInteger(std::string_view text) {
  const std::size_t first = text.find_first_not_of(' ');
  if (first == std::string_view::npos) return std::nullopt;
  return ParseInt32(text.substr(first), /*allowBareX=*/true);
}

std::string RawNameOf(std::string_view line) {
  const std::size_t eq = line.find('=');
  return eq == std::string_view::npos ? std::string() : std::string(line.substr(0, eq));
}

std::string RawValueOf(std::string_view line) {
  const std::size_t eq = line.find('=');
  return eq == std::string_view::npos ? std::string() : std::string(line.substr(eq + 1));
}

std::optional<TAliasEntry> AliasEntryOf(std::string_view line) {
  line = line.substr(0, line.find('#'));
  const std::size_t eq = line.find('=');
  if (eq == std::string_view::npos) return std::nullopt;
  TAliasEntry entry{Trim(line.substr(0, eq)), Trim(line.substr(eq + 1))};
  if (entry.name.empty() || entry.path.empty()) return std::nullopt;
  return entry;
}

AliasFileRules RulesForFile(const std::filesystem::path& path) {
  return SameTextCp1254(path.filename().string(), "databases.conf") ? AliasFileRules::DatabasesConf
                                                                    : AliasFileRules::AliasesConf;
}

TAliasList::TAliasList(IAliasSettings* host, NameComparer sameName)
    : host_(host), sameName_(std::move(sameName)) {}

int TAliasList::FindName(const std::string& name) const {
  std::string rawName;
  for (std::size_t i = 0; i < lines_.size(); ++i) {
    const std::size_t eq = lines_[i].find('=');
    if (eq == std::string::npos) continue;
    rawName.assign(lines_[i], 0, eq);
    if (sameName_(rawName, name)) return static_cast<int>(i);
  }
  return -1;
}

std::string TAliasList::ValueOf(const std::string& name) const {
  const int index = FindName(name);
  return index < 0 ? std::string() : RawValueOf(lines_[static_cast<std::size_t>(index)]);
}

void TAliasList::SetValueOf(const std::string& name, const std::string& value) {
  const int index = FindName(name);
  if (index < 0)
    lines_.push_back(name + "=" + value);
  else
    lines_[static_cast<std::size_t>(index)] = name + "=" + value;
}

int TAliasList::AddLine(std::string line) {
  lines_.push_back(std::move(line));
  return LineCount() - 1;
}

void TAliasList::DeleteLine(int index) {
  if (index < 0 || index >= LineCount()) throw std::out_of_range("alias list line index");
  lines_.erase(lines_.begin() + index);
}

std::vector<TListedAlias> TAliasList::ListedAliases() const {
  std::vector<TListedAlias> listed;
  if (rules_ == AliasFileRules::AliasesConf) {
    for (std::size_t i = 0; i < lines_.size(); ++i)
      if (auto entry = AliasEntryOf(lines_[i])) listed.push_back({static_cast<int>(i), std::move(*entry)});
    return listed;
  }
  const std::vector<ConfLine> roles = ClassifyDatabasesConf(lines_);
  for (std::size_t i = 0; i < lines_.size(); ++i) {
    if (roles[i] != ConfLine::Alias && roles[i] != ConfLine::AliasBlock) continue;
    if (auto entry = DatabasesConfEntryOf(lines_[i])) listed.push_back({static_cast<int>(i), std::move(*entry)});
  }
  return listed;
}

int TAliasList::FindAlias(const std::string& name, int exceptLine) const {
  for (const TListedAlias& alias : ListedAliases())
    if (alias.line != exceptLine && sameName_(alias.entry.name, name)) return alias.line;
  return -1;
}

bool TAliasList::ContainsAlias(const std::string& name) const {
  return rules_ == AliasFileRules::AliasesConf ? FindName(name) >= 0 : FindAlias(name) >= 0;
}

std::vector<std::string> TAliasList::SendableLines() const {
  if (rules_ == AliasFileRules::AliasesConf) return lines_;
  const std::vector<ConfLine> roles = ClassifyDatabasesConf(lines_);
  std::vector<std::string> sent;
  sent.reserve(lines_.size());
  for (std::size_t i = 0; i < lines_.size(); ++i) {
    switch (roles[i]) {
      case ConfLine::BlockOpen:
      case ConfLine::BlockBody:
      case ConfLine::BlockClose:
        break;
      case ConfLine::AliasBlock:
        sent.emplace_back(WithoutBlockOpen(lines_[i]));
        break;
      default:
        sent.push_back(lines_[i]);
    }
  }
  return sent;
}

void TAliasList::EditAlias(int line, const std::string& name, const std::string& path) {
  if (line < 0 || line >= LineCount()) throw std::out_of_range("alias list line index");
  std::string& text = lines_[static_cast<std::size_t>(line)];
  if (rules_ == AliasFileRules::DatabasesConf) {
    const bool opensBlock = ClassifyDatabasesConf(lines_)[static_cast<std::size_t>(line)] == ConfLine::AliasBlock;
    text = name + "=" + path + (opensBlock ? " {" : "");
    return;
  }
  // Rewriting by name in place is only right when this line is the first of that name; otherwise
  // it would overwrite the earlier alias, so the line is moved to the end like a renamed one.
  const std::string rawName = RawNameOf(text);
  if (name != rawName || FindName(rawName) != line) {
    DeleteLine(line);
    AddLine(name + "=" + path);
  } else {
    SetValueOf(name, path);
  }
}

void TAliasList::DeleteAlias(int line) {
  if (line < 0 || line >= LineCount()) throw std::out_of_range("alias list line index");
  if (rules_ == AliasFileRules::AliasesConf) {
    DeleteLine(line);
    return;
  }
  const std::size_t end = EndOfAliasWithBlock(ClassifyDatabasesConf(lines_), static_cast<std::size_t>(line));
  lines_.erase(lines_.begin() + line, lines_.begin() + static_cast<std::ptrdiff_t>(end));
}

std::string TAliasList::DefaultPath() const { return host_ ? host_->DefaultPath() : std::string(); }
void TAliasList::SetDefaultPath(const std::string& path) {
  if (host_) host_->SetDefaultPath(IncludeTrailingPathDelimiter(path));
}
bool TAliasList::ZeeBeeDee() const { return host_ && host_->ZeeBeeDee(); }
void TAliasList::SetZeeBeeDee(bool on) {
  if (host_) host_->SetZeeBeeDee(on);
}
int TAliasList::ZeeBeeDeePort() const { return host_ ? host_->ZeeBeeDeePort() : 0; }
void TAliasList::SetZeeBeeDeePort(int port) {
  if (host_) host_->SetZeeBeeDeePort(port);
}
int TAliasList::SocketPort() const { return host_ ? host_->SocketPort() : 0; }
void TAliasList::SetSocketPort(int port) {
  if (host_) host_->SetSocketPort(port);
}

namespace {

bool CarriesMarker(std::string_view line, std::string_view marker, std::string_view excluded) {
  return Carries(line, marker) && (excluded.empty() || !Carries(line, excluded));
}

int FirstCarrying(const std::vector<std::string>& lines, std::string_view marker, std::string_view excluded = {}) {
  for (std::size_t i = 0; i < lines.size(); ++i)
    if (CarriesMarker(lines[i], marker, excluded)) return static_cast<int>(i);
  return -1;
}

}  // namespace

// Each Load* step returns whether it had to take the default.
bool TAliasList::LoadDefaultPath() {
  if (FirstCarrying(lines_, kDefaultPathMarker) < 0) {
    if (host_) SetDefaultPath(host_->ExecutableFolder());
    return true;
  }
  const std::string value = ValueOf(std::string(kDefaultPathMarker));
  if (!IsBlank(value) && host_ && host_->DirectoryExists(value)) SetDefaultPath(value);
  return false;
}

bool TAliasList::LoadZeeBeeDee() {
  if (FirstCarrying(lines_, kZeeBeeDeeMarker, kZeeBeeDeePortMarker) < 0) {
    SetZeeBeeDee(true);
    return true;
  }
  if (Carries(ValueOf(std::string(kZeeBeeDeeMarker)), "TRUE")) SetZeeBeeDee(true);
  return false;
}

// Every line carrying the marker leads to the same value (the first line named by the marker), so
// one look at it decides what going through those lines one by one would.
bool TAliasList::LoadPort(std::string_view marker, int defaultPort, void (TAliasList::*set)(int)) {
  if (FirstCarrying(lines_, marker) >= 0) {
    const std::string value = ValueOf(std::string(marker));
    if (!IsBlank(value)) {
      if (const std::optional<std::int32_t> port = ParseAliasInteger(value)) {
        (this->*set)(*port);
        return false;
      }
    }
  }
  (this->*set)(defaultPort);
  return true;
}

void TAliasList::SetText(std::string_view bytes) {
  lines_ = SplitAliasText(bytes);
  lineEnd_ = LineEndOf(bytes);
}

void TAliasList::CopyLinesFrom(const TAliasList& other) {
  lines_ = other.lines_;
  lineEnd_ = other.lineEnd_;
}

bool TAliasList::LoadText(std::string_view bytes) {
  SetText(bytes);
  SetZeeBeeDee(false);
  SetZeeBeeDeePort(kDefaultZeeBeeDeePort);
  bool defaultUsed = LoadDefaultPath();
  if (LoadZeeBeeDee()) defaultUsed = true;
  if (LoadPort(kZeeBeeDeePortMarker, kDefaultZeeBeeDeePort, &TAliasList::SetZeeBeeDeePort)) defaultUsed = true;
  if (LoadPort(kSocketPortMarker, kDefaultSocketPort, &TAliasList::SetSocketPort)) defaultUsed = true;
  if (defaultUsed && host_) host_->SaveAliasFile();
  return defaultUsed;
}

void TAliasList::Load(const std::filesystem::path& path) {
  LoadText(ReadWholeFile(path));
  if (!CanOpenForReadWrite(path)) readOnly_ = true;
}

// A line written by this save is no candidate for a later setting: a default path that happens to
// contain another setting's marker must not be overwritten by that setting's line.
// A line that a load takes another setting's value from (its raw name is that setting's marker)
// is no candidate either, even when it mentions this setting's marker too: overwriting it would
// make the saved file load back with another value for that setting.
bool TAliasList::SuppliesOtherSetting(const std::string& line, std::string_view marker) const {
  const std::size_t eq = line.find('=');
  if (eq == std::string::npos) return false;
  const std::string rawName = line.substr(0, eq);
  for (std::string_view other : {kDefaultPathMarker, kZeeBeeDeeMarker, kZeeBeeDeePortMarker, kSocketPortMarker})
    if (other != marker && sameName_(rawName, std::string(other))) return true;
  return false;
}

void TAliasList::PutSettingsLine(std::string_view marker, std::string_view excluded, std::string line,
                                 std::vector<std::size_t>& written) {
  for (std::size_t i = 0; i < lines_.size(); ++i) {
    if (std::find(written.begin(), written.end(), i) != written.end()) continue;
    if (CarriesMarker(lines_[i], marker, excluded) && !SuppliesOtherSetting(lines_[i], marker)) {
      lines_[i] = std::move(line);
      written.push_back(i);
      return;
    }
  }
  lines_.insert(lines_.begin(), std::move(line));
  for (std::size_t& index : written) ++index;
  written.push_back(0);
}

void TAliasList::UpdateSettingsLines() {
  if (!host_) return;
  std::vector<std::size_t> written;
  PutSettingsLine(kDefaultPathMarker, {}, "# DEFAULT_PATH=" + DefaultPath(), written);
  PutSettingsLine(kZeeBeeDeeMarker, kZeeBeeDeePortMarker, ZeeBeeDee() ? "# ZeeBeeDee=True" : "# ZeeBeeDee=False",
                  written);
  PutSettingsLine(kZeeBeeDeePortMarker, {}, "# ZeeBeeDee_Port=" + std::to_string(ZeeBeeDeePort()), written);
  PutSettingsLine(kSocketPortMarker, {}, "# Socket_Port=" + std::to_string(SocketPort()), written);
}

void TAliasList::Save(const std::filesystem::path& path) {
  UpdateSettingsLines();
  WriteFileAtomically(path, Text());
}

}  // namespace vantrel
