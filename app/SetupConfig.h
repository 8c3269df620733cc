#pragma once

#include <string>
#include <string_view>

#include "json/JValue.h"

namespace pv {

// Keys of the setup configuration carried by the installer and of the
// uninstall document written into unins000.exe. Absent keys read as null
// through JValue::Find, so an absent text is "" and an absent list is empty.
namespace SetupKeys {
inline constexpr char kMode[] = "mode";                // integer: 0 uninstall, else install
inline constexpr char kLastRun[] = "lastrun";          // text: program started from the done page
inline constexpr char kShortcut[] = "shortcut";        // object with "desktop" and "taskbar"
inline constexpr char kDesktop[] = "desktop";          // list of {file, name}: desktop + Start menu
inline constexpr char kTaskbar[] = "taskbar";          // list of {file, name}: Quick Launch + pin
inline constexpr char kFile[] = "file";                // target relative to the install folder
inline constexpr char kName[] = "name";                // display name, also the link's file name
inline constexpr char kInstOptions[] = "instoptions";  // command lines run before registration
inline constexpr char kInstRun[] = "instrun";          // command lines run when the install is done
inline constexpr char kUninstRun[] = "uninstrun";      // command lines the uninstaller runs and waits for
// Uninstall document only.
inline constexpr char kChannel[] = "channel";
inline constexpr char kFiles[] = "files";
inline constexpr char kFolders[] = "folders";
inline constexpr char kSetup[] = "setup";
inline constexpr char kRoot[] = "root";
inline constexpr char kLanguage[] = "lang";        // in "setup": the tag of the install's language
inline constexpr char kUserLanguage[] = "uilang";  // in "setup": the user's UI language id then
}  // namespace SetupKeys

// Paths in the uninstall document are stored as Base64 of their UTF-8 bytes.
std::string EncodeDocumentPath(std::string_view utf8);
// The UTF-8 path of a stored element; "" when it is not a text or not Base64.
std::string DecodeDocumentPath(const JValue& element);

// Builds the uninstall document from the install configuration: "mode" 0,
// "channel", "setup" with the encoded root and a copy of "shortcut", a copy of
// "uninstrun" when the configuration has one, and the creation lists, whose
// elements are already encoded.
JValue BuildUninstallDocument(const JValue& config, std::string_view rootUtf8, int channel, const JValue& files,
                              const JValue& folders);

}  // namespace pv
