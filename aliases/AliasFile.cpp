// The alias file of the main window: its path, loading and saving, and the four settings that
// live in it, shown on the command-server pages.

#include "app/Controls.h"
#include "app/fMain.h"
#include "shell/Files.h"
#include "shell/TextConv.h"

namespace vantrel {
namespace {

// The four settings read from and written to the main window's controls.
class WindowAliasSettings final : public IAliasSettings {
 public:
  explicit WindowAliasSettings(TfrmMain& form) : form_(form) {}

  std::string DefaultPath() const override { return ToAnsi(ui::GetText(form_.PAN_Def_Path)); }
  void SetDefaultPath(const std::string& path) override {
    ui::SetText(form_.PAN_Def_Path, IncludeTrailingDelimiter(FromAnsi(path)));
  }
  bool ZeeBeeDee() const override { return ui::IsChecked(form_.CHK_Zibidi); }
  void SetZeeBeeDee(bool on) override { form_.SetCheckBox(form_.CHK_Zibidi, on); }
  int ZeeBeeDeePort() const override { return ReadInteger(form_.ZiBiDi_Portu); }
  void SetZeeBeeDeePort(int port) override { WriteInteger(form_.ZiBiDi_Portu, port); }
  int SocketPort() const override { return ReadInteger(form_.Socket_Portu); }
  void SetSocketPort(int port) override { WriteInteger(form_.Socket_Portu, port); }
  std::string ExecutableFolder() const override {
    return ToAnsi(IncludeTrailingDelimiter(ProgramFolder()));
  }
  bool DirectoryExists(const std::string& path) const override {
    return vantrel::DirectoryExists(FromAnsi(path));
  }
  void SaveAliasFile() override { form_.SaveAliasFile(); }

 private:
  static int ReadInteger(HWND edit) {
    const std::string text = ToAnsi(ui::GetText(edit));
    auto value = ParseAliasInteger(text);
    return value ? *value : 0;
  }
  // A different value raises the edit's change notification, as typing would.
  static void WriteInteger(HWND edit, int value) {
    const std::wstring text = std::to_wstring(value);
    if (ui::GetText(edit) != text) ui::SetText(edit, text);
  }

  TfrmMain& form_;
};

// The user locale's case-insensitive comparison of two names in the ANSI code page.
bool SameNameUserLocale(const std::string& a, const std::string& b) {
  return CompareStringA(LOCALE_USER_DEFAULT, NORM_IGNORECASE, a.data(), static_cast<int>(a.size()),
                        b.data(), static_cast<int>(b.size())) == CSTR_EQUAL;
}

}  // namespace

void TfrmMain::CreateAliasList() {
  AliasSettings = std::make_unique<WindowAliasSettings>(*this);
  Aliases.SetHost(AliasSettings.get());
  Aliases.SetNameComparer(SameNameUserLocale);
}

void TfrmMain::LoadAliasFile() {
  const std::wstring& path = Installation.aliasFile;
  const bool exists = FileExists(path);
  SetPageVisible(tabAlias, exists);
  Aliases.SetRules(RulesForFile(std::filesystem::path(path)));
  if (exists) Aliases.Load(std::filesystem::path(path));
}

void TfrmMain::SaveAliasFile() { Aliases.Save(std::filesystem::path(Installation.aliasFile)); }

}  // namespace vantrel
