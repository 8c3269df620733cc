#include <windows.h>

#include <gtest/gtest.h>

#include <atomic>
#include <climits>
#include <cstdint>
#include <memory>
#include <string>
#include <thread>
#include <typeinfo>
#include <utility>
#include <vector>

#include "json/JValue.h"
#include "tests/ui/ControlTestSupport.h"
#include "ui/UIButton.h"
#include "ui/UICheckBox.h"
#include "ui/UICheckBoxEx.h"
#include "ui/UIDropButton.h"
#include "ui/UIKind.h"
#include "ui/UILabel.h"
#include "ui/UIPane.h"
#include "ui/UIProgress.h"
#include "ui/UIRadioBox.h"

using namespace pv;

namespace {

constexpr std::uint32_t kWhite = 0xFFFFFF;
constexpr std::uint32_t kAccent = 0x0E6CF0;         // the skin's accent (buttons, bar fill)
constexpr std::uint32_t kBarBackground = 0xE6EAF0;  // the bar's empty part
constexpr int kPublishImage = 100;                  // looks of 24 x 48 each, stacked
constexpr int kCheckImage = 104;                    // looks of 16 x 12 each, the box 12 x 12 at the left

// Both 5 x 5 corners of a PublishBtn-styled button at `r` are those of row
// `row` of the image (normal, lighted, pressed, grayed), unscaled.
::testing::AssertionResult ShowsPublishLook(ControlTest& test, UIObject& host, const RECT& r, int row) {
  const int top = test.MismatchesFor(host, r.left, r.top, kPublishImage, 0, row * 48, 5, 5);
  const int bottom = test.MismatchesFor(host, r.right - 5, r.bottom - 5, kPublishImage, 19, row * 48 + 43, 5, 5);
  if (top == 0 && bottom == 0) return ::testing::AssertionSuccess();
  return ::testing::AssertionFailure() << "look " << row << ": " << top << " and " << bottom << " pixels differ";
}

// The 12 x 12 box of a check box at `r` is row `row` of the image (normal,
// lighted, pressed, grayed).
::testing::AssertionResult ShowsBoxLook(ControlTest& test, UIObject& host, const RECT& r, int row) {
  const int wrong = test.MismatchesFor(host, r.left, r.top, kCheckImage, 0, row * 12, 12, 12);
  if (wrong == 0) return ::testing::AssertionSuccess();
  return ::testing::AssertionFailure() << "look " << row << ": " << wrong << " pixels differ";
}

bool Same(const RECT& a, const RECT& b) { return ::EqualRect(&a, &b) != FALSE; }

RECT Inside(const RECT& r, int by) { return RECT{r.left + by, r.top + by, r.right - by, r.bottom - by}; }

bool LightInk(std::uint32_t c) { return (c >> 16) > 200 && ((c >> 8) & 0xFF) > 200; }
bool DarkInk(std::uint32_t c) { return (c >> 16) < 200; }

POINT Centre(const RECT& r) { return POINT{(r.left + r.right) / 2, (r.top + r.bottom) / 2}; }

Report Notified(UIObject* sender) { return Report{sender, WM_COMMAND, 0, reinterpret_cast<LPARAM>(sender)}; }
Report Commanded(LPARAM lParam) { return Report{nullptr, WM_COMMAND, 0, lParam}; }
Report CommandedWithHost(const UIObject& host) {
  return Report{nullptr, WM_COMMAND, 0, reinterpret_cast<LPARAM>(host.GetHwnd())};
}

class BasicControlsTest : public ControlTest {};

TEST_F(BasicControlsTest, FactoryMakesEachClassWithItsKind) {
  auto host = MakeHost(100, 100);
  struct Expected {
    int kind;
    int storedKind;
    bool (*is)(UIObject*);
  };
  const Expected table[] = {
      {UIKind::Pane, UIKind::Pane, [](UIObject* o) { return dynamic_cast<UIPane*>(o) != nullptr; }},
      {UIKind::Button, UIKind::Button, [](UIObject* o) { return typeid(*o) == typeid(UIButton); }},
      {UIKind::Label, UIKind::None, [](UIObject* o) { return dynamic_cast<UILabel*>(o) != nullptr; }},
      {UIKind::CheckBox, UIKind::CheckBox, [](UIObject* o) { return typeid(*o) == typeid(UICheckBox); }},
      {UIKind::CheckBoxEx, UIKind::CheckBox, [](UIObject* o) { return typeid(*o) == typeid(UICheckBoxEx); }},
      {UIKind::RadioBox, UIKind::RadioBox, [](UIObject* o) { return typeid(*o) == typeid(UIRadioBox); }},
      {UIKind::Progress, UIKind::Progress, [](UIObject* o) { return dynamic_cast<UIProgress*>(o) != nullptr; }},
      {UIKind::DropButton, UIKind::DropButton, [](UIObject* o) { return typeid(*o) == typeid(UIDropButton); }},
  };
  for (const Expected& e : table) {
    UIObject* made = UIObject::CreateChild(e.kind, &skin, host.get(), "MainWindow/NoSuchControl", nullptr);
    ASSERT_NE(made, nullptr) << e.kind;
    EXPECT_TRUE(e.is(made)) << e.kind;
    EXPECT_EQ(made->GetKind(), e.storedKind);
    // A path the skin lacks leaves everything zero: no size, nothing drawn.
    EXPECT_EQ(made->GetLayoutRequest(), pv::LayoutRequest{});
    made->SetLayout(0, 0, 100, 100);
  }
  EXPECT_EQ(Pixel(*host, 50, 50), kWhite);
  EXPECT_EQ(Pixel(*host, 2, 2), kWhite);
}

TEST_F(BasicControlsTest, ButtonStatesLooksAndClicks) {
  auto host = MakeHost(528, 348);
  auto* button = Make<UIButton>(UIKind::Button, host.get(), "MainWindow/PublishBtn");
  ASSERT_NE(button, nullptr);
  button->SetText(L"Install");
  EXPECT_EQ(button->GetText(), L"Install");
  const RECT r = button->GetRect();
  EXPECT_TRUE(Same(r, RECT{165, 197, 365, 245}));
  const POINT c = Centre(r);
  EXPECT_TRUE(ShowsPublishLook(*this, *host, r, 0));
  const RECT restInk = InkBox(*host, Inside(r, 6), LightInk);
  ASSERT_FALSE(::IsRectEmpty(&restInk));

  MoveTo(*host, c.x, c.y);
  EXPECT_EQ(button->GetState(), UIButtonState::Lighted);
  EXPECT_TRUE(ShowsPublishLook(*this, *host, r, 1));
  Press(*host, c.x, c.y);
  EXPECT_EQ(button->GetState(), UIButtonState::Pressed);
  EXPECT_TRUE(ShowsPublishLook(*this, *host, r, 2));
  // The pressed caption sits one pixel right of and below the resting one.
  RECT pressedInk = InkBox(*host, Inside(r, 6), LightInk);
  ::OffsetRect(&pressedInk, -1, -1);
  EXPECT_TRUE(::EqualRect(&pressedInk, &restInk));
  EXPECT_TRUE(host->reports.empty());

  Release(*host, c.x, c.y);
  EXPECT_EQ(button->GetState(), UIButtonState::Lighted);
  EXPECT_EQ(host->Take(), (std::vector<Report>{Notified(button), CommandedWithHost(*host)}));

  // A release clicks even when the press began elsewhere.
  MoveTo(*host, 10, 10);
  EXPECT_EQ(button->GetState(), UIButtonState::Normal);
  Press(*host, 10, 10);
  MoveTo(*host, c.x, c.y);
  Release(*host, c.x, c.y);
  EXPECT_EQ(host->Take(), (std::vector<Report>{Notified(button), CommandedWithHost(*host)}));
  // A press that leaves the button clicks nothing.
  Press(*host, c.x, c.y);
  MoveTo(*host, 10, 10);
  Release(*host, 10, 10);
  EXPECT_TRUE(host->Take().empty());
  EXPECT_EQ(button->GetState(), UIButtonState::Normal);

  // Leaving the window, and hiding, put the button back at rest.
  MoveTo(*host, c.x, c.y);
  Leave(*host);
  EXPECT_EQ(button->GetState(), UIButtonState::Normal);
  MoveTo(*host, c.x, c.y);
  button->SetVisible(false);
  EXPECT_EQ(button->GetState(), UIButtonState::Normal);
  button->SetVisible(true);
  MoveTo(*host, 10, 10);

  // Space clicks the focused button, once however long it is held; so does
  // its default action.
  host->SetFocusChild(button);
  ::SendMessageW(host->GetHwnd(), WM_KEYDOWN, VK_SPACE, 0);
  ::SendMessageW(host->GetHwnd(), WM_KEYDOWN, VK_SPACE, 1 << 30);
  EXPECT_EQ(host->Take(), (std::vector<Report>{Notified(button), CommandedWithHost(*host)}));
  EXPECT_TRUE(button->DoDefaultAction());
  host->Take();

  // Disabled: the grayed look and its caption style, whatever the pointer
  // and the mouse button do.
  button->SetEnabled(false);
  EXPECT_TRUE(ShowsPublishLook(*this, *host, r, 3));
  MoveTo(*host, c.x, c.y);
  Press(*host, c.x, c.y);
  Send(*host, WM_LBUTTONDBLCLK, c.x, c.y);
  Release(*host, c.x, c.y);
  EXPECT_EQ(button->GetState(), UIButtonState::Normal);
  EXPECT_TRUE(ShowsPublishLook(*this, *host, r, 3));
  EXPECT_FALSE(button->DoDefaultAction());
  EXPECT_TRUE(host->Take().empty());
  // The caption in the grayed style's colour, "#F4F7FC".
  const RECT grayedInk = InkBox(*host, Inside(r, 6), [](std::uint32_t c) { return Near(c, 0xF4F7FC, 3); });
  EXPECT_FALSE(::IsRectEmpty(&grayedInk));
}

TEST_F(BasicControlsTest, CheckBoxLooksAndToggles) {
  auto host = MakeHost(528, 348);
  auto* box = Make<UICheckBox>(UIKind::CheckBox, host.get(), "MainWindow/CheckBox");
  ASSERT_NE(box, nullptr);
  box->SetText(L"Agree");
  const RECT r = box->GetRect();
  EXPECT_TRUE(Same(r, RECT{54, 115, 174, 127}));
  const POINT c = Centre(r);
  EXPECT_FALSE(box->IsChecked());
  EXPECT_TRUE(ShowsBoxLook(*this, *host, r, 0));
  // The caption starts past the text margin (the box ends at 12).
  const RECT ink = InkBox(*host, RECT{r.left + 12, r.top, r.right, r.bottom}, DarkInk);
  EXPECT_GE(ink.left, r.left + 15);
  EXPECT_LT(ink.left, r.left + 30);

  // An unchecked box lights up under the pointer; a release without a press
  // does not toggle it.
  MoveTo(*host, c.x, c.y);
  EXPECT_EQ(box->GetState(), UIButtonState::Lighted);
  EXPECT_TRUE(ShowsBoxLook(*this, *host, r, 1));
  Release(*host, c.x, c.y);
  EXPECT_FALSE(box->IsChecked());
  EXPECT_TRUE(host->Take().empty());

  // Press and release check it; only the parent hears of it.
  Press(*host, c.x, c.y);
  EXPECT_TRUE(ShowsBoxLook(*this, *host, r, 2));
  Release(*host, c.x, c.y);
  EXPECT_TRUE(box->IsChecked());
  EXPECT_EQ(box->GetState(), UIButtonState::Pressed);
  EXPECT_EQ(host->Take(), (std::vector<Report>{Notified(box)}));

  // Checked, at rest and under the pointer, it shows the checked look, not
  // the lighted one.
  MoveTo(*host, 300, 300);
  EXPECT_EQ(box->GetState(), UIButtonState::Normal);
  EXPECT_TRUE(ShowsBoxLook(*this, *host, r, 2));
  MoveTo(*host, c.x, c.y);
  EXPECT_EQ(box->GetState(), UIButtonState::Pressed);
  EXPECT_TRUE(ShowsBoxLook(*this, *host, r, 2));
  // A release over a checked box showing that look toggles it, press or not.
  Release(*host, c.x, c.y);
  EXPECT_FALSE(box->IsChecked());
  EXPECT_EQ(box->GetState(), UIButtonState::Lighted);
  EXPECT_EQ(host->Take(), (std::vector<Report>{Notified(box)}));
  // A double click is a press: it toggles on the release that follows.
  Send(*host, WM_LBUTTONDBLCLK, c.x, c.y);
  Release(*host, c.x, c.y);
  EXPECT_TRUE(box->IsChecked());
  host->Take();

  // Space on the focused box toggles it as a click does.
  host->SetFocusChild(box);
  ::SendMessageW(host->GetHwnd(), WM_KEYDOWN, VK_SPACE, 0);
  EXPECT_FALSE(box->IsChecked());
  EXPECT_EQ(host->Take(), (std::vector<Report>{Notified(box)}));
  EXPECT_TRUE(box->DoDefaultAction());
  EXPECT_TRUE(box->IsChecked());
  host->Take();

  // SetCheck stores the flag quietly and returns to rest.
  box->SetCheck(false);
  EXPECT_FALSE(box->IsChecked());
  EXPECT_EQ(box->GetState(), UIButtonState::Normal);
  EXPECT_TRUE(host->Take().empty());

  // Disabled, it keeps its grayed look and ignores the pointer.
  MoveTo(*host, 300, 300);
  box->SetEnabled(false);
  EXPECT_TRUE(ShowsBoxLook(*this, *host, r, 3));
  Click(*host, c.x, c.y);
  EXPECT_FALSE(box->DoDefaultAction());
  EXPECT_FALSE(box->IsChecked());
  EXPECT_EQ(box->GetState(), UIButtonState::Normal);
  EXPECT_TRUE(host->Take().empty());
}

TEST_F(BasicControlsTest, CheckBoxExTakesItsImagesFromTheCheckedSet) {
  // Two sets cut from the check box image: rows 0-3 are the unchecked
  // box's normal, lighted, pressed and grayed looks; the checked set is
  // shuffled so that every look can be told apart.
  JValue node;
  ASSERT_TRUE(JParse(R"({
    "Unchecked": {"normal": {"bi": 104, "bg": [0, 0, 16, 12], "mg": [12, 0, 0, 0]},
                  "lighted": {"bi": 104, "bg": [0, 12, 16, 12], "mg": [12, 0, 0, 0]},
                  "pressed": {"bi": 104, "bg": [0, 24, 16, 12], "mg": [12, 0, 0, 0]},
                  "grayed": {"bi": 104, "bg": [0, 36, 16, 12], "mg": [12, 0, 0, 0]}},
    "Checked": {"normal": {"bi": 104, "bg": [0, 24, 16, 12], "mg": [12, 0, 0, 0]},
                "lighted": {"bi": 104, "bg": [0, 12, 16, 12], "mg": [12, 0, 0, 0]},
                "pressed": {"bi": 104, "bg": [0, 36, 16, 12], "mg": [12, 0, 0, 0]},
                "grayed": {"bi": 104, "bg": [0, 0, 16, 12], "mg": [12, 0, 0, 0]}},
    "Text": {"margin": [15, 0, 0, 0], "normal": {"al": 36, "cr": 0, "ft": 116}},
    "id": 7, "size": [20, 30, 120, 12]})",
                     node));
  auto host = MakeHost(200, 100);
  auto* box = Make<UICheckBoxEx>(UIKind::CheckBoxEx, host.get(), nullptr, &node);
  ASSERT_NE(box, nullptr);
  EXPECT_EQ(box->GetId(), 7);
  const RECT r = box->GetRect();
  EXPECT_TRUE(Same(r, RECT{20, 30, 140, 42}));
  const POINT c = Centre(r);

  EXPECT_TRUE(ShowsBoxLook(*this, *host, r, 0));  // Unchecked/normal
  MoveTo(*host, c.x, c.y);
  EXPECT_TRUE(ShowsBoxLook(*this, *host, r, 1));  // Unchecked/lighted
  Press(*host, c.x, c.y);
  EXPECT_TRUE(ShowsBoxLook(*this, *host, r, 2));  // Unchecked/pressed
  Release(*host, c.x, c.y);
  EXPECT_TRUE(box->IsChecked());
  EXPECT_EQ(host->Take(), (std::vector<Report>{Report{box, WM_COMMAND, 7, reinterpret_cast<LPARAM>(box)}}));
  EXPECT_TRUE(ShowsBoxLook(*this, *host, r, 3));  // Checked/pressed
  MoveTo(*host, 190, 90);
  EXPECT_TRUE(ShowsBoxLook(*this, *host, r, 2));  // Checked/normal: the look follows the state only
  box->SetEnabled(false);
  EXPECT_TRUE(ShowsBoxLook(*this, *host, r, 0));  // Checked/grayed
}

