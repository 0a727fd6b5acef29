#pragma once
// The database server's alias file aliases.conf held as its lines, byte for byte, together with the
// four settings of this program that live in it as comment lines.
#include <cstdint>
#include <filesystem>
#include <functional>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "aliases/AliasFileIO.h"

namespace vantrel {

inline constexpr int kDefaultZeeBeeDeePort = 3051;
inline constexpr int kDefaultSocketPort = 3049;

// Where the four settings are kept. The list reads and writes them only through this interface.
class IAliasSettings {
 public:
  virtual ~IAliasSettings() = default;
  virtual std::string DefaultPath() const = 0;
  virtual void SetDefaultPath(const std::string& path) = 0;
  virtual bool ZeeBeeDee() const = 0;
  virtual void SetZeeBeeDee(bool on) = 0;
  virtual int ZeeBeeDeePort() const = 0;
  virtual void SetZeeBeeDeePort(int port) = 0;
  virtual int SocketPort() const = 0;
  virtual void SetSocketPort(int port) = 0;
  virtual std::string ExecutableFolder() const = 0;  // with a trailing path delimiter
  virtual bool DirectoryExists(const std::string& path) const = 0;
  // The host's own save of the alias file (to its path), used when a load had to take a default.
  virtual void SaveAliasFile() = 0;
};

// The four settings as plain values, for copying them from one holder to another.
struct TAliasSettingsValues {
  std::string defaultPath;
  bool zeeBeeDee = false;
  int zeeBeeDeePort = 0;
  int socketPort = 0;
  bool operator==(const TAliasSettingsValues&) const = default;
};

// The four settings held in memory as plain values: for the command server without a window,
// for the window (whose pages show them) and for tests. DirectoryExists asks the file system;
// saveAliasFile may be left empty. changed is called after a setter changed a value, telling
// whether that counts as a pending change: the tunnel and the ports are edits a window shows as
// such, the default folder only a path shown beside them.
class TPlainAliasSettings : public IAliasSettings {
 public:
  explicit TPlainAliasSettings(std::string executableFolder);
  std::string DefaultPath() const override { return defaultPath_; }
  void SetDefaultPath(const std::string& path) override;
  bool ZeeBeeDee() const override { return zeeBeeDee_; }
  void SetZeeBeeDee(bool on) override { Change(zeeBeeDee_, on, true); }
  int ZeeBeeDeePort() const override { return zeeBeeDeePort_; }
  void SetZeeBeeDeePort(int port) override { Change(zeeBeeDeePort_, port, true); }
  int SocketPort() const override { return socketPort_; }
  void SetSocketPort(int port) override { Change(socketPort_, port, true); }
  std::string ExecutableFolder() const override { return executableFolder_; }
  bool DirectoryExists(const std::string& path) const override;
  void SaveAliasFile() override;

  TAliasSettingsValues Values() const { return {defaultPath_, zeeBeeDee_, zeeBeeDeePort_, socketPort_}; }
  // Each value through its setter, so changed hears of every one that differs; values read from
  // the file (countAsPending false) are no pending change however they differ.
  void SetValues(const TAliasSettingsValues& values, bool countAsPending = true);

  std::function<void()> saveAliasFile;
  std::function<void(bool pending)> changed;

 private:
  template <typename T>
  void Change(T& setting, const T& value, bool pending) {
    if (setting == value) return;
    setting = value;
    if (changed) changed(pending && !fromFile_);
  }

  std::string executableFolder_;
  std::string defaultPath_;
  bool zeeBeeDee_ = false;
  int zeeBeeDeePort_ = 0;
  int socketPort_ = 0;
  bool fromFile_ = false;
};

// Compares a line's raw name with a wanted name, ignoring letter case.
using NameComparer = std::function<bool(const std::string&, const std::string&)>;

// The default comparer: code page 1254 letters, the same whatever the locale.
bool SameNameCp1254(const std::string& a, const std::string& b);

// The file's lines as the database server reads them: a line ends at LF (a CR right before it
// belongs to the break); a lone CR and NUL bytes are part of their line; a UTF-8 byte order mark
// is not part of the first line; a break after the last line adds no empty line.
std::vector<std::string> SplitAliasText(std::string_view bytes);
// Every line followed by lineEnd.
std::string JoinAliasLines(const std::vector<std::string>& lines, std::string_view lineEnd = "\r\n");
// The line end a file's bytes use: LF when its first break is a lone LF, CR LF otherwise; a file
// without any break gets the platform's own (CR LF on Windows, LF elsewhere).
std::string_view LineEndOf(std::string_view bytes);
std::string_view PlatformLineEnd();

// A settings port: optional leading blanks, optional sign, then decimal digits or hexadecimal
// digits behind "$", "x" or "0x"; nothing after them. Out of the 32-bit range counts as invalid.
std::optional<std::int32_t> ParseAliasInteger(std::string_view text);

// Raw name / raw value: the text before / after the line's first "=", untrimmed; empty without "=".
std::string RawNameOf(std::string_view line);
std::string RawValueOf(std::string_view line);

// An alias entry as the alias page lists it: the line cut at its first "#", split at the first
// "=", both parts trimmed and non-empty.
struct TAliasEntry {
  std::string name;
  std::string path;
};
std::optional<TAliasEntry> AliasEntryOf(std::string_view line);

// aliases.conf (Firebird 2.5, InterBase) or databases.conf (Firebird 3 and later), which has
// blocks that are the server's and refuses a file that names an alias twice.
enum class AliasFileRules { AliasesConf, DatabasesConf };
// databases.conf by its file name, in any letter case; aliases.conf otherwise.
AliasFileRules RulesForFile(const std::filesystem::path& path);

// An alias as the alias page lists it, with the index of its line.
struct TListedAlias {
  int line;
  TAliasEntry entry;
};

// Not locked: callers serialise every access (the window thread, or one lock shared with it).
class TAliasList {
 public:
  // host may be null, which stands for "no main window": the settings setters then do nothing,
  // a load writes nothing back, and a save leaves the settings lines as they are.
  explicit TAliasList(IAliasSettings* host = nullptr, NameComparer sameName = SameNameCp1254);

