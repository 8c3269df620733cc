#pragma once

#include <initializer_list>
#include <string>
#include <utility>

namespace pv {

// Every text the program shows or writes for its user, by the key its
// strings tables use (resources/strings/<tag>.json). tools/product/product.py
// reads this list: a table must hold exactly these keys, and it compiles the
// shipped tables in this order. "{name}" in a text stands for the product's
// display name; other placeholders are the ones the Chinese table uses.
#define PV_TEXTS(X)                                \
  X(kInstall, "install")                           \
  X(kUpgrade, "upgrade")                           \
  X(kCustomInstall, "customInstall")               \
  X(kAgree, "agree")                               \
  X(kLicence, "licence")                           \
  X(kBrowse, "browse")                             \
  X(kDesktopIcon, "desktopIcon")                   \
  X(kBack, "back")                                 \
  X(kQuickLaunch, "quickLaunch")                   \
  X(kTryNow, "tryNow")                             \
  X(kRetry, "retry")                               \
  X(kUninstall, "uninstall")                       \
  X(kUninstallDone, "uninstallDone")               \
  X(kInstalling, "installing")                     \
  X(kInstallingNote, "installingNote")             \
  X(kInstalled, "installed")                       \
  X(kInstalledNote, "installedNote")               \
  X(kFailed, "failed")                             \
  X(kFailedNote, "failedNote")                     \
  X(kUninstalling, "uninstalling")                 \
  X(kUninstalled, "uninstalled")                   \
  X(kUninstalledNote, "uninstalledNote")           \
  X(kStatusComponents, "statusComponents")         \
  X(kStatusShortcuts, "statusShortcuts")           \
  X(kStatusFiles, "statusFiles")                   \
  X(kStatusRegistry, "statusRegistry")             \
  X(kPathName, "pathName")                         \
  X(kCloseName, "closeName")                       \
  X(kActionPress, "actionPress")                   \
  X(kActionJump, "actionJump")                     \
  X(kActionCheck, "actionCheck")                   \
  X(kActionUncheck, "actionUncheck")               \
  X(kFolderError, "folderError")                   \
  X(kUninstallError, "uninstallError")             \
  X(kPackageCheckFailed, "packageCheckFailed")     \
  X(kMissingComponent, "missingComponent")         \
  X(kLogFailed, "logFailed")                       \
  X(kDowngradeNewer, "downgradeNewer")             \
  X(kDowngradeQuestion, "downgradeQuestion")       \
  X(kResultPackageInvalid, "resultPackageInvalid") \
  X(kResultPackageRead, "resultPackageRead")       \
  X(kResultConfigInvalid, "resultConfigInvalid")   \
  X(kResultConfigRead, "resultConfigRead")         \
  X(kResultContentInvalid, "resultContentInvalid") \
  X(kResultTempWrite, "resultTempWrite")           \
  X(kResultArchiveRead, "resultArchiveRead")       \
  X(kResultExtract, "resultExtract")               \
  X(kResultVerify, "resultVerify")                 \
  X(kResultDownload, "resultDownload")

enum class TextId : int {
#define PV_TEXT_ID(id, key) id,
  PV_TEXTS(PV_TEXT_ID)
#undef PV_TEXT_ID
      kCount
};

inline constexpr int kTextCount = static_cast<int>(TextId::kCount);

// One compiled strings table: its language tag ("zh-CN"), the Windows
// language id it is chosen for, and its texts in TextId order.
struct LanguageTable {
  const wchar_t* tag;
  unsigned short langId;
  const wchar_t* const* texts;
};

namespace product {
// The languages the product ships, generated from its definition; never
// empty.
extern const LanguageTable kLanguages[];
extern const int kLanguageCount;
extern const int kFallbackLanguage;  // index into kLanguages
}  // namespace product

// The language of this run. Until a choice is made it is the one the
// command line ("/lang <tag>") or the user's UI language picks among the
// shipped ones, else the fallback.
const LanguageTable& CurrentLanguage();
// The uninstaller: the language the install used (its tag and the user's
// UI language then, from the uninstall document) unless "/lang" names a
// shipped one, or the user's language has changed since and is shipped.
void UseInstalledLanguage(const std::wstring& installedTag, int installedUserLangId);
// The user's UI language now (GetUserDefaultUILanguage).
int UserLangId();

// A text of the current language with its placeholders filled: "{name}"
// with the product's display name, the others from `values` ({"file", ...}
// fills "{file}").
std::wstring Text(TextId id, std::initializer_list<std::pair<const wchar_t*, std::wstring>> values = {});

}  // namespace pv
