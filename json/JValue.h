#pragma once

#include <cstdint>
#include <map>
#include <string>
#include <vector>

namespace pv {

// The kinds a JSON value can hold; the numbers are part of the format.
enum JType : int {
  JNull = 0,
  JInt = 1,
  JBool = 2,
  JReal = 3,
  JArray = 4,
  JObject = 5,
  JString = 6,
};

// One JSON value: a kind tag and an 8-byte payload. Containers and strings
// own their storage; copies are deep. Object members are kept in byte-wise key
// order, so every traversal and every writer emits them in that order.
class JValue {
 public:
  using ArrayStorage = std::vector<JValue>;
  // std::string compares through char_traits<char>, which orders bytes as
  // unsigned char: byte-wise, shorter prefix first.
  using ObjectStorage = std::map<std::string, JValue>;

  JValue() = default;
  JValue(int value) : JValue(static_cast<std::int64_t>(value)) {}
  JValue(std::int64_t value);
  JValue(bool value);
  JValue(double value);
  // A heap copy of the text up to its first NUL; a null pointer gives a
  // string without text, which reads as "".
  JValue(const char* text);
  JValue(const std::string& text) : JValue(text.c_str()) {}

  JValue(const JValue& other);
  JValue(JValue&& other) noexcept;
  JValue& operator=(const JValue& other);
  JValue& operator=(JValue&& other) noexcept;
  ~JValue();

  JType Type() const { return type_; }

  int ToInt() const;
  std::int64_t ToInt64() const;
  double ToReal() const;
  bool ToBool() const;
  // The text of a string ("" when it has none); "" for every other kind.
  const char* ToText() const;

  // Elements of an array, members of an object, 0 otherwise.
  int Count() const;

  // Mutable element access: turns the value into an array if it is not one
  // (losing what it held) and appends nulls until the index exists. A
  // negative index counts as 0.
  JValue& At(std::int64_t index);
  // Read-only element access: the element, or the shared null value.
  const JValue& Element(std::int64_t index) const;

  // Mutable member access: turns the value into an object if it is not one
  // (losing what it held) and inserts a null member for a missing key.
  JValue& Member(const char* key);
  // Read-only lookup: the member, or the shared null value.
  const JValue& Find(const char* key) const;
  bool Has(const char* key) const;
  // Appends the keys in key order; false (list untouched) unless the value
  // is an object with storage.
  bool Keys(std::vector<std::string>& keys) const;

  // Frees the storage; the value becomes null.
  void Clear();

  // Compact text of the value followed by one "\n".
  std::string Dump() const;

  // The one shared, read-only null value.
  static const JValue& Null();

  // Direct access for code that walks containers (may be null: an empty
  // container without storage).
  const ArrayStorage* Array() const { return type_ == JArray ? payload_.array : nullptr; }
  const ObjectStorage* Object() const { return type_ == JObject ? payload_.object : nullptr; }

 private:
  friend class JReader;

  void CopyFrom(const JValue& other);
  void DumpTo(std::string& out) const;

  JType type_ = JNull;
  union Payload {
    std::int64_t integer;
    bool boolean;
    double real;
    ArrayStorage* array;
    ObjectStorage* object;
    char* text;
  } payload_{0};
};

// Reads one value from NUL-terminated UTF-8 text into root. True on success;
// on failure root keeps whatever was built before the error.
bool JParse(const char* text, JValue& root);

}  // namespace pv
