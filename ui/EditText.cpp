#include "ui/EditText.h"

#include <algorithm>
#include <utility>

namespace pv {

bool EditText::SetText(std::wstring text) {
  const bool differs = text != text_;
  text_ = std::move(text);
  if (differs) caret_ = Length();
  return differs;
}

void EditText::Clamp() {
  const int length = Length();
  caret_ = std::clamp(caret_, 0, length);
  selStart_ = std::clamp(selStart_, 0, length);
  selEnd_ = std::clamp(selEnd_, selStart_, length);
}

void EditText::RemoveSelection() {
  text_.erase(static_cast<std::size_t>(selStart_), static_cast<std::size_t>(selEnd_ - selStart_));
  caret_ = selEnd_ = selStart_;
}

EditEffect EditText::Key(unsigned virtualKey) {
  Clamp();
  switch (virtualKey) {
    case kBack:
      // At the very start Backspace does nothing, even over a selection
      // that begins there.
      if (caret_ <= 0) return EditEffect::kNone;
      if (HasSelection()) {
        RemoveSelection();
      } else {
        --caret_;
        text_.erase(static_cast<std::size_t>(caret_), 1);
      }
      return EditEffect::kChanged;
    case kDelete:
      if (HasSelection()) {
        RemoveSelection();
      } else if (caret_ < Length()) {
        text_.erase(static_cast<std::size_t>(caret_), 1);
      }
      return EditEffect::kChanged;
    case kHome:
      caret_ = selStart_ = selEnd_ = 0;
      return EditEffect::kRepaint;
    case kEnd:
      caret_ = selStart_ = selEnd_ = Length();
      return EditEffect::kRepaint;
    case kRight:
      if (HasSelection()) selEnd_ = caret_ = selStart_;
      caret_ = std::min(caret_ + 1, Length());
      return EditEffect::kRepaint;
    case kLeft:
      // Like Right, a selection collapses at its start; the caret then
      // steps one left of it.
      if (HasSelection()) selEnd_ = caret_ = selStart_;
      caret_ = std::max(caret_ - 1, 0);
      return EditEffect::kRepaint;
    default:
      return EditEffect::kNone;
  }
}

EditEffect EditText::Char(unsigned character) {
  if (character < kFirstTyped || character > kLastTyped) return EditEffect::kNone;
  Clamp();
  const bool removed = HasSelection();
  if (removed) RemoveSelection();
  if (maxLength_ == kNoLimit || (maxLength_ > 0 && Length() < maxLength_)) {
    text_.insert(static_cast<std::size_t>(caret_), 1, static_cast<wchar_t>(character));
    ++caret_;
    return EditEffect::kChanged;
  }
  // A full box still loses the selection it was typed over; the owner is
  // not told, but the box must show it.
  return removed ? EditEffect::kRepaint : EditEffect::kNone;
}

void EditText::PlaceCaret(int at) { caret_ = selStart_ = selEnd_ = std::clamp(at, 0, Length()); }

void EditText::Select(int from, int to) {
  from = std::clamp(from, 0, Length());
  to = std::clamp(to, 0, Length());
  selStart_ = std::min(from, to);
  selEnd_ = std::max(from, to);
}

void EditText::SelectAll() {
  selStart_ = 0;
  selEnd_ = caret_ = Length();
}

int EditHitTest(int x, int y, int left, int top, int bottom, int length, const std::function<int(int)>& prefixWidth) {
  const long long right = static_cast<long long>(left) + (length > 0 ? prefixWidth(length) : 0);
  if (x >= right) return length;
  if (x < left || y < top || y >= bottom) return 0;
  long long before = left;
  for (int i = 1; i <= length; ++i) {
    const long long after = static_cast<long long>(left) + prefixWidth(i);
    if (x < after) return after - x < x - before ? i : i - 1;
    before = after;
  }
  return length;
}

}  // namespace pv
