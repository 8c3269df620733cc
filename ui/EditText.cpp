#include "ui/EditText.h"

#include <algorithm>
#include <utility>

namespace pv {

bool EditText::SetText(std::wstring text) {
  const bool differs = text != text_;
  text_ = std::move(text);
  if (differs) caret_ = Length();
  canUndo_ = false;
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

void EditText::Remember() {
  undo_ = State{text_, caret_, selStart_, selEnd_};
  canUndo_ = true;
}

EditEffect EditText::Undo() {
  if (!canUndo_) return EditEffect::kNone;
  // The state undone becomes the one to go back to, as a one-line box of
  // the system does it.
  State now{text_, caret_, selStart_, selEnd_};
  text_ = std::move(undo_.text);
  caret_ = undo_.caret;
  selStart_ = undo_.selStart;
  selEnd_ = undo_.selEnd;
  undo_ = std::move(now);
  Clamp();
  return EditEffect::kChanged;
}

int EditText::Anchor() const {
  if (!HasSelection()) return caret_;
  return caret_ == selEnd_ ? selStart_ : selEnd_;
}

void EditText::MoveTo(int to, bool extend) {
  to = std::clamp(to, 0, Length());
  if (extend) {
    const int anchor = Anchor();
    caret_ = to;
    selStart_ = std::min(anchor, to);
    selEnd_ = std::max(anchor, to);
  } else {
    caret_ = selStart_ = selEnd_ = to;
  }
}

EditEffect EditText::Key(unsigned virtualKey, bool shift, bool control) {
  Clamp();
  if (control && virtualKey == kSelectAllKey) {
    SelectAll();
    return EditEffect::kRepaint;
  }
  if (control && virtualKey == kUndoKey) return Undo();
  switch (virtualKey) {
    case kBack:
      // At the very start Backspace does nothing, even over a selection
      // that begins there.
      if (caret_ <= 0) return EditEffect::kNone;
      Remember();
      if (HasSelection()) {
        RemoveSelection();
      } else {
        --caret_;
        text_.erase(static_cast<std::size_t>(caret_), 1);
      }
      return EditEffect::kChanged;
    case kDelete:
      Remember();
      if (HasSelection()) {
        RemoveSelection();
      } else if (caret_ < Length()) {
        text_.erase(static_cast<std::size_t>(caret_), 1);
      }
      return EditEffect::kChanged;
    case kHome:
      MoveTo(0, shift);
      return EditEffect::kRepaint;
    case kEnd:
      MoveTo(Length(), shift);
      return EditEffect::kRepaint;
    case kRight:
    case kDown:
      if (shift) {
        MoveTo(caret_ + 1, true);
        return EditEffect::kRepaint;
      }
      if (HasSelection()) selEnd_ = caret_ = selStart_;
      caret_ = std::min(caret_ + 1, Length());
      return EditEffect::kRepaint;
    case kLeft:
    case kUp:
      if (shift) {
        MoveTo(caret_ - 1, true);
        return EditEffect::kRepaint;
      }
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
  const bool room = maxLength_ == kNoLimit || (maxLength_ > 0 && Length() - (selEnd_ - selStart_) < maxLength_);
  if (removed || room) Remember();
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

EditEffect EditText::Insert(const std::wstring& text) {
  std::wstring piece;
  for (wchar_t c : text) {
    if (c == L'\r' || c == L'\n') break;
    if (c < 32 || c == 127) continue;
    piece += c;
  }
  Clamp();
  if (maxLength_ != kNoLimit) {
    const int room = std::max(maxLength_ - (Length() - (selEnd_ - selStart_)), 0);
    if (static_cast<int>(piece.size()) > room) piece.resize(static_cast<std::size_t>(room));
  }
  if (piece.empty() && !HasSelection()) return EditEffect::kNone;
  Remember();
  if (HasSelection()) RemoveSelection();
  text_.insert(static_cast<std::size_t>(caret_), piece);
  caret_ += static_cast<int>(piece.size());
  selStart_ = selEnd_ = caret_;
  return EditEffect::kChanged;
}

std::wstring EditText::SelectedText() const {
  const int length = Length();
  const int from = std::clamp(selStart_, 0, length);
  const int to = std::clamp(selEnd_, from, length);
  return text_.substr(static_cast<std::size_t>(from), static_cast<std::size_t>(to - from));
}

EditEffect EditText::RemoveSelected() {
  Clamp();
  if (!HasSelection()) return EditEffect::kNone;
  Remember();
  RemoveSelection();
  return EditEffect::kChanged;
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
