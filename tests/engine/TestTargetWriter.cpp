#include "engine/TargetWriter.h"

#include <gtest/gtest.h>
#include <windows.h>

#include <string>
#include <vector>

#include "tests/engine/EngineTestSupport.h"

using namespace pv;

using pvtest::Exists;
using pvtest::ScratchFolder;

namespace {

HANDLE OpenForWriting(const std::wstring& target) {
  return ::CreateFileW(target.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
}

std::uint64_t SizeOf(const std::wstring& path) {
  WIN32_FILE_ATTRIBUTE_DATA data{};
  if (!::GetFileAttributesExW(path.c_str(), GetFileExInfoStandard, &data)) return 0;
  return (std::uint64_t{data.nFileSizeHigh} << 32) | data.nFileSizeLow;
}

// The writer works behind the caller: after Drain every file handed over is
// on disk whole, in more pieces than the queue holds at once.
TEST(TargetWriter, WritesEveryFileWholeByTheTimeItIsDrained) {
  ScratchFolder scratch;
  std::vector<std::wstring> written;
  TargetWriter writer(OpenForWriting, [&](const std::wstring& target) { written.push_back(target); });
  for (int file = 0; file < 3; ++file) {
    writer.Begin(scratch / (L"f" + std::to_wstring(file)));
    for (int piece = 0; piece < 12; ++piece) {
      const std::vector<char> data(300 * 1024, static_cast<char>('a' + file));
      writer.Write(data.data(), data.size());
    }
    writer.End(true);
  }
  writer.Drain();
  EXPECT_FALSE(writer.Failed());
  ASSERT_EQ(written.size(), 3u);
  for (int file = 0; file < 3; ++file) EXPECT_EQ(SizeOf(written[file]), 12u * 300 * 1024);
}

// A file that cannot be created fails the writer: what came before stays,
// nothing after it is made, and a discarded file is gone.
TEST(TargetWriter, StopsAtTheFirstFailureAndLeavesNothingHalfDone) {
  ScratchFolder scratch;
  int written = 0;
  TargetWriter writer(
      [&](const std::wstring& target) {
        return target.ends_with(L"refused") ? INVALID_HANDLE_VALUE : OpenForWriting(target);
      },
      [&](const std::wstring&) { ++written; });
  writer.Begin(scratch / L"kept");
  writer.Write(std::string(100, 'k').data(), 100);
  writer.End(true);
  writer.Begin(scratch / L"discarded");
  writer.Write(std::string(100, 'd').data(), 100);
  writer.End(false);
  writer.Begin(scratch / L"refused");
  writer.Write(std::string(100, 'r').data(), 100);
  writer.End(true);
  writer.Begin(scratch / L"after");
  writer.End(true);
  writer.Drain();
  EXPECT_TRUE(writer.Failed());
  EXPECT_EQ(written, 1);
  EXPECT_EQ(SizeOf(scratch / L"kept"), 100u);
  EXPECT_FALSE(Exists(scratch / L"discarded"));
  EXPECT_FALSE(Exists(scratch / L"after"));
}

}  // namespace
