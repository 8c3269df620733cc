#pragma once

#include <windows.h>

#include <array>
#include <cstddef>
#include <string>

#include "ui/UIStyles.h"

namespace pv {

class CHBitmap;
class JValue;

// The skin as the controls see it: style lookups by slash-separated path
// below a node (or below "cfg" when the node is null), images and fonts by
// id. Everything handed out stays owned by the resource. Nobody deletes a
// resource through this interface, hence the protected destructor.
class IResource {
 public:
  virtual bool LoadFromResource(HINSTANCE instance, const wchar_t* type, int id) = 0;
  virtual bool LoadFromFile(const wchar_t* path) = 0;
  virtual bool LoadFromMemory(const void* data, std::size_t size) = 0;
  virtual const JValue* FindNode(const char* path, const JValue* base) = 0;
  virtual int GetInt(const char* path, const JValue* base) = 0;
  // x, y, width, height (or left, top, right, bottom for margins).
  virtual std::array<int, 4> GetRect(const char* path, const JValue* base) = 0;
  virtual UIImageStyle GetImageStyle(const char* path, const JValue* base) = 0;
  virtual std::array<int, 2> GetPair(const char* path, const JValue* base) = 0;
  virtual COLORREF GetColor(const char* path, const JValue* base) = 0;
  virtual UITextStyle GetTextStyle(const char* path, const JValue* base) = 0;
  virtual HFONT GetFont(int id) = 0;
  virtual CHBitmap* GetImage(int id, bool colorize) = 0;
  virtual bool GetData(const char* category, int id, std::string& out) = 0;
  virtual HFONT GetDefaultFont() = 0;
  virtual HFONT GetDefaultBoldFont() = 0;
  virtual HFONT GetDefaultUnderlineFont() = 0;
  virtual HFONT GetDefaultBoldUnderlineFont() = 0;
  virtual bool SetColorization(int hue, int saturation, int lightness) = 0;
  virtual COLORREF AdjustColor(COLORREF color) = 0;
  virtual int GetHue() = 0;
  virtual int GetSaturation() = 0;
  virtual int GetLightness() = 0;

 protected:
  IResource() = default;
  IResource(const IResource&) = default;
  IResource& operator=(const IResource&) = default;
  ~IResource() = default;
};

}  // namespace pv
