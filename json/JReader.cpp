#include "json/JReader.h"

#include <cstdio>
#include <cstring>

namespace pv {

namespace {

bool IsBlank(char c) { return c == ' ' || c == '\t' || c == '\r' || c == '\n'; }

bool IsNumberByte(char c) { return (c >= '0' && c <= '9') || c == '+' || c == '-' || c == '.' || c == 'e' || c == 'E'; }

int HexDigit(char c) {
  if (c >= '0' && c <= '9') return c - '0';
  if (c >= 'a' && c <= 'f') return c - 'a' + 10;
  if (c >= 'A' && c <= 'F') return c - 'A' + 10;
  return -1;
}

// Reads the four bytes of a \u escape as a "%x" conversion does: leading
// blanks, a sign and a "0x" prefix are allowed and the leading hexadecimal
// digits count. Written out rather than scanned so that it never depends on
// the C library or its locale. False when no digit is found, or when a minus
// sign would make the value wrap past what UTF-8 of three bytes can hold.
bool ReadHex4(const char* p, unsigned& codePoint) {
  const char* const end = p + 4;
  while (p < end && (*p == ' ' || (*p >= '\t' && *p <= '\r'))) ++p;
  bool negative = false;
  if (p < end && (*p == '+' || *p == '-')) negative = *p++ == '-';
  if (end - p >= 3 && p[0] == '0' && (p[1] == 'x' || p[1] == 'X') && HexDigit(p[2]) >= 0) p += 2;
  unsigned value = 0;
  bool any = false;
  for (; p < end && HexDigit(*p) >= 0; ++p) {
    value = value * 16 + static_cast<unsigned>(HexDigit(*p));
    any = true;
  }
  if (!any || (negative && value != 0)) return false;
  codePoint = value;
  return true;
}

void AppendUtf8(unsigned codePoint, std::string& out) {
  if (codePoint < 0x80) {
    out += static_cast<char>(codePoint);
  } else if (codePoint < 0x800) {
    out += static_cast<char>(0xC0 | (codePoint >> 6));
    out += static_cast<char>(0x80 | (codePoint & 0x3F));
  } else {
    out += static_cast<char>(0xE0 | (codePoint >> 12));
    out += static_cast<char>(0x80 | ((codePoint >> 6) & 0x3F));
    out += static_cast<char>(0x80 | (codePoint & 0x3F));
  }
}

}  // namespace

bool JReader::Parse(const char* text, JValue& root) {
  errorMessage_.clear();
  errorOffset_ = 0;
  if (!text) return false;
  begin_ = text;
  end_ = text + std::strlen(text);
  cursor_ = begin_;
  return ReadValue(root, 0);
}

bool JReader::Fail(const std::string& message, const char* at) {
  errorMessage_ = message;
  errorOffset_ = static_cast<std::size_t>(at - begin_);
  return false;
}

JReader::Token JReader::NextToken() {
  for (;;) {
    while (cursor_ < end_ && IsBlank(*cursor_)) ++cursor_;
    Token token{kError, cursor_, cursor_};
    if (cursor_ == end_) {
      token.kind = kEnd;
      return token;
    }
    const char c = *cursor_++;
    switch (c) {
      case '{':
        token.kind = kObjectBegin;
        break;
      case '}':
        token.kind = kObjectEnd;
        break;
      case '[':
        token.kind = kArrayBegin;
        break;
      case ']':
        token.kind = kArrayEnd;
        break;
      case ',':
        token.kind = kComma;
        break;
      case ':':
        token.kind = kColon;
        break;
      case '"':
        while (cursor_ < end_) {
          const char b = *cursor_++;
          if (b == '"') {
            token.kind = kString;
            break;
          }
          // The escaped byte is skipped, but never the end of the text.
          if (b == '\\' && cursor_ < end_) ++cursor_;
        }
        break;
      case '-':
      case '0':
      case '1':
      case '2':
      case '3':
      case '4':
      case '5':
      case '6':
      case '7':
      case '8':
      case '9':
        while (cursor_ < end_ && IsNumberByte(*cursor_)) ++cursor_;
        token.kind = kNumber;
        break;
      case 't':
      case 'f':
      case 'n': {
        const char* rest = c == 't' ? "rue" : c == 'f' ? "alse" : "ull";
        const std::size_t length = std::strlen(rest);
        if (static_cast<std::size_t>(end_ - cursor_) >= length && std::memcmp(cursor_, rest, length) == 0) {
          cursor_ += length;
          token.kind = c == 't' ? kTrue : c == 'f' ? kFalse : kNullToken;
        }
        break;
      }
      case '/':
      case '#':
      case ';':
        if (cursor_ < end_) {
          const char form = *cursor_++;
          if (form == '*') {
            // Searched from behind the '*', so "/*/" does not close itself.
            const char* close = cursor_;
            while (close + 1 < end_ && !(close[0] == '*' && close[1] == '/')) ++close;
            cursor_ = close + 1 < end_ ? close + 2 : end_;
          } else if (form == '/') {
            while (cursor_ < end_ && *cursor_ != '\r' && *cursor_ != '\n') ++cursor_;
            if (cursor_ < end_) ++cursor_;
          }
        }
        continue;
      default:
        break;
    }
    token.end = cursor_;
    return token;
  }
}

bool JReader::ReadValue(JValue& target, int depth) {
  const Token token = NextToken();
  switch (token.kind) {
    case kNullToken:
      target.Clear();
      return true;
    case kTrue:
      target = JValue(true);
      return true;
    case kFalse:
      target = JValue(false);
      return true;
    case kNumber:
      return ReadNumber(token, target);
    case kString: {
      std::string text;
      if (!DecodeString(token, text)) return false;
      target = JValue(text.c_str());
      return true;
    }
    case kArrayBegin:
    case kObjectBegin:
      // Each level costs stack; a hostile document must not exhaust it.
      if (depth >= kMaxDepth) return Fail("Syntax error: arrays and objects nested too deeply.", token.start);
      return token.kind == kArrayBegin ? ReadArray(target, depth + 1) : ReadObject(target, depth + 1);
    default:
      return Fail("Syntax error: value, object or array expected.", token.start);
  }
}

bool JReader::ReadObject(JValue& target, int depth) {
  target.Clear();
  target.type_ = JObject;
  Token token = NextToken();
  for (;;) {
    if (token.kind == kObjectEnd) return true;
    if (token.kind != kString) return Fail("Missing '}' or object member name", token.start);
    std::string name;
    if (!DecodeString(token, name)) return false;
    token = NextToken();
    if (token.kind != kColon) return Fail("Missing ':' after object member name", token.start);
    if (!ReadValue(target.Member(name.c_str()), depth)) return false;
    token = NextToken();
    if (token.kind == kObjectEnd) return true;
    if (token.kind != kComma) return Fail("Missing ',' or '}' in object declaration", token.start);
    token = NextToken();
  }
}

bool JReader::ReadArray(JValue& target, int depth) {
  target.Clear();
  target.type_ = JArray;
  // Only blanks are skipped before an immediate ']'; a comment there makes
  // the reader expect an element.
  while (cursor_ < end_ && IsBlank(*cursor_)) ++cursor_;
  if (cursor_ < end_ && *cursor_ == ']') {
    ++cursor_;
    return true;
  }
  for (std::int64_t index = 0;; ++index) {
    if (!ReadValue(target.At(index), depth)) return false;
    const Token token = NextToken();
    if (token.kind == kArrayEnd) return true;
    if (token.kind != kComma) return Fail("Missing ',' or ']' in array declaration", token.start);
  }
}

bool JReader::ReadNumber(const Token& token, JValue& target) {
  const char* p = token.start;
  const bool negative = *p == '-';
  if (negative) ++p;
  std::uint64_t value = 0;
  for (; p < token.end; ++p) {
    const char c = *p;
    if (c == '.' || c == 'e' || c == 'E') return ReadReal(token, target);
    if (c < '0' || c > '9') return Fail("'" + std::string(token.start, token.end) + "' is not a number.", token.start);
    // Unsigned arithmetic: an integer too long for 64 bits wraps.
    value = value * 10 + static_cast<std::uint64_t>(c - '0');
  }
  if (negative) value = 0 - value;
  target = JValue(static_cast<std::int64_t>(value));
  return true;
}

bool JReader::ReadReal(const Token& token, JValue& target) {
  constexpr std::size_t kMaxRealLength = 512;
  const std::size_t length = static_cast<std::size_t>(token.end - token.start);
  double value = 0;
  bool read = false;
  if (length <= kMaxRealLength) {
    char buffer[kMaxRealLength + 1];
    std::memcpy(buffer, token.start, length);
    buffer[length] = '\0';
    read = std::sscanf(buffer, "%lf", &value) == 1;
  }
  if (!read) return Fail("'" + std::string(token.start, token.end) + "' is too large or not a number.", token.start);
  target = JValue(value);
  return true;
}

bool JReader::DecodeString(const Token& token, std::string& out) {
  const char* p = token.start + 1;        // behind the opening quote
  const char* const end = token.end - 1;  // the closing quote
  out.clear();
  out.reserve(static_cast<std::size_t>(end - p));
  while (p < end) {
    const char c = *p++;
    if (c != '\\') {
      out += c;
      continue;
    }
    if (p == end) return Fail("Empty escape sequence in string", p);
    const char escape = *p++;
    switch (escape) {
      case '"':
        out += '"';
        break;
      case '/':
        out += '/';
        break;
      case '\\':
        out += '\\';
        break;
      case 'b':
        out += '\b';
        break;
      case 'f':
        out += '\f';
        break;
      case 'n':
        out += '\n';
        break;
      case 'r':
        out += '\r';
        break;
      case 't':
        out += '\t';
        break;
      case 'u': {
        // Four bytes are taken, but never the closing quote or beyond.
        if (end - p < 4) return Fail("Bad escape sequence in string", end);
        unsigned codePoint = 0;
        if (!ReadHex4(p, codePoint)) return Fail("Bad escape sequence in string", p + 4);
        p += 4;
        AppendUtf8(codePoint, out);
        break;
      }
      default:
        return Fail("Bad escape sequence in string", p);
    }
  }
  return true;
}

}  // namespace pv
