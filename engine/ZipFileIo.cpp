#include "engine/ZipFileIo.h"

namespace {

voidpf ZCALLBACK Open(voidpf opaque, const void*, int) {
  HANDLE file = static_cast<HANDLE>(opaque);
  LARGE_INTEGER zero{};
  if (!::SetFilePointerEx(file, zero, nullptr, FILE_BEGIN)) return nullptr;
  return file;
}

uLong ZCALLBACK Read(voidpf, voidpf stream, void* buf, uLong size) {
  DWORD got = 0;
  if (!::ReadFile(static_cast<HANDLE>(stream), buf, size, &got, nullptr)) return 0;
  return got;
}

uLong ZCALLBACK Write(voidpf, voidpf, const void*, uLong) { return 0; }  // read only

ZPOS64_T ZCALLBACK Tell(voidpf, voidpf stream) {
  LARGE_INTEGER zero{}, at{};
  if (!::SetFilePointerEx(static_cast<HANDLE>(stream), zero, &at, FILE_CURRENT)) return static_cast<ZPOS64_T>(-1);
  return static_cast<ZPOS64_T>(at.QuadPart);
}

long ZCALLBACK Seek(voidpf, voidpf stream, ZPOS64_T offset, int origin) {
  DWORD method;
  switch (origin) {
    case ZLIB_FILEFUNC_SEEK_SET: method = FILE_BEGIN; break;
    case ZLIB_FILEFUNC_SEEK_CUR: method = FILE_CURRENT; break;
    case ZLIB_FILEFUNC_SEEK_END: method = FILE_END; break;
    default: return -1;
  }
  LARGE_INTEGER to;
  to.QuadPart = static_cast<LONGLONG>(offset);
  return ::SetFilePointerEx(static_cast<HANDLE>(stream), to, nullptr, method) ? 0 : -1;
}

int ZCALLBACK Close(voidpf, voidpf) { return 0; }

int ZCALLBACK Error(voidpf, voidpf) { return 0; }

}  // namespace

void FillHandleFileFuncs(zlib_filefunc64_def& funcs, HANDLE file) {
  funcs.zopen64_file = Open;
  funcs.zread_file = Read;
  funcs.zwrite_file = Write;
  funcs.ztell64_file = Tell;
  funcs.zseek64_file = Seek;
  funcs.zclose_file = Close;
  funcs.zerror_file = Error;
  funcs.opaque = file;
}
