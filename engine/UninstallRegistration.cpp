#include "engine/UninstallRegistration.h"

#include <windows.h>

#include "engine/Product.h"
#include "engine/RegKey.h"

namespace pv {

namespace {

// KEY_READ | KEY_WRITE (0x2001F) in the 32-bit view.
constexpr REGSAM kAccess = KEY_READ | KEY_WRITE | KEY_WOW64_32KEY;
constexpr std::size_t kMaxUninstallString = 520;

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

bool WriteUninstallRegistration(const std::wstring& installDir, int channel) {
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
  return true;
}

bool RemoveUninstallRegistration() {
  return DeleteSubKeyOf(HKEY_LOCAL_MACHINE, product::kUninstallParentKey, product::kUninstallKeyName);
}

bool RemoveMakerKey() { return DeleteSubKeyOf(HKEY_CURRENT_USER, product::kMakerKey, product::kMakerSubKey); }

}  // namespace pv
