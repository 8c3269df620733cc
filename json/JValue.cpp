#include "json/JValue.h"

#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <limits>
#include <utility>

#include "json/JReader.h"

namespace pv {

namespace {

char* CopyText(const char* text) {
  const std::size_t size = std::strlen(text) + 1;
  char* copy = new char[size];
  std::memcpy(copy, text, size);
  return copy;
}

// Decimal text to a 64-bit integer: leading blanks and one sign allowed,
// reading stops at the first non-digit, no digits gives 0. Accumulates in
// unsigned arithmetic so that overflow wraps instead of being undefined,
// as the reader does for integer tokens.
std::int64_t DecimalToInt64(const char* text) {
  const char* p = text;
  while (*p == ' ' || (*p >= '\t' && *p <= '\r')) ++p;
  bool negative = false;
  if (*p == '+' || *p == '-') negative = *p++ == '-';
  std::uint64_t value = 0;
  for (; *p >= '0' && *p <= '9'; ++p) value = value * 10 + static_cast<std::uint64_t>(*p - '0');
  if (negative) value = 0 - value;
  return static_cast<std::int64_t>(value);
}

// A real truncated toward zero into the 32-bit range. Casting a double that
// does not fit is undefined, so values beyond the range saturate at its ends
// and NaN gives 0.
int RealToInt(double value) {
  if (std::isnan(value)) return 0;
  if (value >= static_cast<double>(std::numeric_limits<int>::max())) return std::numeric_limits<int>::max();
  if (value <= static_cast<double>(std::numeric_limits<int>::min())) return std::numeric_limits<int>::min();
  return static_cast<int>(value);
}

bool NeedsEscapes(const char* text) {
  for (const char* p = text; *p; ++p) {
    switch (*p) {
      case '"':
      case '\\':
      case '\b':
      case '\f':
      case '\n':
      case '\r':
      case '\t':
        return true;
      default:
        break;
    }
  }
  return false;
}

// Every backslash is doubled, a "\u" pair included: a Windows path such as
// C:\util\x must read back as the same bytes, not as an escape.
void Quote(const char* text, std::string& out) {
  out += '"';
  if (!NeedsEscapes(text)) {
    out += text;
  } else {
    for (const char* p = text; *p; ++p) {
      switch (*p) {
        case '"':
          out += "\\\"";
          break;
        case '\\':
          out += "\\\\";
          break;
        case '\b':
          out += "\\b";
          break;
        case '\f':
          out += "\\f";
          break;
        case '\n':
          out += "\\n";
          break;
        case '\r':
          out += "\\r";
          break;
        case '\t':
          out += "\\t";
          break;
        default:
          out += *p;
          break;
      }
    }
  }
  out += '"';
}

}  // namespace

JValue::JValue(std::int64_t value) : type_(JInt) { payload_.integer = value; }

JValue::JValue(bool value) : type_(JBool) { payload_.boolean = value; }

JValue::JValue(double value) : type_(JReal) { payload_.real = value; }

JValue::JValue(const char* text) : type_(JString) { payload_.text = text ? CopyText(text) : nullptr; }

JValue::JValue(const JValue& other) { CopyFrom(other); }

JValue::JValue(JValue&& other) noexcept : type_(other.type_), payload_(other.payload_) {
  other.type_ = JNull;
  other.payload_.integer = 0;
}

// Both assignments detach the source before this value lets go of its
// storage, so assigning a value's own element or member to it is safe.
JValue& JValue::operator=(const JValue& other) {
  if (this != &other) {
    JValue copy(other);
    *this = std::move(copy);
  }
  return *this;
}

JValue& JValue::operator=(JValue&& other) noexcept {
  if (this != &other) {
    const JType type = other.type_;
    const Payload payload = other.payload_;
    other.type_ = JNull;
    other.payload_.integer = 0;
    Clear();
    type_ = type;
    payload_ = payload;
  }
  return *this;
}

JValue::~JValue() { Clear(); }

void JValue::CopyFrom(const JValue& other) {
  switch (other.type_) {
    case JArray:
      payload_.array = other.payload_.array ? new ArrayStorage(*other.payload_.array) : nullptr;
      break;
    case JObject:
      payload_.object = other.payload_.object ? new ObjectStorage(*other.payload_.object) : nullptr;
      break;
    case JString:
      payload_.text = other.payload_.text ? CopyText(other.payload_.text) : nullptr;
      break;
    default:
      payload_ = other.payload_;
      break;
  }
  type_ = other.type_;
}

void JValue::Clear() {
  switch (type_) {
    case JArray:
      delete payload_.array;
      break;
    case JObject:
      delete payload_.object;
      break;
    case JString:
      delete[] payload_.text;
      break;
    default:
      break;
  }
  type_ = JNull;
  payload_.integer = 0;
}

int JValue::ToInt() const {
  switch (type_) {
    case JInt:
      return static_cast<int>(static_cast<std::uint32_t>(payload_.integer));
    case JBool:
      return payload_.boolean ? 1 : 0;
    case JReal:
      return RealToInt(payload_.real);
    case JString:
      return payload_.text ? static_cast<int>(static_cast<std::uint32_t>(DecimalToInt64(payload_.text))) : 0;
    default:
      return 0;
  }
}

std::int64_t JValue::ToInt64() const {
  switch (type_) {
    case JInt:
      return payload_.integer;
    case JBool:
      return payload_.boolean ? 1 : 0;
    case JReal:
      return RealToInt(payload_.real);
    case JString:
      return payload_.text ? DecimalToInt64(payload_.text) : 0;
    default:
      return 0;
  }
}

double JValue::ToReal() const {
  switch (type_) {
    case JInt:
      return static_cast<double>(payload_.integer);
    case JBool:
      return payload_.boolean ? 1.0 : 0.0;
    case JReal:
      return payload_.real;
    case JString:
      return payload_.text ? std::strtod(payload_.text, nullptr) : 0.0;
    default:
      return 0.0;
  }
}

bool JValue::ToBool() const {
  switch (type_) {
    case JInt:
      return payload_.integer != 0;
    case JBool:
      return payload_.boolean;
    case JReal:
      return payload_.real != 0.0;
    case JArray:
      return payload_.array && !payload_.array->empty();
    case JObject:
      return payload_.object && !payload_.object->empty();
    case JString:
      return payload_.text && payload_.text[0] != '\0';
    default:
      return false;
  }
}

const char* JValue::ToText() const { return type_ == JString && payload_.text ? payload_.text : ""; }

int JValue::Count() const {
  if (type_ == JArray && payload_.array) return static_cast<int>(payload_.array->size());
  if (type_ == JObject && payload_.object) return static_cast<int>(payload_.object->size());
  return 0;
}

JValue& JValue::At(std::int64_t index) {
  if (type_ != JArray || !payload_.array) {
    Clear();
    payload_.array = new ArrayStorage();
    type_ = JArray;
  }
  const std::size_t at = index < 0 ? 0 : static_cast<std::size_t>(index);
  if (at >= payload_.array->size()) payload_.array->resize(at + 1);
  return (*payload_.array)[at];
}

const JValue& JValue::Element(std::int64_t index) const {
  if (type_ != JArray || !payload_.array || index < 0) return Null();
  const std::size_t at = static_cast<std::size_t>(index);
  return at < payload_.array->size() ? (*payload_.array)[at] : Null();
}

JValue& JValue::Member(const char* key) {
  if (type_ != JObject || !payload_.object) {
    Clear();
    payload_.object = new ObjectStorage();
    type_ = JObject;
  }
  return (*payload_.object)[key ? key : ""];
}

const JValue& JValue::Find(const char* key) const {
  if (type_ != JObject || !payload_.object) return Null();
  const auto found = payload_.object->find(key ? key : "");
  return found != payload_.object->end() ? found->second : Null();
}

bool JValue::Has(const char* key) const {
  return type_ == JObject && payload_.object && payload_.object->count(key ? key : "") != 0;
}

bool JValue::Keys(std::vector<std::string>& keys) const {
  if (type_ != JObject || !payload_.object) return false;
  keys.reserve(keys.size() + payload_.object->size());
  for (const auto& member : *payload_.object) keys.push_back(member.first);
  return true;
}

const JValue& JValue::Null() {
  static const JValue null;
  return null;
}

std::string JValue::Dump() const {
  std::string out;
  DumpTo(out);
  out += '\n';
  return out;
}

void JValue::DumpTo(std::string& out) const {
  switch (type_) {
    case JNull:
      out += "null";
      break;
    case JBool:
      out += payload_.boolean ? "true" : "false";
      break;
    case JInt: {
      char buffer[32];
      std::snprintf(buffer, sizeof buffer, "%lld", static_cast<long long>(ToInt64()));
      out += buffer;
      break;
    }
    case JReal: {
      char buffer[512];
      std::snprintf(buffer, sizeof buffer, "%g", payload_.real);
      out += buffer;
      break;
    }
    case JString:
      Quote(ToText(), out);
      break;
    case JArray: {
      out += '[';
      if (payload_.array) {
        bool first = true;
        for (const JValue& element : *payload_.array) {
          if (!first) out += ',';
          first = false;
          element.DumpTo(out);
        }
      }
      out += ']';
      break;
    }
    case JObject: {
      out += '{';
      if (payload_.object) {
        bool first = true;
        for (const auto& [key, value] : *payload_.object) {
          if (!first) out += ',';
          first = false;
          Quote(key.c_str(), out);
          out += ':';
          value.DumpTo(out);
        }
      }
      out += '}';
      break;
    }
  }
}

bool JParse(const char* text, JValue& root) {
  JReader reader;
  return reader.Parse(text, root);
}

}  // namespace pv
