// Draws every image of our skin on a window with CHBitmap::Draw, reads the
// window's pixels back and writes them as a 24-bit BMP, for the screenshot
// comparison in skin_screenshot.py.
//
//   skin_screenshot.exe OUTPUT.bmp
//
// The sheet is larger than the test display, so it is drawn and read back
// through the window one tile at a time.
#include <windows.h>

#include <cstdio>
#include <cstring>
#include <vector>

#include "ui/CHBitmap.h"
#include "ui/Handles.h"
#include "ui/UIResource.h"

using namespace pv;

namespace {

constexpr int kSheetWidth = 1096;
constexpr int kSheetHeight = 1160;
constexpr int kTileWidth = 800;
constexpr int kTileHeight = 600;
constexpr COLORREF kBackground = RGB(224, 226, 230);

struct Placement {
  int id;
  int x;
  int y;
  int scale;
};

// Panes at their own size in two columns; the small pieces below them,
// doubled, which also runs the stretching paths.
constexpr Placement kSheet[] = {
    {106, 16, 16, 1},   {107, 16, 220, 1},  {110, 552, 16, 1},  {111, 552, 222, 1}, {112, 552, 426, 1},
    {100, 16, 760, 2},  {101, 80, 760, 2},  {102, 144, 760, 2}, {103, 208, 760, 2}, {104, 272, 760, 2},
    {105, 320, 760, 2}, {109, 384, 760, 2}, {113, 528, 760, 2}, {114, 552, 760, 2}, {115, 584, 760, 2},
    {117, 664, 760, 2}, {120, 868, 760, 2}, {117, 952, 760, 1},
};

UIResource* g_skin = nullptr;
int g_tileX = 0;
int g_tileY = 0;

void PaintSheet(HDC dc) {
  pv::UniqueBrush background(::CreateSolidBrush(kBackground));
  RECT all{0, 0, kTileWidth, kTileHeight};
  ::FillRect(dc, &all, background.get());
  for (const Placement& p : kSheet) {
    CHBitmap* image = g_skin->GetImage(p.id, true);
    if (!image) continue;
    const int w = image->Width();
    const int h = image->Height();
    // A dark line under each image marks where it should end.
    RECT mark{p.x - g_tileX, p.y + h * p.scale + 2 - g_tileY, p.x + w * p.scale - g_tileX,
              p.y + h * p.scale + 3 - g_tileY};
    pv::UniqueBrush line(::CreateSolidBrush(RGB(120, 120, 130)));
    ::FillRect(dc, &mark, line.get());
    image->Draw(dc, p.x - g_tileX, p.y - g_tileY, w * p.scale, h * p.scale, 0, 0, w, h);
  }
}

LRESULT CALLBACK SheetProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
  if (message == WM_PAINT) {
    pv::PaintDC paint(window);
    PaintSheet(paint.get());
    return 0;
  }
  if (message == WM_ERASEBKGND) return 1;
  return ::DefWindowProcW(window, message, wParam, lParam);
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
    std::fprintf(stderr, "usage: skin_screenshot OUTPUT.bmp\n");
    return 2;
  }
  UIResource skin;
  if (!skin.LoadFromResource(::GetModuleHandleW(nullptr), L"UIR", 129)) {
    std::fprintf(stderr, "the skin resource does not load\n");
    return 1;
  }
  g_skin = &skin;

  WNDCLASSW wc{};
  wc.lpfnWndProc = SheetProc;
  wc.hInstance = ::GetModuleHandleW(nullptr);
  wc.lpszClassName = L"PivsetSkinSheet";
  wc.hCursor = ::LoadCursorW(nullptr, IDC_ARROW);
  ::RegisterClassW(&wc);
  HWND window = ::CreateWindowExW(WS_EX_TOPMOST, wc.lpszClassName, L"Skin", WS_POPUP | WS_VISIBLE, 0, 0, kTileWidth,
                                  kTileHeight, nullptr, nullptr, wc.hInstance, nullptr);
  if (!window) {
    std::fprintf(stderr, "no window (is there a display?)\n");
    return 1;
  }

  CHBitmap sheet;
  if (!sheet.CreateDib(kSheetWidth, kSheetHeight, 24) || !sheet.LockDC()) return 1;
  for (g_tileY = 0; g_tileY < kSheetHeight; g_tileY += kTileHeight) {
    for (g_tileX = 0; g_tileX < kSheetWidth; g_tileX += kTileWidth) {
      ::InvalidateRect(window, nullptr, FALSE);
      ::UpdateWindow(window);
      MSG msg;
      while (::PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE)) ::DispatchMessageW(&msg);
      ::GdiFlush();
      pv::WindowDC screen(window);
      ::BitBlt(sheet.DC(), g_tileX, g_tileY, kTileWidth, kTileHeight, screen.get(), 0, 0, SRCCOPY);
    }
  }
  sheet.UnlockDC();
  ::DestroyWindow(window);
  if (!WriteBmp(argv[1], sheet)) {
    std::fprintf(stderr, "cannot write %s\n", argv[1]);
    return 1;
  }
  return 0;
}