TEST_F(BasicControlsTest, RadiosOfOneParentFormAGroup) {
  auto host = MakeHost(400, 200);
  auto* left = Make<UIPane>(UIKind::Pane, host.get(), "MainWindow/NoPane");
  auto* right = Make<UIPane>(UIKind::Pane, host.get(), "MainWindow/NoPane");
  ASSERT_TRUE(left && right);
  left->SetLayout(0, 0, 200, 200);
  right->SetLayout(200, 0, 200, 200);
  std::vector<UIRadioBox*> group;
  for (int i = 0; i < 3; ++i) {
    group.push_back(Make<UIRadioBox>(UIKind::RadioBox, left, "MainWindow/CheckBox"));
    ASSERT_NE(group.back(), nullptr);
    group.back()->SetLayout(10, 10 + 30 * i, 120, 12);
  }
  auto* neighbour = Make<UICheckBox>(UIKind::CheckBox, left, "MainWindow/CheckBox");
  auto* apart = Make<UIRadioBox>(UIKind::RadioBox, right, "MainWindow/CheckBox");
  ASSERT_TRUE(neighbour && apart);
  neighbour->SetLayout(10, 150, 120, 12);
  neighbour->SetCheck(true);
  apart->SetLayout(10, 10, 120, 12);
  apart->Select();
  EXPECT_TRUE(apart->IsChecked());
  EXPECT_EQ(host->Take(), (std::vector<Report>{Notified(apart), CommandedWithHost(*host)}));

  const auto at = [&](int i) { return Centre(group[i]->GetRect()); };
  Click(*host, at(0).x, at(0).y);
  EXPECT_TRUE(group[0]->IsChecked());
  EXPECT_EQ(group[0]->GetState(), UIButtonState::Pressed);
  EXPECT_EQ(host->Take(), (std::vector<Report>{Notified(group[0]), CommandedWithHost(*host)}));
  EXPECT_TRUE(ShowsBoxLook(*this, *host, group[0]->GetRect(), 2));

  Click(*host, at(1).x, at(1).y);
  EXPECT_TRUE(group[1]->IsChecked());
  EXPECT_FALSE(group[0]->IsChecked());
  EXPECT_EQ(group[0]->GetState(), UIButtonState::Normal);
  EXPECT_TRUE(ShowsBoxLook(*this, *host, group[0]->GetRect(), 0));
  // Only radios of the same parent are unchecked.
  EXPECT_TRUE(neighbour->IsChecked());
  EXPECT_TRUE(apart->IsChecked());
  host->Take();

  // Press and release on the checked radio: it stays checked and says
  // nothing.
  Press(*host, at(1).x, at(1).y);
  Release(*host, at(1).x, at(1).y);
  EXPECT_TRUE(group[1]->IsChecked());
  EXPECT_TRUE(host->Take().empty());
  group[1]->Select();
  EXPECT_TRUE(host->Take().empty());

  // A locked radio ignores hover, presses and clicks; leaving still resets.
  group[2]->SetLocked(true);
  MoveTo(*host, at(2).x, at(2).y);
  EXPECT_EQ(group[2]->GetState(), UIButtonState::Normal);
  Press(*host, at(2).x, at(2).y);
  Release(*host, at(2).x, at(2).y);
  EXPECT_FALSE(group[2]->IsChecked());
  EXPECT_TRUE(group[1]->IsChecked());
  EXPECT_TRUE(host->Take().empty());
  group[2]->SetLocked(false);
  Release(*host, at(2).x, at(2).y);  // hovered before the unlock: still at rest, so this selects
  EXPECT_TRUE(group[2]->IsChecked());
  EXPECT_FALSE(group[1]->IsChecked());
}

