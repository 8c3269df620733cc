/* The start-up floor: the least a windowed program does before its first
   page is on screen. It registers a class, creates one 528 x 348 popup
   window in the middle of the screen, shows it, paints it white and runs the
   message loop until the window is closed. With a title on its command line
   it is the bench's keep-alive instead: a small window of that title in the
   corner, so the prefix's desktop stays up for the whole bench (as the shell
   always is on Windows) and no measured program pays for starting it. */
#include <windows.h>

static LRESULT CALLBACK Proc(HWND w, UINT msg, WPARAM wp, LPARAM lp) {
  if (msg == WM_PAINT) {
    PAINTSTRUCT ps;
    HDC dc = BeginPaint(w, &ps);
    FillRect(dc, &ps.rcPaint, (HBRUSH)GetStockObject(WHITE_BRUSH));
    EndPaint(w, &ps);
    return 0;
  }
  if (msg == WM_DESTROY) {
    PostQuitMessage(0);
    return 0;
  }
  return DefWindowProcW(w, msg, wp, lp);
}

int WINAPI wWinMain(HINSTANCE inst, HINSTANCE prev, PWSTR cmd, int show) {
  WNDCLASSEXW wc;
  MSG m;
  HWND w;
  (void)prev;
  ZeroMemory(&wc, sizeof wc);
  wc.cbSize = sizeof wc;
  wc.lpfnWndProc = Proc;
  wc.hInstance = inst;
  wc.hCursor = LoadCursorW(NULL, (LPCWSTR)IDC_ARROW);
  wc.lpszClassName = L"TrivialWindow";
  if (!RegisterClassExW(&wc)) return 1;
  if (cmd && *cmd)
    w = CreateWindowExW(WS_EX_APPWINDOW, wc.lpszClassName, cmd, WS_POPUP | WS_SYSMENU, 0, 0, 32, 32, NULL, NULL, inst,
                        NULL);
  else
    w = CreateWindowExW(WS_EX_APPWINDOW, wc.lpszClassName, L"Trivial", WS_POPUP | WS_SYSMENU,
                        (GetSystemMetrics(SM_CXSCREEN) - 528) / 2, (GetSystemMetrics(SM_CYSCREEN) - 348) / 2, 528, 348,
                        NULL, NULL, inst, NULL);
  if (!w) return 1;
  ShowWindow(w, show);
  UpdateWindow(w);
  while (GetMessageW(&m, NULL, 0, 0) > 0) {
    TranslateMessage(&m);
    DispatchMessageW(&m);
  }
  return 0;
}
