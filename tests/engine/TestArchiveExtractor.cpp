#include <gtest/gtest.h>
#include <windows.h>

#include <zip.h>

#include <string>
#include <vector>

#include "app/SetupConfig.h"
#include "engine/ArchiveExtractor.h"
#include "engine/FilePaths.h"
#include "tests/engine/EngineTestSupport.h"
#include "tools/pivpack/MemoryZipIo.h"
#include "ui/Handles.h"
#include "ui/StringConverter.h"

using namespace pv;

using pvtest::Exists;
using pvtest::Listing;
using pvtest::ScratchFolder;

namespace {

struct Entry {
  std::string name;  // in the archive's code page; a trailing "/" makes a folder
  std::string data;
};

std::vector<std::uint8_t> MakeZip(const std::vector<Entry>& entries) {
  std::vector<std::uint8_t> bytes;
  zlib_filefunc64_def funcs;
  FillMemoryFileFuncs(funcs, bytes);
  zipFile zip = zipOpen2_64("memory", APPEND_STATUS_CREATE, nullptr, &funcs);
  for (const Entry& e : entries) {
    zip_fileinfo info{};
    const bool folder = !e.name.empty() && e.name.back() == '/';
    zipOpenNewFileInZip64(zip, e.name.c_str(), &info, nullptr, 0, nullptr, 0, nullptr, folder ? 0 : Z_DEFLATED,
                          folder ? 0 : 6, 0);
    if (!e.data.empty()) zipWriteInFileInZip(zip, e.data.data(), static_cast<unsigned>(e.data.size()));
    zipCloseFileInZip(zip);
  }
  zipClose(zip, nullptr);
  return bytes;
}

// Patches a field of the central directory record of `name`.
void PatchCentral(std::vector<std::uint8_t>& zip, const std::string& name, std::size_t field, std::uint32_t value,
                  int width) {
  for (std::size_t at = 0; at + 46 <= zip.size(); ++at) {
    if (zip[at] != 'P' || zip[at + 1] != 'K' || zip[at + 2] != 1 || zip[at + 3] != 2) continue;
    const std::size_t n = zip[at + 28] | zip[at + 29] << 8;
    if (std::string(zip.begin() + at + 46, zip.begin() + at + 46 + n) != name) continue;
    for (int i = 0; i < width; ++i) zip[at + field + i] = static_cast<std::uint8_t>(value >> (8 * i));
    return;
  }
  FAIL() << "no central record for " << name;
}

// The archive in a temporary file held the way the install holds it.
pv::UniqueFile HoldArchive(const ScratchFolder& scratch, const std::vector<std::uint8_t>& zip,
                           const wchar_t* name = L"archive.zip") {
  const std::wstring path = scratch / name;
  pv::UniqueFile file(::CreateFileW(path.c_str(), GENERIC_READ | GENERIC_WRITE | DELETE, FILE_SHARE_READ, nullptr,
                                    CREATE_ALWAYS, FILE_FLAG_DELETE_ON_CLOSE, nullptr));
  DWORD wrote = 0;
  ::WriteFile(file.get(), zip.data(), static_cast<DWORD>(zip.size()), &wrote, nullptr);
  return file;
}

std::vector<std::wstring> Decoded(const JValue& list) {
  std::vector<std::wstring> out;
  for (int i = 0; i < list.Count(); ++i) out.push_back(ToWide(DecodeDocumentPath(list.Element(i))));
  return out;
}

}  // namespace

TEST(ArchiveExtractor, RecordsFolderEntriesThenTheLastFilesFolder) {
  ScratchFolder scratch;
  const std::wstring dir = scratch / L"Orvane";
  const auto zip = MakeZip(
      {{"data/", ""}, {"data/sub/", ""}, {"data/sub/a.txt", "a"}, {"data/b.txt", "bb"}, {"readme.txt", "readme"}});
  pv::UniqueFile held = HoldArchive(scratch, zip);
  ArchiveExtractor extractor(dir);
  ASSERT_TRUE(extractor.Extract(held.get()));
  EXPECT_EQ(Decoded(extractor.folders()), (std::vector<std::wstring>{dir + L"\\data", dir + L"\\data/sub", dir}));
  EXPECT_EQ(Decoded(extractor.files()),
            (std::vector<std::wstring>{dir + L"\\data/sub/a.txt", dir + L"\\data/b.txt", dir + L"\\readme.txt"}));
  EXPECT_EQ(pvtest::ReadText(dir + L"\\data\\sub\\a.txt"), "a");
  EXPECT_EQ(pvtest::ReadText(dir + L"\\readme.txt"), "readme");

  // A last entry inside a folder: names with forward slashes keep the install
  // folder as "their" folder, so the slot after the folder entries holds it.
  const auto zip2 = MakeZip({{"x/", ""}, {"x/y.txt", "y"}});
  pv::UniqueFile held2 = HoldArchive(scratch, zip2, L"second.zip");
  ArchiveExtractor second(scratch / L"Two");
  ASSERT_TRUE(second.Extract(held2.get()));
  EXPECT_EQ(Decoded(second.folders()), (std::vector<std::wstring>{scratch / L"Two\\x", scratch / L"Two"}));
}

