#pragma once

#include <cstddef>
#include <string>

#include "json/JValue.h"

namespace pv {

// Reads JSON text into a JValue. Lenient in a few fixed ways: comments,
// a comma before the closing brace of an object, and anything after the
// first complete value is ignored. Lives for one Parse call; keeps the
// message and byte offset of the error that stopped it.
class JReader {
 public:
  // Deeper nesting than this fails cleanly instead of exhausting the stack.
  static constexpr int kMaxDepth = 512;

  bool Parse(const char* text, JValue& root);

  const std::string& ErrorMessage() const { return errorMessage_; }
  std::size_t ErrorOffset() const { return errorOffset_; }

 private:
  enum TokenKind {
    kEnd,
    kObjectBegin,
    kObjectEnd,
    kArrayBegin,
    kArrayEnd,
    kComma,
    kColon,
    kString,
    kNumber,
    kTrue,
    kFalse,
    kNullToken,
    kError,
  };
  struct Token {
    TokenKind kind;
    const char* start;
    const char* end;
  };

  Token NextToken();
  bool ReadValue(JValue& target, int depth);
  bool ReadObject(JValue& target, int depth);
  bool ReadArray(JValue& target, int depth);
  bool ReadNumber(const Token& token, JValue& target);
  bool ReadReal(const Token& token, JValue& target);
  bool DecodeString(const Token& token, std::string& out);
  bool Fail(const std::string& message, const char* at);

  const char* begin_ = nullptr;
  const char* end_ = nullptr;
  const char* cursor_ = nullptr;
  std::string errorMessage_;
  std::size_t errorOffset_ = 0;
};

}  // namespace pv
