#pragma once

#include <windows.h>

#include <oleacc.h>

#include <atomic>
#include <string>
#include <vector>

#include "ui/Handles.h"

namespace pv {

class UIObject;

// What assistive technology (a screen reader) sees of a host window: the
// client object of the window, whose children are the host's exposed
// controls (UIObject::AccessibleChildren), each a simple element with child
// id 1, 2, ... in reading order. The client object itself (child id 0) is
// the system's standard one for the window, which this object hands those
// questions to. Handed out for WM_GETOBJECT; the host cuts it off when it
// goes, after which every call fails as disconnected.
class UIAccessible final : public IAccessible {
 public:
  explicit UIAccessible(UIObject* host);
  UIAccessible(const UIAccessible&) = delete;
  UIAccessible& operator=(const UIAccessible&) = delete;

  void Disconnect();

  // IUnknown
  HRESULT STDMETHODCALLTYPE QueryInterface(REFIID riid, void** object) override;
  ULONG STDMETHODCALLTYPE AddRef() override;
  ULONG STDMETHODCALLTYPE Release() override;
  // IDispatch: not offered.
  HRESULT STDMETHODCALLTYPE GetTypeInfoCount(UINT* count) override;
  HRESULT STDMETHODCALLTYPE GetTypeInfo(UINT index, LCID locale, ITypeInfo** info) override;
  HRESULT STDMETHODCALLTYPE GetIDsOfNames(REFIID riid, LPOLESTR* names, UINT count, LCID locale, DISPID* ids) override;
  HRESULT STDMETHODCALLTYPE Invoke(DISPID id, REFIID riid, LCID locale, WORD flags, DISPPARAMS* params, VARIANT* result,
                                   EXCEPINFO* exception, UINT* argumentError) override;
  // IAccessible
  HRESULT STDMETHODCALLTYPE get_accParent(IDispatch** parent) override;
  HRESULT STDMETHODCALLTYPE get_accChildCount(long* count) override;
  HRESULT STDMETHODCALLTYPE get_accChild(VARIANT child, IDispatch** object) override;
  HRESULT STDMETHODCALLTYPE get_accName(VARIANT child, BSTR* name) override;
  HRESULT STDMETHODCALLTYPE get_accValue(VARIANT child, BSTR* value) override;
  HRESULT STDMETHODCALLTYPE get_accDescription(VARIANT child, BSTR* description) override;
  HRESULT STDMETHODCALLTYPE get_accRole(VARIANT child, VARIANT* role) override;
  HRESULT STDMETHODCALLTYPE get_accState(VARIANT child, VARIANT* state) override;
  HRESULT STDMETHODCALLTYPE get_accHelp(VARIANT child, BSTR* help) override;
  HRESULT STDMETHODCALLTYPE get_accHelpTopic(BSTR* file, VARIANT child, long* topic) override;
  HRESULT STDMETHODCALLTYPE get_accKeyboardShortcut(VARIANT child, BSTR* shortcut) override;
  HRESULT STDMETHODCALLTYPE get_accFocus(VARIANT* child) override;
  HRESULT STDMETHODCALLTYPE get_accSelection(VARIANT* children) override;
  HRESULT STDMETHODCALLTYPE get_accDefaultAction(VARIANT child, BSTR* action) override;
  HRESULT STDMETHODCALLTYPE accSelect(long flags, VARIANT child) override;
  HRESULT STDMETHODCALLTYPE accLocation(long* x, long* y, long* width, long* height, VARIANT child) override;
  HRESULT STDMETHODCALLTYPE accNavigate(long direction, VARIANT start, VARIANT* end) override;
  HRESULT STDMETHODCALLTYPE accHitTest(long x, long y, VARIANT* child) override;
  HRESULT STDMETHODCALLTYPE accDoDefaultAction(VARIANT child) override;
  HRESULT STDMETHODCALLTYPE put_accName(VARIANT child, BSTR name) override;
  HRESULT STDMETHODCALLTYPE put_accValue(VARIANT child, BSTR value) override;

  // The state bits of an exposed control, as get_accState reports them.
  static long StateOf(UIObject* host, UIObject* control);

 private:
  ~UIAccessible() = default;

  // The system's object for the window's client area; null when the host
  // is gone or the system has none.
  IAccessible* Standard();
  // The control a child id names: null for CHILDID_SELF; false for an id
  // that names nothing (or a host that is gone).
  bool Resolve(const VARIANT& child, UIObject*& control);

  std::atomic<ULONG> references_{1};
  UIObject* host_;
  pv::ComPtr<IAccessible> standard_;
};

}  // namespace pv