TEST_F(BasicControlsTest, ProgressFillsByPositionAndStopsAtTheBar) {
  auto host = MakeHost(528, 60);
  auto* bar = Make<UIProgress>(UIKind::Progress, host.get(), "MainWindow/Progress");
  ASSERT_NE(bar, nullptr);
  EXPECT_EQ(bar->GetLayoutRequest(), (pv::LayoutRequest{0, 297, 528, 3}));
  bar->SetLayout(100, 10, 300, 3);
  bar->ResetRange();
  EXPECT_EQ(bar->GetMin(), 0);
  EXPECT_EQ(bar->GetMax(), 100);
  EXPECT_EQ(Pixel(*host, 100, 11), kBarBackground);
  EXPECT_EQ(Pixel(*host, 399, 11), kBarBackground);

  bar->SetPos(50);
  EXPECT_EQ(bar->GetPos(), 50);
  EXPECT_EQ(bar->FillWidth(), 150);
  EXPECT_EQ(Pixel(*host, 100, 11), kAccent);
  EXPECT_EQ(Pixel(*host, 249, 12), kAccent);
  EXPECT_EQ(Pixel(*host, 250, 11), kBarBackground);

  // Past the maximum: the whole bar and not a pixel more.
  for (int position : {101, 150, 1000, INT_MAX}) {
    bar->SetPos(position);
    EXPECT_GT(bar->FillWidth(), 300);
    EXPECT_EQ(Pixel(*host, 399, 11), kAccent) << position;
    EXPECT_EQ(Pixel(*host, 400, 11), kWhite) << position;
    EXPECT_EQ(Pixel(*host, 250, 13), kWhite) << position;
  }
  // A negative position, an empty or an inverted range: no fill at all.
  bar->SetPos(-20);
  EXPECT_EQ(Pixel(*host, 100, 11), kBarBackground);
  for (auto [minimum, maximum] : {std::pair{5, 5}, std::pair{100, 0}}) {
    bar->SetRange(minimum, maximum);
    for (int position : {INT_MIN, 0, 5, 50, 100, INT_MAX}) {
      bar->SetPos(position);
      EXPECT_EQ(bar->FillWidth(), 0);
      EXPECT_EQ(Pixel(*host, 100, 11), kBarBackground) << minimum << ".." << maximum << " at " << position;
    }
  }
}

