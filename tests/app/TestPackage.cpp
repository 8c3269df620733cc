#include <gtest/gtest.h>
#include <windows.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <set>

#include "app/Package.h"
#include "app/PackageLayout.h"
#include "tests/app/PackageImages.h"
#include "ui/Handles.h"

using namespace pv;

namespace fs = std::filesystem;
using namespace testing_images;

namespace {

// A folder under the temporary folder that removes itself.
class TempDir {
 public:
  TempDir() {
    path_ = fs::temp_directory_path() /
            ("pivset-test-" + std::to_string(::GetCurrentProcessId()) + "-" + std::to_string(counter_++));
    fs::create_directories(path_);
  }
  ~TempDir() {
    std::error_code ec;
    fs::remove_all(path_, ec);
  }
  const fs::path& path() const { return path_; }

 private:
  static inline int counter_ = 0;
  fs::path path_;
};

// Sets an environment variable for one test and puts the old value back.
class ScopedEnv {
 public:
  ScopedEnv(const wchar_t* name, const std::wstring& value) : name_(name) {
    wchar_t old[1024];
    const DWORD n = ::GetEnvironmentVariableW(name, old, 1024);
    if (n > 0 && n < 1024) old_ = std::wstring(old, n), had_ = true;
    ::SetEnvironmentVariableW(name, value.c_str());
  }
  ~ScopedEnv() { ::SetEnvironmentVariableW(name_, had_ ? old_.c_str() : nullptr); }

