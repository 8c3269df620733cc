// Builds a frame window holding one of each basic control in our skin, at
// rest, under the pointer, pressed and disabled (check boxes and radios
// also checked, progress bars at four positions), reads the window's pixels
// back and writes them as a 24-bit BMP for the comparison in
// skin_screenshot.py.
//
//   controls_screenshot.exe OUTPUT.bmp
#include <windows.h>

#include <commctrl.h>

#include <cstdio>
#include <memory>

#include "json/JValue.h"
#include "ui/CHApp.h"
#include "ui/CHBitmap.h"
#include "ui/Handles.h"
#include "ui/UIButton.h"
#include "ui/UICheckBox.h"
#include "ui/UICheckBoxEx.h"
#include "ui/UIDropButton.h"
#include "ui/UIFrameWindow.h"
#include "ui/UIKind.h"
#include "ui/UILabel.h"
#include "ui/UIPane.h"
#include "ui/UIProgress.h"
#include "ui/UIRadioBox.h"
#include "ui/UIResource.h"

using namespace pv;

namespace {

constexpr int kWidth = 900;
constexpr int kHeight = 520;
constexpr int kFirstColumn = 140;
constexpr int kColumnWidth = 190;

// Skin records our skin has no key for, cut from its own images: the
// check box with a checked set, a row caption, and an accent tile for the
// close button to sit on.
constexpr const char* kExtraSkin = R"({
  "CheckEx": {
    "Unchecked": {"normal": {"bi": 104, "bg": [0, 0, 16, 12], "mg": [12, 0, 0, 0]},
                  "lighted": {"bi": 104, "bg": [0, 12, 16, 12], "mg": [12, 0, 0, 0]},
                  "pressed": {"bi": 104, "bg": [0, 24, 16, 12], "mg": [12, 0, 0, 0]},
                  "grayed": {"bi": 104, "bg": [0, 36, 16, 12], "mg": [12, 0, 0, 0]}},
    "Checked": {"normal": {"bi": 104, "bg": [0, 24, 16, 12], "mg": [12, 0, 0, 0]},
                "lighted": {"bi": 104, "bg": [0, 24, 16, 12], "mg": [12, 0, 0, 0]},
                "pressed": {"bi": 104, "bg": [0, 24, 16, 12], "mg": [12, 0, 0, 0]},
                "grayed": {"bi": 104, "bg": [0, 36, 16, 12], "mg": [12, 0, 0, 0]}},
    "Text": {"margin": [15, 0, 0, 0],
             "normal": {"al": 36, "cr": 657930, "ft": 116}, "lighted": {"al": 36, "cr": 657930, "ft": 116},
             "pressed": {"al": 36, "cr": 657930, "ft": 116}, "grayed": {"al": 36, "cr": 11184810, "ft": 116}}},
  "RowName": {"text": {"al": 36, "cr": 7237230, "ft": 116}},
  "Tile": {"bkgnd": {"bi": 117, "bg": [27, 22, 40, 40]}}
})";

enum class Look { Rest, Hover, Pressed, Disabled };

void Apply(UIObject* control, Look look) {
  const RECT r = control->GetRect();
  const POINT inside{(r.left + r.right) / 2, (r.top + r.bottom) / 2};
  switch (look) {
    case Look::Rest:
      break;
    case Look::Hover:
      control->MouseEnter(0, inside);
      break;
    case Look::Pressed:
      control->MouseEnter(0, inside);
      control->MouseDown(MK_LBUTTON, inside);
      break;
    case Look::Disabled:
      control->SetEnabled(false);
      break;
  }
}

class Sheet {
 public:
  Sheet(UIResource& skin, const JValue& extra, UIObject& host) : skin_(skin), extra_(extra), host_(host) {}

  // A label from our skin's `path`, or a row caption when none is given.
  UILabel* Caption(const wchar_t* text, int x, int y, int w, int h, const char* path = nullptr) {
    auto* label = static_cast<UILabel*>(
        UIObject::CreateChild(UIKind::Label, &skin_, &host_, path ? path : "RowName", path ? nullptr : &extra_));
    label->SetText(text);
    label->SetLayout(x, y, w, h);
    return label;
  }

