#include "tools/pivpack/InstallerBuilder.h"

#include <unzip.h>

#include <algorithm>
#include <functional>
#include <string_view>

#include "app/ArchiveChecksum.h"
#include "app/PackageLayout.h"
#include "engine/EntryNameEncoding.h"
#include "json/JReader.h"
#include "tools/pivpack/CodePage.h"
#include "tools/pivpack/FileZipIo.h"
#include "tools/pivpack/MemoryZipIo.h"
#include "tools/pivpack/PeImage.h"

namespace pv {

namespace {

bool ParseConfig(const std::string& text, JValue& doc, std::string& error) {
  JReader reader;
  if (!reader.Parse(text.c_str(), doc)) {
    error = "the configuration is not valid JSON: " + reader.ErrorMessage() + " (at byte " +
            std::to_string(reader.ErrorOffset()) + ")";
    return false;
  }
  if (!doc.Has("mode")) {
    error = "the configuration has no \"mode\"";
    return false;
  }
  return true;
}

struct ArchiveCheck {
  bool ok = false;
  std::uint64_t entries = 0;
  std::uint64_t folders = 0;
  std::vector<std::string> names;  // "encoding  name" per entry, names as UTF-8
  std::string error;
};

// An entry's name for the report, and whether it is valid in its encoding;
// names without the UTF-8 marks are shown in `codePage` (0: taken as they
// are, unchecked: the code page of the installing system is not known).
bool DescribeName(std::uint16_t flags, std::string_view raw, std::span<const std::uint8_t> extra, unsigned codePage,
                  std::string& line) {
  const EntryNameSource source = SelectEntryName(flags, raw, extra);
  std::string encoding = EntryNameEncodingName(source.encoding);
  std::string name;
  bool valid;
  if (source.encoding == EntryNameEncoding::kCodePage && codePage == 0) {
    valid = true;
    name = source.bytes;
  } else if (source.encoding == EntryNameEncoding::kCodePage) {
    encoding += " " + std::to_string(codePage);
    valid = CodePageToUtf8(source.bytes, codePage, name) && name.find('\0') == std::string::npos;
  } else {
    std::u16string checked;
    valid = DecodeUtf8Name(source.bytes, checked);
    name = source.bytes;
  }
  if (!valid) name = "(not valid in its encoding)";
  encoding.resize(std::max<std::size_t>(encoding.size(), 21), ' ');
  line = encoding + " " + name;
  return valid;
}

ArchiveCheck CheckArchive(zlib_filefunc64_def& funcs, unsigned codePage) {
  ArchiveCheck check;
  unzFile zip = unzOpen2_64("archive", &funcs);
  if (!zip) {
    check.error = "the archive is not a ZIP file";
    return check;
  }
  unz_global_info64 global{};
  unzGetGlobalInfo64(zip, &global);
  std::vector<char> buffer(1 << 16);
  int r = unzGoToFirstFile(zip);
  while (r == UNZ_OK) {
    char name[1024] = {};
    std::vector<std::uint8_t> extra(0x10000);
    unz_file_info64 info{};
    if (unzGetCurrentFileInfo64(zip, &info, name, sizeof name - 1, extra.data(), extra.size(), nullptr, 0) != UNZ_OK ||
        info.size_filename >= sizeof name) {
      check.error = "cannot read entry " + std::to_string(check.entries);
      break;
    }
    const std::string entry(name, info.size_filename);
    extra.resize(std::min<std::size_t>(info.size_file_extra, extra.size()));
    std::string line;
    const bool validName = DescribeName(static_cast<std::uint16_t>(info.flag), entry, extra, codePage, line);
    check.names.push_back(line);
    if (!validName) {
      check.error = "the name of entry " + std::to_string(check.entries) + " is not valid in its encoding";
      break;
    }
    if (!entry.empty() && entry.back() == '/') ++check.folders;
    if (unzOpenCurrentFile(zip) != UNZ_OK) {
      check.error = "cannot open entry " + entry;
      break;
    }
    std::uint64_t total = 0;
    int n;
    while ((n = unzReadCurrentFile(zip, buffer.data(), static_cast<unsigned>(buffer.size()))) > 0) total += n;
    const int closed = unzCloseCurrentFile(zip);
    if (n < 0 || closed != UNZ_OK || total != info.uncompressed_size) {
      check.error = "entry " + entry + " is damaged";
      break;
    }
    ++check.entries;
    r = unzGoToNextFile(zip);
  }
  if (check.error.empty() && r != UNZ_END_OF_LIST_OF_FILE) check.error = "cannot walk the archive";
  if (check.error.empty() && check.entries != global.number_entry)
    check.error = "the archive lists " + std::to_string(global.number_entry) + " entries but holds " +
                  std::to_string(check.entries);
  unzClose(zip);
  check.ok = check.error.empty();
  return check;
}

ArchiveCheck CheckArchive(std::span<const std::uint8_t> archive, unsigned codePage) {
  std::vector<std::uint8_t> bytes(archive.begin(), archive.end());
  zlib_filefunc64_def funcs;
  FillMemoryFileFuncs(funcs, bytes);
  return CheckArchive(funcs, codePage);
}

// Everything before the archive bytes: the image up to P with the locator
// set, L, the configuration (with the archive's checksum) and, with an
// archive, Z. `checkArchive` runs after the configuration's checks.
bool ComposeHead(std::span<const std::uint8_t> stub, const std::string& configText, bool withArchive, std::uint32_t crc,
                 std::uint64_t archiveSize, const std::function<ArchiveCheck()>& checkArchive,
                 std::vector<std::uint8_t>& head, std::string& error) {
  PeImageInfo pe;
  if (!ReadPeImage(stub, pe, error)) return false;
  if (package::ReadU32(stub.data() + pe.locatorOffset) != 0) {
    error = "the four bytes before the PE signature are in use; this image cannot carry a package";
    return false;
  }
  if (pe.symbolTable != 0) {
    error = "the executable carries a symbol table after its sections; strip it first";
    return false;
  }
  if (pe.certificateSize != 0) {
    error = "the executable is already signed; package it first and sign the result";
    return false;
  }
  JValue doc;
  if (!ParseConfig(configText, doc, error)) return false;
  // Our checksum of the archive bytes, replacing any the configuration had.
  if (withArchive) doc.Member(package::kArchiveCrcKey) = JValue(package::FormatArchiveCrc(crc));
  const std::string text = doc.Dump();
  if (withArchive) {
    const ArchiveCheck check = checkArchive();
    if (!check.ok) {
      error = check.error;
      return false;
    }
  }
  const std::uint64_t total = static_cast<std::uint64_t>(pe.imageEnd) + 4 + text.size() + (withArchive ? 4 : 0) +
                              (withArchive ? archiveSize : 0);
  if (total > 0xFFFFFFFFull) {
    error = "the installer would exceed 4 GiB";
    return false;
  }
  head.assign(stub.begin(), stub.begin() + pe.imageEnd);
  package::WriteU32(head.data() + pe.locatorOffset, pe.imageEnd);
  std::uint8_t field[4];
  package::WriteU32(field, static_cast<std::uint32_t>(text.size()));
  head.insert(head.end(), field, field + 4);
  head.insert(head.end(), text.begin(), text.end());
  if (withArchive) {
    package::WriteU32(field, static_cast<std::uint32_t>(archiveSize));
    head.insert(head.end(), field, field + 4);
  }
  return true;
}

bool Seek(std::FILE* file, std::uint64_t offset, int whence) {
#ifdef _WIN32
  return _fseeki64(file, static_cast<__int64>(offset), whence) == 0;
#else
  return fseeko(file, static_cast<off_t>(offset), whence) == 0;
#endif
}

std::uint64_t Tell(std::FILE* file) {
#ifdef _WIN32
  return static_cast<std::uint64_t>(_ftelli64(file));
#else
  return static_cast<std::uint64_t>(ftello(file));
#endif
}

}  // namespace

bool BuildInstaller(std::span<const std::uint8_t> stub, const std::string& configText,
                    std::span<const std::uint8_t> archive, bool withArchive, std::vector<std::uint8_t>& out,
                    std::string& error) {
  const std::uint32_t crc = withArchive ? package::ArchiveCrc(archive) : 0;
  if (!ComposeHead(
          stub, configText, withArchive, crc, archive.size(), [&] { return CheckArchive(archive, 0); }, out, error))
    return false;
  if (withArchive) out.insert(out.end(), archive.begin(), archive.end());
  return true;
}

bool BuildInstallerFile(std::span<const std::uint8_t> stub, const std::string& configText, std::FILE* archive,
                        std::FILE* out, std::string& error) {
  std::vector<std::uint8_t> buffer(1u << 20);
  std::uint64_t size = 0;
  std::uint32_t crc = package::ArchiveCrc({});
  if (archive) {
    if (!Seek(archive, 0, SEEK_SET)) {
      error = "cannot read the archive";
      return false;
    }
    std::size_t got;
    while ((got = std::fread(buffer.data(), 1, buffer.size(), archive)) > 0) {
      crc = package::ArchiveCrc(crc, std::span<const std::uint8_t>(buffer.data(), got));
      size += got;
    }
    if (std::ferror(archive)) {
      error = "cannot read the archive";
      return false;
    }
  }
  std::vector<std::uint8_t> head;
  const auto check = [&] {
    Seek(archive, 0, SEEK_SET);
    zlib_filefunc64_def funcs;
    FillFileZipFuncs(funcs, archive);
    return CheckArchive(funcs, 0);
  };
  if (!ComposeHead(stub, configText, archive != nullptr, crc, size, check, head, error)) return false;
  bool ok = std::fwrite(head.data(), 1, head.size(), out) == head.size();
  if (ok && archive) {
    // The bytes the checksum was taken of, a piece at a time.
    ok = Seek(archive, 0, SEEK_SET);
    std::uint64_t copied = 0;
    std::size_t got;
    while (ok && (got = std::fread(buffer.data(), 1, buffer.size(), archive)) > 0) {
      ok = std::fwrite(buffer.data(), 1, got, out) == got;
      copied += got;
    }
    ok = ok && !std::ferror(archive) && copied == size && Tell(archive) == size;
  }
  if (!ok || std::fflush(out) != 0) {
    error = "cannot write the installer";
    return false;
  }
  return true;
}

bool StubDefinition(std::span<const std::uint8_t> image, JValue& product) {
  // The build places the product definition, as one line of JSON after this
  // marker, among the stub's read-only data.
  static constexpr std::string_view kTag = "PivsetProduct:";
  const auto* begin = reinterpret_cast<const char*>(image.data());
  const auto* end = begin + image.size();
  const auto* at = std::search(begin, end, std::boyer_moore_horspool_searcher(kTag.begin(), kTag.end()));
  if (at == end) return false;
  const auto* text = at + kTag.size();
  const auto* stop = std::find(text, end, '\0');
  JReader reader;
  return stop != end && reader.Parse(text, product) && product.Type() == JObject;
}

namespace {

std::string ProductSummary(const JValue& product) {
  return std::string(product.Find("displayName").ToText()) + " (folder " + product.Find("makerFolder").ToText() + "\\" +
         product.Find("productFolder").ToText() + ", uninstall key " + product.Find("uninstallKey").ToText() +
         ", publisher " + product.Find("publisher").ToText() + ")";
}

}  // namespace

std::string StubProduct(std::span<const std::uint8_t> image) {
  JValue product;
  return StubDefinition(image, product) ? ProductSummary(product) : "";
}

bool InspectInstaller(std::span<const std::uint8_t> file, std::ostream& report, unsigned codePage) {
  bool ok = true;
  auto problem = [&](const std::string& message) {
    report << "problem:        " << message << "\n";
    ok = false;
  };
  report << "file size:      " << file.size() << "\n";
  PeImageInfo pe;
  std::string error;
  if (!ReadPeImage(file, pe, error)) problem(error);
  const auto stubImage = file.first(pe.imageEnd ? std::min<std::size_t>(pe.imageEnd, file.size()) : file.size());
  JValue definition;
  const bool recorded = StubDefinition(stubImage, definition);
  report << "product:        " << (recorded ? ProductSummary(definition) : "not recorded (a stub of another build)")
         << "\n";
  if (recorded && definition.Has("version"))
    report << "version:        " << definition.Find("version").ToText() << "\n";
  // A table the entry points past the end of (a signed installer's header
  // copied without the table) makes trust checks call the file malformed.
  if (pe.certificateSize != 0 && static_cast<std::uint64_t>(pe.certificateOffset) + pe.certificateSize > file.size())
    problem("the certificate table entry (" + std::to_string(pe.certificateSize) + " bytes at " +
            std::to_string(pe.certificateOffset) + ") points outside the file");
  package::BufferSource source(file);
  const std::uint32_t locator = package::ReadLocator(source);
  report << "locator (P):    " << locator << "\n";
  if (locator == 0) {
    problem("no package (locator 0)");
    return false;
  }
  if (pe.imageEnd && locator != pe.imageEnd)
    problem("the package does not start at the end of the image (" + std::to_string(pe.imageEnd) + ")");
  const auto text = package::ReadConfigText(source);
  if (!text) {
    problem("the configuration length runs past the end of the file");
    return false;
  }
  report << "config (L):     " << text->size() << " bytes\n";
  report << "config:         " << *text << (text->empty() || text->back() != '\n' ? "\n" : "");
  JValue doc;
  if (!ParseConfig(*text, doc, error)) problem(error);
  report << "mode:           " << doc.Find("mode").ToInt()
         << (doc.Find("mode").ToInt() == 0 ? " (uninstall)\n" : " (install)\n");
  const package::PackageSpan span = package::CheckPackage(file, locator);
  if (span.result == kPkgContentInvalid) {
    report << "archive (Z):    none\n";
    if (doc.Find("mode").ToInt() != 0) problem("an installer without archive");
    return ok;
  }
  if (span.result != kEngineOk) {
    problem("package check failed with code " + std::to_string(span.result));
    return false;
  }
  report << "archive (Z):    " << span.archiveLength << " bytes at " << span.archiveOffset << "\n";
  if (span.archivePresent != span.archiveLength) problem("the archive is cut short");
  const auto archive = file.subspan(span.archiveOffset, span.archivePresent);
  const std::string actual = package::FormatArchiveCrc(package::ArchiveCrc(archive));
  switch (package::CheckArchiveCrc(doc, archive, span.archiveLength)) {
    case package::ArchiveCrcCheck::kAbsent:
      report << "checksum:       none (the archive is " << actual << "; entries are checked one by one)\n";
      break;
    case package::ArchiveCrcCheck::kMatches:
      report << "checksum:       " << actual << " (matches)\n";
      break;
    case package::ArchiveCrcCheck::kMismatch:
      report << "checksum:       " << doc.Find(package::kArchiveCrcKey).ToText() << " (DOES NOT MATCH: the archive is "
             << actual << ")\n";
      problem("the archive does not match its checksum");
      break;
  }
  const std::size_t trailing = file.size() - span.archiveOffset - span.archivePresent;
  report << "after package:  " << trailing << " bytes" << (pe.certificateSize ? " (certificate table)\n" : "\n");
  const ArchiveCheck check = CheckArchive(archive, codePage);
  report << "entries:        " << check.entries << " (" << check.folders << " folders, "
         << check.entries - check.folders << " files)\n";
  for (const std::string& line : check.names) report << "entry:          " << line << "\n";
  if (!check.ok) problem(check.error);
  report << (ok ? "result:         ok\n" : "result:         FAILED\n");
  return ok;
}

}  // namespace pv
