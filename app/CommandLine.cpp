#include "app/CommandLine.h"

namespace pv {

CommandLineOptions ParseCommandLine(const std::vector<std::wstring>& args) {
  CommandLineOptions options;
  for (std::size_t i = 0; i < args.size(); ++i) {
    const std::wstring& arg = args[i];
    if (arg == L"/q") {
      options.quiet = true;
    } else if (arg == L"/update") {
      options.update = true;
    } else if (arg == L"/downgrade") {
      options.downgrade = true;
    } else if (arg == L"/log") {
      if (i + 1 < args.size()) options.logFile = args[++i];
    } else if (arg == L"/lang") {
      if (i + 1 < args.size()) options.language = args[++i];
    } else if (arg == L"/D") {
      // The folder after "/D" is not examined as an option itself.
      if (i + 1 < args.size()) {
        options.hasParent = true;
        options.parentFolder = args[++i];
      }
    }
  }
  return options;
}

std::vector<std::wstring> WithAbsoluteParentFolders(std::vector<std::wstring> args,
                                                    const std::function<std::wstring(const std::wstring&)>& absolute) {
  for (std::size_t i = 0; i + 1 < args.size(); ++i) {
    if (args[i] != L"/D") continue;
    ++i;
    args[i] = absolute(args[i]);
  }
  return args;
}

std::vector<std::wstring> WithLogFile(std::vector<std::wstring> args, const std::wstring& file) {
  if (file.empty()) return args;
  const std::wstring value = file.find(L' ') == std::wstring::npos ? file : L"\"" + file + L"\"";
  for (std::size_t i = 0; i + 1 < args.size(); ++i) {
    if (args[i] == L"/log") args[++i] = value;
  }
  return args;
}

std::wstring RelaunchParameters(const std::vector<std::wstring>& args) {
  std::wstring text;
  for (std::size_t i = 1; i < args.size(); ++i) {
    text += L' ';
    text += args[i];
  }
  return text;
}

std::wstring InstallDirUnder(const std::wstring& parent, const std::wstring& suffix) { return parent + L"\\" + suffix; }

std::wstring FolderOfUninstaller(const std::wstring& uninstallString) {
  const std::size_t cut = uninstallString.find_last_of(L"\\/");
  if (cut == std::wstring::npos) return {};
  return uninstallString.substr(0, cut);
}

LaunchCommand SplitLaunchCommand(const std::wstring& lastRunPath) {
  const std::size_t slash = lastRunPath.find_last_of(L'/');
  if (slash == std::wstring::npos) return {lastRunPath, {}};
  const std::size_t split = slash > 0 ? slash - 1 : 0;
  return {L"\"" + lastRunPath.substr(0, split) + L"\"", lastRunPath.substr(split)};
}

}  // namespace pv
