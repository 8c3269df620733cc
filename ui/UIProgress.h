#pragma once

#include <windows.h>

#include <atomic>

#include "ui/UIObject.h"
#include "ui/UIStyles.h"

namespace pv {

// A progress bar: the "bkgnd" record over the whole control and the "frgnd"
// record over the filled part, width x position / (maximum - minimum)
// pixels from the left. The position is neither clamped nor reduced by the
// minimum; what reaches past the control is cut off.
//
// Worker threads set the position while the window's thread paints; the
// numbers are atomic, and the setters only store and invalidate.
class UIProgress : public UIObject {
 public:
  UIProgress();

  // Reads "id", "size", "bkgnd" and "frgnd".
  int LoadStyle(IResource* resource, const char* path, const JValue* node) override;
  void Paint(HDC dc, const RECT& rect, const RECT& clip) override;

  void SetPos(int position);
  // Whole percent of the range, 0 to 100.
  int Percent() const;
  int GetPos() const { return position_; }
  // Minimum 0, maximum 100.
  void ResetRange();
  void SetRange(int minimum, int maximum);
  int GetMin() const { return minimum_; }
  int GetMax() const { return maximum_; }
  // The fill of the control's current width; may exceed the width or be
  // negative.
  long long FillWidth() const;
  // A progress bar whose value is the percentage done ("45%"); changes are
  // announced when the percentage moves, at most four times a second and
  // always on reaching the end.
  int AccessibleRole() override;
  unsigned AccessibleState() override;
  std::wstring AccessibleValue() override;
  static constexpr DWORD kAnnounceEveryMs = 250;

 private:
  std::atomic<int> position_{0};
  std::atomic<int> maximum_{0};
  std::atomic<int> minimum_{0};
  std::atomic<int> announcedPercent_{-1};
  std::atomic<DWORD> announcedAt_{0};
  UIImageStyle background_;
  UIImageStyle foreground_;
};

}  // namespace pv
