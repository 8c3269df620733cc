#pragma once

#include <cstdint>
#include <vector>

#include <ioapi.h>

namespace pv {

// minizip file functions over a byte vector, so archives are written and
// checked in memory without temporary files or narrow-character paths.
// The vector must outlive the zip/unzip handle; opening "creates" it (zip,
// writing) or reads it as it is (unzip, reading).
void FillMemoryFileFuncs(zlib_filefunc64_def& funcs, std::vector<std::uint8_t>& bytes);

}  // namespace pv
