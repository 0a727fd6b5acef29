#pragma once
// Per-user settings in an initialization file in the profile's ".firebird" folder: the tray
// choice, the window position and the tools list. Every setter writes through at once.
#include <windows.h>

#include <functional>
#include <string>
#include <vector>

namespace vantrel {

// The tools list: an ordered list of lines that saves itself after every change.
class TToolLines {
 public:
  std::size_t Count() const { return lines_.size(); }
  const std::wstring& operator[](std::size_t i) const { return lines_[i]; }
  const std::vector<std::wstring>& Lines() const { return lines_; }
  void Add(std::wstring line);
  void Set(std::size_t i, std::wstring line);
  void Delete(std::size_t i);

 private:
  friend class TConfigData;
  void Changed();
  std::vector<std::wstring> lines_;
  std::function<void()> onChange_;
};

class TConfigData {
 public:
  explicit TConfigData(std::wstring fileName);
  ~TConfigData();
  TConfigData(const TConfigData&) = delete;
  TConfigData& operator=(const TConfigData&) = delete;

  const std::wstring& FileName() const { return fileName_; }
  bool ShowTrayIcon() const;
  void SetShowTrayIcon(bool value);
  // The root folder of the server installation the user works with (several on one machine).
  std::wstring ChosenInstallation() const;
  void SetChosenInstallation(const std::wstring& root);
  RECT GetWinPos() const;
  void SetWinPos(const RECT& r);
  TToolLines& Tools() { return tools_; }

  // Rereads the tools list from the file (used at creation).
  void LoadTools();

 private:
  void SaveTools();
  std::wstring Read(const wchar_t* section, const wchar_t* key, const wchar_t* fallback) const;
  int ReadInteger(const wchar_t* section, const wchar_t* key, int fallback) const;
  void Write(const wchar_t* section, const wchar_t* key, const std::wstring& value);

  std::wstring fileName_;
  TToolLines tools_;
};

// The process-wide settings, created on first use.
TConfigData& Config();

// Where Config() keeps its file: the profile's ".firebird" folder (created when missing), or
// the program's own folder without a profile; the name is the executable's, lower-cased, ".ini".
std::wstring ConfigFileName();

// A shell special folder's path with a trailing backslash; empty when it cannot be resolved.
std::wstring SpecialFolderPath(int csidl);

}  // namespace vantrel
