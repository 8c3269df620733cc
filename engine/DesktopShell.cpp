#include "engine/DesktopShell.h"

#include <windows.h>

#include <exdisp.h>
#include <oleauto.h>
#include <servprov.h>
#include <shellapi.h>
#include <shldisp.h>
#include <shlobj.h>

#include "ui/Handles.h"

namespace pv {

using pv::ComPtr;

namespace {

// A VARIANT that clears itself.
class Variant {
 public:
  Variant() { ::VariantInit(&v_); }
  explicit Variant(const std::wstring& text) : Variant() {
    if (text.empty()) return;
    v_.vt = VT_BSTR;
    v_.bstrVal = ::SysAllocStringLen(text.data(), static_cast<UINT>(text.size()));
    if (!v_.bstrVal) v_.vt = VT_EMPTY;
  }
  explicit Variant(int number) : Variant() {
    v_.vt = VT_I4;
    v_.lVal = number;
  }
  Variant(const Variant&) = delete;
  Variant& operator=(const Variant&) = delete;
  ~Variant() { ::VariantClear(&v_); }
  VARIANT* get() { return &v_; }

 private:
  VARIANT v_;
};

// A BSTR that frees itself.
class Bstr {
 public:
  explicit Bstr(const std::wstring& text) : b_(::SysAllocStringLen(text.data(), static_cast<UINT>(text.size()))) {}
  Bstr(const Bstr&) = delete;
  Bstr& operator=(const Bstr&) = delete;
  ~Bstr() { ::SysFreeString(b_); }
  BSTR get() const { return b_; }

 private:
  BSTR b_;
};

// The desktop's shell object, reached the documented way: the shell windows
// list gives the desktop's browser, its active view's background object
// gives the folder view, whose application object executes as the shell.
bool DesktopShellDispatch(ComPtr<IShellDispatch2>& shell) {
  ComPtr<IShellWindows> windows;
  if (FAILED(
          ::CoCreateInstance(CLSID_ShellWindows, nullptr, CLSCTX_LOCAL_SERVER, IID_IShellWindows, windows.put_void())))
    return false;
  Variant location, root;  // both empty: the desktop has no location
  long window = 0;
  ComPtr<IDispatch> desktop;
  if (windows->FindWindowSW(location.get(), root.get(), SWC_DESKTOP, &window, SWFO_NEEDDISPATCH, desktop.put()) !=
          S_OK ||
      !desktop)
    return false;
  ComPtr<IServiceProvider> provider;
  if (FAILED(desktop->QueryInterface(IID_IServiceProvider, provider.put_void()))) return false;
  ComPtr<IShellBrowser> browser;
  if (FAILED(provider->QueryService(SID_STopLevelBrowser, IID_IShellBrowser, browser.put_void())) || !browser)
    return false;
  ComPtr<IShellView> view;
  if (FAILED(browser->QueryActiveShellView(view.put())) || !view) return false;
  ComPtr<IDispatch> background;
  if (FAILED(view->GetItemObject(SVGIO_BACKGROUND, IID_IDispatch, background.put_void())) || !background) return false;
  ComPtr<IShellFolderViewDual> folderView;
  if (FAILED(background->QueryInterface(IID_IShellFolderViewDual, folderView.put_void()))) return false;
  ComPtr<IDispatch> application;
  if (FAILED(folderView->get_Application(application.put())) || !application) return false;
  return SUCCEEDED(application->QueryInterface(IID_IShellDispatch2, shell.put_void())) && shell;
}

}  // namespace

bool DesktopShell::OpenThroughDesktop(const std::wstring& file, const std::wstring& parameters) {
  pv::ComApartment apartment;
  if (!apartment.usable()) return false;
  ComPtr<IShellDispatch2> shell;
  if (!DesktopShellDispatch(shell)) return false;
  Bstr name(file);
  if (!name.get()) return false;
  Variant arguments(parameters), folder, verb(std::wstring(L"open")), show(SW_SHOWNORMAL);
  return SUCCEEDED(shell->ShellExecute(name.get(), *arguments.get(), *folder.get(), *verb.get(), *show.get()));
}

bool DesktopShell::OpenDirectly(const std::wstring& file, const std::wstring& parameters) {
  const HINSTANCE result = ::ShellExecuteW(nullptr, L"open", file.c_str(),
                                           parameters.empty() ? nullptr : parameters.c_str(), nullptr, SW_SHOWNORMAL);
  return reinterpret_cast<INT_PTR>(result) > 32;
}

DesktopShell::Route DesktopShell::Open(const std::wstring& file, const std::wstring& parameters) {
  if (OpenThroughDesktop(file, parameters)) return Route::kDesktop;
  return OpenDirectly(file, parameters) ? Route::kDirect : Route::kFailed;
}

}  // namespace pv
