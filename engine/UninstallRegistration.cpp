#include "engine/UninstallRegistration.h"

#include <windows.h>

#include <algorithm>

#include "engine/Product.h"
#include "engine/ProductVersion.h"
#include "engine/RegKey.h"

namespace pv {

namespace {

// KEY_READ | KEY_WRITE (0x2001F) in the 32-bit view.
constexpr REGSAM kAccess = KEY_READ | KEY_WRITE | KEY_WOW64_32KEY;
constexpr std::size_t kMaxUninstallString = 520;
constexpr std::size_t kMaxVersionText = 64;

// Today's local date as the number yyyymmdd reads as text.
std::wstring Today() {
  SYSTEMTIME now{};
  ::GetLocalTime(&now);
  wchar_t text[16];
  ::wsprintfW(text, L"%04u%02u%02u", now.wYear, now.wMonth, now.wDay);
  return text;
}

bool DeleteSubKeyOf(HKEY hive, const wchar_t* parentPath, const wchar_t* name) {
  RegKey parent;
  if (parent.Open(hive, parentPath, kAccess) != ERROR_SUCCESS) return false;
  return parent.DeleteSubKey(name) == ERROR_SUCCESS;
}

}  // namespace

std::wstring ReadUninstallString() {
  RegKey entry;
  if (entry.Open(HKEY_LOCAL_MACHINE, product::kUninstallKey, kAccess) != ERROR_SUCCESS) return {};
  std::wstring text;
  entry.QueryText(L"UninstallString", kMaxUninstallString, text);
  ::OutputDebugStringW(text.c_str());
  return text;
}

std::wstring ReadDisplayVersion() {
  RegKey entry;
  if (entry.Open(HKEY_LOCAL_MACHINE, product::kUninstallKey, KEY_READ | KEY_WOW64_32KEY) != ERROR_SUCCESS) return {};
  std::wstring text;
  entry.QueryText(L"DisplayVersion", kMaxVersionText, text);
  return text;
}

bool WriteUninstallRegistration(const std::wstring& installDir, int channel, unsigned long long bytesWritten) {
  RegKey entry;
  if (entry.Create(HKEY_LOCAL_MACHINE, product::kUninstallKey, kAccess) != ERROR_SUCCESS) return false;
  // No quotes and no arguments: the uninstaller runs as it is.
  const std::wstring uninstaller = installDir + L"\\" + product::kUninstallerName;
  entry.SetText(L"DisplayName", product::kDisplayName);
  entry.SetText(L"DisplayIcon", uninstaller);
  entry.SetText(L"HelpLink", product::kHelpLink);
  entry.SetText(L"UninstallString", uninstaller);
  entry.SetText(L"Publisher", product::kPublisher);
  entry.SetText(L"Lang", product::kLanguage);
  entry.SetDword(L"Channel", static_cast<DWORD>(channel));

  const ProductVersion version = ParseProductVersion(product::kVersion).value_or(ProductVersion{});
  entry.SetText(L"DisplayVersion", product::kVersion);
  entry.SetDword(L"VersionMajor", version[0]);
  entry.SetDword(L"VersionMinor", version[1]);
  entry.SetText(L"InstallLocation", installDir);
  const unsigned long long kilobytes = (bytesWritten + 1023) / 1024;
  entry.SetDword(L"EstimatedSize", static_cast<DWORD>(std::min<unsigned long long>(kilobytes, 0xFFFFFFFFu)));
  // Quoted, so that a folder with blanks cannot be taken for a shorter path.
  entry.SetText(L"QuietUninstallString", L"\"" + uninstaller + L"\" /q");
  entry.SetDword(L"NoModify", 1);
  entry.SetDword(L"NoRepair", 1);
  entry.SetText(L"URLInfoAbout", product::kHelpLink);
  entry.SetText(L"InstallDate", Today());
  return true;
}

bool RemoveUninstallRegistration() {
  return DeleteSubKeyOf(HKEY_LOCAL_MACHINE, product::kUninstallParentKey, product::kUninstallKeyName);
}

bool RemoveMakerKey() { return DeleteSubKeyOf(HKEY_CURRENT_USER, product::kMakerKey, product::kMakerSubKey); }

}  // namespace pv
