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

constexpr std::string_view kByteOrderMark = "\xEF\xBB\xBF";

char AsciiUpperChar(char c) { return c >= 'a' && c <= 'z' ? static_cast<char>(c - 'a' + 'A') : c; }

// Whether line, after leading blanks, begins with marker (given in upper case) in any ASCII
// letter case. Only such a comment line is a settings line: a marker mentioned elsewhere (in
// an alias line's comment, say) is someone else's text.
bool Carries(std::string_view line, std::string_view marker) {
  const std::size_t start = line.find_first_not_of(" \t");
  if (start == std::string_view::npos || line.size() - start < marker.size()) return false;
  for (std::size_t i = 0; i < marker.size(); ++i)
    if (AsciiUpperChar(line[start + i]) != marker[i]) return false;
  return true;
}

// The reading clients have always had: breaks at CR LF, LF and a lone CR; a NUL ends the text,
// which ended is then set for. A break at the very end adds no empty line.
void AppendWireLines(std::vector<std::string>& out, std::string_view bytes, bool& ended) {
  const std::size_t nul = bytes.find('\0');
  if (nul != std::string_view::npos) {
    bytes = bytes.substr(0, nul);
    ended = true;
  }
  std::size_t start = 0;
  while (start < bytes.size()) {
    std::size_t end = start;
    while (end < bytes.size() && bytes[end] != '\r' && bytes[end] != '\n') ++end;
    out.emplace_back(bytes.substr(start, end - start));
    if (end < bytes.size() && bytes[end] == '\r' && end + 1 < bytes.size() && bytes[end + 1] == '\n') ++end;
    start = end + 1;
  }
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
  TAliasList list;
  list.SetText(bytes);
  return list.Lines();
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
  const std::size_t lf = bytes.find('\n');
  if (lf == std::string_view::npos) return PlatformLineEnd();
  return lf > 0 && bytes[lf - 1] == '\r' ? "\r\n" : "\n";
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
    AddLine(name + "=" + value);
  else
    lines_[static_cast<std::size_t>(index)] = Noted(name + "=" + value);
}

std::string TAliasList::Noted(std::string line) {
  if (plain_ && (line.find('\r') != std::string::npos || line.find('\0') != std::string::npos)) plain_ = false;
  return line;
}

TAliasList::TEnd TAliasList::EndKind(std::string_view end) { return end == "\n" ? TEnd::Lf : TEnd::CrLf; }

void TAliasList::InsertLine(std::size_t index, std::string line) {
  lines_.insert(lines_.begin() + static_cast<std::ptrdiff_t>(index), Noted(std::move(line)));
  ends_.insert(ends_.begin() + static_cast<std::ptrdiff_t>(index), EndKind(lineEnd_));
}

void TAliasList::EraseLines(std::size_t first, std::size_t last) {
  lines_.erase(lines_.begin() + static_cast<std::ptrdiff_t>(first), lines_.begin() + static_cast<std::ptrdiff_t>(last));
  ends_.erase(ends_.begin() + static_cast<std::ptrdiff_t>(first), ends_.begin() + static_cast<std::ptrdiff_t>(last));
}

// A file whose last line had no end keeps ending so: that line gets one, the new line has none.
int TAliasList::AddLine(std::string line) {
  const bool openEnded = !ends_.empty() && ends_.back() == TEnd::None;
  InsertLine(lines_.size(), std::move(line));
  if (openEnded) {
    std::swap(ends_[ends_.size() - 2], ends_.back());
    // A CR the line ended with would join an LF into one CR LF break and leave the line.
    const std::string& before = lines_[lines_.size() - 2];
    if (!before.empty() && before.back() == '\r') ends_[ends_.size() - 2] = TEnd::CrLf;
  }
  return LineCount() - 1;
}

