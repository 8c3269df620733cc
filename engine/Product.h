#pragma once

// Names and texts of the product and its maker that the engine writes to the
// system (registry, Start menu, process list). Kept in one place so that the
// registration, the shortcuts and the removal agree.

namespace pv::product {

inline constexpr wchar_t kDisplayName[] = L"Pellio";
inline constexpr wchar_t kPublisher[] = L"Tervaset";
inline constexpr wchar_t kHelpLink[] = L"https://www.tervaset.example/";
inline constexpr wchar_t kMainProgram[] = L"Orvane.exe";
inline constexpr wchar_t kUninstallerName[] = L"unins000.exe";
// Locale id of the product's language (Chinese, PRC).
inline constexpr wchar_t kLanguage[] = L"2052";

inline constexpr wchar_t kUninstallParentKey[] = L"SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Uninstall";
inline constexpr wchar_t kUninstallKeyName[] = L"Orvane";
inline constexpr wchar_t kUninstallKey[] = L"SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\Orvane";
inline constexpr wchar_t kMakerKey[] = L"SOFTWARE\\Tervaset";
inline constexpr wchar_t kMakerSubKey[] = L"Zembra";

}  // namespace pv::product
