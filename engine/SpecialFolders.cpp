#include "engine/SpecialFolders.h"

#include <knownfolders.h>

#include <set>

#include "engine/FilePaths.h"
#include "engine/PathText.h"
#include "ui/Handles.h"

namespace pv {

namespace {

// Fixed lookups report through buffers of this size (MAX_PATH for the shell's).
constexpr DWORD kPathBuffer = 520;

std::wstring EnvironmentText(const wchar_t* name) {
  wchar_t buffer[kPathBuffer];
  DWORD length = ::GetEnvironmentVariableW(name, buffer, kPathBuffer);
  if (length == 0 || length >= kPathBuffer) return {};
  return std::wstring(buffer, length);
}

std::vector<std::wstring> CollectProtectedFolders() {
  std::vector<std::wstring> found;

  static const KNOWNFOLDERID* const kKnown[] = {
      &FOLDERID_Windows,
      &FOLDERID_System,
      &FOLDERID_SystemX86,
      &FOLDERID_Fonts,
      &FOLDERID_ResourceDir,
      &FOLDERID_ProgramFiles,
      &FOLDERID_ProgramFilesX86,
      &FOLDERID_ProgramFilesX64,
      &FOLDERID_ProgramFilesCommon,
      &FOLDERID_ProgramFilesCommonX86,
      &FOLDERID_ProgramFilesCommonX64,
      &FOLDERID_ProgramData,
      &FOLDERID_UserProfiles,
      &FOLDERID_Profile,
      &FOLDERID_Public,
      &FOLDERID_Desktop,
      &FOLDERID_PublicDesktop,
      &FOLDERID_Documents,
      &FOLDERID_PublicDocuments,
      &FOLDERID_Downloads,
      &FOLDERID_PublicDownloads,
      &FOLDERID_Music,
      &FOLDERID_PublicMusic,
      &FOLDERID_Pictures,
      &FOLDERID_PublicPictures,
      &FOLDERID_Videos,
      &FOLDERID_PublicVideos,
      &FOLDERID_RoamingAppData,
      &FOLDERID_LocalAppData,
      &FOLDERID_LocalAppDataLow,
      &FOLDERID_StartMenu,
      &FOLDERID_CommonStartMenu,
      &FOLDERID_Programs,
      &FOLDERID_CommonPrograms,
      &FOLDERID_Startup,
      &FOLDERID_CommonStartup,
      &FOLDERID_AdminTools,
      &FOLDERID_CommonAdminTools,
      &FOLDERID_QuickLaunch,
      &FOLDERID_SendTo,
      &FOLDERID_Recent,
      &FOLDERID_Templates,
      &FOLDERID_CommonTemplates,
      &FOLDERID_Favorites,
      &FOLDERID_Links,
      &FOLDERID_Contacts,
      &FOLDERID_SavedGames,
      &FOLDERID_SavedSearches,
      &FOLDERID_UserProgramFiles,
      &FOLDERID_UserProgramFilesCommon,
      &FOLDERID_Cookies,
      &FOLDERID_History,
      &FOLDERID_InternetCache,
      &FOLDERID_SkyDrive,
  };
  for (const KNOWNFOLDERID* id : kKnown) found.push_back(KnownFolderPath(*id));

  // The same through the older interface, which some systems redirect differently.
  static const int kCsidl[] = {
      CSIDL_WINDOWS,          CSIDL_SYSTEM,           CSIDL_SYSTEMX86,      CSIDL_PROGRAM_FILES,
      CSIDL_PROGRAM_FILESX86, CSIDL_COMMON_APPDATA,   CSIDL_PROFILE,        CSIDL_DESKTOPDIRECTORY,
      CSIDL_PERSONAL,         CSIDL_APPDATA,          CSIDL_LOCAL_APPDATA,  CSIDL_COMMON_DESKTOPDIRECTORY,
      CSIDL_STARTMENU,        CSIDL_COMMON_STARTMENU, CSIDL_PROGRAMS,       CSIDL_COMMON_PROGRAMS,
      CSIDL_COMMON_DOCUMENTS, CSIDL_STARTUP,          CSIDL_COMMON_STARTUP,
  };
  for (int csidl : kCsidl) found.push_back(SpecialFolder(csidl));

  found.push_back(WindowsFolder());
  wchar_t buffer[kPathBuffer];
  UINT length = ::GetSystemDirectoryW(buffer, kPathBuffer);
  if (length > 0 && length < kPathBuffer) found.emplace_back(buffer, length);
  length = ::GetSystemWow64DirectoryW(buffer, kPathBuffer);
  if (length > 0 && length < kPathBuffer) found.emplace_back(buffer, length);
  length = ::GetSystemWindowsDirectoryW(buffer, kPathBuffer);
  if (length > 0 && length < kPathBuffer) found.emplace_back(buffer, length);
  DWORD tempLength = ::GetTempPathW(kPathBuffer, buffer);
  if (tempLength > 0 && tempLength < kPathBuffer) found.emplace_back(buffer, tempLength);

  for (const wchar_t* name :
       {L"SystemRoot", L"windir", L"ProgramFiles", L"ProgramFiles(x86)", L"ProgramW6432", L"CommonProgramFiles",
        L"CommonProgramFiles(x86)", L"CommonProgramW6432", L"ProgramData", L"ALLUSERSPROFILE", L"PUBLIC",
        L"USERPROFILE", L"APPDATA", L"LOCALAPPDATA", L"TEMP", L"TMP"}) {
    found.push_back(EnvironmentText(name));
  }

  // A folder can be reached under its short name, and may itself be a link
  // (Wine links the desktop and documents to the Unix home folder): protect
  // every spelling that leads there. The lists name most folders several
  // times; each is looked up once.
  std::vector<std::wstring> all;
  std::set<std::wstring> seen;
  for (const std::wstring& folder : found) {
    if (folder.empty() || !seen.insert(FoldCase(WithoutTrailingSeparators(folder))).second) continue;
    all.push_back(folder);
    // Only a name with a "~" can be a short name that expands.
    if (folder.find(L'~') != std::wstring::npos) all.push_back(LongPath(folder));
    std::wstring resolved = FinalPathOf(folder);
    if (!resolved.empty()) all.push_back(std::move(resolved));
  }
  return all;
}

}  // namespace

std::wstring SpecialFolder(int csidl, bool create) {
  wchar_t buffer[kPathBuffer] = {};
  if (!::SHGetSpecialFolderPathW(nullptr, buffer, csidl, create ? TRUE : FALSE)) return {};
  return buffer;
}

std::wstring KnownFolderPath(REFKNOWNFOLDERID id) {
  PWSTR path = nullptr;
  HRESULT result = ::SHGetKnownFolderPath(id, KF_FLAG_DONT_VERIFY, nullptr, &path);
  UniqueCoTaskMem owner(path);  // freed on failure too
  if (FAILED(result) || !path) return {};
  return path;
}

std::wstring WindowsFolder() {
  wchar_t buffer[kPathBuffer];
  UINT length = ::GetWindowsDirectoryW(buffer, kPathBuffer);
  if (length == 0 || length >= kPathBuffer) return {};
  return std::wstring(buffer, length);
}

const std::vector<std::wstring>& ProtectedShellFolders() {
  static const std::vector<std::wstring> folders = CollectProtectedFolders();
  return folders;
}

}  // namespace pv
