// Reads arbitrary bytes as a setup executable with its package behind the
// image. The header read and the whole-file checks must stay inside the
// bytes, agree with each other, and describe only spans that are really
// there; an uninstaller composed from an accepted package must read back;
// the package builder's inspector must cope with the same file.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <sstream>
#include <string>
#include <vector>

#include "app/PackageLayout.h"
#include "tools/pivpack/InstallerBuilder.h"

using namespace pv;

using namespace package;

namespace {

// A buffer source that counts the reads asked of it.
class CountingSource : public ByteSource {
 public:
  explicit CountingSource(std::span<const std::uint8_t> bytes) : inner_(bytes) {}
  std::uint64_t Size() const override { return inner_.Size(); }
  bool ReadAt(std::uint64_t offset, void* out, std::size_t count) override {
    ++reads_;
    return inner_.ReadAt(offset, out, count);
  }
  int reads() const { return reads_; }

 private:
  BufferSource inner_;
  int reads_ = 0;
};

[[noreturn]] void Fail() { std::abort(); }

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  // A copy of exactly `size` bytes, so ASan sees any read past the end.
  const std::vector<std::uint8_t> bytes(data, data + size);
  const std::span<const std::uint8_t> image(bytes);

  BufferSource source(image);
  const std::uint32_t locator = ReadLocator(source);
  const auto locatorAt = LocatorOffset(image);
  // The locator is the field at e_lfanew - 4 whenever that field exists.
  if (locatorAt) {
    if (static_cast<std::uint64_t>(*locatorAt) + 4 > size || ReadU32(bytes.data() + *locatorAt) != locator) Fail();
  } else if (locator != 0) {
    Fail();
  }

  CountingSource counting(image);
  const auto text = ReadConfigText(counting);
  // The header read touches the header, the locator, the length and the text.
  if (counting.reads() > 4) Fail();
  if (text) {
    if (locator == 0 || locator >= size) Fail();
    if (static_cast<std::uint64_t>(locator) + 4 + text->size() > size) Fail();
    if (ReadU32(bytes.data() + locator) != text->size()) Fail();
    if (text->size() && std::memcmp(text->data(), bytes.data() + locator + 4, text->size()) != 0) Fail();
  }

  // The whole-file checks, with the locator the header gave and with any
  // other one (the program checks the locator it read itself).
  const PackageSpan span = CheckPackage(image, locator);
  const bool configFits = span.result == kEngineOk || span.result == kPkgContentInvalid;
  // Both reads refuse the same configuration spans.
  if (configFits != text.has_value()) Fail();
  if (span.result == kEngineOk) {
    if (span.archiveOffset != static_cast<std::uint64_t>(locator) + 8 + span.configLength) Fail();
    if (span.archiveOffset > size || span.archivePresent > size - span.archiveOffset) Fail();
    if (span.archivePresent > span.archiveLength || span.archiveLength > span.archivePresent + 4) Fail();
    if (span.archivePresent != span.archiveLength && span.archiveOffset + span.archivePresent != size) Fail();
  }
  if (size >= 8) {
    const std::uint32_t other = ReadU32(bytes.data() + size - 4);
    const PackageSpan any = CheckPackage(image, other);
    if (any.result == kEngineOk && (any.archiveOffset > size || any.archivePresent > size - any.archiveOffset)) Fail();
  }

  // The uninstaller made from an accepted package reads back as its
  // document, and has no archive, whenever the kept image holds its locator.
  if (span.result == kEngineOk) {
    const std::string document = text->substr(0, 64) + "{\"mode\":0}";
    const std::vector<std::uint8_t> uninstaller = ComposeUninstallerImage(image, locator, document);
    if (uninstaller.size() != std::min<std::size_t>(locator, size) + 4 + document.size()) Fail();
    if (LocatorOffset(image.first(std::min<std::size_t>(locator, size)))) {
      BufferSource back(uninstaller);
      const auto read = ReadConfigText(back);
      if (!read || *read != document) Fail();
      if (CheckPackage(uninstaller, ReadLocator(back)).result != kPkgContentInvalid) Fail();
    }
  }

  // The package builder inspects installers it did not make; it may refuse
  // this one, but must not read outside it, and never passes what the
  // program would refuse.
  std::ostringstream report;
  const bool inspected = InspectInstaller(image, report);
  if (inspected && !configFits) Fail();
  return 0;
}
