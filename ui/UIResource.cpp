#include "ui/UIResource.h"

#include <cwchar>
#include <string_view>

#include "json/JValue.h"
#include "ui/Base64.h"
#include "ui/StringConverter.h"

namespace pv {

namespace {

UIResource* g_current = nullptr;

constexpr DWORD kReadChunk = 40960;

LOGFONTW IconTitleFont() {
  LOGFONTW font{};
  ::SystemParametersInfoW(SPI_GETICONTITLELOGFONT, sizeof(font), &font, 0);
  return font;
}

// The four process-wide fonts derived from the icon-title font: created on
// first request, kept until the process ends.
HFONT DefaultFont(bool bold, bool underline) {
  static const auto make = [](bool b, bool u) {
    LOGFONTW font = IconTitleFont();
    if (b) font.lfWeight = FW_BOLD;
    if (u) font.lfUnderline = TRUE;
    return pv::UniqueFont(::CreateFontIndirectW(&font));
  };
  static const pv::UniqueFont fonts[4] = {make(false, false), make(true, false), make(false, true), make(true, true)};
  return fonts[(bold ? 1 : 0) + (underline ? 2 : 0)].get();
}

std::wstring DecodeText(const JValue& value) {
  if (value.Type() != JString) return {};
  return ToWide(Base64::DecodeOrEmpty(value.ToText()), CP_UTF8);
}

// A key of a font record that is present and not 0 replaces the system value.
bool Override(const JValue& record, const char* key, LONG& field) {
  const std::int64_t v = record.Find(key).ToInt64();
  if (v == 0) return false;
  field = static_cast<LONG>(v);
  return true;
}

bool Override(const JValue& record, const char* key, BYTE& field) {
  const std::int64_t v = record.Find(key).ToInt64();
  if (v == 0) return false;
  field = static_cast<BYTE>(v & 0xFF);
  return true;
}

void TouchWindow(HWND window) {
  ::SendMessageW(window, UIResource::kColorShiftNotice, 0, 0);
  if (::IsWindowVisible(window)) {
    ::InvalidateRect(window, nullptr, TRUE);
    // 0x2237: recompute and redraw the frame without moving anything.
    ::SetWindowPos(window, nullptr, 0, 0, 0, 0,
                   SWP_NOSIZE | SWP_NOMOVE | SWP_NOZORDER | SWP_NOACTIVATE | SWP_FRAMECHANGED | SWP_NOOWNERZORDER |
                       SWP_DEFERERASE);
  }
}

BOOL CALLBACK TouchChild(HWND window, LPARAM) {
  TouchWindow(window);
  return TRUE;
}

BOOL CALLBACK TouchTopLevel(HWND window, LPARAM) {
  TouchWindow(window);
  ::EnumChildWindows(window, TouchChild, 0);  // every descendant, not only direct children
  return TRUE;
}

}  // namespace

UIResource::~UIResource() {
  if (g_current == this) g_current = nullptr;
}

UIResource* UIResource::Current() { return g_current; }

void UIResource::SetCurrent(UIResource* resource) { g_current = resource; }

bool UIResource::LoadFromResource(HINSTANCE instance, const wchar_t* type, int id) {
  std::string bytes;
  if (HRSRC found = ::FindResourceW(instance, MAKEINTRESOURCEW(id), type)) {
    if (HGLOBAL loaded = ::LoadResource(instance, found)) {
      const void* data = ::LockResource(loaded);
      const DWORD size = ::SizeofResource(instance, found);
      if (data && size) bytes.assign(static_cast<const char*>(data), size);
      ::FreeResource(loaded);
    }
  }
  // A missing resource leaves the copy empty, which fails the magic test.
  return LoadFromMemory(bytes.data(), bytes.size());
}

bool UIResource::LoadFromFile(const wchar_t* path) {
  if (!path) return false;
  pv::UniqueFile file(
      ::CreateFileW(path, GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr));
  if (!file) return false;
  std::string bytes;
  std::string chunk(kReadChunk, '\0');
  for (;;) {
    DWORD read = 0;
    if (!::ReadFile(file.get(), chunk.data(), kReadChunk, &read, nullptr) || read == 0) break;
    bytes.append(chunk.data(), read);
  }
  return LoadFromMemory(bytes.data(), bytes.size());
}

bool UIResource::LoadFromMemory(const void* data, std::size_t size) {
  if (!data && size) return false;
  const std::string_view bytes = size ? std::string_view(static_cast<const char*>(data), size) : std::string_view();
  return package_.Load(bytes);
}

const JValue* UIResource::FindNode(const char* path, const JValue* base) { return package_.FindNode(path, base); }

int UIResource::GetInt(const char* path, const JValue* base) { return package_.GetInt(path, base); }

std::array<int, 4> UIResource::GetRect(const char* path, const JValue* base) { return package_.GetRect(path, base); }

std::array<int, 2> UIResource::GetPair(const char* path, const JValue* base) { return package_.GetPair(path, base); }

COLORREF UIResource::GetColor(const char* path, const JValue* base) { return package_.GetColor(path, base); }

UIImageStyle UIResource::GetImageStyle(const char* path, const JValue* base) {
  UIImageStyle style;
  const JValue* node = FindNode(path, base);
  if (!node) return style;
  if (node->Has("bi")) {
    if (CHBitmap* bitmap = GetImage(node->Find("bi").ToInt(), true)) {
      style.bitmap = bitmap;
      const auto source = UirPackage::RectOf(&node->Find("bg"));
      style.sourceX = source[0];
      style.sourceY = source[1];
      style.sourceWidth = source[2];
      style.sourceHeight = source[3];
      style.keyColor = UirPackage::ColorOf(&node->Find("bc"));
      const auto margins = UirPackage::RectOf(&node->Find("mg"));
      style.marginLeft = margins[0];
      style.marginTop = margins[1];
      style.marginRight = margins[2];
      style.marginBottom = margins[3];
      style.mode = node->Find("md").ToInt();
    }
  }
  if (node->Has("fi")) {
    if (CHBitmap* bitmap = GetImage(node->Find("fi").ToInt(), true)) {
      style.foreBitmap = bitmap;
      const auto source = UirPackage::RectOf(&node->Find("fg"));
      style.foreX = source[0];
      style.foreY = source[1];
      style.foreWidth = source[2];
      style.foreHeight = source[3];
      style.foreKeyColor = UirPackage::ColorOf(&node->Find("fc"));
      const auto offset = UirPackage::PairOf(&node->Find("of"));
      style.offsetX = offset[0];
      style.offsetY = offset[1];
      style.alignment = node->Find("al").ToInt();
    }
  }
  return style;
}

UITextStyle UIResource::GetTextStyle(const char* path, const JValue* base) {
  UITextStyle style;
  const JValue* node = FindNode(path, base);
  if (!node) return style;
  if (node->Has("ft")) style.font = GetFont(node->Find("ft").ToInt());
  style.alignment = node->Find("al").ToInt();
  style.color = static_cast<COLORREF>(node->Find("cr").ToInt());
  const JValue& offset = node->Find("of");
  style.offsetX = offset.Element(0).ToInt();
  style.offsetY = offset.Element(1).ToInt();
  style.text = DecodeText(node->Find("tx"));
  return style;
}

HFONT UIResource::GetFont(int id) {
  const auto key = static_cast<std::uint32_t>(id);
  if (auto cached = fonts_.find(key); cached != fonts_.end()) return cached->second.get();
  std::string record;
  if (!GetData("fonts", id, record)) {
    fonts_[key];  // a missing font stays missing: cached as null
    return nullptr;
  }
  JValue value;
  JParse(record.c_str(), value);
  LOGFONTW font = IconTitleFont();
  if (value.Type() != JNull) {
    Override(value, "Height", font.lfHeight);
    Override(value, "Width", font.lfWidth);
    Override(value, "Escapement", font.lfEscapement);
    Override(value, "Orientation", font.lfOrientation);
    Override(value, "Weight", font.lfWeight);
    Override(value, "Italic", font.lfItalic);
    Override(value, "Underline", font.lfUnderline);
    Override(value, "StrikeOut", font.lfStrikeOut);
    Override(value, "CharSet", font.lfCharSet);
    Override(value, "OutPrecision", font.lfOutPrecision);
    Override(value, "ClipPrecision", font.lfClipPrecision);
    Override(value, "Quality", font.lfQuality);
    Override(value, "PitchAndFamily", font.lfPitchAndFamily);
    const std::wstring face = DecodeText(value.Find("FaceName"));
    if (!face.empty() && face.size() < LF_FACESIZE) {
      std::wmemcpy(font.lfFaceName, face.c_str(), face.size() + 1);
    }
  }
  pv::UniqueFont& slot = fonts_[key];
  slot.reset(::CreateFontIndirectW(&font));
  return slot.get();
}

CHBitmap* UIResource::GetImage(int id, bool colorize) {
  const auto key = static_cast<std::uint32_t>(id);
  if (auto cached = images_.find(key); cached != images_.end()) return cached->second.bitmap.get();
  std::string bytes;
  if (!GetData("images", id, bytes)) return nullptr;
  auto bitmap = std::make_unique<CHBitmap>();
  // Nothing is cached on failure, so the next request tries again.
  if (!bitmap->Decode(bytes.data(), bytes.size())) return nullptr;
  if (ShiftActive()) {
    auto saved = std::make_unique<CHBitmap>();
    if (saved->CopyPixels(&bitmap->Header(), bitmap->Bits(), static_cast<std::size_t>(bitmap->ImageSize()))) {
      savedImages_[key] = std::move(saved);
    }
    if (colorize) bitmap->ApplyColorShift(hue_, saturation_, lightness_);
  }
  CachedImage& slot = images_[key];
  slot.bitmap = std::move(bitmap);
  slot.colorize = colorize;
  return slot.bitmap.get();
}

bool UIResource::GetData(const char* category, int id, std::string& out) {
  return package_.GetData(category, static_cast<std::uint32_t>(id), out);
}

HFONT UIResource::GetDefaultFont() { return DefaultFont(false, false); }
HFONT UIResource::GetDefaultBoldFont() { return DefaultFont(true, false); }
HFONT UIResource::GetDefaultUnderlineFont() { return DefaultFont(false, true); }
HFONT UIResource::GetDefaultBoldUnderlineFont() { return DefaultFont(true, true); }

bool UIResource::SetColorization(int hue, int saturation, int lightness) {
  colors_.clear();
  hue_ = hue;
  saturation_ = saturation;
  lightness_ = lightness;
  shift_ = ShiftActive() ? std::make_unique<ShiftTable>(BuildShiftTable(hue, saturation, lightness)) : nullptr;

  for (auto& [id, cached] : images_) {
    if (!cached.colorize || !cached.bitmap) continue;
    CHBitmap& bitmap = *cached.bitmap;
    std::unique_ptr<CHBitmap>& saved = savedImages_[id];
    if (!saved) {
      saved = std::make_unique<CHBitmap>();
      if (!saved->CopyPixels(&bitmap.Header(), bitmap.Bits(), static_cast<std::size_t>(bitmap.ImageSize()))) {
        saved.reset();
        continue;
      }
    }
    // Pixels are replaced in place, so pointers handed out stay valid.
    bitmap.CopyPixels(&saved->Header(), saved->Bits(), static_cast<std::size_t>(saved->ImageSize()));
    // No shift means the untouched pixels; the round trip through HSL
    // would not give them back exactly.
    if (ShiftActive()) bitmap.ApplyColorShift(hue, saturation, lightness);
  }
  if (!ShiftActive()) savedImages_.clear();

  BroadcastColorShift();
  return true;
}

COLORREF UIResource::AdjustColor(COLORREF color) {
  if (!shift_) return color;
  auto cached = colors_.find(color);
  if (cached != colors_.end()) return cached->second;
  const COLORREF adjusted = ShiftColor(color, *shift_);
  colors_.emplace(color, adjusted);
  return adjusted;
}

void UIResource::BroadcastColorShift() { ::EnumThreadWindows(::GetCurrentThreadId(), TouchTopLevel, 0); }

}  // namespace pv
