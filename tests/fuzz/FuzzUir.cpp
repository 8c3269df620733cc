// Reads arbitrary bytes as a skin package. Whatever the bytes, loading must
// stay inside them; a package that loads must answer lookups, and one that
// is refused must leave the previous skin in place.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>
#include <string_view>

#include "ui/UirPackage.h"

using namespace pv;

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const std::string_view bytes(reinterpret_cast<const char*>(data), size);

  UirPackage::Container container;
  const bool readable = UirPackage::ReadContainer(bytes, container);

  static const std::string kPrevious =
      UirPackage::WriteContainer("{\"cfg\":{\"A\":{\"b\":1}},\"res\":{\"images\":[{\"id\":1}]}}", {{1, "x"}});
  UirPackage package;
  if (!package.Load(kPrevious)) std::abort();
  const bool loaded = package.Load(bytes);
  if (loaded != readable) std::abort();

  std::string out;
  if (!loaded) {
    // The refused bytes changed nothing.
    if (package.GetInt("A/b", nullptr) != 1 || !package.GetData("images", 1, out) || out != "x") std::abort();
    return 0;
  }
  for (const char* path : {"", "/", "MainWindow", "MainWindow/PublishBtn/normal", "/Meta/shadeleft", "a//b/"}) {
    const JValue* node = package.FindNode(path, nullptr);
    package.GetInt(path, nullptr);
    package.GetRect(path, nullptr);
    package.GetPair(path, nullptr);
    package.GetColor(path, nullptr);
    if (node) package.FindNode("normal/bg", node);
  }
  for (const auto& [category, table] : package.Tables()) {
    for (const auto& [id, record] : table) {
      if (package.GetData(category.c_str(), id, out) != !record.empty() || out != record) std::abort();
    }
  }
  return 0;
}
