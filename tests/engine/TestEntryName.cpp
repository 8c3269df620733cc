#include <gtest/gtest.h>

#include "engine/EntryName.h"

using namespace pv;

TEST(EntryName, AcceptsOrdinaryProductNames) {
  for (const wchar_t* ok : {L"Orvane.exe", L"data/locale/zh-CN/strings.txt", L"data", L"a\\b.txt",
                            L"\x6587\x6863/\x624B\x518C.txt", L".hidden", L"name with spaces.txt", L"v1.2.3/lib.dll",
                            L"CONFIG.ini", L"COM10.txt", L"console.log", L"nullable/x"}) {
    EXPECT_TRUE(IsSafeEntryName(ok)) << ok;
  }
}

TEST(EntryName, RefusesEveryWayOutOfTheFolder) {
  for (const wchar_t* bad : {L"",
                             L"../evil.exe",
                             L"a/../../evil.exe",
                             L"a\\..\\..\\evil.exe",
                             L"..",
                             L".",
                             L"a/./b",
                             L"/etc/passwd",
                             L"\\Windows\\evil.dll",
                             L"\\\\server\\share\\x",
                             L"\\\\?\\C:\\x",
                             L"//?/C:/x",
                             L"C:\\evil.exe",
                             L"C:evil.exe",
                             L"c:/x",
                             L"a//b",
                             L"a\\\\b",
                             L"a/",
                             L"file.txt:stream",
                             L"file.txt::$DATA",
                             L"dir./x",
                             L"dir /x",
                             L"x.exe.",
                             L"x.exe ",
                             L"CON",
                             L"con.txt",
                             L"nul",
                             L"Aux.dat",
                             L"PRN",
                             L"COM1",
                             L"lpt9.log",
                             L"com\x00B9",
                             L"a/CON/b",
                             L"CONOUT$",
                             L"a<b",
                             L"a>b",
                             L"a|b",
                             L"a?b",
                             L"a*b",
                             L"a\"b",
                             L"a\x0001b",
                             L"CON .txt"}) {
    EXPECT_FALSE(IsSafeEntryName(bad)) << bad;
  }
}

TEST(EntryName, TellsNamesThatCanBeAnotherEntrysShortName) {
  for (const wchar_t* alias : {L"LONGFI~1.TXT", L"docs/PROGRA~2/x.txt", L"a~9", L"~1"})
    EXPECT_TRUE(MayBeShortName(alias));
  for (const wchar_t* plain : {L"longfilename.txt", L"backup~.txt", L"~x/y", L"a~b~c.txt", L"tilde~"})
    EXPECT_FALSE(MayBeShortName(plain));
}