void TAliasList::DeleteLine(int index) {
  if (index < 0 || index >= LineCount()) throw std::out_of_range("alias list line index");
  EraseLines(static_cast<std::size_t>(index), static_cast<std::size_t>(index) + 1);
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
  const std::vector<ConfLine> roles =
      rules_ == AliasFileRules::DatabasesConf ? ClassifyDatabasesConf(lines_) : std::vector<ConfLine>();
  std::vector<std::string> sent;
  sent.reserve(lines_.size());
  bool ended = false;
  for (std::size_t i = 0; i < lines_.size() && !ended; ++i) {
    const ConfLine role = roles.empty() ? ConfLine::Other : roles[i];
    if (role == ConfLine::BlockOpen || role == ConfLine::BlockBody || role == ConfLine::BlockClose) continue;
    const std::string_view mark = byteOrderMark_ && i == 0 ? kByteOrderMark : std::string_view();
    const std::string& line = lines_[i];
    if (role == ConfLine::AliasBlock) {
      sent.push_back(std::string(mark) + std::string(WithoutBlockOpen(line)));  // trimmed: no break left in it
      continue;
    }
    // Nearly every line is sent as it is held; only a CR or NUL inside asks for the old cutting.
    if (mark.empty() && (plain_ || (line.find('\r') == std::string::npos && line.find('\0') == std::string::npos))) {
      sent.push_back(line);
      continue;
    }
    std::string text = std::string(mark) + line;
    text += ends_[i] == TEnd::CrLf ? "\r\n" : ends_[i] == TEnd::Lf ? "\n" : "";
    AppendWireLines(sent, text, ended);
  }
  return sent;
}

