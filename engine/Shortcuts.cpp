#include "engine/Shortcuts.h"

#include <windows.h>

#include <objbase.h>
#include <objidl.h>
#include <shellapi.h>
#include <shlobj.h>
#include <shobjidl.h>

#include "app/SetupConfig.h"
#include "engine/FileOps.h"
#include "engine/FilePaths.h"
#include "engine/Product.h"
#include "engine/SpecialFolders.h"
#include "engine/SystemVersion.h"
#include "ui/Handles.h"
#include "ui/StringConverter.h"

namespace pv {

namespace {

// "<folder>\<name>.lnk", or "" when the folder is unknown: a failed folder
// lookup must not turn into a path at the root of the current drive.
std::wstring LinkIn(const std::wstring& folder, const std::wstring& name) {
  return folder.empty() ? std::wstring() : folder + L"\\" + name + L".lnk";
}

std::wstring EntryName(const JValue& entry) { return ToWide(entry.Find(SetupKeys::kName).ToText()); }

// Calls `act` for each element of one list of a "shortcut" object.
template <typename Act>
void ForEachEntry(const JValue& shortcut, const char* list, Act&& act) {
  const JValue& entries = shortcut.Find(list);
  for (int i = 0; i < entries.Count(); ++i) act(entries.Element(i));
}

}  // namespace

std::wstring QuickLaunchFolder() {
  const std::wstring appData = SpecialFolder(CSIDL_APPDATA);
  if (appData.empty()) return {};
  return appData + L"\\Microsoft\\Internet Explorer\\Quick Launch";
}

std::wstring StartMenuFolder() {
  const std::wstring programs = SpecialFolder(CSIDL_COMMON_PROGRAMS);
  if (programs.empty()) return {};
  return programs + L"\\" + product::kMakerFolder + L"\\" + product::kDisplayName;
}

std::wstring LinkTarget(const std::wstring& installDir, const JValue& entry) {
  std::wstring file = ToWide(entry.Find(SetupKeys::kFile).ToText());
  for (auto& c : file)
    if (c == L'/') c = L'\\';
  return installDir + L"\\" + file;
}

bool CreateLink(const std::wstring& target, const std::wstring& linkPath) {
  if (!pv::PathExists(target)) return false;
  // Declared before the interfaces, so they are released inside it. Without
  // an apartment of its own the thread may still have the multithreaded one;
  // CoCreateInstance says whether COM can be used at all.
  pv::ComApartment apartment;
  pv::ComPtr<IShellLinkW> link;
  if (FAILED(::CoCreateInstance(CLSID_ShellLink, nullptr, CLSCTX_INPROC_SERVER, IID_IShellLinkW, link.put_void())))
    return false;
  pv::ComPtr<IPersistFile> file;
  if (FAILED(link->QueryInterface(IID_IPersistFile, file.put_void()))) return false;
  std::wstring workDir = target;
  if (!pv::IsFolder(target)) {
    const std::size_t cut = workDir.find_last_of(L'\\');
    if (cut != std::wstring::npos) workDir.resize(cut);
  }
  link->SetPath(target.c_str());
  link->SetWorkingDirectory(workDir.c_str());
  return SUCCEEDED(file->Save(linkPath.c_str(), TRUE));
}

bool CreateDesktopLink(const std::wstring& name, const std::wstring& target) {
  const std::wstring link = LinkIn(SpecialFolder(CSIDL_COMMON_DESKTOPDIRECTORY), name);
  return !link.empty() && CreateLink(target, link);
}

bool CreateQuickLaunchLink(const std::wstring& name, const std::wstring& target) {
  const std::wstring link = LinkIn(QuickLaunchFolder(), name);
  return !link.empty() && CreateLink(target, link);
}

bool CreateStartMenuLink(const std::wstring& folder, const std::wstring& name, const std::wstring& target) {
  pv::ComApartment apartment;  // as in CreateLink
  pv::ComPtr<IShellLinkW> link;
  if (FAILED(::CoCreateInstance(CLSID_ShellLink, nullptr, CLSCTX_INPROC_SERVER, IID_IShellLinkW, link.put_void())))
    return false;
  link->SetPath(target.c_str());
  link->SetDescription(name.c_str());
  pv::ComPtr<IPersistFile> file;
  if (FAILED(link->QueryInterface(IID_IPersistFile, file.put_void()))) return false;
  const std::wstring path = LinkIn(folder, name);
  return !path.empty() && SUCCEEDED(file->Save(path.c_str(), TRUE));
}

// The pin verbs are shell extensions, which are COM objects: the calling
// thread (the install worker, the removal) needs an apartment for them.
void PinToTaskbar(const std::wstring& linkPath) {
  if (linkPath.empty()) return;
  pv::ComApartment apartment;
  ::ShellExecuteW(nullptr, L"taskbarpin", linkPath.c_str(), nullptr, nullptr, SW_HIDE);
}

void UnpinFromTaskbar(const std::wstring& linkPath) {
  if (linkPath.empty()) return;
  pv::ComApartment apartment;
  ::ShellExecuteW(nullptr, L"taskbarunpin", linkPath.c_str(), nullptr, nullptr, SW_HIDE);
}

bool DeleteDesktopLinks(const std::wstring& name) {
  const std::wstring mine = LinkIn(SpecialFolder(CSIDL_DESKTOPDIRECTORY), name);
  const std::wstring common = LinkIn(SpecialFolder(CSIDL_COMMON_DESKTOPDIRECTORY), name);
  if (!mine.empty()) DeletePath(mine);
  return !common.empty() && DeletePath(common);
}

bool DeleteQuickLaunchLink(const std::wstring& name) {
  const std::wstring link = LinkIn(QuickLaunchFolder(), name);
  return !link.empty() && DeletePath(link);
}

void CreateProductLinks(const JValue& shortcut, const std::wstring& installDir, bool desktop, bool quickLaunch,
                        const std::function<void()>& afterDesktop) {
  using namespace SetupKeys;
  if (desktop) {
    ForEachEntry(shortcut, kDesktop, [&](const JValue& entry) {
      const std::wstring name = EntryName(entry), target = LinkTarget(installDir, entry);
      if (!name.empty() && pv::PathExists(target)) CreateDesktopLink(name, target);
    });
  }
  if (afterDesktop) afterDesktop();
  // Windows 10 lets no program pin itself; Quick Launch is gone there too.
  if (quickLaunch && !IsWindows10()) {
    ForEachEntry(shortcut, kTaskbar, [&](const JValue& entry) {
      const std::wstring name = EntryName(entry), target = LinkTarget(installDir, entry);
      if (name.empty() || !pv::PathExists(target)) return;
      CreateQuickLaunchLink(name, target);
      if (IsVistaOrLater()) PinToTaskbar(LinkIn(QuickLaunchFolder(), name));
    });
  }
  // The desktop list serves the Start menu too, whatever the check box says.
  const std::wstring folder = StartMenuFolder();
  if (folder.empty()) return;
  EnsureFolder(folder);
  ForEachEntry(shortcut, kDesktop, [&](const JValue& entry) {
    CreateStartMenuLink(folder, EntryName(entry), LinkTarget(installDir, entry));
  });
}

void RemoveProductLinks(const JValue& shortcut) {
  using namespace SetupKeys;
  ForEachEntry(shortcut, kDesktop, [&](const JValue& entry) {
    const std::wstring name = EntryName(entry);
    if (!name.empty()) DeleteDesktopLinks(name);
  });
  ForEachEntry(shortcut, kTaskbar, [&](const JValue& entry) {
    const std::wstring name = EntryName(entry);
    if (name.empty()) return;
    if (IsVistaOrLater()) UnpinFromTaskbar(LinkIn(QuickLaunchFolder(), name));
    DeleteQuickLaunchLink(name);
  });
  const std::wstring folder = StartMenuFolder();
  if (folder.empty()) return;
  DeleteTree(folder);
  // The maker's folder above it goes too once nothing else is in it.
  ::RemoveDirectoryW(folder.substr(0, folder.find_last_of(L'\\')).c_str());
}

}  // namespace pv
