#pragma once

#include <cstdint>
#include <cstdio>
#include <filesystem>
#include <string>
#include <vector>

namespace pv {

struct ZipBuildOptions {
  // 0: names in UTF-8, marked with general-purpose bit 11, read the same on
  // every system. Otherwise names are stored unmarked in this ANSI code page
  // (the legacy form, read in the installing system's code page).
  unsigned codePage = 0;
  int level = 9;  // deflate level, 1 to 9
};

struct ZipBuildStats {
  std::size_t folders = 0;
  std::size_t files = 0;
  std::uint64_t bytesIn = 0;
};

// Zips a product folder: every folder entry ("name/") before the files in it,
// sub-folders before the files next to them (so the top folder's files come
// last), names sorted byte-wise within a folder, forward slashes, deflate.
// False with a message when a name cannot be written in the code page or a
// file cannot be read.
bool BuildZipFromFolder(const std::filesystem::path& folder, const ZipBuildOptions& options,
                        std::vector<std::uint8_t>& zip, ZipBuildStats& stats, std::string& error);
// The same into a file opened for writing (OpenBinaryFile "w+b"): memory does
// not grow with the archive.
bool BuildZipFromFolder(const std::filesystem::path& folder, const ZipBuildOptions& options, std::FILE* zip,
                        ZipBuildStats& stats, std::string& error);

}  // namespace pv
