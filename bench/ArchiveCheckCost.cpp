// Measures the two checks an install makes on its archive before a previous
// version is removed: the CRC-32 of the archive bytes (installers that carry
// our checksum) and the entry-by-entry inflate of ArchiveExtractor::Check
// (installers without it), next to the directory-only check.
//   ArchiveCheckCost.exe ARCHIVE.zip [REPEATS]
// Prints the median milliseconds of each over REPEATS (5) runs.
#include <windows.h>

#include <algorithm>
#include <cstdio>
#include <functional>
#include <vector>

#include "app/ArchiveChecksum.h"
#include "engine/ArchiveExtractor.h"
#include "ui/Handles.h"

using namespace pv;

namespace {

double Median(int repeats, const std::function<bool()>& body, bool& ok) {
  LARGE_INTEGER frequency;
  ::QueryPerformanceFrequency(&frequency);
  std::vector<double> times;
  for (int i = 0; i < repeats; ++i) {
    LARGE_INTEGER start, end;
    ::QueryPerformanceCounter(&start);
    ok = body() && ok;
    ::QueryPerformanceCounter(&end);
    times.push_back(1000.0 * static_cast<double>(end.QuadPart - start.QuadPart) / frequency.QuadPart);
  }
  std::sort(times.begin(), times.end());
  return times[times.size() / 2];
}

}  // namespace

int wmain(int argc, wchar_t** argv) {
  if (argc < 2) {
    std::fprintf(stderr, "usage: ArchiveCheckCost ARCHIVE.zip [REPEATS]\n");
    return 2;
  }
  const int repeats = argc > 2 ? std::max(1, _wtoi(argv[2])) : 5;
  pv::UniqueFile file(::CreateFileW(argv[1], GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, 0, nullptr));
  LARGE_INTEGER size{};
  if (!file || !::GetFileSizeEx(file.get(), &size)) {
    std::fprintf(stderr, "cannot open the archive\n");
    return 1;
  }
  std::vector<std::uint8_t> bytes(static_cast<std::size_t>(size.QuadPart));
  DWORD got = 0;
  if (!::ReadFile(file.get(), bytes.data(), static_cast<DWORD>(bytes.size()), &got, nullptr) || got != bytes.size())
    return 1;
  bool ok = true;
  const double crc = Median(
      repeats, [&] { return package::ArchiveCrc(bytes) != 0; }, ok);
  ArchiveExtractor extractor(L"C:\\ArchiveCheckCost\\Orvane");
  const double directory = Median(
      repeats, [&] { return extractor.Check(file.get(), false); }, ok);
  const double inflate = Median(
      repeats, [&] { return extractor.Check(file.get(), true); }, ok);
  std::printf("archive:             %llu bytes\n", static_cast<unsigned long long>(bytes.size()));
  std::printf("crc32 of the bytes:  %.1f ms\n", crc);
  std::printf("directory check:     %.1f ms\n", directory);
  std::printf("inflate every entry: %.1f ms\n", inflate);
  return ok ? 0 : 1;
}
