#pragma once

#include <windows.h>

#include <ioapi.h>

namespace pv {

// minizip file functions over a file handle the caller already holds open.
// The archive is read through the same handle it was written with, so no
// second open can see a different file; minizip's close leaves the handle to
// its owner. Reads go through a window of the file held in memory (minizip
// reads header fields byte by byte).
void FillHandleFileFuncs(zlib_filefunc64_def& funcs, HANDLE file);

}  // namespace pv
