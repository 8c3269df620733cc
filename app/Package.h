#pragma once

#include <windows.h>

#include <cstdint>
#include <functional>
#include <span>
#include <string>
#include <vector>

#include "app/EngineResult.h"
#include "json/JValue.h"
#include "ui/Handles.h"

namespace pv {

// The configuration-header read: finds the package behind the program image
// of `path` and parses its configuration. Reads only the header, the
// locator, the length and the configuration text.
bool ReadSetupConfig(const std::wstring& path, JValue& document);

// The temporary ZIP file the archive was written to. The handle is the only
// one: it denies writing and deleting to everyone else and deletes the file
// when it is closed, so the archive cannot be swapped before it is extracted
// and never outlives the run, even when the process is killed.
struct PackageArchive {
  EngineResult result = kEngineOk;
  std::vector<std::uint8_t> image;  // the running file's program image: its first P bytes
  std::uint32_t locator = 0;        // P
  std::uint32_t configLength = 0;   // L
  bool archiveVerified = false;     // the configuration's checksum matched the archive
  std::wstring zipPath;
  pv::UniqueFile zipFile;
};

// First stage of the install: reads the running file's head (the image and
// the configuration), checks the package and the archive's checksum when the
// configuration has one (code 9 when it does not match), and writes the
// archive to a temporary ZIP file (in the temporary folder when it has 600
// MiB free, otherwise in `installDir`). The archive is streamed twice, for
// the checksum and for the copy, through one buffer while the file is held
// open without write sharing, so memory does not grow with it. `onLoaded`
// runs once the head is read, before its checks.
PackageArchive ExtractPackageArchive(const std::wstring& ownPath, const std::wstring& installDir,
                                     const std::function<void()>& onLoaded = {});

// Writes the uninstaller, the first P bytes of the running image and the
// uninstall document, into `file`: "unins000.exe" of the install folder,
// opened empty for writing and with DELETE by the caller (who makes sure it
// is no link). False (with the thread's last error) when it could not be
// written whole; the file is then deleted, and the install goes on without
// an uninstaller.
bool WriteUninstallerImage(std::span<const std::uint8_t> image, std::uint32_t locator, const JValue& document,
                           HANDLE file);

// The temporary ZIP goes to the temporary folder only with this much free.
inline constexpr std::uint64_t kTempFolderMinFree = 600ull * 1024 * 1024;

}  // namespace pv
