#include "tools/pivpack/MemoryZipIo.h"

#include <cstring>

#include "engine/ZipStreamFuncs.h"

namespace pv {

namespace {

struct MemoryStream {
  std::vector<std::uint8_t>* bytes;
  std::uint64_t position = 0;
};

voidpf ZCALLBACK Open(voidpf opaque, const void*, int mode) {
  auto* bytes = static_cast<std::vector<std::uint8_t>*>(opaque);
  if (mode & ZLIB_FILEFUNC_MODE_CREATE) bytes->clear();
  return new MemoryStream{bytes};
}

uLong ZCALLBACK Read(voidpf, voidpf stream, void* buf, uLong size) {
  auto* s = static_cast<MemoryStream*>(stream);
  const std::uint64_t total = s->bytes->size();
  if (s->position >= total) return 0;
  const std::uint64_t n = std::min<std::uint64_t>(size, total - s->position);
  std::memcpy(buf, s->bytes->data() + s->position, n);
  s->position += n;
  return static_cast<uLong>(n);
}

uLong ZCALLBACK Write(voidpf, voidpf stream, const void* buf, uLong size) {
  auto* s = static_cast<MemoryStream*>(stream);
  const std::uint64_t end = s->position + size;
  if (end > s->bytes->size()) s->bytes->resize(end);
  std::memcpy(s->bytes->data() + s->position, buf, size);
  s->position = end;
  return size;
}

ZPOS64_T ZCALLBACK Tell(voidpf, voidpf stream) { return static_cast<MemoryStream*>(stream)->position; }

long ZCALLBACK Seek(voidpf, voidpf stream, ZPOS64_T offset, int origin) {
  auto* s = static_cast<MemoryStream*>(stream);
  std::uint64_t base = 0;
  switch (origin) {
    case ZLIB_FILEFUNC_SEEK_SET:
      base = 0;
      break;
    case ZLIB_FILEFUNC_SEEK_CUR:
      base = s->position;
      break;
    case ZLIB_FILEFUNC_SEEK_END:
      base = s->bytes->size();
      break;
    default:
      return -1;
  }
  const std::uint64_t to = base + offset;
  if (to > s->bytes->size()) return -1;
  s->position = to;
  return 0;
}

int ZCALLBACK Close(voidpf, voidpf stream) {
  delete static_cast<MemoryStream*>(stream);
  return 0;
}

int ZCALLBACK Error(voidpf, voidpf) { return 0; }

}  // namespace

void FillMemoryFileFuncs(zlib_filefunc64_def& funcs, std::vector<std::uint8_t>& bytes) {
  FillZipFuncs(funcs, {Open, Read, Write, Tell, Seek, Close, Error}, &bytes);
}

}  // namespace pv