TEST(ArchiveExtractor, FilesWithoutFolderEntriesGetTheirFoldersAndTheRollbackTakesThemAgain) {
  ScratchFolder scratch;
  const std::wstring dir = scratch / L"Fresh\\Orvane";
  pv::UniqueFile held = HoldArchive(scratch, MakeZip({{"a/b/c.txt", "c"}, {"d.txt", "d"}}));
  ArchiveExtractor extractor(dir);
  ASSERT_TRUE(extractor.Extract(held.get()));
  EXPECT_EQ(pvtest::ReadText(dir + L"\\a\\b\\c.txt"), "c");
  extractor.Rollback();
  // Every folder this run made is gone, the install folder's parents too.
  EXPECT_FALSE(Exists(scratch / L"Fresh"));
  EXPECT_TRUE(Listing(scratch.path()) == std::vector<std::wstring>{L"archive.zip"});
}

TEST(ArchiveExtractor, EveryDamagedEntryFailsAndTheRollbackLeavesNothing) {
  const std::string body(5000, 'x');
  struct Case {
    const char* what;
    std::vector<Entry> entries;
    void (*damage)(std::vector<std::uint8_t>&);
  };
  const std::vector<Case> cases = {
      {"size larger than the data",
       {{"d/", ""}, {"d/a.txt", body}},
       [](std::vector<std::uint8_t>& z) { PatchCentral(z, "d/a.txt", 24, 6000, 4); }},
      {"size smaller than the data",
       {{"d/", ""}, {"d/a.txt", body}},
       [](std::vector<std::uint8_t>& z) { PatchCentral(z, "d/a.txt", 24, 10, 4); }},
      {"encrypted",
       {{"d/", ""}, {"d/a.txt", body}},
       [](std::vector<std::uint8_t>& z) { PatchCentral(z, "d/a.txt", 8, 1, 2); }},
      {"unknown method",
       {{"d/", ""}, {"d/a.txt", body}},
       [](std::vector<std::uint8_t>& z) { PatchCentral(z, "d/a.txt", 10, 99, 2); }},
      {"crc",
       {{"d/", ""}, {"d/a.txt", body}},
       [](std::vector<std::uint8_t>& z) { PatchCentral(z, "d/a.txt", 16, 0x12345678, 4); }},
      {"one file twice", {{"d/", ""}, {"d/a.txt", "1"}, {"D/A.TXT", "2"}}, nullptr},
      {"outside", {{"d/", ""}, {"d/a.txt", "1"}, {"d/../../x.txt", "2"}}, nullptr},
      {"empty name", {{"d/", ""}, {"d/a.txt", "1"}, {" ", "2"}}, nullptr},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    ScratchFolder scratch;
    auto zip = MakeZip(c.entries);
    if (c.damage) c.damage(zip);
    pv::UniqueFile held = HoldArchive(scratch, zip);
    ArchiveExtractor extractor(scratch / L"Orvane");
    EXPECT_FALSE(extractor.Extract(held.get()));
    extractor.Rollback();
    EXPECT_EQ(Listing(scratch.path()), std::vector<std::wstring>{L"archive.zip"});
  }
}