TEST_F(BasicControlsTest, LabelTextCanChangeWhileTheWindowPaints) {
  auto host = MakeHost(528, 260);
  auto* title = Make<UILabel>(UIKind::Label, host.get(), "MainWindow/title");
  ASSERT_NE(title, nullptr);
  EXPECT_EQ(title->GetText(), L"Pellio");
  EXPECT_EQ(title->GetKind(), UIKind::None);
  EXPECT_TRUE(title->IsDragThrough());
  EXPECT_EQ(title->GetTextStyle().alignment, 36);

  auto* status = Make<UILabel>(UIKind::Label, host.get(), "MainWindow/Label1");
  ASSERT_NE(status, nullptr);
  EXPECT_EQ(status->GetTextStyle().alignment, UILabel::kDefaultAlignment);
  const RECT r = status->GetRect();
  EXPECT_TRUE(Same(r, RECT{0, 212, 528, 232}));
  RECT ink = InkBox(*host, r, DarkInk);
  EXPECT_TRUE(::IsRectEmpty(&ink));  // no text, no paint
  status->SetText(L"Copying files");
  ink = InkBox(*host, r, DarkInk);
  EXPECT_FALSE(::IsRectEmpty(&ink));
  EXPECT_NEAR((ink.left + ink.right) / 2, 264, 3);  // centred
  status->SetText(nullptr);
  EXPECT_EQ(status->GetText(), L"");
  ink = InkBox(*host, r, DarkInk);
  EXPECT_TRUE(::IsRectEmpty(&ink));

  // A worker rewrites the text, long and short by turns, while this thread
  // keeps painting it.
  std::atomic<bool> done{false};
  std::thread worker([&] {
    for (int i = 0; i < 3000; ++i) {
      status->SetText(i % 2 ? L"Removing shortcuts" : std::wstring(200, L'x').append(std::to_wstring(i)).c_str());
    }
    status->SetText(L"Done");
    done = true;
  });
  int paints = 0;
  while (!done) {
    ::InvalidateRect(host->GetHwnd(), &r, FALSE);
    ::UpdateWindow(host->GetHwnd());
    ++paints;
  }
  worker.join();
  EXPECT_GT(paints, 0);
  EXPECT_EQ(status->GetText(), L"Done");
  ink = InkBox(*host, r, DarkInk);
  EXPECT_FALSE(::IsRectEmpty(&ink));
  EXPECT_LT(ink.right - ink.left, 60);  // the short last text, not a leftover
}

