#pragma once

#include <cstddef>
#include <functional>
#include <string>

namespace pv {

// The text, caret and selection of the editable box, with its keys and typed
// characters; the box itself draws, measures and notifies.

// What an edit did, for the box to act on.
enum class EditEffect {
  kNone,     // nothing changed
  kRepaint,  // caret, selection or text changed; nobody needs telling
  kChanged,  // an edit the owner hears of (the change notification)
};

class EditText {
 public:
  // The keys the box handles (virtual-key codes).
  static constexpr unsigned kBack = 8;
  static constexpr unsigned kEnd = 35;
  static constexpr unsigned kHome = 36;
  static constexpr unsigned kLeft = 37;
  static constexpr unsigned kUp = 38;
  static constexpr unsigned kRight = 39;
  static constexpr unsigned kDown = 40;
  static constexpr unsigned kDelete = 46;
  // With Control held: select all, undo.
  static constexpr unsigned kSelectAllKey = 'A';
  static constexpr unsigned kUndoKey = 'Z';
  // Typed characters are taken from '!' to '}' only: no space, no '~', no
  // control characters and nothing beyond ASCII.
  static constexpr unsigned kFirstTyped = 33;
  static constexpr unsigned kLastTyped = 125;
  static constexpr int kNoLimit = -1;

  const std::wstring& Text() const { return text_; }
  int Length() const { return static_cast<int>(text_.size()); }
  int Caret() const { return caret_; }
  int SelectionStart() const { return selStart_; }
  int SelectionEnd() const { return selEnd_; }
  bool HasSelection() const { return selStart_ < selEnd_; }
  int MaxLength() const { return maxLength_; }
  // -1 for no limit; 0 and other negative values take no typed characters.
  void SetMaxLength(int value) { maxLength_ = value; }

  // Replaces the text; a different text puts the caret at its end. The
  // selection is kept as it is, and nothing is left to undo. True when the
  // text differed.
  bool SetText(std::wstring text);

  // The editing keys: Backspace and Delete remove the selection or one
  // character, Home and End jump, Left and Right (and Up and Down, as in a
  // one-line box) step and collapse a selection at its start. With Shift
  // the moves extend the selection from its anchor instead; with Control,
  // A selects everything and Z undoes the last edit (a second Z redoes it).
  // Other keys do nothing.
  EditEffect Key(unsigned virtualKey, bool shift = false, bool control = false);
  // A typed character replaces the selection and goes in at the caret while
  // the maximum length allows.
  EditEffect Char(unsigned character);
  // Pasted text: its first line without control characters replaces the
  // selection, as much of it as the maximum length allows.
  EditEffect Insert(const std::wstring& text);
  // The selected characters (for copying), and their removal (cutting).
  std::wstring SelectedText() const;
  EditEffect RemoveSelected();

  // Caret and an empty selection at one place (a press of the mouse).
  void PlaceCaret(int at);
  // The selection between two places, whatever their order; the caret stays.
  void Select(int from, int to);
  // Everything selected, the caret at the end.
  void SelectAll();

 private:
  // Indexes that a shorter text left behind are brought back inside it.
  void Clamp();
  void RemoveSelection();
  // Where the selection stays fixed while Shift moves its other end.
  int Anchor() const;
  void MoveTo(int to, bool extend);
  // Keeps the state before an edit for Undo.
  void Remember();
  EditEffect Undo();

  struct State {
    std::wstring text;
    int caret = 0;
    int selStart = 0;
    int selEnd = 0;
  };

  std::wstring text_;
  int caret_ = 0;
  int maxLength_ = kNoLimit;
  int selStart_ = 0;
  int selEnd_ = 0;
  State undo_;
  bool canUndo_ = false;
};

// The character boundary a point falls on. The text starts at `left` and
// runs for prefixWidth(length) pixels between `top` and `bottom`; a point in
// that box goes to the nearer boundary of the character under it (the left
// one on a tie), a point right of the box (at any height) to the end, any
// other point to 0. prefixWidth(n) is the width of the first n characters.
int EditHitTest(int x, int y, int left, int top, int bottom, int length, const std::function<int(int)>& prefixWidth);

}  // namespace pv
