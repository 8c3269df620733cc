#pragma once

// Builds small package images for the tests: a 64-byte DOS header whose
// e_lfanew is 0x80, the locator at 0x7C, filler up to P, then the package.

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "app/PackageLayout.h"

using namespace pv;

namespace testing_images {

inline constexpr std::uint32_t kLfanew = 0x80;
inline constexpr std::uint32_t kImageEnd = 0x200;

struct ImagePlan {
  std::uint32_t locator = kImageEnd;
  std::string config = "{\"mode\":1}\n";
  bool withArchive = true;
  std::string archive = "PK-archive-bytes";
  std::optional<std::uint32_t> archiveLengthField;  // stored Z, when not the real length
};

inline std::vector<std::uint8_t> MakeImage(const ImagePlan& plan = {}) {
  std::vector<std::uint8_t> image(kImageEnd, 0xCC);
  image[0] = 'M';
  image[1] = 'Z';
  package::WriteU32(image.data() + package::kLfanewOffset, kLfanew);
  package::WriteU32(image.data() + kLfanew - 4, plan.locator);
  image[kLfanew] = 'P';
  image[kLfanew + 1] = 'E';
  image[kLfanew + 2] = 0;
  image[kLfanew + 3] = 0;
  auto put32 = [&](std::uint32_t v) {
    std::uint8_t b[4];
    package::WriteU32(b, v);
    image.insert(image.end(), b, b + 4);
  };
  put32(static_cast<std::uint32_t>(plan.config.size()));
  image.insert(image.end(), plan.config.begin(), plan.config.end());
  if (plan.withArchive) {
    put32(plan.archiveLengthField.value_or(static_cast<std::uint32_t>(plan.archive.size())));
    image.insert(image.end(), plan.archive.begin(), plan.archive.end());
  }
  return image;
}

}  // namespace testing_images