// A drop action that looks at the button while it runs, as a menu loop
// would, and lets the pointer wander off meanwhile.
class WatchedDrop : public UIDropButton {
 public:
  LRESULT Drop() override {
    droppingSeen = IsDropping();
    stateSeen = GetState();
    if (host) ::SendMessageW(host->GetHwnd(), WM_MOUSELEAVE, 0, 0);
    stateAfterLeave = GetState();
    return UIDropButton::Drop();
  }
  UIObject* host = nullptr;
  bool droppingSeen = false;
  int stateSeen = -1;
  int stateAfterLeave = -1;
};

// The real pointer is the display's, shared by every test window after
// this one: it is parked in the far corner again, away from where the hosts
// open, or a later test's host would find it inside and follow it.
struct ParkPointerOnExit {
  ~ParkPointerOnExit() { ::SetCursorPos(::GetSystemMetrics(SM_CXSCREEN) - 1, ::GetSystemMetrics(SM_CYSCREEN) - 1); }
};

TEST_F(BasicControlsTest, DropButtonRunsItsDropAndFollowsThePointerAfterwards) {
  const ParkPointerOnExit park;
  auto host = MakeHost(528, 348);
  auto owned = std::make_unique<WatchedDrop>();
  owned->LoadStyle(&skin, "MainWindow/PublishBtn", nullptr);
  owned->SetText(L"Install");
  owned->host = host.get();
  WatchedDrop* drop = UIObject::AddChild(host.get(), std::move(owned));
  const RECT r = drop->GetRect();
  const POINT c = Centre(r);
  const RECT restInk = InkBox(*host, Inside(r, 6), LightInk);

  // Afterwards the look follows the real pointer: put it over the button.
  POINT screen = c;
  ::ClientToScreen(host->GetHwnd(), &screen);
  ::SetCursorPos(screen.x, screen.y);
  MoveTo(*host, c.x, c.y);
  Press(*host, c.x, c.y);
  EXPECT_TRUE(ShowsPublishLook(*this, *host, r, 2));
  // Pressed, the caption stays where it was.
  const RECT pressedInk = InkBox(*host, Inside(r, 6), LightInk);
  EXPECT_TRUE(::EqualRect(&pressedInk, &restInk));
  Release(*host, c.x, c.y);
  EXPECT_TRUE(drop->droppingSeen);
  EXPECT_FALSE(drop->IsDropping());
  EXPECT_EQ(drop->stateSeen, UIButtonState::Pressed);
  EXPECT_EQ(drop->stateAfterLeave, UIButtonState::Pressed);  // kept while dropping
  EXPECT_EQ(host->Take(), (std::vector<Report>{Commanded(0)}));
  EXPECT_EQ(drop->GetState(), UIButtonState::Lighted);

  // With the pointer elsewhere the button ends at rest; outside a drop a
  // leave resets it at once.
  POINT away{5, 5};
  ::ClientToScreen(host->GetHwnd(), &away);
  ::SetCursorPos(away.x, away.y);
  MoveTo(*host, c.x, c.y);
  Press(*host, c.x, c.y);
  Release(*host, c.x, c.y);
  EXPECT_EQ(drop->GetState(), UIButtonState::Normal);
  MoveTo(*host, c.x, c.y);
  EXPECT_EQ(drop->GetState(), UIButtonState::Lighted);
  Leave(*host);
  EXPECT_EQ(drop->GetState(), UIButtonState::Normal);
}

