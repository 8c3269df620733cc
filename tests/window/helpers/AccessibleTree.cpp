// What a screen reader finds in the installer's window: walks the window's
// accessible client object as assistive technology does, through
// AccessibleObjectFromWindow, and writes each child's role, name, state,
// value and default action to a file (UTF-8), one line each:
//
//   AccessibleTree.exe OUT [--do N] [--events MS]
//
//   client|<name>|<children>
//   <role>|<name>|<states>|<value>|<action>     for child 1, 2, ...
//   focus|<child id>
//
// --do N asks child N to do its default action first. --events MS listens,
// from before that action until MS milliseconds after the walk, to the
// WinEvents the window raises, and adds "event|<event>|<child id>" lines
// after the walk (the events a reader would hear).
#include <windows.h>

#include <oleacc.h>

#include <cstdio>
#include <cwchar>
#include <string>
#include <vector>

namespace {

std::string Utf8(const std::wstring& text) {
  if (text.empty()) return {};
  const int size =
      ::WideCharToMultiByte(CP_UTF8, 0, text.data(), static_cast<int>(text.size()), nullptr, 0, nullptr, nullptr);
  std::string out(static_cast<std::size_t>(size), '\0');
  ::WideCharToMultiByte(CP_UTF8, 0, text.data(), static_cast<int>(text.size()), out.data(), size, nullptr, nullptr);
  return out;
}

std::wstring Take(BSTR text) {
  std::wstring out = text ? std::wstring(text, ::SysStringLen(text)) : std::wstring();
  ::SysFreeString(text);
  return out;
}

const char* RoleName(long role) {
  switch (role) {
    case ROLE_SYSTEM_PUSHBUTTON:
      return "push button";
    case ROLE_SYSTEM_CHECKBUTTON:
      return "check box";
    case ROLE_SYSTEM_LINK:
      return "link";
    case ROLE_SYSTEM_TEXT:
      return "editable text";
    case ROLE_SYSTEM_PROGRESSBAR:
      return "progress bar";
    case ROLE_SYSTEM_STATICTEXT:
      return "static text";
    case ROLE_SYSTEM_CLIENT:
      return "client";
    default:
      return "other";
  }
}

std::string StateNames(long state) {
  static const struct {
    long bit;
    const char* name;
  } kNames[] = {{STATE_SYSTEM_FOCUSED, "focused"},     {STATE_SYSTEM_FOCUSABLE, "focusable"},
                {STATE_SYSTEM_CHECKED, "checked"},     {STATE_SYSTEM_UNAVAILABLE, "unavailable"},
                {STATE_SYSTEM_INVISIBLE, "invisible"}, {STATE_SYSTEM_READONLY, "readonly"}};
  std::string out;
  for (const auto& entry : kNames) {
    if (!(state & entry.bit)) continue;
    if (!out.empty()) out += ",";
    out += entry.name;
  }
  return out;
}

const char* EventName(DWORD event) {
  switch (event) {
    case EVENT_OBJECT_FOCUS:
      return "focus";
    case EVENT_OBJECT_STATECHANGE:
      return "state";
    case EVENT_OBJECT_VALUECHANGE:
      return "value";
    case EVENT_OBJECT_NAMECHANGE:
      return "name";
    case EVENT_OBJECT_SHOW:
      return "show";
    case EVENT_OBJECT_REORDER:
      return "reorder";
    default:
      return nullptr;
  }
}

FILE* out = nullptr;
HWND target = nullptr;
// Kept until the walk is written: the walk's cross-process calls take
// messages, so events arrive in the middle of it.
std::vector<std::string> heard;

void CALLBACK OnEvent(HWINEVENTHOOK, DWORD event, HWND window, LONG object, LONG child, DWORD, DWORD) {
  const char* name = EventName(event);
  if (!name || window != target || object != OBJID_CLIENT) return;
  heard.push_back(std::string("event|") + name + "|" + std::to_string(child));
}

VARIANT Child(long id) {
  VARIANT v;
  ::VariantInit(&v);
  v.vt = VT_I4;
  v.lVal = id;
  return v;
}

}  // namespace

int wmain(int argc, wchar_t** argv) {
  if (argc < 2) return 2;
  long doChild = 0;
  DWORD listen = 0;
  for (int i = 2; i + 1 < argc; i += 2) {
    if (std::wcscmp(argv[i], L"--do") == 0) doChild = std::wcstol(argv[i + 1], nullptr, 10);
    if (std::wcscmp(argv[i], L"--events") == 0) listen = std::wcstoul(argv[i + 1], nullptr, 10);
  }
  out = _wfopen(argv[1], L"wb");
  if (!out) return 3;
  ::CoInitialize(nullptr);
  target = ::FindWindowW(L"CHWindow", L"Pivset");
  IAccessible* client = nullptr;
  if (!target ||
      FAILED(::AccessibleObjectFromWindow(target, OBJID_CLIENT, __uuidof(IAccessible),
                                          reinterpret_cast<void**>(&client))) ||
      !client) {
    std::fprintf(out, "no accessible object\n");
    std::fclose(out);
    return 4;
  }
  HWINEVENTHOOK hook = nullptr;
  if (listen) {
    DWORD process = 0;
    ::GetWindowThreadProcessId(target, &process);
    hook = ::SetWinEventHook(EVENT_OBJECT_SHOW, EVENT_OBJECT_VALUECHANGE, nullptr, OnEvent, process, 0,
                             WINEVENT_OUTOFCONTEXT);
  }
  if (doChild > 0) std::fprintf(out, "did|%ld|0x%08lX\n", doChild, client->accDoDefaultAction(Child(doChild)));

  BSTR text = nullptr;
  const VARIANT self = Child(CHILDID_SELF);
  client->get_accName(self, &text);
  long count = 0;
  client->get_accChildCount(&count);
  std::fprintf(out, "client|%s|%ld\n", Utf8(Take(text)).c_str(), count);
  for (long id = 1; id <= count; ++id) {
    const VARIANT child = Child(id);
    VARIANT role;
    VARIANT state;
    ::VariantInit(&role);
    ::VariantInit(&state);
    client->get_accRole(child, &role);
    client->get_accState(child, &state);
    BSTR name = nullptr;
    BSTR value = nullptr;
    BSTR action = nullptr;
    client->get_accName(child, &name);
    client->get_accValue(child, &value);
    client->get_accDefaultAction(child, &action);
    std::fprintf(out, "%s|%s|%s|%s|%s\n", RoleName(role.vt == VT_I4 ? role.lVal : 0), Utf8(Take(name)).c_str(),
                 StateNames(state.vt == VT_I4 ? state.lVal : 0).c_str(), Utf8(Take(value)).c_str(),
                 Utf8(Take(action)).c_str());
  }
  VARIANT focus;
  ::VariantInit(&focus);
  client->get_accFocus(&focus);
  std::fprintf(out, "focus|%ld\n", focus.vt == VT_I4 ? focus.lVal : -1L);
  std::fflush(out);
  client->Release();

  if (listen) {
    const DWORD end = ::GetTickCount() + listen;
    MSG message;
    while (static_cast<LONG>(end - ::GetTickCount()) > 0) {
      ::MsgWaitForMultipleObjects(0, nullptr, FALSE, 50, QS_ALLINPUT);
      while (::PeekMessageW(&message, nullptr, 0, 0, PM_REMOVE)) ::DispatchMessageW(&message);
    }
    if (hook) ::UnhookWinEvent(hook);
    for (const std::string& line : heard) std::fprintf(out, "%s\n", line.c_str());
  }
  std::fclose(out);
  ::CoUninitialize();
  return 0;
}