  void SetHost(IAliasSettings* host) { host_ = host; }
  void SetNameComparer(NameComparer sameName) { sameName_ = std::move(sameName); }
  void SetRules(AliasFileRules rules) { rules_ = rules; }
  AliasFileRules Rules() const { return rules_; }

  // Replaces the lines with the file's and takes the four settings from them. Raises
  // EAliasFileError when the file cannot be read (the lines then stay as they were) and lets
  // a failure of the host's write-back through.
  void Load(const std::filesystem::path& path);
  // Brings the four settings lines up to date, then replaces the file's content with the lines.
  void Save(const std::filesystem::path& path);

  // The parts of Load and Save that need no file: the lines and settings taken from the file's
  // bytes (with the host's write-back when a default was used), and the settings lines written.
  // Returns whether a setting had no line and took its default.
  bool LoadText(std::string_view bytes);
  // A setting's line is written when the file has none, or when its value now differs from the
  // one the lines were read with: a line whose value this program did not change stays as it is.
  void UpdateSettingsLines();

  int LineCount() const { return static_cast<int>(lines_.size()); }
  const std::string& LineAt(int index) const { return lines_.at(static_cast<std::size_t>(index)); }
  std::vector<std::string> Lines() const { return lines_; }
  std::string NameAt(int index) const { return RawNameOf(LineAt(index)); }
  int FindName(const std::string& name) const;
  std::string ValueOf(const std::string& name) const;
  void SetValueOf(const std::string& name, const std::string& value);
  int AddLine(std::string line);
  void DeleteLine(int index);
  // Replaces every line with the lines of bytes, as a load does, without settings or file.
  void SetText(std::string_view bytes);
  // The file's bytes: every line with its own end, the byte order mark where it was. Lines this
  // program adds end as the file's first line does; a last line without an end keeps that.
  std::string Text() const;
  std::string_view LineEnd() const { return lineEnd_; }
  // Takes another list's lines, their ends and the settings they were read with, keeping this
  // list's host.
  void CopyLinesFrom(const TAliasList& other);

  bool ReadOnly() const { return readOnly_; }

  // The alias entries in file order; lines of databases.conf blocks are never among them.
  std::vector<TListedAlias> ListedAliases() const;
  // The line of the first alias entry named name (letter case ignored) other than exceptLine; -1.
  int FindAlias(const std::string& name, int exceptLine = -1) const;
  // Whether a new alias of that name would clash: by raw name in aliases.conf, by alias entry in
  // databases.conf (a block's key is no alias).
  bool ContainsAlias(const std::string& name) const;
  // The lines a client gets: all of them, except the blocks of databases.conf; an alias that
  // opens its block on its own line is sent without the brace. Clients have always had the file
  // cut into lines at CR LF, LF and a lone CR and ending at its first NUL, and still get it so.
  std::vector<std::string> SendableLines() const;
  // Changes the alias at line. aliases.conf: rewritten in place when it is the first line of its
  // name, else moved to the end as name=path. databases.conf: always in place, keeping the
  // block it opens.
  void EditAlias(int line, const std::string& name, const std::string& path);
  // Removes the alias at line; in databases.conf its block goes with it, since a block without
  // its alias would make the server refuse the file.
  void DeleteAlias(int line);

  std::string DefaultPath() const;
  void SetDefaultPath(const std::string& path);
  bool ZeeBeeDee() const;
  void SetZeeBeeDee(bool on);
  int ZeeBeeDeePort() const;
  void SetZeeBeeDeePort(int port);
  int SocketPort() const;
  void SetSocketPort(int port);

 private:
  bool LoadDefaultPath();
  bool LoadZeeBeeDee();
  bool LoadPort(std::string_view marker, int defaultPort, void (TAliasList::*set)(int));
  void PutSettingsLine(std::string_view marker, std::string_view excluded, std::string line, bool changed,
                       std::vector<std::size_t>& written);
  bool SuppliesOtherSetting(const std::string& line, std::string_view marker) const;

  enum class TEnd : std::uint8_t { None, Lf, CrLf };
  static TEnd EndKind(std::string_view end);
  void InsertLine(std::size_t index, std::string line);
  // Every line text passes here on its way in, so that plain_ stays true.
  std::string Noted(std::string line);
  void EraseLines(std::size_t first, std::size_t last);

  std::vector<std::string> lines_;
  std::vector<TEnd> ends_;  // each line's own end
  bool byteOrderMark_ = false;
  std::string_view lineEnd_ = PlatformLineEnd();
  std::optional<TAliasSettingsValues> asRead_;  // the settings the lines were read with
  bool plain_ = true;  // no line holds a CR or a NUL: clients get the lines as they are
  IAliasSettings* host_;
  NameComparer sameName_;
  AliasFileRules rules_ = AliasFileRules::AliasesConf;
  bool readOnly_ = false;
};

}  // namespace vantrel
