// Reads arbitrary bytes as JSON. A document that reads must dump to text that
// reads again and dumps to the same text.
#include <cmath>
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>

#include "json/JReader.h"
#include "json/JValue.h"

using namespace pv;

namespace {

// Reals that are not finite dump as words the reader refuses, and -0 dumps
// as "-0", which reads back as the integer 0: documents holding either do not
// reproduce their text.
bool DumpIsStable(const JValue& value) {
  switch (value.Type()) {
    case JReal: {
      const double real = value.ToReal();
      return std::isfinite(real) && !(real == 0 && std::signbit(real));
    }
    case JArray:
      if (value.Array())
        for (const JValue& element : *value.Array())
          if (!DumpIsStable(element)) return false;
      return true;
    case JObject:
      if (value.Object())
        for (const auto& member : *value.Object())
          if (!DumpIsStable(member.second)) return false;
      return true;
    default:
      return true;
  }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const std::string text(reinterpret_cast<const char*>(data), size);
  JValue root;
  JReader reader;
  if (!reader.Parse(text.c_str(), root)) {
    if (reader.ErrorMessage().empty() || reader.ErrorOffset() > size) std::abort();
    return 0;
  }
  // Copies and the read-only accessors must cope with whatever was read.
  const JValue copy(root);
  (void)copy.ToInt();
  (void)copy.ToInt64();
  (void)copy.ToReal();
  (void)copy.ToBool();
  (void)copy.Find("mode").ToInt();
  (void)copy.Element(0).ToText();

  const std::string first = root.Dump();
  if (copy.Dump() != first) std::abort();
  if (!DumpIsStable(root)) return 0;
  JValue again;
  if (!JParse(first.c_str(), again)) std::abort();
  if (again.Dump() != first) std::abort();
  return 0;
}
