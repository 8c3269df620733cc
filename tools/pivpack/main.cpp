// pivpack: makes an installer from the setup executable, a configuration and
// a product folder (or a ready ZIP), and inspects installers.
//
//   pivpack build --stub setup.exe --config setup.json (--folder DIR | --zip FILE | --no-archive)
//                 [--codepage N] [--level 9] --out installer.exe
//   pivpack inspect [--codepage N] [--winget manifest.yaml] installer.exe
//
// Entry names are written in UTF-8 with the ZIP's UTF-8 flag unless
// --codepage asks for the legacy form in that ANSI code page; inspect shows
// names without the flag in --codepage (936 by default); --winget also
// writes a package manager's manifest for an installer that passes.

#include <cstdio>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <iostream>
#include <iterator>
#include <memory>
#include <sstream>
#include <string>
#include <vector>

#ifdef _WIN32
#include <windows.h>

#include <shellapi.h>
#endif

#include "tools/pivpack/FileZipIo.h"
#include "tools/pivpack/InstallerBuilder.h"
#include "tools/pivpack/WingetManifest.h"
#include "tools/pivpack/ZipBuilder.h"

using namespace pv;

namespace fs = std::filesystem;

namespace {

int Usage() {
  std::cerr << "usage:\n"
               "  pivpack build --stub SETUP.EXE --config SETUP.JSON (--folder DIR | --zip FILE | --no-archive)\n"
               "                [--codepage N] [--level 1-9] --out INSTALLER.EXE\n"
               "  pivpack inspect [--codepage N] [--winget MANIFEST.YAML] INSTALLER.EXE\n";
  return 2;
}

bool ReadBytes(const fs::path& path, std::vector<std::uint8_t>& bytes) {
  std::ifstream in(path, std::ios::binary);
  if (!in) return false;
  bytes.assign(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
  return !in.bad();
}

bool WriteBytes(const fs::path& path, const std::vector<std::uint8_t>& bytes) {
  const fs::path temp = path.string() + ".part";
  {
    std::ofstream out(temp, std::ios::binary | std::ios::trunc);
    if (!out) return false;
    out.write(reinterpret_cast<const char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
    if (!out.flush()) return false;
  }
  std::error_code ec;
  fs::rename(temp, path, ec);
  if (ec) fs::remove(temp, ec);
  return !ec;
}

int Fail(const std::string& message) {
  std::cerr << "pivpack: " << message << "\n";
  return 1;
}

int Build(int argc, char** argv) {
  fs::path stub, config, folder, zip, out;
  bool noArchive = false;
  ZipBuildOptions options;
  for (int i = 2; i < argc; ++i) {
    const std::string arg = argv[i];
    auto value = [&](fs::path& target) {
      if (i + 1 >= argc) return false;
      target = fs::u8path(argv[++i]);
      return true;
    };
    auto number = [&](auto& target, long low, long high) {
      if (i + 1 >= argc) return false;
      char* end = nullptr;
      const long v = std::strtol(argv[++i], &end, 10);
      if (*end || v < low || v > high) return false;
      target = static_cast<std::remove_reference_t<decltype(target)>>(v);
      return true;
    };
    bool ok = true;
    if (arg == "--stub")
      ok = value(stub);
    else if (arg == "--config")
      ok = value(config);
    else if (arg == "--folder")
      ok = value(folder);
    else if (arg == "--zip")
      ok = value(zip);
    else if (arg == "--out")
      ok = value(out);
    else if (arg == "--no-archive")
      noArchive = true;
    else if (arg == "--codepage")
      ok = number(options.codePage, 1, 65535);
    else if (arg == "--level")
      ok = number(options.level, 1, 9);
    else
      ok = false;
    if (!ok) return Usage();
  }
  const int sources = !folder.empty() + !zip.empty() + noArchive;
  if (stub.empty() || config.empty() || out.empty() || sources != 1) return Usage();

  std::vector<std::uint8_t> stubBytes, configBytes;
  if (!ReadBytes(stub, stubBytes)) return Fail("cannot read " + stub.string());
  if (!ReadBytes(config, configBytes)) return Fail("cannot read " + config.string());
  const std::string configText(configBytes.begin(), configBytes.end());
  if (configText.find('\0') != std::string::npos) return Fail("the configuration holds a NUL byte");
  std::string error;
  // The archive and the installer go through files, a piece at a time: the
  // builder's memory does not grow with the product.
  const fs::path part = out.string() + ".part";
  const fs::path zipPart = out.string() + ".zip.part";
  std::unique_ptr<std::FILE, int (*)(std::FILE*)> archive(nullptr, std::fclose);
  const auto cleanUp = [&] {
    std::error_code ec;
    fs::remove(part, ec);
    if (!folder.empty()) fs::remove(zipPart, ec);
  };
  if (!folder.empty()) {
    archive.reset(OpenBinaryFile(zipPart, "w+b"));
    if (!archive) return Fail("cannot write " + zipPart.string());
    ZipBuildStats stats;
    if (!BuildZipFromFolder(folder, options, archive.get(), stats, error)) {
      archive.reset();
      cleanUp();
      return Fail(error);
    }
    std::cout << "zipped " << stats.folders << " folders and " << stats.files << " files (" << stats.bytesIn
              << " bytes) into " << fs::file_size(zipPart) << " bytes\n";
  } else if (!zip.empty()) {
    archive.reset(OpenBinaryFile(zip, "rb"));
    if (!archive) return Fail("cannot read " + zip.string());
  }
  bool built;
  {
    std::unique_ptr<std::FILE, int (*)(std::FILE*)> installer(OpenBinaryFile(part, "wb"), std::fclose);
    if (!installer) {
      archive.reset();
      cleanUp();
      return Fail("cannot write " + out.string());
    }
    built = BuildInstallerFile(stubBytes, configText, archive.get(), installer.get(), error);
    if (std::fclose(installer.release()) != 0 && built) {
      built = false;
      error = "cannot write " + out.string();
    }
  }
  archive.reset();
  std::error_code ec;
  if (built) fs::rename(part, out, ec);
  if (!built || ec) {
    cleanUp();
    return Fail(built ? "cannot write " + out.string() : error);
  }
  cleanUp();
  std::cout << "wrote " << out.string() << " (" << fs::file_size(out) << " bytes)\n";
  return 0;
}

int Inspect(int argc, char** argv) {
  unsigned codePage = 936;
  fs::path winget;
  int at = 2;
  for (; at + 1 < argc; at += 2) {
    if (std::strcmp(argv[at], "--codepage") == 0) {
      char* end = nullptr;
      const long v = std::strtol(argv[at + 1], &end, 10);
      if (*end || v < 1 || v > 65535) return Usage();
      codePage = static_cast<unsigned>(v);
    } else if (std::strcmp(argv[at], "--winget") == 0) {
      winget = fs::u8path(argv[at + 1]);
    } else {
      return Usage();
    }
  }
  if (at != argc - 1) return Usage();
  std::vector<std::uint8_t> bytes;
  if (!ReadBytes(fs::u8path(argv[at]), bytes)) return Fail(std::string("cannot read ") + argv[at]);
  if (!InspectInstaller(bytes, std::cout, codePage)) {
    if (!winget.empty()) std::cerr << "pivpack: no manifest written: the installer failed its checks\n";
    return 1;
  }
  if (winget.empty()) return 0;
  std::ostringstream manifest;
  std::string error;
  if (!WriteWingetManifest(bytes, manifest, error)) return Fail(error);
  const std::string text = manifest.str();
  if (!WriteBytes(winget, std::vector<std::uint8_t>(text.begin(), text.end())))
    return Fail("cannot write " + winget.string());
  std::cout << "wrote " << winget.string() << "\n";
  return 0;
}

}  // namespace

int main(int argc, char** argv) {
#ifdef _WIN32
  // The narrow arguments are in the ANSI code page; take the wide command
  // line and hand UTF-8 on, as on every other system.
  std::vector<std::string> utf8;
  std::vector<char*> pointers;
  int wideCount = 0;
  if (wchar_t** wide = ::CommandLineToArgvW(::GetCommandLineW(), &wideCount)) {
    for (int i = 0; i < wideCount; ++i) {
      const int n = ::WideCharToMultiByte(CP_UTF8, 0, wide[i], -1, nullptr, 0, nullptr, nullptr);
      std::string s(n > 0 ? n - 1 : 0, '\0');
      if (n > 1) ::WideCharToMultiByte(CP_UTF8, 0, wide[i], -1, s.data(), n, nullptr, nullptr);
      utf8.push_back(std::move(s));
    }
    ::LocalFree(wide);
    for (auto& s : utf8) pointers.push_back(s.data());
    pointers.push_back(nullptr);
    argc = wideCount;
    argv = pointers.data();
  }
#endif
  if (argc < 2) return Usage();
  if (std::strcmp(argv[1], "build") == 0) return Build(argc, argv);
  if (std::strcmp(argv[1], "inspect") == 0) return Inspect(argc, argv);
  return Usage();
}
