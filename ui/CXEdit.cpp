#include "ui/CXEdit.h"

#include <windowsx.h>

#include <objidl.h>
#include <oleacc.h>
// GDI+ through its flat API only, like the style painters.
#include <gdiplus.h>

#include <algorithm>
#include <cstring>

#include "ui/CHBitmap.h"
#include "ui/Handles.h"
#include "ui/StylePainter.h"

namespace pv {

namespace gp = Gdiplus::DllExports;

namespace {

struct GraphicsDeleter {
  void operator()(Gdiplus::GpGraphics* p) const { gp::GdipDeleteGraphics(p); }
};
struct BrushDeleter {
  void operator()(Gdiplus::GpSolidFill* p) const { gp::GdipDeleteBrush(p); }
};
struct PenDeleter {
  void operator()(Gdiplus::GpPen* p) const { gp::GdipDeletePen(p); }
};
using Graphics = std::unique_ptr<Gdiplus::GpGraphics, GraphicsDeleter>;
using Brush = std::unique_ptr<Gdiplus::GpSolidFill, BrushDeleter>;
using Pen = std::unique_ptr<Gdiplus::GpPen, PenDeleter>;

// A GDI+ surface on the DC, cut to the clip rectangle. GDI+ objects are made
// per paint and never kept: GDI+ stops whenever the last bitmap goes, and
// an object outliving it could not even be freed.
Graphics MakeGraphics(HDC dc, const RECT& clip) {
  if (!CHBitmap::StartGdiplus()) return nullptr;
  Gdiplus::GpGraphics* raw = nullptr;
  if (gp::GdipCreateFromHDC(dc, &raw) != Gdiplus::Ok) return nullptr;
  Graphics graphics(raw);
  gp::GdipSetClipRectI(raw, clip.left, clip.top, clip.right - clip.left, clip.bottom - clip.top,
                       Gdiplus::CombineModeIntersect);
  return graphics;
}

void FillSelection(HDC dc, const RECT& clip, int x, int y, int width, int height) {
  Graphics graphics = MakeGraphics(dc, clip);
  Gdiplus::GpSolidFill* raw = nullptr;
  if (!graphics || gp::GdipCreateSolidFill(CXEdit::kSelectionColor, &raw) != Gdiplus::Ok) return;
  Brush brush(raw);
  gp::GdipFillRectangleI(graphics.get(), brush.get(), x, y, width, height);
}

void DrawCaret(HDC dc, const RECT& clip, int x, int y, int length) {
  Graphics graphics = MakeGraphics(dc, clip);
  Gdiplus::GpPen* raw = nullptr;
  if (!graphics || gp::GdipCreatePen1(CXEdit::kCaretColor, 1.0f, Gdiplus::UnitPixel, &raw) != Gdiplus::Ok) return;
  Pen pen(raw);
  gp::GdipDrawLineI(graphics.get(), pen.get(), x, y, x, y + length);
}

constexpr COLORREF kTextColor = RGB(0, 0, 0);
constexpr COLORREF kSelectedTextColor = RGB(255, 255, 255);
// The caret line and the selection band, centred on the text line.
constexpr int kCaretBox = 16;
constexpr int kCaretLength = 14;
constexpr int kSelectionBox = 18;
constexpr int kSelectionHeight = 17;
// GDI+ sets text in from where GDI would start it; caret and selection
// follow it.
constexpr int kTextLead = 2;

}  // namespace

CXEdit::CXEdit() { tabStop = true; }

CXEdit::~CXEdit() = default;

int CXEdit::TextWidth(HDC dc, int from, int count) const {
  const std::wstring& text = content.Text();
  from = std::clamp(from, 0, content.Length());
  count = std::clamp(count, 0, content.Length() - from);
  if (!dc || count == 0) return 0;
  // Measured in the font the text is drawn in; the DC's own font is the
  // default UI font, which is not the skin's.
  pv::SelectGuard font(dc, textNormal.font);
  SIZE size{};
  if (!::GetTextExtentPoint32W(dc, text.data() + from, count, &size)) return 0;
  return size.cx;
}

void CXEdit::NotifyChange() {
  MeasureScrollRange();
  // Repainted and announced before the receivers hear of it: they may
  // destroy the box.
  Invalidate();
  RaiseAccessibleEvent(EVENT_OBJECT_VALUECHANGE);
  if (parent) parent->Notify(this, WM_COMMAND, kChangeNotification, 0);
}

void CXEdit::Apply(pv::EditEffect effect) {
  if (effect == pv::EditEffect::kChanged) {
    NotifyChange();
  } else if (effect == pv::EditEffect::kRepaint) {
    MeasureScrollRange();
    Invalidate();
  }
}

void CXEdit::SetText(const std::wstring& text) {
  content.SetText(text);
  NotifyChange();
}

void CXEdit::Paint(HDC dc, const RECT&, const RECT&) {
  PaintImageStyle(rect, background, dc);
  const RECT layout = TextLayoutRect();
  const RECT clip = TextClipRect();
  textRect_ = layout;

  const std::wstring& text = content.Text();
  const int length = content.Length();
  UITextStyle style = textNormal;
  auto draw = [&](int x, int from, int count, COLORREF color) {
    if (count <= 0) return;
    style.color = color;
    const std::wstring piece = text.substr(static_cast<std::size_t>(from), static_cast<std::size_t>(count));
    PaintTextStyle(dc, RECT{x, layout.top, layout.right, layout.bottom}, piece.c_str(), &clip, style);
  };

  if (!content.HasSelection()) {
    draw(layout.left, 0, length, kTextColor);
    textRect_.right = layout.left + TextWidth(dc, 0, length) + kTextLead;
    if (caretShown_) {
      const int x = layout.left + TextWidth(dc, 0, content.Caret()) + kTextLead;
      const int y = layout.top + (layout.bottom - layout.top - kCaretBox) / 2;
      DrawCaret(dc, clip, x, y, kCaretLength);
    }
    return;
  }

  // A selection left beyond a text that has since become shorter is cut to it.
  const int start = std::min(content.SelectionStart(), length);
  const int end = std::min(content.SelectionEnd(), length);
  int x = layout.left;
  if (start > 0) {
    draw(x, 0, start, kTextColor);
    x += TextWidth(dc, 0, start);
  }
  const int selected = TextWidth(dc, start, end - start);
  FillSelection(dc, clip, x + kTextLead, layout.top + (layout.bottom - layout.top - kSelectionBox) / 2, selected,
                kSelectionHeight);
  draw(x, start, end - start, kSelectedTextColor);
  x += selected;
  if (end < length) {
    draw(x, end, length - end, kTextColor);
    textRect_.right = x + TextWidth(dc, end, length - end);
  }
}

POINT CXEdit::CaretPoint() {
  const RECT layout = TextLayoutRect();
  return POINT{layout.left + TextWidth(GetPaintDC(), 0, content.Caret()) + kTextLead,
               layout.top + (layout.bottom - layout.top - kCaretBox) / 2};
}

int CXEdit::HitTest(POINT point) {
  HDC dc = GetPaintDC();
  return pv::EditHitTest(point.x, point.y, rect.left + textMargin.left, rect.top, rect.bottom, content.Length(),
                         [&](int count) { return TextWidth(dc, 0, count); });
}

int CXEdit::MouseDown(UINT, POINT point) {
  HWND host = GetHostWindow();
  if (!host) return 1;
  ::SetCapture(host);
  const int anchor = HitTest(point);
  content.PlaceCaret(anchor);
  Invalidate();
  // The last boundary the drag reached, so the selection is rebuilt only
  // when it changes. Kept per drag: a value left from an earlier drag would
  // swallow the first move of this one onto the same boundary.
  int last = anchor;

  // The loop dispatches messages, and one of them may delete this box.
  const bool stayed = RunCaptureLoop(host, [&](const MSG& message) {
    if (message.message == WM_KEYDOWN && message.wParam == VK_ESCAPE) return CaptureStep::kEnd;
    if (message.message == WM_MOUSEMOVE && message.hwnd == host) {
      const int reached = HitTest(POINT{GET_X_LPARAM(message.lParam), GET_Y_LPARAM(message.lParam)});
      if (reached != last) {
        last = reached;
        content.Select(anchor, reached);
        Invalidate();
      }
      return CaptureStep::kHandled;
    }
    return message.message == WM_LBUTTONUP ? CaptureStep::kDispatchThenEnd : CaptureStep::kDispatch;
  });
  if (!stayed) return 1;
  caretShown_ = 1;
  Invalidate();
  return 1;
}

int CXEdit::MouseUp(UINT, POINT) { return 1; }

int CXEdit::MouseMove(UINT, POINT) { return 1; }

int CXEdit::MouseDoubleClick(UINT, POINT) {
  content.SelectAll();
  caretShown_ = 1;
  Invalidate();
  return 1;
}

void CXEdit::Timer(int id) {
  if (id != caretTimer_) {
    StopTimer(id);
    return;
  }
  caretShown_ = caretShown_ ? 0 : 1;
  Invalidate();
}

namespace {

bool KeyHeld(int key) { return (::GetKeyState(key) & 0x8000) != 0; }

bool CopyToClipboard(HWND owner, const std::wstring& text) {
  if (text.empty() || !::OpenClipboard(owner)) return false;
  bool done = false;
  ::EmptyClipboard();
  const std::size_t bytes = (text.size() + 1) * sizeof(wchar_t);
  if (HGLOBAL memory = ::GlobalAlloc(GMEM_MOVEABLE, bytes)) {
    if (void* at = ::GlobalLock(memory)) {
      std::memcpy(at, text.c_str(), bytes);
      ::GlobalUnlock(memory);
      // The clipboard owns the memory once it took it.
      done = ::SetClipboardData(CF_UNICODETEXT, memory) != nullptr;
    }
    if (!done) ::GlobalFree(memory);
  }
  ::CloseClipboard();
  return done;
}

std::wstring ClipboardText(HWND owner) {
  std::wstring text;
  if (!::IsClipboardFormatAvailable(CF_UNICODETEXT) || !::OpenClipboard(owner)) return text;
  if (HANDLE data = ::GetClipboardData(CF_UNICODETEXT)) {
    if (const auto* at = static_cast<const wchar_t*>(::GlobalLock(data))) {
      // Bounded by the block's size: the data need not end in a zero.
      const std::size_t most = ::GlobalSize(data) / sizeof(wchar_t);
      std::size_t length = 0;
      while (length < most && at[length]) ++length;
      text.assign(at, length);
      ::GlobalUnlock(data);
    }
  }
  ::CloseClipboard();
  return text;
}

}  // namespace

int CXEdit::KeyDown(WPARAM wParam, LPARAM) {
  if (wParam == VK_ESCAPE) {
    // Hidden until the next blink; the box is not repainted for it.
    caretShown_ = 0;
    return 1;
  }
  const bool control = KeyHeld(VK_CONTROL);
  if (control && (wParam == 'C' || wParam == 'X' || wParam == VK_INSERT)) {
    const bool copied = CopyToClipboard(GetHostWindow(), content.SelectedText());
    if (copied && wParam == 'X') Apply(content.RemoveSelected());
    return 1;
  }
  if ((control && wParam == 'V') || (KeyHeld(VK_SHIFT) && wParam == VK_INSERT)) {
    Apply(content.Insert(ClipboardText(GetHostWindow())));
    return 1;
  }
  // The caret shows at once where it went, whatever the blink's phase.
  caretShown_ = 1;
  Apply(content.Key(static_cast<unsigned>(wParam), KeyHeld(VK_SHIFT), control));
  return 1;
}

int CXEdit::Char(WPARAM wParam, LPARAM) {
  Apply(content.Char(static_cast<unsigned>(wParam)));
  return 1;
}

int CXEdit::FocusGained(UIObject*) {
  caretShown_ = 1;
  if (caretTimer_ != -1) StopTimer(caretTimer_);
  const int started = StartTimer(kCaretBlinkMs);
  caretTimer_ = started ? started : -1;
  Invalidate();
  return 1;
}

int CXEdit::FocusLost(UIObject*) {
  caretShown_ = 0;
  if (caretTimer_ != -1) StopTimer(caretTimer_);
  caretTimer_ = -1;
  Invalidate();
  return 1;
}

int CXEdit::AccessibleRole() { return accessibleRole > 0 ? accessibleRole : ROLE_SYSTEM_TEXT; }

std::wstring CXEdit::AccessibleValue() { return content.Text(); }

int CXEdit::UpdateCursor() {
  ::SetCursor(::LoadCursorW(nullptr, IDC_IBEAM));
  return 1;
}

}  // namespace pv