  // One control of `kind` per column at (column x + dx, y), w x h, set to
  // that column's look; `prepare` runs on each before the look.
  template <typename Prepare>
  void Row(const wchar_t* name, int kind, const char* path, const JValue* node, int dx, int y, int w, int h,
           const wchar_t* text, Prepare prepare) {
    if (name) Caption(name, 10, y, kFirstColumn - 12, h < 16 ? 16 : h);
    for (int column = 0; column < 4; ++column) {
      UIObject* control = UIObject::CreateChild(kind, &skin_, &host_, path, node);
      if (!control) continue;
      control->SetLayout(kFirstColumn + column * kColumnWidth + dx, y, w, h);
      if (auto* button = dynamic_cast<UIButton*>(control)) button->SetText(text);
      prepare(control);
      Apply(control, static_cast<Look>(column));
    }
  }
  void Row(const wchar_t* name, int kind, const char* path, const JValue* node, int dx, int y, int w, int h,
           const wchar_t* text) {
    Row(name, kind, path, node, dx, y, w, h, text, [](UIObject*) {});
  }

 private:
  UIResource& skin_;
  const JValue& extra_;
  UIObject& host_;
};

void Build(UIResource& skin, const JValue& extra, UIFrameWindow& frame) {
  Sheet sheet(skin, extra, frame);
  sheet.Caption(L"Pellio", 13, 0, 200, 40, "MainWindow/title");
  const wchar_t* headings[] = {L"rest", L"hovered", L"pressed", L"disabled"};
  for (int column = 0; column < 4; ++column) {
    sheet.Caption(headings[column], kFirstColumn + column * kColumnWidth, 48, 150, 20);
  }
  const auto checked = [](UIObject* control) { static_cast<UICheckBox*>(control)->SetCheck(true); };

  sheet.Row(L"PublishBtn", UIKind::Button, "MainWindow/PublishBtn", nullptr, 0, 76, 180, 48, L"安 装");
  sheet.Row(L"Browser, Return", UIKind::Button, "MainWindow/ButtonBrowser", nullptr, 0, 134, 83, 34, L"浏览");
  sheet.Row(nullptr, UIKind::Button, "MainWindow/ReturnBtn", nullptr, 95, 143, 50, 16, L"返回");
  sheet.Row(L"WordBtn, WordBtn2", UIKind::Button, "MainWindow/WordBtn", nullptr, 0, 178, 90, 12, L"自定义安装>");
  sheet.Row(nullptr, UIKind::Button, "MainWindow/WordBtn2", nullptr, 95, 178, 80, 12, L"用户许可协议");
  sheet.Row(L"CheckBox", UIKind::CheckBox, "MainWindow/CheckBox", nullptr, 0, 202, 120, 12, L"创建桌面图标");
  sheet.Row(L"CheckBox, checked", UIKind::CheckBox, "MainWindow/CheckBox", nullptr, 0, 224, 120, 12, L"同意", checked);
  sheet.Row(L"RadioBox", UIKind::RadioBox, "MainWindow/CheckBox", nullptr, 0, 246, 120, 12, L"选项");
  sheet.Row(L"RadioBox, checked", UIKind::RadioBox, "MainWindow/CheckBox", nullptr, 0, 268, 120, 12, L"选项", checked);
  sheet.Row(L"CheckBoxEx", UIKind::CheckBoxEx, "CheckEx", &extra, 0, 290, 120, 12, L"添加到快速启动栏");
  sheet.Row(L"CheckBoxEx, checked", UIKind::CheckBoxEx, "CheckEx", &extra, 0, 312, 120, 12, L"添加到快速启动栏",
            checked);
  sheet.Row(L"DropButton", UIKind::DropButton, "MainWindow/ButtonBrowser", nullptr, 0, 336, 83, 34, L"浏览");

  // The close button as the frame has it, on a tile of the caption's colour.
  sheet.Caption(L"SysBtns/Close", 10, 388, kFirstColumn - 12, 36);
  for (int column = 0; column < 4; ++column) {
    UIObject* tile = UIObject::CreateChild(UIKind::Pane, &skin, &frame, "Tile", &extra);
    tile->SetLayout(kFirstColumn + column * kColumnWidth, 384, 60, 36);
    tile->SetAbsoluteLayout();
    UIObject* close = UIObject::CreateChild(UIKind::Button, &skin, tile, "MainWindow/SysBtns/Close", nullptr);
    close->SetAbsoluteLayout();
    close->SetLayout(13, 4, 34, 28);
    Apply(close, static_cast<Look>(column));
  }

  // Progress bars at 0, 50, 100 and 150 of 0..100.
  sheet.Caption(L"Progress, Uninstall", 10, 434, kFirstColumn - 12, 20);
  for (int column = 0; column < 4; ++column) {
    for (const char* path : {"MainWindow/Progress", "MainWindow/UninstallProgress"}) {
      auto* bar = static_cast<UIProgress*>(UIObject::CreateChild(UIKind::Progress, &skin, &frame, path, nullptr));
      const bool uninstall = path[11] == 'U';
      bar->SetLayout(kFirstColumn + column * kColumnWidth, uninstall ? 448 : 438, 180, uninstall ? 2 : 3);
      bar->ResetRange();
      bar->SetPos(50 * column);
    }
  }

  sheet.Caption(L"Label1, Pane4", 10, 470, kFirstColumn - 12, 20);
  sheet.Caption(L"正在复制文件...", kFirstColumn, 470, 370, 20, "MainWindow/Label1");
  UIObject* mark = UIObject::CreateChild(UIKind::Pane, &skin, &frame, "MainWindow/Pane4", nullptr);
  mark->SetLayout(kFirstColumn + 2 * kColumnWidth + 40, 452, 64, 64);
}

