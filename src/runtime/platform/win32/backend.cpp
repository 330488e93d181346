// The backend's life: the window classes, the hidden runtime window, the
// exit handed over from another thread, and how input reaches the runtime.
#include <cstdlib>

#include "runtime/platform/win32/win32_internal.h"

namespace tl::platform::win32 {
namespace {

Impl* g_backend = nullptr;

LRESULT CALLBACK HiddenProc(HWND hwnd, UINT msg, WPARAM wp, LPARAM lp) {
  switch (msg) {
    case kExitMessage:
      // Sent by ForwardExit: the process ends on the thread that runs the
      // windows, as the runtime's own exit path would.
      std::exit(static_cast<int>(wp));
    case WM_TIMER: {
      Impl* impl = Backend();
      if (impl && impl->timers.contains(static_cast<TimerId>(wp))) {
        Event e = Ev(EventType::kTimer);
        e.timer = static_cast<TimerId>(wp);
        impl->Send(kNoHandle, e);
      }
      return 0;
    }
    default: return DefWindowProcA(hwnd, msg, wp, lp);
  }
}

int ButtonOf(UINT msg) {
  switch (msg) {
    case WM_LBUTTONDOWN: case WM_LBUTTONUP: case WM_LBUTTONDBLCLK: return 1;
    case WM_RBUTTONDOWN: case WM_RBUTTONUP: case WM_RBUTTONDBLCLK: return 2;
    default: return 3;
  }
}

// The event a queued input message stands for; false when it is none.
bool InputEvent(UINT msg, Event& e) {
  switch (msg) {
    case WM_LBUTTONDOWN: case WM_RBUTTONDOWN: case WM_MBUTTONDOWN: e.type = EventType::kMouseDown; break;
    case WM_LBUTTONUP: case WM_RBUTTONUP: case WM_MBUTTONUP: e.type = EventType::kMouseUp; break;
    case WM_LBUTTONDBLCLK: case WM_RBUTTONDBLCLK: case WM_MBUTTONDBLCLK: e.type = EventType::kDoubleClick; break;
    case WM_MOUSEMOVE: e.type = EventType::kMouseMove; break;
    case WM_MOUSEWHEEL: e.type = EventType::kWheel; break;
    case WM_KEYDOWN: case WM_SYSKEYDOWN: e.type = EventType::kKeyDown; break;
    case WM_KEYUP: case WM_SYSKEYUP: e.type = EventType::kKeyUp; break;
    case WM_CHAR: e.type = EventType::kChar; break;
    default: return false;
  }
  return true;
}

// Resource enumeration: stops at the first icon group.
BOOL CALLBACK FirstIcon(HMODULE module, LPCSTR, LPSTR id, LONG_PTR data) {
  *reinterpret_cast<HICON*>(data) = LoadIconA(module, id);
  return FALSE;
}

}  // namespace

Impl* Backend() { return g_backend; }
void SetBackend(Impl* impl) { g_backend = impl; }

std::optional<COLORREF> ColourOf(std::uint32_t c) {
  if (c == kDefaultColour) return std::nullopt;
  if (c & kSystemColour) return GetSysColor(static_cast<int>(c & 0xFF));
  return static_cast<COLORREF>(c & 0xFFFFFF);
}

int KeyState() {
  return (GetKeyState(VK_CONTROL) < 0 ? 1 : 0) | (GetKeyState(VK_SHIFT) < 0 ? 2 : 0) |
         (GetKeyState(VK_MENU) < 0 ? 4 : 0);
}

Node* Impl::Owner(HWND h) {
  for (int depth = 0; h && depth < 8; ++depth, h = ::GetParent(h))
    if (Node* n = Get(h)) return n;
  return nullptr;
}

Node* Impl::TopOf(Handle h) {
  for (Node* n = Get(h); n; n = Get(n->parent))
    if (n->kind == WidgetKind::kTopWindow) return n;
  return nullptr;
}

EventReply Impl::Send(Handle w, const Event& e) {
  if (!sink) return {};
  return sink->OnEvent(w, e);
}

void Impl::Dispatch(MSG& m) {
  Event e;
  Node* n = m.hwnd ? Owner(m.hwnd) : nullptr;
  if (n && InputEvent(m.message, e)) {
    Handle h = H(n->hwnd);
    if (e.type == EventType::kChar) {
      // A two-byte character may come as two messages, lead byte first, or
      // as one with both bytes. Either way the control gets it as one
      // message (a lone lead byte would become "?"), or not at all, by the
      // runtime's answer to the whole character.
      auto code = static_cast<unsigned>(m.wParam) & 0xFFFF;
      if (code <= 0xFF && pending_lead < 0 && IsDBCSLeadByte(static_cast<BYTE>(code))) {
        pending_lead = static_cast<int>(code);
        return;
      }
      if (code <= 0xFF && pending_lead >= 0) code |= static_cast<unsigned>(pending_lead) << 8;
      pending_lead = -1;
      e.key = static_cast<int>(code);
      if (!Send(h, e).default_action || !IsWindow(m.hwnd)) return;
      if (code > 0xFF) {
        // As the one character it is (packed byte pairs are read in a
        // different order by different systems).
        char pair[2] = {static_cast<char>(code >> 8), static_cast<char>(code & 0xFF)};
        wchar_t wide[2] = {};
        if (MultiByteToWideChar(CP_ACP, MB_ERR_INVALID_CHARS, pair, 2, wide, 2) == 1) {
          m.wParam = wide[0];
          DispatchMessageW(&m);
          return;
        }
      }
      DispatchMessageA(&m);
      return;
    }
    if (e.type == EventType::kKeyDown || e.type == EventType::kKeyUp) {
      e.key = static_cast<int>(m.wParam);
      e.key_state = KeyState();
    } else {
      POINT p{static_cast<short>(LOWORD(m.lParam)), static_cast<short>(HIWORD(m.lParam))};
      if (e.type == EventType::kWheel) {
        e.wheel_delta = static_cast<short>(HIWORD(m.wParam));
        ScreenToClient(n->hwnd, &p);
      } else if (m.hwnd != n->hwnd) {
        MapWindowPoints(m.hwnd, n->hwnd, &p, 1);
      }
      e.x = p.x;
      e.y = p.y;
      auto keys = LOWORD(m.wParam);
      e.key_state = ((keys & MK_CONTROL) ? 1 : 0) | ((keys & MK_SHIFT) ? 2 : 0) | (GetKeyState(VK_MENU) < 0 ? 4 : 0);
      if (e.type != EventType::kMouseMove && e.type != EventType::kWheel) e.button = ButtonOf(m.message);
    }
    EventReply r = Send(h, e);
    // The handler may have closed the window.
    if (!r.default_action || !IsWindow(m.hwnd)) return;
  }
  TranslateMessage(&m);
  DispatchMessageA(&m);
}

void RegisterClasses() {
  static bool done = false;
  if (done) return;
  done = true;
  HINSTANCE inst = GetModuleHandleA(nullptr);
  WNDCLASSA hidden{};
  hidden.lpfnWndProc = HiddenProc;
  hidden.hInstance = inst;
  hidden.hCursor = LoadCursorA(nullptr, IDC_ARROW);
  hidden.hbrBackground = static_cast<HBRUSH>(GetStockObject(NULL_BRUSH));
  hidden.lpszClassName = kRuntimeClass;
  RegisterClassA(&hidden);
  WNDCLASSA child{};
  child.style = CS_DBLCLKS;
  child.lpfnWndProc = ChildProc;
  child.hInstance = inst;
  child.hCursor = LoadCursorA(nullptr, IDC_ARROW);
  child.lpszClassName = kChildClass;
  RegisterClassA(&child);
}

bool EnsureWindowClass(const std::string& name) {
  HINSTANCE inst = GetModuleHandleA(nullptr);
  WNDCLASSA existing;
  if (GetClassInfoA(inst, name.c_str(), &existing)) return existing.lpfnWndProc == TopProc;
  WNDCLASSA c{};
  c.style = CS_DBLCLKS;
  c.lpfnWndProc = TopProc;
  c.hInstance = inst;
  c.hCursor = LoadCursorA(nullptr, IDC_ARROW);
  c.hbrBackground = static_cast<HBRUSH>(GetStockObject(NULL_BRUSH));
  c.lpszClassName = name.c_str();
  // The program's icon: the first icon group among its resources.
  EnumResourceNamesA(inst, MAKEINTRESOURCEA(14) /* RT_GROUP_ICON */, FirstIcon, reinterpret_cast<LONG_PTR>(&c.hIcon));
  return RegisterClassA(&c) != 0;
}

Win32Backend::Win32Backend() : impl_(std::make_unique<Impl>()) {
  impl_->self = this;
  SetBackend(impl_.get());
}

Win32Backend::~Win32Backend() {
  Impl& impl = *impl_;
  std::vector<Handle> tops;
  for (auto& [h, n] : impl.nodes)
    if (n->kind == WidgetKind::kTopWindow) tops.push_back(h);
  for (Handle h : tops) DestroyWidget(h);
  StopRuntimeWindow();
  if (Backend() == &impl) SetBackend(nullptr);
}

Handle Win32Backend::RuntimeWindow() const { return H(impl_->hidden); }

void Win32Backend::StartRuntimeWindow() {
  Impl& impl = *impl_;
  if (impl.started) return;
  // Pictures are decoded by the imaging component; the folder browser's
  // new style needs the apartment too.
  HRESULT hr = CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED);
  impl.com = SUCCEEDED(hr);
  INITCOMMONCONTROLSEX icc{sizeof(INITCOMMONCONTROLSEX), ICC_PROGRESS_CLASS};
  InitCommonControlsEx(&icc);
  RegisterClasses();
  impl.hidden = CreateWindowExA(WS_EX_TOOLWINDOW, kRuntimeClass, "", 0, 0, 0, 0, 0, nullptr, nullptr,
                                GetModuleHandleA(nullptr), nullptr);
  impl.started = impl.hidden != nullptr;
}

void Win32Backend::StopRuntimeWindow() {
  Impl& impl = *impl_;
  for (auto& [id, timer] : impl.timers) KillTimer(impl.hidden, timer);
  impl.timers.clear();
  if (impl.hidden) DestroyWindow(impl.hidden);
  impl.hidden = nullptr;
  impl.started = false;
  if (impl.com) CoUninitialize();
  impl.com = false;
}

void Win32Backend::ForwardExit(int code) {
  if (impl_->hidden) SendMessageA(impl_->hidden, kExitMessage, static_cast<WPARAM>(code), 0);
}

}  // namespace tl::platform::win32
