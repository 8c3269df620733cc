#include "ui/UIAccessible.h"

#include <utility>

#include "ui/UIObject.h"

namespace pv {

namespace {

HRESULT Text(const std::wstring& text, BSTR* out) {
  if (!out) return E_POINTER;
  *out = nullptr;
  if (text.empty()) return S_FALSE;
  *out = ::SysAllocStringLen(text.data(), static_cast<UINT>(text.size()));
  return *out ? S_OK : E_OUTOFMEMORY;
}

void SetChild(VARIANT* out, long id) {
  out->vt = VT_I4;
  out->lVal = id;
}

}  // namespace

UIAccessible::UIAccessible(UIObject* host) : host_(host) {}

void UIAccessible::Disconnect() {
  host_ = nullptr;
  standard_.reset();
}

HRESULT UIAccessible::QueryInterface(REFIID riid, void** object) {
  if (!object) return E_POINTER;
  if (riid == __uuidof(IUnknown) || riid == __uuidof(IDispatch) || riid == __uuidof(IAccessible)) {
    *object = static_cast<IAccessible*>(this);
    AddRef();
    return S_OK;
  }
  *object = nullptr;
  return E_NOINTERFACE;
}

ULONG UIAccessible::AddRef() { return ++references_; }

ULONG UIAccessible::Release() {
  const ULONG left = --references_;
  if (left == 0) delete this;
  return left;
}

HRESULT UIAccessible::GetTypeInfoCount(UINT* count) {
  if (!count) return E_POINTER;
  *count = 0;
  return S_OK;
}

HRESULT UIAccessible::GetTypeInfo(UINT, LCID, ITypeInfo**) { return E_NOTIMPL; }

HRESULT UIAccessible::GetIDsOfNames(REFIID, LPOLESTR*, UINT, LCID, DISPID*) { return E_NOTIMPL; }

HRESULT UIAccessible::Invoke(DISPID, REFIID, LCID, WORD, DISPPARAMS*, VARIANT*, EXCEPINFO*, UINT*) { return E_NOTIMPL; }

IAccessible* UIAccessible::Standard() {
  if (!host_ || !host_->GetHwnd()) return nullptr;
  if (!standard_) {
    ::CreateStdAccessibleObject(host_->GetHwnd(), OBJID_CLIENT, __uuidof(IAccessible), standard_.put_void());
  }
  return standard_.get();
}

bool UIAccessible::Resolve(const VARIANT& child, UIObject*& control) {
  control = nullptr;
  if (!host_ || child.vt != VT_I4) return false;
  if (child.lVal == CHILDID_SELF) return true;
  const std::vector<UIObject*> children = host_->AccessibleChildren();
  if (child.lVal < 1 || static_cast<std::size_t>(child.lVal) > children.size()) return false;
  control = children[static_cast<std::size_t>(child.lVal) - 1];
  return true;
}

long UIAccessible::StateOf(UIObject* host, UIObject* control) {
  long state = static_cast<long>(control->AccessibleState());
  bool shown = true;
  bool enabled = true;
  for (const UIObject* node = control; node && node != host; node = node->Parent()) {
    shown = shown && node->IsVisible();
    enabled = enabled && node->IsEnabled();
  }
  if (!shown) state |= STATE_SYSTEM_INVISIBLE;
  if (!enabled) state |= STATE_SYSTEM_UNAVAILABLE;
  if (control->IsTabStop() && shown && enabled) {
    state |= STATE_SYSTEM_FOCUSABLE;
    if (host->GetFocusChild() == control) state |= STATE_SYSTEM_FOCUSED;
  }
  return state;
}

// --- IAccessible -------------------------------------------------------------

HRESULT UIAccessible::get_accParent(IDispatch** parent) {
  if (!parent) return E_POINTER;
  *parent = nullptr;
  if (!host_) return RPC_E_DISCONNECTED;
  IAccessible* standard = Standard();
  return standard ? standard->get_accParent(parent) : S_FALSE;
}

HRESULT UIAccessible::get_accChildCount(long* count) {
  if (!count) return E_POINTER;
  if (!host_) return RPC_E_DISCONNECTED;
  *count = static_cast<long>(host_->AccessibleChildren().size());
  return S_OK;
}

HRESULT UIAccessible::get_accChild(VARIANT child, IDispatch** object) {
  if (!object) return E_POINTER;
  *object = nullptr;
  UIObject* control = nullptr;
  if (!Resolve(child, control)) return host_ ? E_INVALIDARG : RPC_E_DISCONNECTED;
  // Simple elements: the parent answers for them.
  return S_FALSE;
}

HRESULT UIAccessible::get_accName(VARIANT child, BSTR* name) {
  UIObject* control = nullptr;
  if (!Resolve(child, control)) return host_ ? E_INVALIDARG : RPC_E_DISCONNECTED;
  if (!control) {
    IAccessible* standard = Standard();
    return standard ? standard->get_accName(child, name) : Text(std::wstring(), name);
  }
  return Text(control->AccessibleName(), name);
}

HRESULT UIAccessible::get_accValue(VARIANT child, BSTR* value) {
  UIObject* control = nullptr;
  if (!Resolve(child, control)) return host_ ? E_INVALIDARG : RPC_E_DISCONNECTED;
  if (!value) return E_POINTER;
  *value = nullptr;
  if (!control) return DISP_E_MEMBERNOTFOUND;
  const std::wstring text = control->AccessibleValue();
  if (text.empty() && control->AccessibleRole() != ROLE_SYSTEM_TEXT) return DISP_E_MEMBERNOTFOUND;
  *value = ::SysAllocStringLen(text.data(), static_cast<UINT>(text.size()));
  return *value ? S_OK : E_OUTOFMEMORY;
}

HRESULT UIAccessible::get_accDescription(VARIANT child, BSTR* description) {
  UIObject* control = nullptr;
  if (!Resolve(child, control)) return host_ ? E_INVALIDARG : RPC_E_DISCONNECTED;
  return Text(std::wstring(), description);
}

HRESULT UIAccessible::get_accRole(VARIANT child, VARIANT* role) {
  UIObject* control = nullptr;
  if (!Resolve(child, control)) return host_ ? E_INVALIDARG : RPC_E_DISCONNECTED;
  if (!role) return E_POINTER;
  ::VariantInit(role);
  SetChild(role, control ? control->AccessibleRole() : ROLE_SYSTEM_CLIENT);
  return S_OK;
}

HRESULT UIAccessible::get_accState(VARIANT child, VARIANT* state) {
  UIObject* control = nullptr;
  if (!Resolve(child, control)) return host_ ? E_INVALIDARG : RPC_E_DISCONNECTED;
  if (!state) return E_POINTER;
  ::VariantInit(state);
  if (!control) {
    IAccessible* standard = Standard();
    if (standard) return standard->get_accState(child, state);
    SetChild(state, STATE_SYSTEM_FOCUSABLE);
    return S_OK;
  }
  SetChild(state, StateOf(host_, control));
  return S_OK;
}

HRESULT UIAccessible::get_accHelp(VARIANT child, BSTR* help) {
  UIObject* control = nullptr;
  if (!Resolve(child, control)) return host_ ? E_INVALIDARG : RPC_E_DISCONNECTED;
  return Text(std::wstring(), help);
}

HRESULT UIAccessible::get_accHelpTopic(BSTR* file, VARIANT, long* topic) {
  if (file) *file = nullptr;
  if (topic) *topic = 0;
  return host_ ? DISP_E_MEMBERNOTFOUND : RPC_E_DISCONNECTED;
}

HRESULT UIAccessible::get_accKeyboardShortcut(VARIANT child, BSTR* shortcut) {
  UIObject* control = nullptr;
  if (!Resolve(child, control)) return host_ ? E_INVALIDARG : RPC_E_DISCONNECTED;
  return Text(std::wstring(), shortcut);
}

HRESULT UIAccessible::get_accFocus(VARIANT* child) {
  if (!child) return E_POINTER;
  ::VariantInit(child);
  if (!host_) return RPC_E_DISCONNECTED;
  if (::GetFocus() != host_->GetHwnd()) return S_FALSE;
  const std::vector<UIObject*> children = host_->AccessibleChildren();
  for (std::size_t i = 0; i < children.size(); ++i) {
    if (children[i] == host_->GetFocusChild() && children[i]->IsReachable()) {
      SetChild(child, static_cast<long>(i + 1));
      return S_OK;
    }
  }
  SetChild(child, CHILDID_SELF);
  return S_OK;
}

HRESULT UIAccessible::get_accSelection(VARIANT* children) {
  if (!children) return E_POINTER;
  ::VariantInit(children);
  return host_ ? S_FALSE : RPC_E_DISCONNECTED;
}

HRESULT UIAccessible::get_accDefaultAction(VARIANT child, BSTR* action) {
  UIObject* control = nullptr;
  if (!Resolve(child, control)) return host_ ? E_INVALIDARG : RPC_E_DISCONNECTED;
  if (!control) return Text(std::wstring(), action);
  return Text(host_->DefaultActionName(control), action);
}

HRESULT UIAccessible::accSelect(long flags, VARIANT child) {
  UIObject* control = nullptr;
  if (!Resolve(child, control)) return host_ ? E_INVALIDARG : RPC_E_DISCONNECTED;
  if (!(flags & SELFLAG_TAKEFOCUS) || !control) return DISP_E_MEMBERNOTFOUND;
  if (!control->IsTabStop() || !control->IsReachable()) return S_FALSE;
  host_->SetFocusChild(control);
  return S_OK;
}

HRESULT UIAccessible::accLocation(long* x, long* y, long* width, long* height, VARIANT child) {
  UIObject* control = nullptr;
  if (!Resolve(child, control)) return host_ ? E_INVALIDARG : RPC_E_DISCONNECTED;
  if (!x || !y || !width || !height) return E_POINTER;
  if (!control) {
    IAccessible* standard = Standard();
    return standard ? standard->accLocation(x, y, width, height, child) : S_FALSE;
  }
  const RECT& r = control->GetRect();
  POINT origin{r.left, r.top};
  ::ClientToScreen(host_->GetHwnd(), &origin);
  *x = origin.x;
  *y = origin.y;
  *width = r.right - r.left;
  *height = r.bottom - r.top;
  return S_OK;
}

HRESULT UIAccessible::accNavigate(long direction, VARIANT start, VARIANT* end) {
  UIObject* control = nullptr;
  if (!Resolve(start, control)) return host_ ? E_INVALIDARG : RPC_E_DISCONNECTED;
  if (!end) return E_POINTER;
  ::VariantInit(end);
  const long count = static_cast<long>(host_->AccessibleChildren().size());
  long to = 0;
  if (!control) {
    if (direction == NAVDIR_FIRSTCHILD) {
      to = 1;
    } else if (direction == NAVDIR_LASTCHILD) {
      to = count;
    } else {
      IAccessible* standard = Standard();
      return standard ? standard->accNavigate(direction, start, end) : S_FALSE;
    }
  } else if (direction == NAVDIR_NEXT || direction == NAVDIR_DOWN || direction == NAVDIR_RIGHT) {
    to = start.lVal + 1;
  } else if (direction == NAVDIR_PREVIOUS || direction == NAVDIR_UP || direction == NAVDIR_LEFT) {
    to = start.lVal - 1;
  } else {
    return S_FALSE;
  }
  if (to < 1 || to > count) return S_FALSE;
  SetChild(end, to);
  return S_OK;
}

HRESULT UIAccessible::accHitTest(long x, long y, VARIANT* child) {
  if (!child) return E_POINTER;
  ::VariantInit(child);
  if (!host_) return RPC_E_DISCONNECTED;
  POINT at{x, y};
  ::ScreenToClient(host_->GetHwnd(), &at);
  RECT client{};
  ::GetClientRect(host_->GetHwnd(), &client);
  if (!::PtInRect(&client, at)) return S_FALSE;
  const std::vector<UIObject*> children = host_->AccessibleChildren();
  // The last one in reading order that holds the point: controls over a
  // page's picture come after it.
  for (std::size_t i = children.size(); i-- > 0;) {
    if (::PtInRect(&children[i]->GetRect(), at)) {
      SetChild(child, static_cast<long>(i + 1));
      return S_OK;
    }
  }
  SetChild(child, CHILDID_SELF);
  return S_OK;
}

HRESULT UIAccessible::accDoDefaultAction(VARIANT child) {
  UIObject* control = nullptr;
  if (!Resolve(child, control)) return host_ ? E_INVALIDARG : RPC_E_DISCONNECTED;
  if (!control || host_->DefaultActionName(control).empty()) return DISP_E_MEMBERNOTFOUND;
  // Done from the window's own queue: the action may run a removal that
  // pumps messages for a long time, which must not happen inside a call
  // another process is waiting for.
  return host_->PostDefaultAction(control) ? S_OK : E_FAIL;
}

HRESULT UIAccessible::put_accName(VARIANT, BSTR) { return host_ ? DISP_E_MEMBERNOTFOUND : RPC_E_DISCONNECTED; }

HRESULT UIAccessible::put_accValue(VARIANT, BSTR) { return host_ ? DISP_E_MEMBERNOTFOUND : RPC_E_DISCONNECTED; }

}  // namespace pv
