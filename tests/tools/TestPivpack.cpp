#include <gtest/gtest.h>
#include <unzip.h>

#include <filesystem>
#include <fstream>
#include <iterator>
#include <memory>
#include <sstream>

#include "app/ArchiveChecksum.h"
#include "app/PackageLayout.h"
#include "json/JReader.h"
#include "tools/pivpack/FileZipIo.h"
#include "tools/pivpack/InstallerBuilder.h"
#include "tools/pivpack/MemoryZipIo.h"
#include "tools/pivpack/PeImage.h"
#include "tools/pivpack/Sha256.h"
#include "tools/pivpack/ZipBuilder.h"

using namespace pv;

namespace fs = std::filesystem;
using package::ReadU32;
using package::WriteU32;

namespace {

// A minimal PE32+ image: DOS header, PE signature, file header, a 240-byte
// optional header with 16 data directories, and two sections whose raw data
// ends at 0x400 (the second lies before the first in the file).
std::vector<std::uint8_t> MakeStub() {
  std::vector<std::uint8_t> image(0x400, 0);
  image[0] = 'M';
  image[1] = 'Z';
  const std::uint32_t lfanew = 0x80;
  WriteU32(image.data() + 60, lfanew);
  std::uint8_t* pe = image.data() + lfanew;
  pe[0] = 'P';
  pe[1] = 'E';
  pe[6] = 2;      // sections
  pe[20] = 0xF0;  // optional header size
  pe[24] = 0x0B;  // PE32+ magic 0x20B
  pe[25] = 0x02;
  std::uint8_t* sections = pe + 24 + 0xF0;
  WriteU32(sections + 16, 0x200);       // first: raw size
  WriteU32(sections + 20, 0x200);       // first: raw pointer -> ends at 0x400
  WriteU32(sections + 40 + 16, 0x100);  // second
  WriteU32(sections + 40 + 20, 0x100);
  return image;
}

struct TempDir {
  fs::path path = fs::temp_directory_path() / ("pivpack-test-" + std::to_string(std::rand()));
  TempDir() { fs::create_directories(path); }
  ~TempDir() {
    std::error_code ec;
    fs::remove_all(path, ec);
  }
};

void WriteText(const fs::path& p, const std::string& text) {
  fs::create_directories(p.parent_path());
  std::ofstream(p, std::ios::binary) << text;
}

// The entry names, each followed by "*" when the entry has the UTF-8 flag.
std::vector<std::string> EntryNames(std::vector<std::uint8_t> zip) {
  std::vector<std::string> names;
  zlib_filefunc64_def funcs;
  FillMemoryFileFuncs(funcs, zip);
  unzFile z = unzOpen2_64("memory", &funcs);
  if (!z) return names;
  for (int r = unzGoToFirstFile(z); r == UNZ_OK; r = unzGoToNextFile(z)) {
    char name[512] = {};
    unz_file_info64 info{};
    unzGetCurrentFileInfo64(z, &info, name, sizeof name - 1, nullptr, 0, nullptr, 0);
    names.push_back(std::string(name) + ((info.flag & 0x800) ? "*" : ""));
  }
  unzClose(z);
  return names;
}

}  // namespace

TEST(PeImage, FindsTheEndOfTheLastSectionAndTheLocatorField) {
  PeImageInfo info;
  std::string error;
  ASSERT_TRUE(ReadPeImage(MakeStub(), info, error)) << error;
  EXPECT_EQ(info.imageEnd, 0x400u);
  EXPECT_EQ(info.locatorOffset, 0x7Cu);

  auto badSig = MakeStub();
  badSig[0x80] = 'X';
  EXPECT_FALSE(ReadPeImage(badSig, info, error));
  auto farHeader = MakeStub();
  WriteU32(farHeader.data() + 60, 0xFFFFFFF0);
  EXPECT_FALSE(ReadPeImage(farHeader, info, error));
  auto manySections = MakeStub();
  manySections[0x80 + 6] = 0xFF;
  manySections[0x80 + 7] = 0xFF;
  EXPECT_FALSE(ReadPeImage(manySections, info, error));
  EXPECT_FALSE(ReadPeImage(std::vector<std::uint8_t>(10, 'M'), info, error));
}

