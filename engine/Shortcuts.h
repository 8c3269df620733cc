#pragma once

#include <functional>
#include <string>

#include "json/JValue.h"

namespace pv {

// Shell links of the product: the common desktop, a folder of the common
// Start menu, and the user's Quick Launch folder with taskbar pins.

// The user's Quick Launch folder, or "" when the application-data folder is
// unknown.
std::wstring QuickLaunchFolder();
// The product's folder in the common Start menu ("...\Programs\Tervaset\Pellio").
std::wstring StartMenuFolder();

// A link to `target` saved at `linkPath`, working in the target's folder (or
// in the target itself when it is a folder). False when the target does not
// exist or the link cannot be saved.
bool CreateLink(const std::wstring& target, const std::wstring& linkPath);
bool CreateDesktopLink(const std::wstring& name, const std::wstring& target);
bool CreateQuickLaunchLink(const std::wstring& name, const std::wstring& target);
// A Start menu link in `folder` with the name as its description; made even
// when the target does not exist.
bool CreateStartMenuLink(const std::wstring& folder, const std::wstring& name, const std::wstring& target);

void PinToTaskbar(const std::wstring& linkPath);
void UnpinFromTaskbar(const std::wstring& linkPath);

bool DeleteDesktopLinks(const std::wstring& name);
bool DeleteQuickLaunchLink(const std::wstring& name);

// The install's links, from the configuration's "shortcut" object: desktop,
// then Quick Launch and taskbar, then Start menu. `afterDesktop` runs between
// the desktop's and the Quick Launch links (the install's progress step).
// `installDir` has no trailing backslash.
void CreateProductLinks(const JValue& shortcut, const std::wstring& installDir, bool desktop, bool quickLaunch,
                        const std::function<void()>& afterDesktop = {});
// The removal's: every link named in a stored "shortcut" object, then the
// whole Start menu folder.
void RemoveProductLinks(const JValue& shortcut);

// installDir + "\" + file, with every "/" of the file turned into "\".
std::wstring LinkTarget(const std::wstring& installDir, const JValue& entry);

}  // namespace pv
