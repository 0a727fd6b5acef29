// An administrator under User Account Control (a limited token, no right to control services) is
// offered a restart with full rights, on the start page and in the tray menu.
#include "shell/ControlIds.h"
#include "app/uSingleInst.h"
#include "shell/Files.h"
#include "shell/OsError.h"
#include "tests/win32/app/MainWindowFixture.h"
#include "tests/win32/app/PageControls.h"

using namespace vantrel;
using namespace vantrel::testing_support;

namespace {

class Elevation : public MainWindow {
 protected:
  bool ButtonShown() const { return (GetWindowLongW(Ctl(*form, idRestartElevated), GWL_STYLE) & WS_VISIBLE) != 0; }
  bool TrayHas(UINT id) const { return GetMenuState(form->TrayMenu(), id, MF_BYCOMMAND) != static_cast<UINT>(-1); }
  void CreateAsLimitedAdministrator() {
    services.canControl = false;
    probes.elevatable = true;
    Create();
  }
};

}  // namespace

TEST_F(Elevation, OfferedOnlyToALimitedAdministratorTokenThatCannotControlServices) {
  struct Case {
    bool canControl, elevatable, offered;
  };
  for (const Case& c : {Case{false, true, true}, Case{false, false, false}, Case{true, true, false}}) {
    services.canControl = c.canControl;
    probes.elevatable = c.elevatable;
    Create();
    SCOPED_TRACE(testing::Message() << "canControl " << c.canControl << ", elevatable " << c.elevatable);
    EXPECT_EQ(ButtonShown(), c.offered);
    EXPECT_EQ(TrayHas(idMenuRestartElevated), c.offered);
    EXPECT_EQ(TrayHas(idMenuStartServer), !c.offered);
    EXPECT_EQ(TrayHas(idMenuStopServer), !c.offered);
    form.reset();
  }
}

TEST_F(Elevation, AnAcceptedRestartHandsOverAndEndsThisInstanceForReal) {
  CreateAsLimitedAdministrator();
  EXPECT_EQ(ui::GetText(Ctl(*form, idRestartElevated)), L"Yönetici olarak yeniden başlat");
  SendMessageW(Ctl(*form, idRestartElevated), BM_CLICK, 0, 0);
  ASSERT_EQ(launcher.elevated.size(), 1u);
  // Not shown in this test, so the new instance starts hidden in the tray as this one is.
  EXPECT_EQ(launcher.elevated[0], ProgramFilePath() + L" -tray " + HandOverParameter(GetCurrentProcessId()));
  EXPECT_TRUE(form->QuitRequested);
  EXPECT_FALSE(IsWindow(form->Handle()));
  EXPECT_TRUE(dialogs.errors.empty());
}

TEST_F(Elevation, ARefusedPromptChangesNothingAndAFailedStartIsShownOnce) {
  CreateAsLimitedAdministrator();
  launcher.elevationError = ERROR_CANCELLED;
  form->StartPage().acRestartElevatedExecute();
  EXPECT_TRUE(dialogs.errors.empty());
  EXPECT_FALSE(form->QuitRequested);
  EXPECT_TRUE(IsWindow(form->Handle()));

  launcher.elevationError = ERROR_FILE_NOT_FOUND;
  form->StartPage().acRestartElevatedExecute();
  EXPECT_EQ(dialogs.errors, std::vector<std::wstring>{SystemErrorText(ERROR_FILE_NOT_FOUND)});
  EXPECT_TRUE(IsWindow(form->Handle()));
  EXPECT_EQ(launcher.elevated.size(), 2u);
}

TEST(HandOver, OnlyADecimalProcessIdBehindThePrefixIsAHandOver) {
  EXPECT_EQ(HandOverProcessId(HandOverParameter(4242)), 4242u);
  for (const wchar_t* other : {L"/handover:", L"/handover:12x", L"-tray", L"/HANDOVER:12", L"/handover:99999999999"})
    EXPECT_EQ(HandOverProcessId(other), 0u) << other;
  std::vector<std::wstring> parameters{L"-tray", L"/handover:4294967"};
  WaitForHandOver(parameters, 0);
  EXPECT_EQ(parameters, std::vector<std::wstring>{L"-tray"});
}
