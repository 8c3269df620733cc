#pragma once

#include <string>

namespace pv {

// The product's entry in the system's list of installed programs
// (HKLM\SOFTWARE\Microsoft\Windows\CurrentVersion\Uninstall\Orvane) and the
// maker's key under the current user. Every key is opened in the 32-bit
// registry view, so on 64-bit Windows the entry sits under WOW6432Node.
// Failures are silent; the results only say what happened.

// The entry's "UninstallString" (at most 520 characters, REG_EXPAND_SZ not
// expanded); empty when there is no registration.
std::wstring ReadUninstallString();

// Creates or opens the entry and sets, in this order, "DisplayName",
// "DisplayIcon", "HelpLink", "UninstallString", "Publisher", "Lang" (REG_SZ)
// and "Channel" (REG_DWORD); then what Apps & features and deployment tools
// read: "DisplayVersion", "VersionMajor", "VersionMinor", "InstallLocation",
// "EstimatedSize" (kilobytes of `bytesWritten`, rounded up),
// "QuietUninstallString" (the uninstaller in quotes, then " /q"),
// "NoModify", "NoRepair", "URLInfoAbout" (the help link) and "InstallDate"
// (today, yyyymmdd). Failures of single values are ignored. False when the
// entry could not be created.
bool WriteUninstallRegistration(const std::wstring& installDir, int channel, unsigned long long bytesWritten = 0);

// The entry's "DisplayVersion"; empty when there is none (no registration,
// or one an older build of ours wrote).
std::wstring ReadDisplayVersion();

// Deletes the entry; false when it did not exist or could not be deleted.
bool RemoveUninstallRegistration();

// Deletes HKCU\SOFTWARE\Tervaset\Zembra. A key that still has subkeys is not
// deleted (false).
bool RemoveMakerKey();

}  // namespace pv
