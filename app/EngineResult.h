#pragma once

namespace pv {

// Result of the install engine and of the package reading it starts with.
// 0 is success; every other code has one message for the user, in the
// strings tables (engine/Texts.h).
enum EngineResult : int {
  kEngineOk = 0,
  kPkgInvalid = 1,            // own file not readable, locator 0 or past the end
  kPkgReadFailed = 2,         // reading the file into memory failed
  kPkgConfigInvalid = 3,      // the length field and the configuration do not fit
  kPkgConfigReadFailed = 4,   // not raised
  kPkgContentInvalid = 5,     // no archive length, or the archive length is too large
  kPkgTempWriteFailed = 6,    // the temporary ZIP file could not be written
  kPkgArchiveReadFailed = 7,  // not raised
  kPkgExtractFailed = 8,      // the archive could not be opened or extracted
  kPkgVerifyFailed = 9,       // the archive does not match the configuration's "zcrc32"
  kPkgDownloadFailed = 10,    // not raised
  // Not a package error: a newer version of the product is registered and
  // the run was not allowed to replace it; nothing was touched. The code
  // Windows Installer gives for another version already installed.
  kNewerVersionInstalled = 1638,
};

inline constexpr int kEngineResultCount = 10;

}  // namespace pv
