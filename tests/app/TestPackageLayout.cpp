#include <gtest/gtest.h>

#include <span>

#include "app/PackageLayout.h"
#include "tests/app/PackageImages.h"

using namespace pv;

using namespace package;
using namespace testing_images;

namespace {

std::optional<std::string> ConfigOf(std::span<const std::uint8_t> bytes) {
  BufferSource source(bytes);
  return ReadConfigText(source);
}

}  // namespace

TEST(PackageLayout, ReadsTheConfigurationOfAWholeInstaller) {
  const auto image = MakeImage();
  EXPECT_EQ(ConfigOf(image), "{\"mode\":1}\n");
  const PackageSpan span = CheckPackage(image, kImageEnd);
  EXPECT_EQ(span.result, kEngineOk);
  EXPECT_EQ(span.configLength, 11u);
  EXPECT_EQ(span.archiveOffset, kImageEnd + 8 + 11);
  EXPECT_EQ(span.archivePresent, 16u);
}

// Every cut of a small installer: the header read succeeds exactly while the
// configuration is whole, and the whole-file checks give the code for where
// the cut falls, never reading past the end (ASan runs this natively).
TEST(PackageLayout, EveryTruncationFailsCleanlyWithItsCode) {
  const ImagePlan plan;
  const auto image = MakeImage(plan);
  const std::size_t P = kImageEnd, L = plan.config.size(), Z = plan.archive.size();
  for (std::size_t cut = 0; cut <= image.size(); ++cut) {
    std::vector<std::uint8_t> part(image.begin(), image.begin() + static_cast<std::ptrdiff_t>(cut));
    const auto config = ConfigOf(part);
    EXPECT_EQ(config.has_value(), cut >= P + 4 + L) << "cut " << cut;

    BufferSource source(part);
    const std::uint32_t locator = ReadLocator(source);
    const PackageSpan span = CheckPackage(part, locator);
    EngineResult want;
    if (cut < kLfanew)
      want = kPkgInvalid;  // no locator to read
    else if (cut < P)
      want = kPkgInvalid;  // locator past the end
    else if (cut < P + 4 + L)
      want = kPkgConfigInvalid;
    else if (cut < P + 4 + L + Z)
      want = kPkgContentInvalid;  // no length field, or Z too large by more than 4
    else
      want = kEngineOk;
    EXPECT_EQ(span.result, want) << "cut " << cut;
    if (want == kEngineOk) {
      EXPECT_EQ(span.archivePresent, std::min(Z, cut - (P + 8 + L))) << "cut " << cut;
    }
    // The same file read as a head of `cut` bytes: whatever the file holds
    // up to its archive is taken from the head; a head cut before that is a
    // failed read, never a read past its end.
    const PackageSpan whole =
        CheckPackage(std::span<const std::uint8_t>(image).first(std::min(cut, P + 8 + L)), image.size(), kImageEnd);
    if (cut >= P + 8 + L) {
      EXPECT_EQ(whole.result, kEngineOk) << "cut " << cut;
      EXPECT_EQ(whole.archivePresent, Z) << "cut " << cut;
    } else {
      EXPECT_EQ(whole.result, kPkgReadFailed) << "cut " << cut;
    }
  }
}

TEST(PackageLayout, LocatorEdgeCases) {
  // Locator 0: no package at all.
  auto none = MakeImage({.locator = 0});
  EXPECT_FALSE(ConfigOf(none));
  EXPECT_EQ(CheckPackage(none, 0).result, kPkgInvalid);

  // Locator equal to the file size: the header read refuses (P < S), the
  // whole-file check passes the locator test and finds no length field.
  auto image = MakeImage();
  const auto size = static_cast<std::uint32_t>(image.size());
  WriteU32(image.data() + kLfanew - 4, size);
  EXPECT_FALSE(ConfigOf(image));
  EXPECT_EQ(CheckPackage(image, size).result, kPkgConfigInvalid);
  EXPECT_EQ(CheckPackage(image, size + 1).result, kPkgInvalid);

  // Locator pointing into the image: whatever length it finds must be checked.
  // Here the "length" read at offset 8 is filler, far larger than the file.
  WriteU32(image.data() + kLfanew - 4, 8);
  EXPECT_FALSE(ConfigOf(image));
  EXPECT_EQ(CheckPackage(image, 8).result, kPkgConfigInvalid);

  // e_lfanew too small to hold a locator in front of it, or past the end.
  for (std::uint32_t lfanew : {0u, 3u, 0xFFFFFFFFu, 0xFFFFFFFCu, static_cast<std::uint32_t>(image.size()) + 1}) {
    auto bad = MakeImage();
    WriteU32(bad.data() + kLfanewOffset, lfanew);
    BufferSource source(bad);
    EXPECT_EQ(ReadLocator(source), 0u) << lfanew;
    EXPECT_FALSE(ConfigOf(bad)) << lfanew;
  }
}