bool WriteBmp(const char* path, const CHBitmap& sheet) {
  BITMAPFILEHEADER file{};
  file.bfType = 0x4D42;
  file.bfOffBits = sizeof(BITMAPFILEHEADER) + sizeof(BITMAPINFOHEADER);
  file.bfSize = file.bfOffBits + sheet.ImageSize();
  FILE* out = std::fopen(path, "wb");
  if (!out) return false;
  const bool ok = std::fwrite(&file, sizeof(file), 1, out) == 1 &&
                  std::fwrite(&sheet.Header(), sizeof(BITMAPINFOHEADER), 1, out) == 1 &&
                  std::fwrite(sheet.Bits(), sheet.ImageSize(), 1, out) == 1;
  return std::fclose(out) == 0 && ok;
}

}  // namespace

int main(int argc, char** argv) {
  if (argc != 2) {
    std::fprintf(stderr, "usage: controls_screenshot OUTPUT.bmp\n");
    return 2;
  }
  INITCOMMONCONTROLSEX controls{sizeof(controls), ICC_WIN95_CLASSES};
  ::InitCommonControlsEx(&controls);
  if (!CHApp::RegisterWindowClass(::GetModuleHandleW(nullptr))) return 1;
  UIResource skin;
  JValue extra;
  if (!skin.LoadFromResource(::GetModuleHandleW(nullptr), L"UIR", 129) || !JParse(kExtraSkin, extra)) {
    std::fprintf(stderr, "the skin does not load\n");
    return 1;
  }

  UIFrameWindow frame;
  if (!frame.Create(nullptr, nullptr, WS_POPUP, L"Controls", CHWindow::kClassName, WS_EX_TOPMOST, 0, 0, 0, 0)) {
    std::fprintf(stderr, "no window (is there a display?)\n");
    return 1;
  }
  frame.SetBackgroundBrush(pv::UniqueBrush(::CreateSolidBrush(RGB(255, 255, 255))));
  frame.LoadStyle(&skin, "MainWindow", nullptr);
  ::SetWindowPos(frame.GetHwnd(), HWND_TOPMOST, 0, 0, kWidth, kHeight, SWP_NOACTIVATE);
  Build(skin, extra, frame);
  ::ShowWindow(frame.GetHwnd(), SW_SHOWNOACTIVATE);
  ::InvalidateRect(frame.GetHwnd(), nullptr, FALSE);
  ::UpdateWindow(frame.GetHwnd());
  MSG msg;
  while (::PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE)) ::DispatchMessageW(&msg);
  ::GdiFlush();

  CHBitmap picture;
  if (!picture.CreateDib(kWidth, kHeight, 24) || !picture.LockDC()) return 1;
  {
    pv::WindowDC screen(frame.GetHwnd());
    ::BitBlt(picture.DC(), 0, 0, kWidth, kHeight, screen.get(), 0, 0, SRCCOPY);
  }
  picture.UnlockDC();
  ::GdiFlush();
  if (!WriteBmp(argv[1], picture)) {
    std::fprintf(stderr, "cannot write %s\n", argv[1]);
    return 1;
  }
  return 0;
}
