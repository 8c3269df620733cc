#pragma once

#include <cstdio>
#include <filesystem>

#include <ioapi.h>

namespace pv {

// minizip file functions over a file the caller opened (OpenBinaryFile), so
// archives of any size are written and read a piece at a time, with wide
// paths on Windows. The file must outlive the zip/unzip handle, which does
// not close it.
void FillFileZipFuncs(zlib_filefunc64_def& funcs, std::FILE* file);

// fopen with a path of any characters; mode "rb", "wb" or "w+b".
std::FILE* OpenBinaryFile(const std::filesystem::path& path, const char* mode);

}  // namespace pv
