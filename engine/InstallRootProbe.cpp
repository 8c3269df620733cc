#include "engine/InstallRootProbe.h"

#include <windows.h>

#include <knownfolders.h>
#include <shlobj.h>

#include <cwchar>

#include "engine/FileOps.h"
#include "engine/SpecialFolders.h"

namespace pv {

namespace {

static_assert(kDriveFixed == DRIVE_FIXED);

// A drive counts only when a file can really be written there: a full or
// write-protected disk fails here.
void Probe(DriveProbe& drive) {
  // The root followed by 16 upper-case hexadecimal digits, no extension.
  std::wstring probe = drive.root;
  std::uint64_t number = UniqueNumber64();
  for (int shift = 60; shift >= 0; shift -= 4) probe.push_back(L"0123456789ABCDEF"[(number >> shift) & 0xF]);
  static const std::uint8_t kTest[] = {'t', 'e', 's', 't'};
  if (!WriteWholeFile(probe, kTest)) return;
  DeletePath(probe);
  ULARGE_INTEGER available{};
  if (!::GetDiskFreeSpaceExW(drive.root.c_str(), &available, nullptr, nullptr)) return;
  drive.bytesFree = available.QuadPart;
  drive.probeSucceeded = true;
}

}  // namespace

std::vector<DriveProbe> ProbeDrives() {
  std::vector<DriveProbe> drives;
  // The list needs 4 characters per drive; ask for its size rather than
  // cutting it off at some fixed length.
  DWORD needed = ::GetLogicalDriveStringsW(0, nullptr);
  if (needed == 0) return drives;
  std::vector<wchar_t> list(needed + 1, L'\0');
  DWORD length = ::GetLogicalDriveStringsW(static_cast<DWORD>(list.size()), list.data());
  if (length == 0 || length >= list.size()) return drives;

  for (const wchar_t* root = list.data(); *root; root += wcslen(root) + 1) {
    DriveProbe drive;
    drive.root = root;
    drive.type = ::GetDriveTypeW(root);
    DWORD attributes = ::GetFileAttributesW(root);
    drive.readOnly = attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_READONLY);
    if (drive.type == DRIVE_FIXED && attributes != INVALID_FILE_ATTRIBUTES && !drive.readOnly) Probe(drive);
    drives.push_back(std::move(drive));
  }
  return drives;
}

std::wstring ProgramFilesFolder() {
  const std::wstring x86 = KnownFolderPath(FOLDERID_ProgramFilesX86);
  return x86.empty() ? SpecialFolder(CSIDL_PROGRAM_FILES) : x86;
}

std::wstring ChooseInstallRoot() { return ChooseInstallRootFrom(ProbeDrives(), WindowsFolder(), ProgramFilesFolder()); }

}  // namespace pv
