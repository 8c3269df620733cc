#pragma once

#include <ioapi.h>

namespace pv {

// The seven stream callbacks minizip reads and writes archives through, and
// the value it hands to the open callback.
struct ZipStreamFuncs {
  open64_file_func open;
  read_file_func read;
  write_file_func write;
  tell64_file_func tell;
  seek64_file_func seek;
  close_file_func close;
  testerror_file_func error;
};

inline void FillZipFuncs(zlib_filefunc64_def& funcs, const ZipStreamFuncs& stream, void* opaque) {
  funcs.zopen64_file = stream.open;
  funcs.zread_file = stream.read;
  funcs.zwrite_file = stream.write;
  funcs.ztell64_file = stream.tell;
  funcs.zseek64_file = stream.seek;
  funcs.zclose_file = stream.close;
  funcs.zerror_file = stream.error;
  funcs.opaque = opaque;
}

}  // namespace pv
