// The per-user initialization file: what each kind of change leaves in it.
#include "shell/uConfig.h"

#include <gtest/gtest.h>

#include <fstream>
#include <sstream>

using namespace vantrel;

namespace {

std::wstring TempIni(const wchar_t* name) {
  wchar_t temp[MAX_PATH];
  GetTempPathW(MAX_PATH, temp);
  std::wstring path = std::wstring(temp) + name;
  DeleteFileW(path.c_str());
  return path;
}

std::string Bytes(const std::wstring& path) {
  WritePrivateProfileStringW(nullptr, nullptr, nullptr, path.c_str());  // flush
  std::ifstream in(path.c_str(), std::ios::binary);
  std::stringstream s;
  s << in.rdbuf();
  return s.str();
}

void WriteBytes(const std::wstring& path, const std::string& bytes) {
  std::ofstream out(path.c_str(), std::ios::binary);
  out << bytes;
}

}  // namespace

TEST(Config, DefaultsWithoutAFileAndNothingWrittenByReading) {
  const std::wstring ini = TempIni(L"vantrel-config-defaults.ini");
  TConfigData config(ini);
  EXPECT_FALSE(config.ShowTrayIcon());
  RECT r = config.GetWinPos();
  EXPECT_EQ(r.left + r.top + r.right + r.bottom, 0);
  EXPECT_EQ(config.Tools().Count(), 0u);
  EXPECT_EQ(GetFileAttributesW(ini.c_str()), INVALID_FILE_ATTRIBUTES);
}

TEST(Config, SettersWriteThroughAtOnce) {
  const std::wstring ini = TempIni(L"vantrel-config-write.ini");
  TConfigData config(ini);
  config.SetShowTrayIcon(true);
  config.SetWinPos(RECT{10, 20, 430, 273});
  EXPECT_EQ(Bytes(ini),
            "[Generic]\r\nShowTrayIcon=1\r\n[WinPos]\r\nLeft=10\r\nTop=20\r\nRight=430\r\nBottom=273\r\n");
  EXPECT_TRUE(TConfigData(ini).ShowTrayIcon());
}

TEST(Config, IntegersAreDecimalOrHexadecimalElseTheDefault) {
  const std::wstring ini = TempIni(L"vantrel-config-numbers.ini");
  WriteBytes(ini, "[WinPos]\r\nLeft=0x10\r\nTop=$20\r\nRight=abc\r\nBottom=-5\r\n[Generic]\r\nShowTrayIcon=2\r\n");
  TConfigData config(ini);
  RECT r = config.GetWinPos();
  EXPECT_EQ(r.left, 16);
  EXPECT_EQ(r.top, 32);
  EXPECT_EQ(r.right, 0);
  EXPECT_EQ(r.bottom, -5);
  EXPECT_TRUE(config.ShowTrayIcon());
}

TEST(Config, ToolsWithGapsCloseUpAtTheFirstChange) {
  const std::wstring ini = TempIni(L"vantrel-config-tools.ini");
  WriteBytes(ini, "[Tools]\r\nCount=3\r\nItem0=A=a.exe\r\nItem2=C=c.exe|x\r\n");
  TConfigData config(ini);
  ASSERT_EQ(config.Tools().Count(), 2u);
  config.Tools().Add(L"D=d.exe");
  EXPECT_EQ(Bytes(ini), "[Tools]\r\nCount=3\r\nItem0=A=a.exe\r\nItem1=C=c.exe|x\r\nItem2=D=d.exe\r\n");
  config.Tools().Delete(0);
  config.Tools().Delete(0);
  config.Tools().Delete(0);
  EXPECT_EQ(Bytes(ini), "[Tools]\r\nCount=0\r\n");
}

TEST(Config, RefusedWriteNamesTheFile) {
  const std::wstring ini = TempIni(L"vantrel-no-such-folder\\vantrel.ini");
  TConfigData config(ini);
  try {
    config.SetShowTrayIcon(true);
    ADD_FAILURE() << "write into a missing folder succeeded";
  } catch (const std::exception& e) {
    EXPECT_NE(std::string(e.what()).find("Unable to write to "), std::string::npos);
    EXPECT_NE(std::string(e.what()).find("vantrel-no-such-folder"), std::string::npos);
  }
}
