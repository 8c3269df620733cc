// The sample product: a small window titled "Pellio", so an installation can
// be seen working end to end. "/autoclose" closes it after two seconds (for
// unattended runs).
#include <windows.h>

#include <cwchar>

namespace {

LRESULT CALLBACK Proc(HWND window, UINT msg, WPARAM wParam, LPARAM lParam) {
  switch (msg) {
    case WM_PAINT: {
      PAINTSTRUCT ps;
      HDC dc = ::BeginPaint(window, &ps);
      RECT rc;
      ::GetClientRect(window, &rc);
      ::FillRect(dc, &rc, static_cast<HBRUSH>(::GetStockObject(WHITE_BRUSH)));
      ::SetBkMode(dc, TRANSPARENT);
      ::SetTextColor(dc, RGB(22, 119, 255));
      ::DrawTextW(dc, L"Pellio", -1, &rc, DT_CENTER | DT_VCENTER | DT_SINGLELINE);
      ::EndPaint(window, &ps);
      return 0;
    }
    case WM_TIMER:
      ::DestroyWindow(window);
      return 0;
    case WM_DESTROY:
      ::PostQuitMessage(0);
      return 0;
  }
  return ::DefWindowProcW(window, msg, wParam, lParam);
}

}  // namespace

int WINAPI wWinMain(HINSTANCE instance, HINSTANCE, LPWSTR commandLine, int show) {
  WNDCLASSEXW wc{};
  wc.cbSize = sizeof wc;
  wc.lpfnWndProc = Proc;
  wc.hInstance = instance;
  wc.hCursor = ::LoadCursorW(nullptr, IDC_ARROW);
  wc.lpszClassName = L"OrvaneSample";
  if (!::RegisterClassExW(&wc)) return 1;
  HWND window = ::CreateWindowExW(0, wc.lpszClassName, L"Pellio", WS_OVERLAPPEDWINDOW, CW_USEDEFAULT, CW_USEDEFAULT,
                                  480, 320, nullptr, nullptr, instance, nullptr);
  if (!window) return 1;
  if (std::wcsstr(commandLine, L"/autoclose")) ::SetTimer(window, 1, 2000, nullptr);
  ::ShowWindow(window, show);
  ::UpdateWindow(window);
  MSG msg;
  while (::GetMessageW(&msg, nullptr, 0, 0) > 0) {
    ::TranslateMessage(&msg);
    ::DispatchMessageW(&msg);
  }
  return 0;
}