namespace {

// Bytes that deflate does not shrink much, so the entry has data to damage.
std::string Noise(std::size_t size) {
  std::string out(size, '\0');
  std::uint32_t x = 12345;
  for (char& c : out) c = static_cast<char>((x = x * 1103515245 + 12345) >> 24);
  return out;
}

// Flips a byte in the middle of the stored (compressed) data of `name`.
void DamageData(std::vector<std::uint8_t>& zip, const std::string& name) {
  for (std::size_t at = 0; at + 30 <= zip.size(); ++at) {
    if (zip[at] != 'P' || zip[at + 1] != 'K' || zip[at + 2] != 3 || zip[at + 3] != 4) continue;
    const std::size_t n = zip[at + 26] | zip[at + 27] << 8, e = zip[at + 28] | zip[at + 29] << 8;
    const std::size_t size = zip[at + 18] | zip[at + 19] << 8 | zip[at + 20] << 16;
    if (std::string(zip.begin() + at + 30, zip.begin() + at + 30 + n) != name) continue;
    zip[at + 30 + n + e + size / 2] ^= 0x5A;
    return;
  }
  FAIL() << "no local record for " << name;
}

}  // namespace

// The check before an earlier installation is removed: what the directory
// shows is refused without writing anything; damaged data passes it and is
// caught by the extraction, unless the check is asked to inflate every
// entry (an archive without a checksum of its own), still writing nothing.
TEST(ArchiveExtractor, CheckReadsOnlyTheDirectory) {
  const std::string body(5000, 'x');
  struct Case {
    const char* what;
    std::vector<Entry> entries;
    void (*damage)(std::vector<std::uint8_t>&);
    bool passes;
  };
  const std::vector<Case> cases = {
      {"whole", {{"d/", ""}, {"d/a.txt", body}, {"b.txt", "1"}}, nullptr, true},
      {"crc",
       {{"d/", ""}, {"d/a.txt", body}},
       [](std::vector<std::uint8_t>& z) { PatchCentral(z, "d/a.txt", 16, 0x12345678, 4); },
       true},
      {"data",
       {{"d/", ""}, {"d/a.txt", Noise(20000)}, {"b.txt", "1"}},
       [](std::vector<std::uint8_t>& z) { DamageData(z, "d/a.txt"); },
       true},
      {"encrypted",
       {{"d/", ""}, {"d/a.txt", body}},
       [](std::vector<std::uint8_t>& z) { PatchCentral(z, "d/a.txt", 8, 1, 2); },
       false},
      {"unknown method",
       {{"d/", ""}, {"d/a.txt", body}},
       [](std::vector<std::uint8_t>& z) { PatchCentral(z, "d/a.txt", 10, 99, 2); },
       false},
      {"one file twice", {{"d/", ""}, {"d/a.txt", "1"}, {"D/A.TXT", "2"}}, nullptr, false},
      {"outside", {{"d/", ""}, {"d/a.txt", "1"}, {"d/../../x.txt", "2"}}, nullptr, false},
      {"empty name", {{"d/", ""}, {"d/a.txt", "1"}, {" ", "2"}}, nullptr, false},
      // A file and a folder of one name, in any order and letter case: one
      // would have to give way to the other half way through.
      {"file, then a folder's file", {{"bin", "1"}, {"BIN/x.dll", "2"}}, nullptr, false},
      {"file, then a folder", {{"a.txt", "1"}, {"A.TXT/", ""}}, nullptr, false},
      {"folder and its file, then a file", {{"d/", ""}, {"d/k.txt", "1"}, {"d", "2"}}, nullptr, false},
      {"a file's folder, then a file", {{"x/y/z.txt", "1"}, {"X/Y", "2"}}, nullptr, false},
      // A long name and what could be its short name land on one file.
      {"short alias", {{"longfilename.txt", "1"}, {"LONGFI~1.TXT", "2"}}, nullptr, false},
      {"folder twice", {{"d/", ""}, {"D/", ""}, {"d/a.txt", "1"}}, nullptr, true},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    ScratchFolder scratch;
    auto zip = MakeZip(c.entries);
    if (c.damage) c.damage(zip);
    pv::UniqueFile held = HoldArchive(scratch, zip);
    ArchiveExtractor extractor(scratch / L"Orvane");
    EXPECT_EQ(extractor.Check(held.get()), c.passes);
    const bool whole = std::string(c.what) == "whole" || std::string(c.what) == "folder twice";
    EXPECT_EQ(ArchiveExtractor(scratch / L"Orvane").Check(held.get(), true), whole);
    EXPECT_EQ(Listing(scratch.path()), std::vector<std::wstring>{L"archive.zip"});
    // The same handle then extracts the archive from its start.
    if (c.passes) {
      EXPECT_EQ(extractor.Extract(held.get()), whole);
    }
  }
  ScratchFolder scratch;
  pv::UniqueFile held = HoldArchive(scratch, std::vector<std::uint8_t>(100, 7));
  EXPECT_FALSE(ArchiveExtractor(scratch / L"Orvane").Check(held.get()));
}

