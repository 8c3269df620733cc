#include <gtest/gtest.h>

#include <vector>

#include "app/ArchiveChecksum.h"
#include "json/JValue.h"

using namespace pv;

using namespace package;

TEST(ArchiveChecksum, MatchesOnlyTheBytesItWasMadeFrom) {
  std::vector<std::uint8_t> archive(100000);
  for (std::size_t i = 0; i < archive.size(); ++i) archive[i] = static_cast<std::uint8_t>(i * 7 + i / 300);
  EXPECT_EQ(FormatArchiveCrc(ArchiveCrc(std::vector<std::uint8_t>{'1', '2', '3', '4', '5', '6', '7', '8', '9'})),
            "cbf43926");  // the CRC-32 check value
  EXPECT_EQ(FormatArchiveCrc(0x0000ABCD), "0000abcd");

  JValue config;
  config.Member("mode") = JValue(1);
  EXPECT_EQ(CheckArchiveCrc(config, archive, archive.size()), ArchiveCrcCheck::kAbsent);
  config.Member(kArchiveCrcKey) = JValue(FormatArchiveCrc(ArchiveCrc(archive)));
  EXPECT_EQ(CheckArchiveCrc(config, archive, archive.size()), ArchiveCrcCheck::kMatches);
  // Taken piece by piece, as the installer streams its archive.
  std::uint32_t crc = ArchiveCrc({});
  for (std::size_t at = 0; at < archive.size(); at += 4096)
    crc = ArchiveCrc(
        crc, std::span<const std::uint8_t>(archive).subspan(at, std::min<std::size_t>(4096, archive.size() - at)));
  EXPECT_EQ(crc, ArchiveCrc(archive));
  EXPECT_EQ(CheckArchiveCrc(config, crc, archive.size(), archive.size()), ArchiveCrcCheck::kMatches);
  EXPECT_EQ(CheckArchiveCrc(config, crc, archive.size() - 1, archive.size()), ArchiveCrcCheck::kMismatch);

  auto flipped = archive;
  flipped[54321] ^= 0x10;
  EXPECT_EQ(CheckArchiveCrc(config, flipped, flipped.size()), ArchiveCrcCheck::kMismatch);
  // Bytes missing at the end (a length up to 4 too large is let through to
  // this point), and a value that is not our text.
  EXPECT_EQ(CheckArchiveCrc(config, std::span(archive).first(archive.size() - 2), archive.size()),
            ArchiveCrcCheck::kMismatch);
  config.Member(kArchiveCrcKey) = JValue(static_cast<std::int64_t>(ArchiveCrc(archive)));
  EXPECT_EQ(CheckArchiveCrc(config, archive, archive.size()), ArchiveCrcCheck::kMismatch);
  config.Member(kArchiveCrcKey) = JValue(FormatArchiveCrc(ArchiveCrc(archive)).substr(0, 7));
  EXPECT_EQ(CheckArchiveCrc(config, archive, archive.size()), ArchiveCrcCheck::kMismatch);
}
