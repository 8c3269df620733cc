#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "ui/EditText.h"

using namespace pv;

namespace {

using pv::EditEffect;
using pv::EditText;

EditText With(const std::wstring& text, int from, int to) {
  EditText edit;
  edit.SetText(text);
  edit.PlaceCaret(from);
  edit.Select(from, to);
  return edit;
}

// The path box's own tests drive the edge cases through the window; these
// hold what the window cannot reach easily.
TEST(EditText, KeysOnTheEdgesOfTextAndSelection) {
  // A selection dragged leftwards keeps the caret at its end: Backspace
  // removes it there. At the very start Backspace does nothing.
  EditText edit = With(L"abcdef", 4, 1);
  EXPECT_EQ(edit.Key(EditText::kBack), EditEffect::kChanged);
  EXPECT_EQ(edit.Text(), L"aef");
  EXPECT_EQ(edit.Caret(), 1);
  edit.PlaceCaret(0);
  EXPECT_EQ(edit.Key(EditText::kBack), EditEffect::kNone);
  // Delete at the end removes nothing but is still reported.
  edit.PlaceCaret(3);
  EXPECT_EQ(edit.Key(EditText::kDelete), EditEffect::kChanged);
  EXPECT_EQ(edit.Text(), L"aef");
  // Left over a selection that starts the text stays at 0.
  edit = With(L"abcdef", 0, 6);
  EXPECT_EQ(edit.Key(EditText::kLeft), EditEffect::kRepaint);
  EXPECT_EQ(edit.Caret(), 0);
  EXPECT_FALSE(edit.HasSelection());
  edit.Key(EditText::kEnd);
  edit.Key(EditText::kRight);
  EXPECT_EQ(edit.Caret(), 6);
  EXPECT_EQ(edit.Key(27), EditEffect::kNone);  // Escape is the box's own business

  for (unsigned ignored : {0u, 127u, 0xFFFFu, 0x110000u}) EXPECT_EQ(edit.Char(ignored), EditEffect::kNone);
  EXPECT_EQ(edit.Char('!'), EditEffect::kChanged);
  EXPECT_EQ(edit.Char('}'), EditEffect::kChanged);
  EXPECT_EQ(edit.Text(), L"abcdef!}");
}

TEST(EditText, MaximumLengthStopsTyping) {
  EditText edit;
  edit.SetMaxLength(3);
  for (char c : std::string("abcd")) edit.Char(static_cast<unsigned>(c));
  EXPECT_EQ(edit.Text(), L"abc");
  EXPECT_EQ(edit.Char('e'), EditEffect::kNone);

  // A text set longer than the limit still loses a selection typed over,
  // without taking the character and without telling the owner.
  edit.SetText(L"abcdef");
  edit.Select(0, 1);
  EXPECT_EQ(edit.Char('x'), EditEffect::kRepaint);
  EXPECT_EQ(edit.Text(), L"bcdef");

  for (int limit : {0, -2}) {
    EditText none;
    none.SetMaxLength(limit);
    EXPECT_EQ(none.Char('a'), EditEffect::kNone);
    EXPECT_EQ(none.Text(), L"");
  }
}

TEST(EditText, IndexesAShorterTextLeftBehindAreCut) {
  // SetText keeps the selection as it was, beyond the new end.
  EditText stale = With(L"abcdef", 2, 5);
  stale.SetText(L"ab");
  EXPECT_EQ(stale.Key(EditText::kDelete), EditEffect::kChanged);
  EXPECT_EQ(stale.Text(), L"ab");
  EXPECT_EQ(stale.Char('z'), EditEffect::kChanged);
  EXPECT_EQ(stale.Text(), L"abz");
  EXPECT_EQ(stale.Key(EditText::kBack), EditEffect::kChanged);
  EXPECT_EQ(stale.Text(), L"ab");
  stale.PlaceCaret(99);
  EXPECT_EQ(stale.Caret(), 2);
}

TEST(EditText, ShiftSelectsFromTheAnchorAndControlSelectsAllAndUndoes) {
  EditText edit;
  edit.SetText(L"C:\\Apps");
  edit.PlaceCaret(3);
  edit.Key(EditText::kRight, true);
  edit.Key(EditText::kDown, true);
  EXPECT_EQ(edit.SelectedText(), L"Ap");
  // Back over the anchor: the selection turns round it.
  for (int i = 0; i < 3; ++i) edit.Key(EditText::kLeft, true);
  EXPECT_EQ(edit.SelectedText(), L"\\");
  edit.Key(EditText::kEnd, true);
  EXPECT_EQ(edit.SelectedText(), L"Apps");
  edit.Key(EditText::kHome, true);
  EXPECT_EQ(edit.SelectedText(), L"C:\\");
  EXPECT_EQ(edit.Caret(), 0);
  // Without Shift a move collapses it; Up and Down step as Left and Right.
  edit.Key(EditText::kUp);
  EXPECT_FALSE(edit.HasSelection());
  EXPECT_EQ(edit.Caret(), 0);
  EXPECT_EQ(edit.Key(EditText::kSelectAllKey, false, true), EditEffect::kRepaint);
  EXPECT_EQ(edit.SelectedText(), L"C:\\Apps");
  EXPECT_EQ(edit.Key(EditText::kSelectAllKey), EditEffect::kNone);  // a plain "A" key types nothing here

  // Control+Z takes the last edit back, a second one puts it again.
  EXPECT_EQ(edit.Key(EditText::kUndoKey, false, true), EditEffect::kNone);  // nothing to undo after SetText
  edit.Char('D');
  EXPECT_EQ(edit.Text(), L"D");
  EXPECT_EQ(edit.Key(EditText::kUndoKey, false, true), EditEffect::kChanged);
  EXPECT_EQ(edit.Text(), L"C:\\Apps");
  EXPECT_EQ(edit.SelectedText(), L"C:\\Apps");
  edit.Key(EditText::kUndoKey, false, true);
  EXPECT_EQ(edit.Text(), L"D");
  // A move alone leaves the edit to undo as it was.
  edit.Key(EditText::kHome);
  edit.Key(EditText::kUndoKey, false, true);
  EXPECT_EQ(edit.Text(), L"C:\\Apps");
}

TEST(EditText, PasteTakesTheFirstLineUpToTheLimitAndCutRemovesTheSelection) {
  EditText edit;
  edit.SetText(L"D:\\");
  edit.SetMaxLength(12);
  // Control characters go; the first line break ends the text; blanks and
  // other letters than the typed ones are taken.
  EXPECT_EQ(edit.Insert(L"My\tApps \u5e94\u7528\r\nsecond"), EditEffect::kChanged);
  EXPECT_EQ(edit.Text(), L"D:\\MyApps \u5e94\u7528");
  EXPECT_EQ(edit.Caret(), 12);
  // A full box takes nothing more.
  EXPECT_EQ(edit.Insert(L"xyz"), EditEffect::kNone);
  EXPECT_EQ(edit.Insert(L"\n"), EditEffect::kNone);
  // Over a selection, the selection goes first.
  edit.Select(3, 9);
  EXPECT_EQ(edit.Insert(L"Tools"), EditEffect::kChanged);
  EXPECT_EQ(edit.Text(), L"D:\\Tools \u5e94\u7528");
  edit.Select(0, 3);
  EXPECT_EQ(edit.RemoveSelected(), EditEffect::kChanged);
  EXPECT_EQ(edit.Text(), L"Tools \u5e94\u7528");
  EXPECT_EQ(edit.RemoveSelected(), EditEffect::kNone);
  edit.Key(EditText::kUndoKey, false, true);
  EXPECT_EQ(edit.Text(), L"D:\\Tools \u5e94\u7528");
}

TEST(EditText, HitTestFindsTheNearerBoundary) {
  // Ten pixels a character, the text from x 100 between y 0 and 20.
  auto fixed = [](int n) { return 10 * n; };
  auto hit = [&](int x, int y, int length = 4) { return pv::EditHitTest(x, y, 100, 0, 20, length, fixed); };
  EXPECT_EQ(hit(100, 5), 0);
  EXPECT_EQ(hit(104, 5), 0);
  EXPECT_EQ(hit(105, 5), 0);  // a tie goes left
  EXPECT_EQ(hit(106, 5), 1);
  EXPECT_EQ(hit(125, 5), 2);
  EXPECT_EQ(hit(139, 19), 4);
  EXPECT_EQ(hit(140, 5), 4);  // right of the text, at any height
  EXPECT_EQ(hit(500, -50), 4);
  EXPECT_EQ(hit(99, 5), 0);    // left of it
  EXPECT_EQ(hit(120, 20), 0);  // below it
  EXPECT_EQ(hit(120, -1), 0);
  EXPECT_EQ(hit(100, 5, 0), 0);
  EXPECT_EQ(hit(90, 5, 0), 0);

  const std::vector<int> widths{0, 3, 15, 16};
  auto uneven = [&](int n) { return widths[static_cast<std::size_t>(n)]; };
  EXPECT_EQ(pv::EditHitTest(108, 5, 100, 0, 20, 3, uneven), 1);
  EXPECT_EQ(pv::EditHitTest(110, 5, 100, 0, 20, 3, uneven), 2);
  EXPECT_EQ(pv::EditHitTest(115, 5, 100, 0, 20, 3, uneven), 2);
}

}  // namespace
