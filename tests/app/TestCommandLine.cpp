#include <gtest/gtest.h>

#include "app/CommandLine.h"

using namespace pv;

TEST(CommandLine, OptionsAreWholeAndCaseSensitive) {
  const auto o = ParseCommandLine({L"setup.exe", L"/q", L"/update", L"/D", L"E:\\Apps"});
  EXPECT_TRUE(o.quiet);
  EXPECT_TRUE(o.update);
  EXPECT_TRUE(o.hasParent);
  EXPECT_EQ(o.parentFolder, L"E:\\Apps");

  const auto other = ParseCommandLine({L"setup.exe", L"/Q", L"/d", L"X:\\", L"/UPDATE", L"-q", L"/qq", L"q"});
  EXPECT_FALSE(other.quiet);
  EXPECT_FALSE(other.update);
  EXPECT_FALSE(other.hasParent);
}

TEST(CommandLine, TheFolderAfterDIsTakenAsItIs) {
  // A later "/D" replaces an earlier one; the folder itself is never an option.
  const auto o = ParseCommandLine({L"setup.exe", L"/D", L"A:\\x", L"/D", L"/q"});
  EXPECT_TRUE(o.hasParent);
  EXPECT_EQ(o.parentFolder, L"/q");
  EXPECT_FALSE(o.quiet);
  // "/D" as the last argument is ignored.
  const auto last = ParseCommandLine({L"setup.exe", L"/q", L"/D"});
  EXPECT_FALSE(last.hasParent);
  EXPECT_TRUE(last.quiet);
  // The program name is compared too.
  EXPECT_TRUE(ParseCommandLine({L"/q"}).quiet);
  // "/log" takes the next argument the same way; without one there is no log.
  const auto log = ParseCommandLine({L"setup.exe", L"/log", L"/q", L"/log", L"C:\\setup 1.log"});
  EXPECT_EQ(log.logFile, L"C:\\setup 1.log");
  EXPECT_FALSE(log.quiet);
  EXPECT_EQ(ParseCommandLine({L"setup.exe", L"/q", L"/log"}).logFile, L"");
  // So does "/lang"; its tag is matched against the shipped languages later.
  EXPECT_EQ(ParseCommandLine({L"setup.exe", L"/lang", L"en-US", L"/lang", L"/q"}).language, L"/q");
  EXPECT_EQ(ParseCommandLine({L"setup.exe", L"/LANG", L"en-US", L"/lang"}).language, L"");
  // A relaunch hands on the absolute file, whole.
  EXPECT_EQ(RelaunchParameters(WithLogFile({L"u.exe", L"/log", L"a b.log", L"/q"}, L"C:\\x\\a b.log")),
            L" /log \"C:\\x\\a b.log\" /q");
}

TEST(CommandLine, OnlyTheFoldersAfterDAreMadeAbsolute) {
  const auto absolute = [](const std::wstring& folder) { return L"C:\\cwd\\" + folder; };
  EXPECT_EQ(WithAbsoluteParentFolders({L"rel", L"/D", L"a\\b", L"/q", L"/D", L"/D", L"x", L"/D"}, absolute),
            (std::vector<std::wstring>{L"rel", L"/D", L"C:\\cwd\\a\\b", L"/q", L"/D", L"C:\\cwd\\/D", L"x", L"/D"}));
}

TEST(CommandLine, RelaunchParametersAndFolders) {
  EXPECT_EQ(RelaunchParameters({L"setup.exe"}), L"");
  EXPECT_EQ(RelaunchParameters({L"setup.exe", L"/D", L"C:\\Program Files", L"/q"}), L" /D C:\\Program Files /q");
  EXPECT_EQ(InstallDirUnder(L"C:\\", L"Tervaset\\Orvane"), L"C:\\\\Tervaset\\Orvane");
  EXPECT_EQ(InstallDirUnder(L"D:\\Apps", L"Tervaset\\Orvane"), L"D:\\Apps\\Tervaset\\Orvane");
  EXPECT_EQ(FolderOfUninstaller(L"D:\\Tervaset\\Orvane\\unins000.exe"), L"D:\\Tervaset\\Orvane");
  EXPECT_EQ(FolderOfUninstaller(L"unins000.exe"), L"");
}

TEST(CommandLine, LaunchCommandSplitsAtTheLastSlash) {
  const auto plain = SplitLaunchCommand(L"C:\\P\\Orvane.exe");
  EXPECT_EQ(plain.program, L"C:\\P\\Orvane.exe");
  EXPECT_EQ(plain.parameters, L"");
  const auto args = SplitLaunchCommand(L"C:\\P\\Orvane.exe /first /run");
  EXPECT_EQ(args.program, L"\"C:\\P\\Orvane.exe /first\"");
  EXPECT_EQ(args.parameters, L" /run");
  // No "lastrun": the install folder and one backslash, opened as a folder.
  EXPECT_EQ(SplitLaunchCommand(L"C:\\P\\").program, L"C:\\P\\");
  EXPECT_EQ(SplitLaunchCommand(L"/x").program, L"\"\"");
}