// A host whose handler deletes the control that reports, while the control
// is still inside its click: through Notify, or through the window message
// when the control sends only that.
class DeletingHost : public ControlHost {
 public:
  LRESULT Notify(UIObject* sender, UINT message, WPARAM wParam, LPARAM lParam) override {
    ControlHost::Notify(sender, message, wParam, lParam);
    if (sender == doomed) DeleteDoomed();
    return 0;
  }
  LRESULT OnCommand(WPARAM wParam, LPARAM lParam) override {
    const LRESULT result = ControlHost::OnCommand(wParam, lParam);
    DeleteDoomed();
    return result;
  }
  void DeleteDoomed() {
    for (auto it = children.begin(); it != children.end(); ++it) {
      if (it->get() != doomed) continue;
      std::unique_ptr<UIObject> gone = std::move(*it);
      children.erase(it);
      doomed = nullptr;
      return;
    }
  }

  UIObject* doomed = nullptr;
};

TEST_F(BasicControlsTest, AClickHandlerMayDeleteTheControlItCameFrom) {
  const struct {
    int kind;
    const char* path;
  } cases[] = {
      {UIKind::Button, "MainWindow/PublishBtn"},
      {UIKind::CheckBox, "MainWindow/CheckBox"},
      {UIKind::RadioBox, "MainWindow/CheckBox"},
      {UIKind::DropButton, "MainWindow/PublishBtn"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.path);
    auto host = MakeHost<DeletingHost>(528, 348);
    UIObject* control = UIObject::CreateChild(c.kind, &skin, host.get(), c.path, nullptr);
    ASSERT_NE(control, nullptr);
    host->doomed = control;
    const POINT at = Centre(control->GetRect());
    Click(*host, at.x, at.y);
    EXPECT_EQ(host->doomed, nullptr);
    EXPECT_EQ(host->ChildCount(), 0u);
    EXPECT_EQ(host->GetHoverChild(), nullptr);
    EXPECT_EQ(host->GetFocusChild(), nullptr);
    EXPECT_FALSE(host->Take().empty());
    // The host goes on, and a click there now reaches nobody.
    Click(*host, at.x, at.y);
    EXPECT_TRUE(host->Take().empty());
  }
}

}  // namespace
