#include "ui/UIProgress.h"

#include <oleacc.h>

#include <algorithm>
#include <string>

#include "ui/ControlMath.h"
#include "ui/IResource.h"
#include "ui/StylePainter.h"
#include "ui/UIKind.h"

namespace pv {

namespace {

// The widest fill handed to the painter. A fill past the bar is cut at the
// bar's edge anyway; the limit keeps the stretch inside 16-bit coordinates,
// which every GDI path (and Wine's stretching) handles without trouble.
constexpr long long kWidestFill = 0x7FFF;

}  // namespace

UIProgress::UIProgress() { kind = UIKind::Progress; }

int UIProgress::LoadStyle(IResource* resource, const char* path, const JValue* node) {
  const JValue* base = resource ? resource->FindNode(path, node) : nullptr;
  id = 0;
  layoutRequest = pv::LayoutRequest{};
  background_ = UIImageStyle{};
  foreground_ = UIImageStyle{};
  if (base) {
    LoadIdAndSize(resource, base);
    background_ = resource->GetImageStyle("bkgnd", base);
    foreground_ = resource->GetImageStyle("frgnd", base);
  }
  Invalidate();
  return 1;
}

long long UIProgress::FillWidth() const {
  return pv::ProgressFillWidth(rect.right - rect.left, position_, minimum_, maximum_);
}

void UIProgress::Paint(HDC dc, const RECT& rect, const RECT& clip) {
  PaintImageStyle(rect, background_, dc);
  const long long fill = pv::ProgressFillWidth(rect.right - rect.left, position_, minimum_, maximum_);
  if (fill <= 0) return;
  const long long shown = std::min(fill, kWidestFill);
  const RECT filled{rect.left, rect.top, pv::ClampToInt(rect.left + shown), rect.bottom};
  // The DC is clipped to the control already; this keeps a fill past the
  // bar from reaching past the area being painted on any DC.
  const int saved = ::SaveDC(dc);
  ::IntersectClipRect(dc, clip.left, clip.top, clip.right, clip.bottom);
  ::IntersectClipRect(dc, rect.left, rect.top, rect.right, rect.bottom);
  PaintImageStyle(filled, foreground_, dc);
  ::RestoreDC(dc, saved);
}

void UIProgress::SetPos(int position) {
  position_ = position;
  Invalidate();
  const int percent = Percent();
  const DWORD now = ::GetTickCount();
  if (percent == announcedPercent_) return;
  if (percent < 100 && announcedPercent_ >= 0 && now - announcedAt_ < kAnnounceEveryMs) return;
  announcedPercent_ = percent;
  announcedAt_ = now;
  RaiseAccessibleEvent(EVENT_OBJECT_VALUECHANGE);
}

int UIProgress::Percent() const {
  const long long span = static_cast<long long>(maximum_) - minimum_;
  if (span <= 0) return 0;
  return static_cast<int>(std::clamp((static_cast<long long>(position_) - minimum_) * 100 / span, 0LL, 100LL));
}

int UIProgress::AccessibleRole() { return accessibleRole > 0 ? accessibleRole : ROLE_SYSTEM_PROGRESSBAR; }

unsigned UIProgress::AccessibleState() { return STATE_SYSTEM_READONLY; }

std::wstring UIProgress::AccessibleValue() { return std::to_wstring(Percent()) + L"%"; }

void UIProgress::ResetRange() { SetRange(0, 100); }

void UIProgress::SetRange(int minimum, int maximum) {
  minimum_ = minimum;
  maximum_ = maximum;
  Invalidate();
}

}  // namespace pv
