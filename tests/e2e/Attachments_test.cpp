// Who is connected, against the simulated server and a client library whose service manager
// answers from a file the test writes: the start page's line follows the numbers, and a stop with
// attachments asks first.
#include <windows.h>

#include <filesystem>
#include <fstream>
#include <string>

#include "shell/ControlIds.h"
#include "tests/e2e/SimFirebirdTest.h"
#include "tests/sim/SimTesting.h"
#include "tests/win32/socketpage/ClientLibraryDouble.h"

using namespace e2e;
namespace fs = std::filesystem;
namespace simt = vantrel::sim::testing;
namespace clientdouble = vantrel::clientdouble;

namespace {

class Attachments : public SimLayoutTest {
 protected:
  // The double as the installation's own client library, where discovery looks for it.
  void LayClientLibrary(const simt::TempInstallation& install) {
    library_ = fs::path(install.Bin()) / clientdouble::kFileName;
    fs::copy_file(fs::path(BinDir()) / clientdouble::kFolderFromBin / clientdouble::kFileName, library_,
                  fs::copy_options::overwrite_existing);
  }
  // What the service manager says from now on: the number of attachments and the databases.
  void Connected(const std::string& lines) {
    std::ofstream(library_.parent_path() / clientdouble::kAttachmentsFile, std::ios::binary | std::ios::trunc) << lines;
  }
  static std::wstring Line(HWND main) { return Text(FindControl(main, vantrel::idAttachments)); }
  static bool LineShows(HWND main, const std::wstring& text) {
    return WaitFor([&] { return Line(main) == text && IsWindowVisible(FindControl(main, vantrel::idAttachments)); },
                   30000);
  }
  static bool StateShows(HWND main, const std::wstring& text) {
    return WaitFor([&] { return Text(FindControl(main, vantrel::idServerState)) == text; }, 20000);
  }
  // The window keeps answering its messages while the program waits for the numbers or the user.
  static bool Answers(HWND main) {
    DWORD_PTR result = 0;
    return SendMessageTimeoutW(main, WM_NULL, 0, 0, SMTO_ABORTIFHUNG, 5000, &result) != 0;
  }

  fs::path library_;
};

}  // namespace

// Unknown until the server answers, then its numbers, following every change; a stop with
// attachments asks with the databases listed: No keeps the server, Yes stops it and the line goes.
TEST_P(Attachments, TheLineFollowsTheServerAndAStopWithAttachmentsAsksFirst) {
  simt::TempInstallation install(GetParam());
  RegisterRoot(Kind::Firebird, install.Root());
  LayClientLibrary(install);
  Vantrel app;
  HWND main = app.WaitMainWindow();
  ASSERT_NE(main, nullptr);
  ASSERT_TRUE(StateShows(main, L"Durduruldu"));
  EXPECT_FALSE(IsWindowVisible(FindControl(main, vantrel::idAttachments)));  // no line while stopped

  Click(main, vantrel::idStartStop);
  ASSERT_TRUE(StateShows(main, L"Uygulama olarak çalışıyor"));
  EXPECT_TRUE(LineShows(main, L"bilinmiyor")) << Line(main);  // no attachments file: no server answers

  Connected("3\r\nC:\\db\\a.fdb\r\nC:\\db\\b.fdb\r\n");
  EXPECT_TRUE(LineShows(main, L"3 bağlantı, 2 veri tabanı")) << Line(main);
  Connected("1\r\nC:\\db\\a.fdb\r\n");
  EXPECT_TRUE(LineShows(main, L"1 bağlantı, 1 veri tabanı")) << Line(main);

  Click(main, vantrel::idStartStop);
  HWND box = app.WaitMessageBox();
  ASSERT_NE(box, nullptr);
  EXPECT_EQ(MessageBoxText(box),
            L"Sunucuda 1 açık bağlantı var. Sunucu durdurulursa bu bağlantılar kesilecek.\n\nYine de durdurulsun mu?"
            L"\n\nC:\\db\\a.fdb");
  EXPECT_TRUE(Answers(main));
  PressButton(box, IDNO);
  EXPECT_TRUE(WaitFor([&] { return IsWindowEnabled(FindControl(main, vantrel::idStartStop)) != FALSE; }));
  EXPECT_TRUE(simt::WindowExists(L"FB_Server"));
  EXPECT_EQ(Text(FindControl(main, vantrel::idServerState)), L"Uygulama olarak çalışıyor");

  Click(main, vantrel::idStartStop);
  box = app.WaitMessageBox();
  ASSERT_NE(box, nullptr);
  PressButton(box, IDYES);
  EXPECT_TRUE(StateShows(main, L"Durduruldu"));
  EXPECT_TRUE(WaitFor([&] { return !IsWindowVisible(FindControl(main, vantrel::idAttachments)); }));
  EXPECT_TRUE(Answers(main));
}

// Nobody connected: the stop goes ahead without a question.
TEST_P(Attachments, AStopWithoutAttachmentsDoesNotAsk) {
  simt::TempInstallation install(GetParam());
  RegisterRoot(Kind::Firebird, install.Root());
  LayClientLibrary(install);
  Connected("0\r\n");
  Vantrel app;
  HWND main = app.WaitMainWindow();
  ASSERT_NE(main, nullptr);
  ASSERT_TRUE(StateShows(main, L"Durduruldu"));
  Click(main, vantrel::idStartStop);
  ASSERT_TRUE(StateShows(main, L"Uygulama olarak çalışıyor"));
  EXPECT_TRUE(LineShows(main, L"0 bağlantı, 0 veri tabanı")) << Line(main);
  Click(main, vantrel::idStartStop);
  EXPECT_TRUE(StateShows(main, L"Durduruldu"));
  EXPECT_EQ(app.WaitMessageBox(0), nullptr);
}

FOR_BOTH_FIREBIRD_LAYOUTS(Attachments);
