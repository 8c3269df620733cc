#include "engine/ZipFileIo.h"

#include <algorithm>
#include <cstdint>
#include <cstring>
#include <new>
#include <vector>

#include "engine/ZipStreamFuncs.h"

namespace pv {

namespace {

// minizip reads every header field one byte at a time, a system call each
// when it goes straight to the file (about a hundred thousand for a
// product of 700 files). Windows of the file kept in memory serve those
// reads and the entry data. There are two, because the walk alternates
// between the central directory at the end of the archive and each entry's
// local header and data: one window stays on each.
constexpr std::size_t kWindow = 256 * 1024;

struct Window {
  std::uint64_t start = 0;
  std::size_t length = 0;
  std::uint64_t lastUse = 0;
  std::vector<unsigned char> bytes;

  bool Holds(std::uint64_t pos) const { return pos >= start && pos - start < length; }
};

// The stream minizip works on: the owner's handle and our own position, so
// seeking costs nothing until a read needs bytes outside both windows.
struct WindowedFile {
  HANDLE file = INVALID_HANDLE_VALUE;
  std::uint64_t size = 0;
  std::uint64_t pos = 0;
  std::uint64_t uses = 0;
  Window windows[2];
  bool failed = false;

  // Reads up to `count` bytes at `offset`; 0 at the end or on failure.
  DWORD ReadAt(std::uint64_t offset, void* out, DWORD count) {
    LARGE_INTEGER to;
    to.QuadPart = static_cast<LONGLONG>(offset);
    DWORD got = 0;
    if (!::SetFilePointerEx(file, to, nullptr, FILE_BEGIN) || !::ReadFile(file, out, count, &got, nullptr)) {
      failed = true;
      return 0;
    }
    return got;
  }

  // The window holding `pos`, filled from the file when neither does
  // (replacing the one used least recently); null at the end or on failure.
  Window* WindowAt(std::uint64_t at) {
    Window* pick = nullptr;
    for (Window& w : windows)
      if (w.Holds(at)) pick = &w;
    if (!pick) {
      pick = windows[0].lastUse <= windows[1].lastUse ? &windows[0] : &windows[1];
      pick->start = at;
      pick->length = ReadAt(at, pick->bytes.data(), static_cast<DWORD>(pick->bytes.size()));
      if (pick->length == 0) return nullptr;
    }
    pick->lastUse = ++uses;
    return pick;
  }

  uLong Read(unsigned char* out, uLong count) {
    uLong done = 0;
    while (done < count && pos < size) {
      const uLong left = count - done;
      bool cached = false;
      for (const Window& w : windows) cached = cached || w.Holds(pos);
      if (!cached && left >= kWindow) {
        // Large reads go straight to the caller's buffer.
        const DWORD got = ReadAt(pos, out + done, left);
        if (got == 0) break;
        done += got;
        pos += got;
        continue;
      }
      const Window* w = WindowAt(pos);
      if (!w) break;
      const std::size_t at = static_cast<std::size_t>(pos - w->start);
      const std::size_t take = std::min<std::size_t>(left, w->length - at);
      std::memcpy(out + done, w->bytes.data() + at, take);
      done += static_cast<uLong>(take);
      pos += take;
    }
    return done;
  }
};

voidpf ZCALLBACK Open(voidpf opaque, const void*, int) {
  HANDLE file = static_cast<HANDLE>(opaque);
  LARGE_INTEGER size{};
  if (!::GetFileSizeEx(file, &size) || size.QuadPart < 0) return nullptr;
  auto* stream = new (std::nothrow) WindowedFile;
  if (!stream) return nullptr;
  stream->file = file;
  stream->size = static_cast<std::uint64_t>(size.QuadPart);
  for (Window& w : stream->windows) w.bytes.resize(kWindow);
  return stream;
}

uLong ZCALLBACK Read(voidpf, voidpf stream, void* buf, uLong size) {
  return static_cast<WindowedFile*>(stream)->Read(static_cast<unsigned char*>(buf), size);
}

uLong ZCALLBACK Write(voidpf, voidpf, const void*, uLong) { return 0; }  // read only

ZPOS64_T ZCALLBACK Tell(voidpf, voidpf stream) { return static_cast<WindowedFile*>(stream)->pos; }

long ZCALLBACK Seek(voidpf, voidpf stream, ZPOS64_T offset, int origin) {
  auto* file = static_cast<WindowedFile*>(stream);
  std::uint64_t base;
  switch (origin) {
    case ZLIB_FILEFUNC_SEEK_SET:
      base = 0;
      break;
    case ZLIB_FILEFUNC_SEEK_CUR:
      // Having read an entry's extra field for its caller, minizip moves back
      // over it: a negative offset, passed in its unsigned 64-bit form.
      if (static_cast<std::int64_t>(offset) < 0) {
        const std::uint64_t back = 0 - offset;
        if (back > file->pos) return -1;
        file->pos -= back;
        return 0;
      }
      base = file->pos;
      break;
    case ZLIB_FILEFUNC_SEEK_END:
      base = file->size;
      break;
    default:
      return -1;
  }
  // Forward: one past the end would be a damaged archive, and positions
  // there read nothing.
  if (offset > ~std::uint64_t{0} - base) return -1;
  file->pos = base + offset;
  return 0;
}

int ZCALLBACK Close(voidpf, voidpf stream) {
  delete static_cast<WindowedFile*>(stream);
  return 0;
}

int ZCALLBACK Error(voidpf, voidpf stream) { return static_cast<WindowedFile*>(stream)->failed ? 1 : 0; }

}  // namespace

void FillHandleFileFuncs(zlib_filefunc64_def& funcs, HANDLE file) {
  FillZipFuncs(funcs, {Open, Read, Write, Tell, Seek, Close, Error}, file);
}

}  // namespace pv
