#include "tools/pivpack/ZipBuilder.h"

#include <zip.h>

#include <algorithm>
#include <chrono>
#include <ctime>
#include <fstream>

#include "engine/EntryNameEncoding.h"
#include "tools/pivpack/CodePage.h"
#include "tools/pivpack/FileZipIo.h"
#include "tools/pivpack/MemoryZipIo.h"

namespace pv {

namespace fs = std::filesystem;

namespace {

constexpr unsigned long kAttrDirectory = 0x10;
constexpr unsigned long kAttrArchive = 0x20;

std::string Utf8Name(const fs::path& p) {
  const auto u8 = p.u8string();
  return std::string(u8.begin(), u8.end());
}

void DosTime(const fs::path& p, tm_zip& out) {
  std::error_code ec;
  const auto ftime = fs::last_write_time(p, ec);
  std::time_t t = std::time(nullptr);
  if (!ec) {
    // Move between the two clocks through "now"; precise to well under the
    // two seconds a ZIP time can hold.
    const auto sys = std::chrono::time_point_cast<std::chrono::system_clock::duration>(
        ftime - fs::file_time_type::clock::now() + std::chrono::system_clock::now());
    t = std::chrono::system_clock::to_time_t(sys);
  }
  std::tm local{};
#ifdef _WIN32
  localtime_s(&local, &t);
#else
  localtime_r(&t, &local);
#endif
  // The ZIP date format starts in 1980.
  if (local.tm_year < 80) {
    local = std::tm{};
    local.tm_mday = 1;
    local.tm_year = 80;
  }
  out.tm_sec = static_cast<uInt>(local.tm_sec);
  out.tm_min = static_cast<uInt>(local.tm_min);
  out.tm_hour = static_cast<uInt>(local.tm_hour);
  out.tm_mday = static_cast<uInt>(local.tm_mday);
  out.tm_mon = static_cast<uInt>(local.tm_mon);
  out.tm_year = static_cast<uInt>(local.tm_year + 1900);
}

class Writer {
 public:
  Writer(const ZipBuildOptions& options, zlib_filefunc64_def& funcs, ZipBuildStats& stats, std::string& error)
      : options_(options), funcs_(funcs), stats_(stats), error_(error) {}

  bool Run(const fs::path& root) {
    handle_ = zipOpen2_64("archive", APPEND_STATUS_CREATE, nullptr, &funcs_);
    if (!handle_) return Fail("cannot start the archive");
    const bool ok = AddFolder(root, "");
    if (zipClose(handle_, nullptr) != ZIP_OK && ok) return Fail("cannot finish the archive");
    return ok;
  }

 private:
  bool Fail(std::string message) {
    if (error_.empty()) error_ = std::move(message);
    return false;
  }

  bool EntryName(const std::string& utf8, std::string& out) {
    std::u16string checked;
    if (options_.codePage == 0) {
      if (!DecodeUtf8Name(utf8, checked)) return Fail("the name \"" + utf8 + "\" is not valid UTF-8");
      out = utf8;
    } else if (!Utf8ToCodePage(utf8, options_.codePage, out))
      return Fail("the name \"" + utf8 + "\" cannot be written in code page " + std::to_string(options_.codePage));
    if (out.size() > 0xFFFF) return Fail("the name \"" + utf8 + "\" is too long");
    return true;
  }

  bool AddFolder(const fs::path& dir, const std::string& prefix) {
    std::vector<fs::path> folders, files;
    std::error_code ec;
    for (const auto& entry : fs::directory_iterator(dir, ec)) {
      if (entry.is_directory()) {
        folders.push_back(entry.path());
      } else if (entry.is_regular_file()) {
        files.push_back(entry.path());
      } else {
        return Fail("not a file or folder: " + Utf8Name(entry.path()));
      }
    }
    if (ec) return Fail("cannot list " + Utf8Name(dir) + ": " + ec.message());
    auto byName = [](const fs::path& a, const fs::path& b) { return Utf8Name(a.filename()) < Utf8Name(b.filename()); };
    std::sort(folders.begin(), folders.end(), byName);
    std::sort(files.begin(), files.end(), byName);
    for (const auto& f : folders) {
      const std::string name = prefix + Utf8Name(f.filename()) + "/";
      if (!AddEntry(f, name, true)) return false;
      if (!AddFolder(f, name)) return false;
    }
    for (const auto& f : files) {
      if (!AddEntry(f, prefix + Utf8Name(f.filename()), false)) return false;
    }
    return true;
  }