TEST(PackageLayout, LengthsNearTheirLimits) {
  // Configuration filling the file up to its end (4 + L = S - P): the
  // configuration fits, no archive length follows.
  const auto noArchive = MakeImage({.withArchive = false});
  EXPECT_TRUE(ConfigOf(noArchive));
  EXPECT_EQ(CheckPackage(noArchive, kImageEnd).result, kPkgContentInvalid);

  for (std::uint32_t huge : {0xFFFFFFFFu, 0xFFFFFFFCu, 0x80000000u}) {
    auto image = MakeImage();
    WriteU32(image.data() + kImageEnd, huge);
    EXPECT_FALSE(ConfigOf(image)) << huge;
    EXPECT_EQ(CheckPackage(image, kImageEnd).result, kPkgConfigInvalid) << huge;
    EXPECT_EQ(CheckPackage(MakeImage({.archiveLengthField = huge}), kImageEnd).result, kPkgContentInvalid) << huge;
  }

  // Z up to 4 larger than what follows is accepted with only the present
  // bytes; one more is refused.
  for (std::uint32_t extra = 0; extra <= 5; ++extra) {
    const ImagePlan plan{.archiveLengthField = 16 + extra};
    const PackageSpan span = CheckPackage(MakeImage(plan), kImageEnd);
    if (extra <= 4) {
      EXPECT_EQ(span.result, kEngineOk) << extra;
      EXPECT_EQ(span.archiveLength, 16 + extra);
      EXPECT_EQ(span.archivePresent, 16u);
    } else {
      EXPECT_EQ(span.result, kPkgContentInvalid) << extra;
    }
  }
}

TEST(PackageLayout, UninstallerImageIsPrefixLengthAndDocument) {
  // A PE32+ optional header of a signed image: checksum and certificate
  // table entry set.
  auto image = MakeImage();
  const std::size_t optional = kLfanew + 24, checksum = optional + 64, security = optional + 112 + 4 * 8;
  image[kLfanew + 20] = 0xF0;
  image[kLfanew + 21] = 0;
  image[optional] = 0x0B;
  image[optional + 1] = 0x02;
  WriteU32(image.data() + optional + 108, 16);
  WriteU32(image.data() + checksum, 0x0004A3F1);
  WriteU32(image.data() + security, 0x5000);
  WriteU32(image.data() + security + 4, 0x1A28);
  const std::string doc = "{\"mode\":0}\n";
  const auto out = ComposeUninstallerImage(image, kImageEnd, doc);
  ASSERT_EQ(out.size(), kImageEnd + 4 + doc.size());
  // The copy has no certificate table: its entry and the checksum are
  // cleared, every other header byte is the installer's.
  auto expected = image;
  WriteU32(expected.data() + checksum, 0);
  WriteU32(expected.data() + security, 0);
  WriteU32(expected.data() + security + 4, 0);
  EXPECT_TRUE(std::equal(expected.begin(), expected.begin() + kImageEnd, out.begin()));
  // A PE32 header has them 16 bytes earlier; a header that says it has no
  // more than four data directories keeps the bytes where entry 4 would be.
  auto pe32 = image;
  pe32[optional] = 0x0B;
  pe32[optional + 1] = 0x01;
  WriteU32(pe32.data() + optional + 92, 16);
  WriteU32(pe32.data() + security - 16, 0x5000);
  EXPECT_EQ(ReadU32(ComposeUninstallerImage(pe32, kImageEnd, doc).data() + security - 16), 0u);
  WriteU32(pe32.data() + optional + 92, 4);
  EXPECT_EQ(ReadU32(ComposeUninstallerImage(pe32, kImageEnd, doc).data() + security - 16), 0x5000u);
  EXPECT_EQ(ConfigOf(out), doc);
  EXPECT_EQ(CheckPackage(out, kImageEnd).result, kPkgContentInvalid);  // no archive

  // The locator is written even when the copied header did not hold it.
  auto blank = image;
  WriteU32(blank.data() + kLfanew - 4, 0);
  EXPECT_EQ(ConfigOf(ComposeUninstallerImage(blank, kImageEnd, doc)), doc);
}
