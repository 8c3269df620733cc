#include "app/Package.h"

#include <objbase.h>

#include <cstdio>
#include <span>

#include "app/ArchiveChecksum.h"
#include "app/PackageLayout.h"
#include "json/JReader.h"

namespace pv {

namespace {

// ByteSource over an open file handle.
class FileSource : public package::ByteSource {
 public:
  FileSource(HANDLE file, std::uint64_t size) : file_(file), size_(size) {}
  std::uint64_t Size() const override { return size_; }
  bool ReadAt(std::uint64_t offset, void* out, std::size_t count) override {
    if (offset > size_ || count > size_ - offset) return false;
    LARGE_INTEGER to;
    to.QuadPart = static_cast<LONGLONG>(offset);
    if (!::SetFilePointerEx(file_, to, nullptr, FILE_BEGIN)) return false;
    auto* p = static_cast<std::uint8_t*>(out);
    while (count > 0) {
      DWORD got = 0;
      const DWORD want = count > 0x40000000 ? 0x40000000 : static_cast<DWORD>(count);
      if (!::ReadFile(file_, p, want, &got, nullptr) || got == 0) return false;
      p += got;
      count -= got;
    }
    return true;
  }

 private:
  HANDLE file_;
  std::uint64_t size_;
};

pv::UniqueFile OpenForReading(const std::wstring& path) {
  return pv::UniqueFile(::CreateFileW(path.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING,
                                      FILE_FLAG_SEQUENTIAL_SCAN, nullptr));
}

std::uint64_t FileSize(HANDLE file) {
  LARGE_INTEGER size{};
  if (!::GetFileSizeEx(file, &size) || size.QuadPart < 0) return 0;
  return static_cast<std::uint64_t>(size.QuadPart);
}

// Reads the whole file from its start into `bytes` (sized to the file).
bool ReadAll(HANDLE file, std::uint64_t size, std::vector<std::uint8_t>& bytes) {
  LARGE_INTEGER zero{};
  if (!::SetFilePointerEx(file, zero, nullptr, FILE_BEGIN)) return false;
  bytes.resize(static_cast<std::size_t>(size));
  std::size_t done = 0;
  while (done < bytes.size()) {
    DWORD got = 0;
    const std::size_t left = bytes.size() - done;
    const DWORD want = left > (8u << 20) ? (8u << 20) : static_cast<DWORD>(left);
    if (!::ReadFile(file, bytes.data() + done, want, &got, nullptr)) return false;
    if (got == 0) break;
    done += got;
  }
  // A file that shrank while it was read is not the file we measured.
  return done == bytes.size();
}

bool WriteAll(HANDLE file, const std::uint8_t* data, std::size_t count) {
  while (count > 0) {
    DWORD wrote = 0;
    const DWORD want = count > (8u << 20) ? (8u << 20) : static_cast<DWORD>(count);
    if (!::WriteFile(file, data, want, &wrote, nullptr) || wrote == 0) return false;
    data += wrote;
    count -= wrote;
  }
  return true;
}

std::wstring TempPath() {
  wchar_t buffer[MAX_PATH + 1];
  const DWORD n = ::GetTempPathW(MAX_PATH + 1, buffer);
  return n && n <= MAX_PATH ? std::wstring(buffer, n) : std::wstring();
}

// The first 8 bytes of a new GUID as a little-endian 64-bit number.
std::uint64_t NewUniqueNumber() {
  GUID guid{};
  ::CoCreateGuid(&guid);
  return static_cast<std::uint64_t>(guid.Data1) | static_cast<std::uint64_t>(guid.Data2) << 32 |
         static_cast<std::uint64_t>(guid.Data3) << 48;
}

std::wstring TemporaryZipFolder(const std::wstring& installDir) {
  const std::wstring temp = TempPath();
  ULARGE_INTEGER freeToCaller{};
  if (!temp.empty() && ::GetDiskFreeSpaceExW(temp.c_str(), &freeToCaller, nullptr, nullptr) &&
      freeToCaller.QuadPart >= kTempFolderMinFree) {
    return temp;
  }
  return installDir;
}

}  // namespace

bool ReadSetupConfig(const std::wstring& path, JValue& document) {
  pv::UniqueFile file = OpenForReading(path);
  if (!file) return false;
  FileSource source(file.get(), FileSize(file.get()));
  const auto text = package::ReadConfigText(source);
  if (!text) return false;
  return JParse(text->c_str(), document);
}

PackageArchive ExtractPackageArchive(const std::wstring& ownPath, const std::wstring& installDir,
                                     const std::function<void()>& onLoaded) {
  PackageArchive out;
  pv::UniqueFile file = OpenForReading(ownPath);
  const std::uint64_t size = file ? FileSize(file.get()) : 0;
  std::uint32_t locator = 0;
  if (file && size <= 0xFFFFFFFFull) {
    FileSource source(file.get(), size);
    locator = package::ReadLocator(source);
  }
  if (locator == 0 || locator > size) {
    out.result = kPkgInvalid;
    return out;
  }
  if (!ReadAll(file.get(), size, out.image)) {
    out.result = kPkgReadFailed;
    out.image = {};
    return out;
  }
  file.reset();
  if (onLoaded) onLoaded();

  const package::PackageSpan span = package::CheckPackage(out.image, locator);
  if (span.result != kEngineOk) {
    out.result = span.result;
    out.image = {};
    return out;
  }
  out.locator = span.locator;
  out.configLength = span.configLength;

  // The configuration as this copy holds it, next to the bytes its checksum
  // covers: a damaged archive ends here, before anything is written.
  JValue config;
  const std::string configText(reinterpret_cast<const char*>(out.image.data()) + span.locator + 4, span.configLength);
  JParse(configText.c_str(), config);
  const auto archive = std::span<const std::uint8_t>(out.image).subspan(span.archiveOffset, span.archivePresent);
  const package::ArchiveCrcCheck crc = package::CheckArchiveCrc(config, archive, span.archiveLength);
  if (crc == package::ArchiveCrcCheck::kMismatch) {
    out.result = kPkgVerifyFailed;
    out.image = {};
    return out;
  }
  out.archiveVerified = crc == package::ArchiveCrcCheck::kMatches;

  wchar_t name[32];
  std::swprintf(name, 32, L"%016llX.zip", static_cast<unsigned long long>(NewUniqueNumber()));
  out.zipPath = TemporaryZipFolder(installDir) + L"\\" + name;
  out.zipFile.reset(::CreateFileW(out.zipPath.c_str(), GENERIC_READ | GENERIC_WRITE | DELETE, FILE_SHARE_READ, nullptr,
                                  CREATE_ALWAYS, FILE_ATTRIBUTE_TEMPORARY | FILE_FLAG_DELETE_ON_CLOSE, nullptr));
  // A write that fails (a full disk) must not pass a truncated archive on;
  // closing the handle deletes the partial file.
  if (!out.zipFile || !WriteAll(out.zipFile.get(), out.image.data() + span.archiveOffset, span.archivePresent)) {
    out.zipFile.reset();
    out.result = kPkgTempWriteFailed;
    out.image = {};
    return out;
  }
  LARGE_INTEGER zero{};
  ::SetFilePointerEx(out.zipFile.get(), zero, nullptr, FILE_BEGIN);
  return out;
}

bool WriteUninstallerImage(const std::vector<std::uint8_t>& image, std::uint32_t locator, const JValue& document,
                           HANDLE file) {
  const std::vector<std::uint8_t> uninstaller = package::ComposeUninstallerImage(image, locator, document.Dump());
  if (WriteAll(file, uninstaller.data(), uninstaller.size())) return true;
  // A half-written uninstaller would be found by the next install and fail
  // there; better none at all.
  const DWORD error = ::GetLastError();
  FILE_DISPOSITION_INFO disposition{};
  disposition.DeleteFile = TRUE;
  ::SetFileInformationByHandle(file, FileDispositionInfo, &disposition, sizeof disposition);
  ::SetLastError(error);
  return false;
}

}  // namespace pv