  // Files go through the deflater a chunk at a time: the builder's memory
  // does not grow with the size of a file, only with the archive it writes.
  bool AddEntry(const fs::path& path, const std::string& utf8Name, bool folder) {
    std::string name;
    if (!EntryName(utf8Name, name)) return false;
    std::ifstream in;
    std::uint64_t size = 0;
    if (!folder) {
      std::error_code ec;
      size = fs::file_size(path, ec);
      in.open(path, std::ios::binary);
      if (ec || !in) return Fail("cannot read " + Utf8Name(path));
    }
    zip_fileinfo info{};
    DosTime(path, info.tmz_date);
    info.external_fa = folder ? kAttrDirectory : kAttrArchive;
    const int zip64 = size >= 0xFFFFFFFFull ? 1 : 0;
    const int method = folder ? 0 : Z_DEFLATED;
    const uLong flags = options_.codePage == 0 ? kZipFlagUtf8 : 0;
    if (zipOpenNewFileInZip4_64(handle_, name.c_str(), &info, nullptr, 0, nullptr, 0, nullptr, method,
                                folder ? 0 : options_.level, 0, -MAX_WBITS, DEF_MEM_LEVEL, Z_DEFAULT_STRATEGY, nullptr,
                                0, 0 /* made by: MS-DOS */, flags, zip64) != ZIP_OK)
      return Fail("cannot add " + utf8Name);
    std::uint64_t done = 0;
    if (!folder) {
      buffer_.resize(kChunk);
      while (in) {
        in.read(buffer_.data(), static_cast<std::streamsize>(buffer_.size()));
        const auto got = static_cast<unsigned>(in.gcount());
        if (got == 0) break;
        if (zipWriteInFileInZip(handle_, buffer_.data(), got) != ZIP_OK) {
          zipCloseFileInZip(handle_);
          return Fail("cannot add " + utf8Name);
        }
        done += got;
      }
      // A file that changed size while it was read would be stored with a
      // header that promised another size class: refuse it.
      if (in.bad() || done != size || (done >= 0xFFFFFFFFull) != (zip64 == 1)) {
        zipCloseFileInZip(handle_);
        return Fail("cannot read " + Utf8Name(path) + (in.bad() ? "" : " (it changed while it was read)"));
      }
    }
    if (zipCloseFileInZip(handle_) != ZIP_OK) return Fail("cannot add " + utf8Name);
    if (folder) {
      ++stats_.folders;
    } else {
      ++stats_.files;
      stats_.bytesIn += done;
    }
    return true;
  }

  static constexpr std::size_t kChunk = 1 << 20;
  const ZipBuildOptions& options_;
  zlib_filefunc64_def& funcs_;
  ZipBuildStats& stats_;
  std::string& error_;
  zipFile handle_ = nullptr;
  std::vector<char> buffer_;
};

}  // namespace

namespace {

bool ZipFolder(const fs::path& folder, const ZipBuildOptions& options, zlib_filefunc64_def& funcs, ZipBuildStats& stats,
               std::string& error) {
  stats = {};
  error.clear();
  std::error_code ec;
  if (!fs::is_directory(folder, ec)) {
    error = "not a folder: " + Utf8Name(folder);
    return false;
  }
  return Writer(options, funcs, stats, error).Run(folder);
}

}  // namespace

bool BuildZipFromFolder(const fs::path& folder, const ZipBuildOptions& options, std::vector<std::uint8_t>& zip,
                        ZipBuildStats& stats, std::string& error) {
  zlib_filefunc64_def funcs;
  FillMemoryFileFuncs(funcs, zip);
  return ZipFolder(folder, options, funcs, stats, error);
}

bool BuildZipFromFolder(const fs::path& folder, const ZipBuildOptions& options, std::FILE* zip, ZipBuildStats& stats,
                        std::string& error) {
  zlib_filefunc64_def funcs;
  FillFileZipFuncs(funcs, zip);
  const bool ok = ZipFolder(folder, options, funcs, stats, error);
  if (ok && std::fflush(zip) != 0) {
    error = "cannot write the archive";
    return false;
  }
  return ok;
}

}  // namespace pv
