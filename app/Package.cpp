#include "app/Package.h"

#include <objbase.h>

#include <algorithm>
#include <cstdio>
#include <memory>
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

// Reads `count` bytes at `offset` into `bytes`, which it sizes to them.
// The buffer is allocated uninitialised: clearing pages only to overwrite
// them costs a fault and a clear per page.
bool ReadHead(HANDLE file, std::uint64_t count, std::unique_ptr<std::uint8_t[]>& bytes) {
  bytes.reset(new std::uint8_t[static_cast<std::size_t>(count)]);
  FileSource source(file, count);
  return source.ReadAt(0, bytes.get(), static_cast<std::size_t>(count));
}

// Streams `count` bytes of `file` from `offset` through `each` in pieces of
// one reused buffer; false when a read fails or `each` does.
bool ForEachPiece(HANDLE file, std::uint64_t offset, std::uint64_t count,
                  const std::function<bool(std::span<const std::uint8_t>)>& each) {
  constexpr std::size_t kPiece = 1u << 20;
  std::unique_ptr<std::uint8_t[]> buffer(new std::uint8_t[kPiece]);
  LARGE_INTEGER to;
  to.QuadPart = static_cast<LONGLONG>(offset);
  if (!::SetFilePointerEx(file, to, nullptr, FILE_BEGIN)) return false;
  while (count > 0) {
    const DWORD want = static_cast<DWORD>(std::min<std::uint64_t>(count, kPiece));
    DWORD got = 0;
    if (!::ReadFile(file, buffer.get(), want, &got, nullptr) || got == 0) return false;
    if (!each(std::span<const std::uint8_t>(buffer.get(), got))) return false;
    count -= got;
  }
  return true;
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
  // Held for the whole read and without write sharing: the bytes checked
  // are the bytes written, though they are read twice.
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
  // The head: the program image and the configuration with the lengths
  // around it. The archive is only streamed, so memory does not grow with
  // it.
  // L, read first, says where the head ends; the head is then read once.
  std::uint64_t headSize = std::min<std::uint64_t>(size, locator + 4ull);
  if (headSize == locator + 4ull) {
    std::uint8_t field[4];
    FileSource source(file.get(), size);
    if (!source.ReadAt(locator, field, sizeof field)) {
      out.result = kPkgReadFailed;
      return out;
    }
    headSize = std::min<std::uint64_t>(size, locator + 8ull + package::ReadU32(field));
  }
  std::unique_ptr<std::uint8_t[]> head;
  if (!ReadHead(file.get(), headSize, head)) {
    out.result = kPkgReadFailed;
    return out;
  }
  if (onLoaded) onLoaded();

  const std::span<const std::uint8_t> headBytes(head.get(), static_cast<std::size_t>(headSize));
  const package::PackageSpan span = package::CheckPackage(headBytes, size, locator);
  if (span.result != kEngineOk) {
    out.result = span.result;
    return out;
  }
  out.locator = span.locator;
  out.configLength = span.configLength;

  // The configuration's checksum against the archive bytes present: a
  // damaged archive ends here, before anything is written.
  JValue config;
  const std::string configText(reinterpret_cast<const char*>(head.get()) + span.locator + 4, span.configLength);
  JParse(configText.c_str(), config);
  package::ArchiveCrcCheck crc = package::ArchiveCrcCheck::kAbsent;
  if (config.Has(package::kArchiveCrcKey)) {
    std::uint32_t sum = package::ArchiveCrc({});
    if (!ForEachPiece(file.get(), span.archiveOffset, span.archivePresent, [&](std::span<const std::uint8_t> piece) {
          sum = package::ArchiveCrc(sum, piece);
          return true;
        })) {
      out.result = kPkgReadFailed;
      return out;
    }
    crc = package::CheckArchiveCrc(config, sum, span.archivePresent, span.archiveLength);
  }
  if (crc == package::ArchiveCrcCheck::kMismatch) {
    out.result = kPkgVerifyFailed;
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
  bool writeFailed = false;
  const bool written =
      out.zipFile &&
      ForEachPiece(file.get(), span.archiveOffset, span.archivePresent, [&](std::span<const std::uint8_t> piece) {
        writeFailed = !WriteAll(out.zipFile.get(), piece.data(), piece.size());
        return !writeFailed;
      });
  if (!written) {
    out.result = !out.zipFile || writeFailed ? kPkgTempWriteFailed : kPkgReadFailed;
    out.zipFile.reset();
    return out;
  }
  LARGE_INTEGER zero{};
  ::SetFilePointerEx(out.zipFile.get(), zero, nullptr, FILE_BEGIN);
  // What the uninstaller is made of: the program image, the first P bytes.
  out.image.assign(head.get(), head.get() + span.locator);
  return out;
}

bool WriteUninstallerImage(std::span<const std::uint8_t> image, std::uint32_t locator, const JValue& document,
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