 private:
  const wchar_t* name_;
  std::wstring old_;
  bool had_ = false;
};

fs::path WriteImage(const fs::path& dir, const std::vector<std::uint8_t>& bytes, const char* name = "setup.exe") {
  const fs::path path = dir / name;
  std::ofstream(path, std::ios::binary)
      .write(reinterpret_cast<const char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
  return path;
}

std::vector<std::uint8_t> ReadBack(HANDLE file) {
  LARGE_INTEGER zero{};
  ::SetFilePointerEx(file, zero, nullptr, FILE_BEGIN);
  std::vector<std::uint8_t> bytes(1 << 16);
  DWORD got = 0;
  ::ReadFile(file, bytes.data(), static_cast<DWORD>(bytes.size()), &got, nullptr);
  bytes.resize(got);
  return bytes;
}

std::set<fs::path> ZipsIn(const fs::path& dir) {
  std::set<fs::path> zips;
  std::error_code ec;
  for (const auto& e : fs::directory_iterator(dir, ec))
    if (e.path().extension() == ".zip") zips.insert(e.path());
  return zips;
}

}  // namespace

TEST(ReadSetupConfig, ReadsThePackageOrFailsCleanly) {
  TempDir dir;
  JValue doc;
  ASSERT_TRUE(ReadSetupConfig(WriteImage(dir.path(), MakeImage()).wstring(), doc));
  EXPECT_EQ(doc.Find("mode").ToInt(), 1);

  JValue untouched;
  EXPECT_FALSE(ReadSetupConfig((dir.path() / "missing.exe").wstring(), untouched));
  EXPECT_FALSE(ReadSetupConfig(WriteImage(dir.path(), MakeImage({.locator = 0}), "a.exe").wstring(), untouched));
  EXPECT_FALSE(ReadSetupConfig(WriteImage(dir.path(), {'M', 'Z', 1, 2}, "b.exe").wstring(), untouched));
  EXPECT_FALSE(
      ReadSetupConfig(WriteImage(dir.path(), MakeImage({.config = "{\"mode\":"}), "c.exe").wstring(), untouched));
  // A configuration without "mode" still reads; the start-up check refuses it.
  JValue noMode;
  EXPECT_TRUE(ReadSetupConfig(WriteImage(dir.path(), MakeImage({.config = "{}"}), "d.exe").wstring(), noMode));
  EXPECT_FALSE(noMode.Has("mode"));
}

TEST(ExtractPackageArchive, WritesTheArchiveToAnExclusiveSelfDeletingTempFile) {
  TempDir dir, install;
  const fs::path setup = WriteImage(dir.path(), MakeImage());
  int loaded = 0;
  PackageArchive archive = ExtractPackageArchive(setup.wstring(), install.path().wstring(), [&] { ++loaded; });
  ASSERT_EQ(archive.result, kEngineOk);
  EXPECT_EQ(loaded, 1);
  EXPECT_EQ(archive.locator, kImageEnd);
  EXPECT_EQ(archive.configLength, 11u);
  EXPECT_EQ(archive.image.size(), kImageEnd);  // the program image: what the uninstaller is made of

  // "%s\\%016I64X.zip" in the temporary folder (which ends with a backslash).
  const fs::path zip(archive.zipPath);
  const std::wstring name = zip.filename().wstring();
  ASSERT_EQ(name.size(), 20u);
  EXPECT_EQ(name.substr(16), L".zip");
  EXPECT_EQ(name.find_first_not_of(L"0123456789ABCDEF"), 16u);
  wchar_t temp[MAX_PATH + 1];
  ::GetTempPathW(MAX_PATH + 1, temp);
  EXPECT_EQ(archive.zipPath.rfind(std::wstring(temp) + L"\\", 0), 0u);
  EXPECT_TRUE(fs::exists(zip));

  const auto bytes = ReadBack(archive.zipFile.get());
  EXPECT_EQ(std::string(bytes.begin(), bytes.end()), "PK-archive-bytes");

  // Nobody else may change or delete it while it is held.
  pv::UniqueFile other(::CreateFileW(archive.zipPath.c_str(), GENERIC_WRITE,
                                     FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr, OPEN_EXISTING, 0,
                                     nullptr));
  EXPECT_FALSE(other);
  EXPECT_FALSE(::DeleteFileW(archive.zipPath.c_str()));

  archive.zipFile.reset();
  EXPECT_FALSE(fs::exists(zip));
}

TEST(ExtractPackageArchive, PackageErrorsLeaveNoTemporaryFile) {
  TempDir dir, install;
  const auto before = ZipsIn(fs::temp_directory_path());
  struct Case {
    ImagePlan plan;
    EngineResult want;
  };
  const Case cases[] = {
      {{.locator = 0}, kPkgInvalid},
      {{.locator = 0x7FFFFFF0}, kPkgInvalid},
      {{.withArchive = false}, kPkgContentInvalid},
      {{.archiveLengthField = 21}, kPkgContentInvalid},
  };
  int i = 0;
  for (const Case& c : cases) {
    const fs::path setup = WriteImage(dir.path(), MakeImage(c.plan), ("s" + std::to_string(i++) + ".exe").c_str());
    int loaded = 0;
    const PackageArchive archive = ExtractPackageArchive(setup.wstring(), install.path().wstring(), [&] { ++loaded; });
    EXPECT_EQ(archive.result, c.want) << i;
    EXPECT_TRUE(archive.image.empty()) << i;
    EXPECT_FALSE(archive.zipFile) << i;
    EXPECT_EQ(loaded, c.want == kPkgInvalid ? 0 : 1) << i;
  }
  auto bad = MakeImage();
  package::WriteU32(bad.data() + kImageEnd, 0xFFFFFFFF);
  EXPECT_EQ(ExtractPackageArchive(WriteImage(dir.path(), bad, "l.exe").wstring(), install.path().wstring()).result,
            kPkgConfigInvalid);
  EXPECT_EQ(ExtractPackageArchive((dir.path() / "none.exe").wstring(), install.path().wstring()).result, kPkgInvalid);
  EXPECT_EQ(ZipsIn(fs::temp_directory_path()), before);
  EXPECT_TRUE(ZipsIn(install.path()).empty());
}

TEST(ExtractPackageArchive, ArchiveLengthUpToFourTooLargeWritesWhatIsThere) {
  TempDir dir, install;
  const fs::path setup = WriteImage(dir.path(), MakeImage({.archiveLengthField = 20}));
  PackageArchive archive = ExtractPackageArchive(setup.wstring(), install.path().wstring());
  ASSERT_EQ(archive.result, kEngineOk);
  EXPECT_EQ(ReadBack(archive.zipFile.get()).size(), 16u);
}

TEST(ExtractPackageArchive, WithoutAUsableTemporaryFolderTheInstallFolderIsUsed) {
  TempDir dir, install;
  const fs::path setup = WriteImage(dir.path(), MakeImage());
  // GetTempPath takes TMP first; a folder that does not exist has no free
  // space to report, like a full drive.
  ScopedEnv tmp(L"TMP", (dir.path() / "no-such-folder").wstring() + L"\\");
  {
    PackageArchive archive = ExtractPackageArchive(setup.wstring(), install.path().wstring());
    ASSERT_EQ(archive.result, kEngineOk);
    EXPECT_EQ(fs::path(archive.zipPath).parent_path(), install.path());
    EXPECT_EQ(ZipsIn(install.path()).size(), 1u);
  }
  EXPECT_TRUE(ZipsIn(install.path()).empty());
  // And when the install folder does not exist yet either: code 6.
  const PackageArchive failed = ExtractPackageArchive(setup.wstring(), (install.path() / "missing").wstring());
  EXPECT_EQ(failed.result, kPkgTempWriteFailed);
  EXPECT_TRUE(failed.image.empty());
}

namespace {

// "unins000.exe" of `folder` written as the install engine writes it.
bool WriteUninstallerInto(const std::vector<std::uint8_t>& image, std::uint32_t locator, const JValue& document,
                          const fs::path& folder) {
  pv::UniqueFile file(::CreateFileW((folder / "unins000.exe").wstring().c_str(), GENERIC_WRITE | DELETE, 0, nullptr,
                                    CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr));
  return file && WriteUninstallerImage(image, locator, document, file.get());
}

}  // namespace

TEST(WriteUninstallerImage, WritesPrefixAndDocumentThatReadsBack) {
  TempDir install;
  const auto image = MakeImage();
  JValue doc;
  doc.Member("mode") = JValue(0);
  doc.Member("setup").Member("root") = JValue("QzpcQQ==");
  EXPECT_TRUE(WriteUninstallerInto(image, kImageEnd, doc, install.path()));
  const fs::path path = install.path() / "unins000.exe";
  ASSERT_TRUE(fs::exists(path));
  EXPECT_EQ(fs::file_size(path), kImageEnd + 4 + doc.Dump().size());
  JValue back;
  ASSERT_TRUE(ReadSetupConfig(path.wstring(), back));
  EXPECT_EQ(back.Find("mode").Type(), JInt);
  EXPECT_EQ(back.Find("mode").ToInt(), 0);
  EXPECT_EQ(back.Dump(), doc.Dump());
}

// Run by tests/tools/packed-installer.sh with an installer made by the
// package builder (and signed): the program reads what the builder wrote.
TEST(PackedInstaller, ReadsTheBuildersOutput) {
  const char* path = std::getenv("PIVSET_INSTALLER");
  if (!path) GTEST_SKIP() << "PIVSET_INSTALLER not set";
  const std::wstring installer = fs::u8path(path).wstring();
  JValue doc;
  ASSERT_TRUE(ReadSetupConfig(installer, doc));
  EXPECT_TRUE(doc.Has("mode"));
  EXPECT_NE(doc.Find("mode").ToInt(), 0);
  TempDir install;
  PackageArchive archive = ExtractPackageArchive(installer, install.path().wstring());
  ASSERT_EQ(archive.result, kEngineOk);
  const auto head = ReadBack(archive.zipFile.get());
  ASSERT_GE(head.size(), 4u);
  EXPECT_EQ(std::string(head.begin(), head.begin() + 4), std::string("PK\x03\x04", 4));
  EXPECT_TRUE(archive.archiveVerified);  // the builder's checksum
  // The uninstaller image of this installer, for the caller to look at.
  if (const char* out = std::getenv("PIVSET_UNINSTALLER_DIR")) {
    JValue document;
    document.Member("mode") = JValue(0);
    WriteUninstallerInto(archive.image, archive.locator, document, fs::u8path(out));
  }
}

// Cuts of the real installer: every offset of the header and around the
// package fields, and samples through the image and the archive. Each cut
// reads or fails as its place says; none reads past the end.
TEST(PackedInstaller, EveryCutFailsWithTheCodeOfItsPlace) {
  const char* path = std::getenv("PIVSET_INSTALLER");
  if (!path) GTEST_SKIP() << "PIVSET_INSTALLER not set";
  std::ifstream in(fs::u8path(path), std::ios::binary);
  const std::vector<std::uint8_t> whole((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
  package::BufferSource source(whole);
  const std::uint32_t P = package::ReadLocator(source);
  const package::PackageSpan span = package::CheckPackage(whole, P);
  ASSERT_EQ(span.result, kEngineOk);
  const std::size_t L = span.configLength, end = span.archiveOffset + span.archiveLength;
  std::set<std::size_t> cuts;
  for (std::size_t c = 0; c <= 256; ++c) cuts.insert(c);
  for (std::size_t c = P - 8; c <= P + 16 + L; ++c) cuts.insert(c);
  for (std::size_t c = end - 8; c < end; ++c) cuts.insert(c);
  for (std::size_t c = 300; c < end; c += 9973) cuts.insert(c);
  TempDir dir, install;
  const fs::path file = dir.path() / "cut.exe";
  for (const std::size_t cut : cuts) {
    SCOPED_TRACE(cut);
    std::ofstream(file, std::ios::binary | std::ios::trunc)
        .write(reinterpret_cast<const char*>(whole.data()), static_cast<std::streamsize>(cut));
    JValue doc;
    EXPECT_EQ(ReadSetupConfig(file.wstring(), doc), cut >= P + 4 + L);
    EngineResult want = kEngineOk;
    if (cut < P)
      want = kPkgInvalid;
    else if (cut < P + 4 + L)
      want = kPkgConfigInvalid;
    else if (cut + 4 < end)
      want = kPkgContentInvalid;
    else if (cut < end)
      want = kPkgVerifyFailed;  // the builder's checksum covers every archive byte
    const PackageArchive archive = ExtractPackageArchive(file.wstring(), install.path().wstring());
    EXPECT_EQ(archive.result, want);
  }
  EXPECT_TRUE(ZipsIn(install.path()).empty());
}
