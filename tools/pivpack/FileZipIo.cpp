#include "tools/pivpack/FileZipIo.h"

#include <string>

#include "engine/ZipStreamFuncs.h"

namespace pv {

namespace {

std::FILE* AsFile(voidpf stream) { return static_cast<std::FILE*>(stream); }

voidpf ZCALLBACK Open(voidpf opaque, const void*, int) { return opaque; }

uLong ZCALLBACK Read(voidpf, voidpf stream, void* buf, uLong size) {
  return static_cast<uLong>(std::fread(buf, 1, size, AsFile(stream)));
}

uLong ZCALLBACK Write(voidpf, voidpf stream, const void* buf, uLong size) {
  return static_cast<uLong>(std::fwrite(buf, 1, size, AsFile(stream)));
}

ZPOS64_T ZCALLBACK Tell(voidpf, voidpf stream) {
#ifdef _WIN32
  return static_cast<ZPOS64_T>(_ftelli64(AsFile(stream)));
#else
  return static_cast<ZPOS64_T>(ftello(AsFile(stream)));
#endif
}

long ZCALLBACK Seek(voidpf, voidpf stream, ZPOS64_T offset, int origin) {
  int whence;
  switch (origin) {
    case ZLIB_FILEFUNC_SEEK_SET:
      whence = SEEK_SET;
      break;
    case ZLIB_FILEFUNC_SEEK_CUR:
      whence = SEEK_CUR;
      break;
    case ZLIB_FILEFUNC_SEEK_END:
      whence = SEEK_END;
      break;
    default:
      return -1;
  }
#ifdef _WIN32
  return _fseeki64(AsFile(stream), static_cast<__int64>(offset), whence) == 0 ? 0 : -1;
#else
  return fseeko(AsFile(stream), static_cast<off_t>(offset), whence) == 0 ? 0 : -1;
#endif
}

// The caller owns the file.
int ZCALLBACK Close(voidpf, voidpf) { return 0; }

int ZCALLBACK Error(voidpf, voidpf stream) { return std::ferror(AsFile(stream)); }

}  // namespace

void FillFileZipFuncs(zlib_filefunc64_def& funcs, std::FILE* file) {
  FillZipFuncs(funcs, {Open, Read, Write, Tell, Seek, Close, Error}, file);
}

std::FILE* OpenBinaryFile(const std::filesystem::path& path, const char* mode) {
#ifdef _WIN32
  const std::string narrow(mode);
  return _wfopen(path.c_str(), std::wstring(narrow.begin(), narrow.end()).c_str());
#else
  return std::fopen(path.c_str(), mode);
#endif
}

}  // namespace pv
