#include "tools/pivpack/WingetManifest.h"

#include <algorithm>
#include <cstdio>
#include <string_view>

#include "app/PackageLayout.h"
#include "json/JReader.h"
#include "tools/pivpack/InstallerBuilder.h"
#include "tools/pivpack/PeImage.h"
#include "tools/pivpack/Sha256.h"

namespace pv {

namespace {

// A YAML double-quoted scalar (JSON's escapes, which YAML shares).
std::string Quoted(std::string_view text) {
  std::string out = "\"";
  for (const char ch : text) {
    const auto byte = static_cast<unsigned char>(ch);
    if (ch == '"' || ch == '\\') {
      out += '\\';
      out += ch;
    } else if (byte < 0x20 || byte == 0x7F) {
      char escape[8];
      std::snprintf(escape, sizeof escape, "\\x%02X", byte);
      out += escape;
    } else {
      out += ch;
    }
  }
  return out + "\"";
}

// One part of a package identifier: at most 32 characters, none of blanks,
// dots and the characters a file name cannot hold.
std::string IdentifierPart(std::string_view text, const char* fallback) {
  std::string out;
  int characters = 0;
  for (std::size_t i = 0; i < text.size(); ++i) {
    const auto byte = static_cast<unsigned char>(text[i]);
    if (byte < 0x80 &&
        (byte <= 0x20 || byte == 0x7F || std::string_view(".\\/:*?\"<>|").find(text[i]) != std::string_view::npos))
      continue;
    const bool starts = (byte & 0xC0) != 0x80;
    if (starts && ++characters > 32) break;
    out += text[i];
  }
  return out.empty() ? fallback : out;
}

// The locale of a Windows language id, for the languages our products ship in.
const char* LocaleOf(long long language) {
  static constexpr struct {
    int id;
    const char* name;
  } kLocales[] = {{0x0804, "zh-CN"}, {0x0404, "zh-TW"}, {0x0C04, "zh-HK"}, {0x0409, "en-US"}, {0x0809, "en-GB"},
                  {0x0407, "de-DE"}, {0x040C, "fr-FR"}, {0x0C0A, "es-ES"}, {0x0410, "it-IT"}, {0x0411, "ja-JP"},
                  {0x0412, "ko-KR"}, {0x0416, "pt-BR"}, {0x0419, "ru-RU"}};
  for (const auto& locale : kLocales)
    if (locale.id == language) return locale.name;
  return "en-US";
}

}  // namespace

bool WriteWingetManifest(std::span<const std::uint8_t> installer, std::ostream& out, std::string& error) {
  PeImageInfo pe;
  if (!ReadPeImage(installer, pe, error)) return false;
  JValue product;
  if (!StubDefinition(installer.first(std::min<std::size_t>(pe.imageEnd, installer.size())), product)) {
    error = "the installer's stub records no product definition";
    return false;
  }
  // Only an installer is a package to submit; its uninstaller is not.
  package::BufferSource source(installer);
  const auto config = package::ReadConfigText(source);
  JValue doc;
  JReader reader;
  if (!config || !reader.Parse(config->c_str(), doc) || doc.Find("mode").ToInt() == 0) {
    error = "the file is not an installer (no install configuration)";
    return false;
  }
  const std::string version = product.Find("version").ToText();
  if (version.empty()) {
    error = "the installer's stub records no product version (a stub of an older build)";
    return false;
  }
  const std::string name = product.Find("displayName").ToText();
  const std::string publisher = product.Find("publisher").ToText();
  const std::string key = product.Find("uninstallKey").ToText();
  const std::string suffix =
      std::string(product.Find("makerFolder").ToText()) + "\\" + product.Find("productFolder").ToText();

  out << "# A singleton manifest for the Windows Package Manager, written by pivpack inspect.\n"
         "# Fill in License and InstallerUrl before submitting it.\n"
      << "PackageIdentifier: " << Quoted(IdentifierPart(publisher, "Vendor") + "." + IdentifierPart(key, "Product"))
      << "\n"
      << "PackageVersion: " << Quoted(version) << "\n"
      << "PackageLocale: " << LocaleOf(product.Find("language").ToInt()) << "\n"
      << "Publisher: " << Quoted(publisher) << "\n"
      << "PublisherUrl: " << Quoted(product.Find("helpLink").ToText()) << "\n"
      << "PackageName: " << Quoted(name) << "\n"
      << "License: \"<the product's licence>\"\n"
      << "LicenseUrl: " << Quoted(product.Find("licencePage").ToText()) << "\n"
      << "ShortDescription: " << Quoted(name) << "\n"
      << "Installers:\n"
      << "  - Architecture: x64\n"
      << "    InstallerType: exe\n"
      << "    Scope: machine\n"
      << "    InstallerUrl: \"https://<where the installer is downloaded from>\"\n"
      << "    InstallerSha256: " << Sha256Hex(installer) << "\n"
      << "    InstallModes:\n"
      << "      - interactive\n"
      << "      - silent\n"
      << "      - silentWithProgress\n"
      << "    InstallerSwitches:\n"
      << "      Silent: /q\n"
      << "      SilentWithProgress: /q\n"
      << "      # The parent folder: the product goes into <INSTALLPATH>\\" << suffix << ".\n"
      << "      InstallLocation: /D \"<INSTALLPATH>\"\n"
      << "      Log: /log \"<LOGPATH>\"\n"
      << "    UpgradeBehavior: install\n"
      << "    ExpectedReturnCodes:\n";
  static constexpr struct {
    int code;
    const char* response;
  } kCodes[] = {{1, "contactSupport"}, {2, "contactSupport"}, {3, "contactSupport"}, {5, "contactSupport"},
                {6, "diskFull"},       {8, "contactSupport"}, {9, "contactSupport"}, {1622, "invalidParameter"},
                {1638, "downgrade"}};
  for (const auto& code : kCodes)
    out << "      - InstallerReturnCode: " << code.code << "\n        ReturnResponse: " << code.response << "\n";
  out << "    AppsAndFeaturesEntries:\n"
      << "      - DisplayName: " << Quoted(name) << "\n"
      << "        Publisher: " << Quoted(publisher) << "\n"
      << "        DisplayVersion: " << Quoted(version) << "\n"
      << "        ProductCode: " << Quoted(key) << "\n"
      << "        InstallerType: exe\n"
      << "ManifestType: singleton\n"
      << "ManifestVersion: 1.6.0\n";
  return static_cast<bool>(out);
}

}  // namespace pv
