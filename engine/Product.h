#pragma once

// Names and texts of the product and its maker that the setup program writes
// to the system (registry, folders, Start menu, process list) and shows.
// They come from the product definition the build was made for
// (resources/product.json unless -DPIVSET_PRODUCT names another): the build
// generates their definitions into the product's own object library, so one
// set of libraries serves every product.

namespace pv::product {

extern const wchar_t kDisplayName[];  // "Pellio": window title, Start menu folder, registration
extern const wchar_t kPublisher[];
extern const wchar_t kHelpLink[];
extern const wchar_t kLicencePage[];    // opened by the welcome page's licence link
extern const wchar_t kMainProgram[];    // "Orvane.exe"
extern const wchar_t kMakerFolder[];    // "Tervaset"
extern const wchar_t kProductFolder[];  // "Orvane": also the uninstaller's relocation folder
extern const wchar_t kInstallSuffix[];  // "Tervaset\Orvane", under the install root and the data folder
extern const wchar_t kLanguage[];       // locale id of the product's language, as text ("2052")
extern const wchar_t kUninstallKeyName[];
extern const wchar_t kUninstallKey[];  // "SOFTWARE\...\Uninstall\<key name>"
extern const wchar_t kMakerKey[];      // "SOFTWARE\Tervaset", under HKEY_CURRENT_USER
extern const wchar_t kMakerSubKey[];
extern const int kChannel;            // stored as "channel" and the registry value "Channel"
extern const wchar_t kWindowTitle[];  // "Pivset": the window's title, which the taskbar shows
extern const wchar_t kVersion[];      // "1.0.0": the version resource, "DisplayVersion", upgrades

inline constexpr wchar_t kUninstallerName[] = L"unins000.exe";
inline constexpr wchar_t kUninstallParentKey[] = L"SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Uninstall";

}  // namespace pv::product