TEST(InstallerBuilder, AppendsThePackageAndWritesTheLocator) {
  std::vector<std::uint8_t> stub = MakeStub();
  stub.resize(0x500, 0xEE);  // an overlay after the sections is not carried over
  std::vector<std::uint8_t> zip;
  ZipBuildStats stats;
  std::string error;
  TempDir dir;
  WriteText(dir.path / "Orvane.exe", "program");
  ASSERT_TRUE(BuildZipFromFolder(dir.path, {}, zip, stats, error)) << error;

  std::vector<std::uint8_t> out;
  // A "zcrc32" of the vendor's is replaced by the archive's own.
  ASSERT_TRUE(BuildInstaller(
      stub, "// vendor's comment\n{ \"mode\": 1, \"lastrun\": \"Orvane.exe\", \"zcrc32\": \"00000000\" }", zip, true,
      out, error))
      << error;
  EXPECT_EQ(ReadU32(out.data() + 0x7C), 0x400u);
  package::BufferSource source(out);
  const auto text = package::ReadConfigText(source);
  ASSERT_TRUE(text);
  const std::string crc = package::FormatArchiveCrc(package::ArchiveCrc(zip));
  EXPECT_EQ(*text, "{\"lastrun\":\"Orvane.exe\",\"mode\":1,\"zcrc32\":\"" + crc + "\"}\n");  // the compact form
  const package::PackageSpan span = package::CheckPackage(out, 0x400);
  ASSERT_EQ(span.result, kEngineOk);
  EXPECT_EQ(span.archivePresent, zip.size());
  EXPECT_EQ(out.size(), 0x400 + 4 + text->size() + 4 + zip.size());

  std::ostringstream report;
  EXPECT_TRUE(InspectInstaller(out, report)) << report.str();
  EXPECT_NE(report.str().find("entries:        1 (0 folders, 1 files)"), std::string::npos) << report.str();
  EXPECT_NE(report.str().find("checksum:       " + crc + " (matches)"), std::string::npos) << report.str();

  // An uninstaller-style package: configuration only.
  ASSERT_TRUE(BuildInstaller(stub, "{\"mode\":0}", {}, false, out, error)) << error;
  EXPECT_EQ(out.size(), 0x400 + 4 + 11u);
  EXPECT_TRUE(InspectInstaller(out, report));

  // Through files, a piece at a time, the same bytes: the folder zipped into
  // a file, the installer written from it.
  TempDir built;
  const auto readAll = [](const std::filesystem::path& path) {
    std::ifstream in(path, std::ios::binary);
    return std::vector<std::uint8_t>(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
  };
  {
    std::unique_ptr<std::FILE, int (*)(std::FILE*)> archive(OpenBinaryFile(built.path / "a.zip", "w+b"), std::fclose);
    std::unique_ptr<std::FILE, int (*)(std::FILE*)> file(OpenBinaryFile(built.path / "setup.exe", "wb"), std::fclose);
    ASSERT_TRUE(archive && file);
    ASSERT_TRUE(BuildZipFromFolder(dir.path / "none", {}, archive.get(), stats, error) == false);
    ASSERT_TRUE(BuildZipFromFolder(dir.path, {}, archive.get(), stats, error)) << error;
    ASSERT_TRUE(BuildInstallerFile(stub, "{\"mode\":1}", archive.get(), file.get(), error)) << error;
  }
  const auto fromFiles = readAll(built.path / "setup.exe");
  ASSERT_TRUE(BuildInstaller(stub, "{\"mode\":1}", readAll(built.path / "a.zip"), true, out, error)) << error;
  EXPECT_EQ(fromFiles, out);
  // A file that is not a ZIP is refused as the one in memory is.
  WriteText(built.path / "not.zip", "not a zip");
  {
    std::unique_ptr<std::FILE, int (*)(std::FILE*)> archive(OpenBinaryFile(built.path / "not.zip", "rb"), std::fclose);
    std::unique_ptr<std::FILE, int (*)(std::FILE*)> file(OpenBinaryFile(built.path / "bad.exe", "wb"), std::fclose);
    EXPECT_FALSE(BuildInstallerFile(stub, "{\"mode\":1}", archive.get(), file.get(), error));
  }
}

TEST(InstallerBuilder, RefusesWhatWouldNotWork) {
  const auto stub = MakeStub();
  std::vector<std::uint8_t> out;
  std::string error;
  EXPECT_FALSE(BuildInstaller(stub, "{\"lastrun\":\"x\"}", {}, false, out, error));
  EXPECT_NE(error.find("mode"), std::string::npos);
  EXPECT_FALSE(BuildInstaller(stub, "{\"mode\":1", {}, false, out, error));
  EXPECT_NE(error.find("not valid JSON"), std::string::npos);
  const std::uint8_t notZip[] = {1, 2, 3, 4};
  EXPECT_FALSE(BuildInstaller(stub, "{\"mode\":1}", notZip, true, out, error));

  auto used = stub;
  used[0x7C] = 1;  // the stub bytes before the PE signature are not free
  EXPECT_FALSE(BuildInstaller(used, "{\"mode\":1}", {}, false, out, error));
  auto signedStub = stub;
  WriteU32(signedStub.data() + 0x80 + 24 + 112 + 4 * 8 + 4, 0x200);
  EXPECT_FALSE(BuildInstaller(signedStub, "{\"mode\":1}", {}, false, out, error));
  auto symbols = stub;
  WriteU32(symbols.data() + 0x80 + 12, 0x1000);
  EXPECT_FALSE(BuildInstaller(symbols, "{\"mode\":1}", {}, false, out, error));
}

TEST(ZipBuilder, FolderEntriesFirstUtf8NamesRootFilesLast) {
  TempDir dir;
  WriteText(dir.path / "readme.txt", "r");
  WriteText(dir.path / "Orvane.exe", "x");
  WriteText(dir.path / "data" / "a.bin", "a");
  WriteText(dir.path / "data" / "locale" / "zh.txt", "z");
  WriteText(dir.path / fs::u8path("\xE6\x96\x87\xE6\xA1\xA3") / fs::u8path("\xE6\x89\x8B\xE5\x86\x8C.txt"), "m");
  std::vector<std::uint8_t> zip;
  ZipBuildStats stats;
  std::string error;
  ASSERT_TRUE(BuildZipFromFolder(dir.path, {}, zip, stats, error)) << error;
  EXPECT_EQ(stats.folders, 3u);
  EXPECT_EQ(stats.files, 5u);
  const std::vector<std::string> want = {"data/*",
                                         "data/locale/*",
                                         "data/locale/zh.txt*",
                                         "data/a.bin*",
                                         "\xE6\x96\x87\xE6\xA1\xA3/*",
                                         "\xE6\x96\x87\xE6\xA1\xA3/\xE6\x89\x8B\xE5\x86\x8C.txt*",
                                         "Orvane.exe*",
                                         "readme.txt*"};
  EXPECT_EQ(EntryNames(zip), want);

  // The legacy form: names in code page 936, unflagged.
  std::vector<std::uint8_t> legacyZip;
  ZipBuildOptions legacy;
  legacy.codePage = 936;
  ASSERT_TRUE(BuildZipFromFolder(dir.path, legacy, legacyZip, stats, error)) << error;
  const std::vector<std::string> want936 = {"data/",
                                            "data/locale/",
                                            "data/locale/zh.txt",
                                            "data/a.bin",
                                            "\xCE\xC4\xB5\xB5/",  // 文档 in code page 936
                                            "\xCE\xC4\xB5\xB5/\xCA\xD6\xB2\xE1.txt",
                                            "Orvane.exe",
                                            "readme.txt"};
  EXPECT_EQ(EntryNames(legacyZip), want936);

  // The inspection names each entry's encoding and shows the names in UTF-8.
  std::vector<std::uint8_t> installer, legacyInstaller;
  ASSERT_TRUE(BuildInstaller(MakeStub(), "{\"mode\":1}", zip, true, installer, error));
  ASSERT_TRUE(BuildInstaller(MakeStub(), "{\"mode\":1}", legacyZip, true, legacyInstaller, error));
  std::ostringstream report, legacyReport;
  EXPECT_TRUE(InspectInstaller(installer, report)) << report.str();
  EXPECT_NE(report.str().find("entry:          utf-8                 \xE6\x96\x87\xE6\xA1\xA3/\xE6\x89\x8B"),
            std::string::npos)
      << report.str();
  EXPECT_TRUE(InspectInstaller(legacyInstaller, legacyReport)) << legacyReport.str();
  EXPECT_NE(legacyReport.str().find("entry:          code page 936         \xE6\x96\x87\xE6\xA1\xA3/\xE6\x89\x8B"),
            std::string::npos)
      << legacyReport.str();
  // Shown in another code page, 936 bytes that are not valid there fail.
  std::ostringstream asUtf8;
  EXPECT_FALSE(InspectInstaller(legacyInstaller, asUtf8, 65001));
  EXPECT_NE(asUtf8.str().find("not valid in its encoding"), std::string::npos) << asUtf8.str();

  // A damaged byte in a file's data is caught by the inspection: find the
  // first local header of a file (not a folder) and flip its first data byte.
  std::size_t at = 0;
  for (;;) {
    ASSERT_EQ(ReadU32(zip.data() + at), 0x04034B50u);
    const std::size_t nameLength = zip[at + 26] | zip[at + 27] << 8;
    const std::size_t extraLength = zip[at + 28] | zip[at + 29] << 8;
    const std::size_t dataLength = ReadU32(zip.data() + at + 18);
    if (zip[at + 30 + nameLength - 1] != '/') {
      at += 30 + nameLength + extraLength;
      break;
    }
    at += 30 + nameLength + extraLength + dataLength;
  }
  auto damaged = installer;
  damaged[installer.size() - zip.size() + at] ^= 0x55;
  std::ostringstream report2;
  EXPECT_FALSE(InspectInstaller(damaged, report2)) << report2.str();
  EXPECT_NE(report2.str().find("DOES NOT MATCH"), std::string::npos) << report2.str();
  // And a cut one.
  std::vector<std::uint8_t> cut(installer.begin(), installer.end() - 30);
  EXPECT_FALSE(InspectInstaller(cut, report2));
}

TEST(ZipBuilder, RefusesNamesTheCodePageCannotHold) {
  TempDir dir;
  WriteText(dir.path / fs::u8path("caf\xC3\xA9-\xF0\x9F\x98\x80.txt"), "x");  // an emoji has no GBK form
  std::vector<std::uint8_t> zip;
  ZipBuildStats stats;
  std::string error;
  ZipBuildOptions legacy;
  legacy.codePage = 936;
  EXPECT_FALSE(BuildZipFromFolder(dir.path, legacy, zip, stats, error));
  EXPECT_NE(error.find("code page 936"), std::string::npos) << error;
  EXPECT_TRUE(BuildZipFromFolder(dir.path, {}, zip, stats, error)) << error;  // UTF-8 holds it
#ifndef _WIN32
  // A folder name that is not UTF-8 has no UTF-8 form to write (Windows
  // names are always UTF-16, so only a POSIX host meets one).
  WriteText(dir.path / "\xCE\xC4" / "x.txt", "x");
  EXPECT_FALSE(BuildZipFromFolder(dir.path, {}, zip, stats, error));
  EXPECT_NE(error.find("not valid UTF-8"), std::string::npos) << error;
#endif
  EXPECT_FALSE(BuildZipFromFolder(dir.path / "missing", {}, zip, stats, error));
}

TEST(Sha256, KnownDigestsAcrossThePaddingBoundary) {
  const auto digest = [](std::string_view text) {
    return Sha256Hex(std::span(reinterpret_cast<const std::uint8_t*>(text.data()), text.size()));
  };
  EXPECT_EQ(digest(""), "E3B0C44298FC1C149AFBF4C8996FB92427AE41E4649B934CA495991B7852B855");
  EXPECT_EQ(digest("abc"), "BA7816BF8F01CFEA414140DE5DAE2223B00361A396177A9CB410FF61F20015AD");
  // 56 bytes: the length no longer fits the last block, which takes a second.
  EXPECT_EQ(digest("abcdbcdecdefdefgefghfghighijhijkijkljklmklmnlmnomnopnopq"),
            "248D6A61D20638B8E5C026930C3E6039A33CE45964FF2167F6ECEDD419DB06C1");
}