void TAliasList::EditAlias(int line, const std::string& name, const std::string& path) {
  if (line < 0 || line >= LineCount()) throw std::out_of_range("alias list line index");
  std::string& text = lines_[static_cast<std::size_t>(line)];
  if (rules_ == AliasFileRules::DatabasesConf) {
    const bool opensBlock = ClassifyDatabasesConf(lines_)[static_cast<std::size_t>(line)] == ConfLine::AliasBlock;
    text = Noted(name + "=" + path + (opensBlock ? " {" : ""));
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
  EraseLines(static_cast<std::size_t>(line), end);
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
  if (AsciiUpper(ValueOf(std::string(kZeeBeeDeeMarker))).find("TRUE") != std::string::npos) SetZeeBeeDee(true);
  return false;
}

// Every line carrying the marker leads to the same value (the first line named by the marker), so
// one look at it decides what going through those lines one by one would. Only a missing line
// counts as a default taken: a line whose value is unusable is someone's text, left as it is.
bool TAliasList::LoadPort(std::string_view marker, int defaultPort, void (TAliasList::*set)(int)) {
  if (FirstCarrying(lines_, marker) < 0) {
    (this->*set)(defaultPort);
    return true;
  }
  const std::string value = ValueOf(std::string(marker));
  const std::optional<std::int32_t> port = IsBlank(value) ? std::nullopt : ParseAliasInteger(value);
  (this->*set)(port ? *port : defaultPort);
  return false;
}

void TAliasList::SetText(std::string_view bytes) {
  lineEnd_ = LineEndOf(bytes);
  byteOrderMark_ = bytes.substr(0, kByteOrderMark.size()) == kByteOrderMark;
  if (byteOrderMark_) bytes.remove_prefix(kByteOrderMark.size());
  lines_.clear();
  ends_.clear();
  asRead_.reset();
  plain_ = true;
  std::size_t start = 0;
  while (start < bytes.size()) {
    const std::size_t lf = bytes.find('\n', start);
    if (lf == std::string_view::npos) {
      lines_.push_back(Noted(std::string(bytes.substr(start))));
      ends_.push_back(TEnd::None);
      break;
    }
    const bool crLf = lf > start && bytes[lf - 1] == '\r';
    lines_.push_back(Noted(std::string(bytes.substr(start, lf - start - (crLf ? 1 : 0)))));
    ends_.push_back(crLf ? TEnd::CrLf : TEnd::Lf);
    start = lf + 1;
  }
}

std::string TAliasList::Text() const {
  std::size_t size = byteOrderMark_ ? kByteOrderMark.size() : 0;
  for (const std::string& line : lines_) size += line.size() + 2;
  std::string text;
  text.reserve(size);
  if (byteOrderMark_) text += kByteOrderMark;
  for (std::size_t i = 0; i < lines_.size(); ++i) {
    text += lines_[i];
    if (ends_[i] == TEnd::CrLf) text += "\r\n";
    if (ends_[i] == TEnd::Lf) text += '\n';
  }
  return text;
}

void TAliasList::CopyLinesFrom(const TAliasList& other) {
  lines_ = other.lines_;
  ends_ = other.ends_;
  byteOrderMark_ = other.byteOrderMark_;
  lineEnd_ = other.lineEnd_;
  asRead_ = other.asRead_;
  plain_ = other.plain_;
}

bool TAliasList::LoadText(std::string_view bytes) {
  SetText(bytes);
  SetZeeBeeDee(false);
  SetZeeBeeDeePort(kDefaultZeeBeeDeePort);
  bool defaultUsed = LoadDefaultPath();
  if (LoadZeeBeeDee()) defaultUsed = true;
  if (LoadPort(kZeeBeeDeePortMarker, kDefaultZeeBeeDeePort, &TAliasList::SetZeeBeeDeePort)) defaultUsed = true;
  if (LoadPort(kSocketPortMarker, kDefaultSocketPort, &TAliasList::SetSocketPort)) defaultUsed = true;
  if (host_) asRead_ = TAliasSettingsValues{DefaultPath(), ZeeBeeDee(), ZeeBeeDeePort(), SocketPort()};
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

void TAliasList::PutSettingsLine(std::string_view marker, std::string_view excluded, std::string line, bool changed,
                                 std::vector<std::size_t>& written) {
  for (std::size_t i = 0; i < lines_.size(); ++i) {
    if (std::find(written.begin(), written.end(), i) != written.end()) continue;
    if (CarriesMarker(lines_[i], marker, excluded) && !SuppliesOtherSetting(lines_[i], marker)) {
      if (changed) lines_[i] = Noted(std::move(line));
      written.push_back(i);
      return;
    }
  }
  InsertLine(0, std::move(line));
  for (std::size_t& index : written) ++index;
  written.push_back(0);
}

void TAliasList::UpdateSettingsLines() {
  if (!host_) return;
  const TAliasSettingsValues now{DefaultPath(), ZeeBeeDee(), ZeeBeeDeePort(), SocketPort()};
  const bool known = asRead_.has_value();
  std::vector<std::size_t> written;
  PutSettingsLine(kDefaultPathMarker, {}, "# DEFAULT_PATH=" + now.defaultPath,
                  !known || now.defaultPath != asRead_->defaultPath, written);
  PutSettingsLine(kZeeBeeDeeMarker, kZeeBeeDeePortMarker, now.zeeBeeDee ? "# ZeeBeeDee=True" : "# ZeeBeeDee=False",
                  !known || now.zeeBeeDee != asRead_->zeeBeeDee, written);
  PutSettingsLine(kZeeBeeDeePortMarker, {}, "# ZeeBeeDee_Port=" + std::to_string(now.zeeBeeDeePort),
                  !known || now.zeeBeeDeePort != asRead_->zeeBeeDeePort, written);
  PutSettingsLine(kSocketPortMarker, {}, "# Socket_Port=" + std::to_string(now.socketPort),
                  !known || now.socketPort != asRead_->socketPort, written);
  asRead_ = now;
}

void TAliasList::Save(const std::filesystem::path& path) {
  UpdateSettingsLines();
  WriteFileAtomically(path, Text());
}

}  // namespace vantrel
