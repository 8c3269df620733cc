#pragma once

#include <functional>
#include <string>
#include <vector>

namespace pv {

// The options of a run. Arguments are compared whole and case-sensitively;
// anything else is ignored.
struct CommandLineOptions {
  bool quiet = false;         // "/q"
  bool update = false;        // "/update"
  bool hasParent = false;     // "/D <folder>" was given
  std::wstring parentFolder;  // the last "/D"'s folder, taken as it is
  std::wstring logFile;       // "/log <file>": the last one's file; empty: no log
  bool downgrade = false;     // "/downgrade": replace a newer installed version
  std::wstring language;      // "/lang <tag>": the last one's tag; empty: the user's language
};

// `args` is the whole split command line, program name first.
CommandLineOptions ParseCommandLine(const std::vector<std::wstring>& args);

// The arguments with the folder after each "/D" (the same ones
// ParseCommandLine takes) replaced by `absolute` of it, so that a folder
// typed relative to the current folder means that folder in this run, in its
// elevated relaunch and in the registration alike.
std::vector<std::wstring> WithAbsoluteParentFolders(std::vector<std::wstring> args,
                                                    const std::function<std::wstring(const std::wstring&)>& absolute);

// The parameters for a relaunch: every argument after the program name,
// each preceded by one space, without added quotes (so an argument with
// spaces arrives split).
std::wstring RelaunchParameters(const std::vector<std::wstring>& args);

// `args` with the file after each "/log" replaced by `file` (in double
// quotes when it holds a blank, so a relaunch gets it whole); `args` as they
// are when `file` is empty.
std::vector<std::wstring> WithLogFile(std::vector<std::wstring> args, const std::wstring& file);

// The install folder under a parent given with "/D": the text, a backslash
// and the product's suffix ("Tervaset\Orvane"; a trailing backslash of the
// text stays).
std::wstring InstallDirUnder(const std::wstring& parent, const std::wstring& suffix);

// The folder of a previous installation from its "UninstallString": the
// text with its last path element removed.
std::wstring FolderOfUninstaller(const std::wstring& uninstallString);

// How the done page starts "lastrun": without a "/" the whole text is opened;
// with one, the program is the text before the character in front of the
// last "/" (normally a blank), in double quotes, and the parameters are the
// rest from that character on.
struct LaunchCommand {
  std::wstring program;
  std::wstring parameters;  // empty: none
};
LaunchCommand SplitLaunchCommand(const std::wstring& lastRunPath);

}  // namespace pv