// Without long-path support Windows cannot create a file whose full path
// reaches 260 characters or a folder whose path reaches 248. Wine has no such
// limit, so what shows here is the check that refuses them, with the real
// length of a deep install folder.
TEST(ArchiveExtractor, CheckRefusesPathsWindowsCannotCreate) {
  ScratchFolder scratch;
  const std::wstring dir = scratch / (L"Deep " + std::wstring(100, L'd') + L"\\Tervaset\\Orvane");
  const std::size_t base = pv::FullPath(dir).size() + 1;  // the install folder and its backslash
  ASSERT_LT(base, 200u);
  // An entry name that makes the full path `length` characters long.
  auto named = [&](std::size_t length, const std::string& head, const std::string& tail) {
    return head + std::string(length - base - head.size() - tail.size(), 'n') + tail;
  };
  struct Case {
    const char* what;
    std::string name;
    bool passes;
  };
  const std::vector<Case> cases = {
      {"file of 259", named(259, "f/", ".txt"), true},
      {"file of 260", named(260, "f/", ".txt"), false},
      {"folder of 247", named(247 + 1, "", "/"), true},  // the entry's "/" is not part of the path
      {"folder of 248", named(248 + 1, "", "/"), false},
      {"file in a folder of 247", named(247 + 6, "", "/x.txt"), true},
      {"file in a folder of 248", named(248 + 6, "", "/x.txt"), false},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    pv::UniqueFile held = HoldArchive(scratch, MakeZip({{"f/", ""}, {c.name, c.name.back() == '/' ? "" : "x"}}));
    EXPECT_EQ(ArchiveExtractor(dir).Check(held.get()), c.passes);
    EXPECT_EQ(Listing(scratch.path()), std::vector<std::wstring>{L"archive.zip"});
  }
}

TEST(ArchiveExtractor, NotAnArchiveFails) {
  ScratchFolder scratch;
  pv::UniqueFile held = HoldArchive(scratch, std::vector<std::uint8_t>(100, 7));
  ArchiveExtractor extractor(scratch / L"Orvane");
  EXPECT_FALSE(extractor.Extract(held.get()));
  EXPECT_EQ(extractor.files().Count(), 0);
}

// The archive is read through windows of it held in memory, one on the
// central directory and one on the entry data: files that span many windows
// and hundreds of entries arrive whole and in order.
TEST(ArchiveExtractor, LargeFilesAndManyEntriesArriveWholeAndInOrder) {
  ScratchFolder scratch;
  const std::wstring dir = scratch / L"Orvane";
  std::vector<Entry> entries = {{"big/", ""}};
  std::uint32_t seed = 12345;
  auto noise = [&](std::size_t n) {
    std::string s(n, '\0');
    for (char& c : s) {
      seed = seed * 1103515245u + 12345u;
      c = static_cast<char>('a' + (seed >> 16) % 7);  // compressible, but not to nothing
    }
    return s;
  };
  for (int i = 0; i < 3; ++i) entries.push_back({"big/f" + std::to_string(i) + ".bin", noise(2'600'000 + i)});
  for (int i = 0; i < 300; ++i) entries.push_back({"small" + std::to_string(i) + ".txt", noise(i * 37 % 3000)});
  pv::UniqueFile held = HoldArchive(scratch, MakeZip(entries));
  ArchiveExtractor extractor(dir);
  ASSERT_TRUE(extractor.Extract(held.get()));
  EXPECT_EQ(extractor.entriesDone(), entries.size());
  std::vector<std::wstring> expected;
  for (std::size_t i = 1; i < entries.size(); ++i) expected.push_back(dir + L"\\" + ToWide(entries[i].name));
  EXPECT_EQ(Decoded(extractor.files()), expected);
  for (std::size_t i = 1; i < entries.size(); ++i) {
    std::wstring path = dir + L"\\" + ToWide(entries[i].name);
    ASSERT_EQ(pvtest::ReadText(path), entries[i].data) << entries[i].name;
  }
}
