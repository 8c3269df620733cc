#pragma once

#include <windows.h>

#include <cstdint>
#include <map>
#include <memory>
#include <string>

#include "ui/CHBitmap.h"
#include "ui/ColorShift.h"
#include "ui/Handles.h"
#include "ui/IResource.h"
#include "ui/UirPackage.h"

namespace pv {

// The program's skin: a ".uir" package (style document and records) with
// decoded images and created fonts cached by id, and an optional colour
// shift applied to every colourised image and adjusted colour. Used on the
// user-interface thread only.
class UIResource final : public IResource {
 public:
  // Sent to every window of the thread after the colour shift changed.
  static constexpr UINT kColorShiftNotice = 0x6A60;

  UIResource() = default;
  UIResource(const UIResource&) = delete;
  UIResource& operator=(const UIResource&) = delete;
  ~UIResource();

  // The skin that windows without one of their own (the drop shadows) use;
  // the main box sets it. A resource that is destroyed unregisters itself.
  static UIResource* Current();
  static void SetCurrent(UIResource* resource);

  bool LoadFromResource(HINSTANCE instance, const wchar_t* type, int id) override;
  bool LoadFromFile(const wchar_t* path) override;
  bool LoadFromMemory(const void* data, std::size_t size) override;
  const JValue* FindNode(const char* path, const JValue* base) override;
  int GetInt(const char* path, const JValue* base) override;
  std::array<int, 4> GetRect(const char* path, const JValue* base) override;
  UIImageStyle GetImageStyle(const char* path, const JValue* base) override;
  std::array<int, 2> GetPair(const char* path, const JValue* base) override;
  COLORREF GetColor(const char* path, const JValue* base) override;
  UITextStyle GetTextStyle(const char* path, const JValue* base) override;
  HFONT GetFont(int id) override;
  CHBitmap* GetImage(int id, bool colorize) override;
  bool GetData(const char* category, int id, std::string& out) override;
  HFONT GetDefaultFont() override;
  HFONT GetDefaultBoldFont() override;
  HFONT GetDefaultUnderlineFont() override;
  HFONT GetDefaultBoldUnderlineFont() override;
  bool SetColorization(int hue, int saturation, int lightness) override;
  COLORREF AdjustColor(COLORREF color) override;
  int GetHue() override { return hue_; }
  int GetSaturation() override { return saturation_; }
  int GetLightness() override { return lightness_; }

  const UirPackage& Package() const { return package_; }

 private:
  struct CachedImage {
    std::unique_ptr<CHBitmap> bitmap;
    bool colorize = false;
  };

  bool ShiftActive() const { return hue_ != 0 || saturation_ != 0 || lightness_ != 0; }
  static void BroadcastColorShift();

  UirPackage package_;
  std::map<std::uint32_t, pv::UniqueFont> fonts_;  // a null handle caches a failed lookup
  std::map<std::uint32_t, CachedImage> images_;
  std::map<std::uint32_t, std::unique_ptr<CHBitmap>> savedImages_;  // untouched pixels while a shift is active
  std::map<COLORREF, COLORREF> colors_;
  std::unique_ptr<ShiftTable> shift_;
  int hue_ = 0;
  int saturation_ = 0;
  int lightness_ = 0;
};

}  // namespace pv
