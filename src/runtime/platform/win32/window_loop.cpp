// Top-level windows, the widget tree and its geometry, the message loops
// (with the idle rule and nested modal loops), timers and dropped files.
#include <algorithm>

#include "runtime/platform/win32/win32_internal.h"

namespace tl::platform::win32 {
namespace {

// Handles of `h` and everything inside it, parents first.
void CollectSubtree(Impl& impl, Handle h, std::vector<Handle>& out) {
  Node* n = impl.Get(h);
  if (!n) return;
  out.push_back(h);
  for (Handle c : n->children) CollectSubtree(impl, c, out);
}

// Takes a subtree out of the map; the caller frees the nodes once the
// windows are gone (their fonts and brushes are in use until then).
std::vector<std::unique_ptr<Node>> TakeSubtree(Impl& impl, Handle h) {
  std::vector<Handle> all;
  CollectSubtree(impl, h, all);
  if (Node* n = impl.Get(h); n && n->parent != kNoHandle)
    if (Node* p = impl.Get(n->parent)) std::erase(p->children, h);
  std::vector<std::unique_ptr<Node>> out;
  for (Handle x : all) {
    auto it = impl.nodes.find(x);
    if (it == impl.nodes.end()) continue;
    out.push_back(std::move(it->second));
    impl.nodes.erase(it);
  }
  for (auto& m : impl.modal)
    if (std::find(all.begin(), all.end(), m.window) != all.end()) m.ended = true;
  return out;
}

void FreeAll(std::vector<std::unique_ptr<Node>>& nodes) {
  for (auto& n : nodes) FreeNode(*n);
  nodes.clear();
}

// The loops' idle rule: while nothing waits, idle work runs as long as it
// asks for more.
void RunIdle(Impl& impl, int& count) {
  MSG m;
  while (!PeekMessageA(&m, nullptr, 0, 0, PM_NOREMOVE) && impl.sink && impl.sink->OnIdle(count++)) {
  }
}

bool IsDescendant(HWND ancestor, HWND h) {
  for (; h; h = ::GetParent(h))
    if (h == ancestor) return true;
  return false;
}

void PaintBackground(Node& n, HDC dc) {
  RECT r;
  GetClientRect(n.hwnd, &r);
  if (n.back_brush) FillRect(dc, &r, n.back_brush);
  else FillRect(dc, &r, GetSysColorBrush(COLOR_BTNFACE));
  if (!n.pictures.empty() && n.pictures[0].bitmap) DrawPicture(dc, n.pictures[0], 0, 0);
}

}  // namespace

bool ParentMessage(Impl& impl, Node*, UINT msg, WPARAM wp, LPARAM lp, LRESULT& result) {
  switch (msg) {
    case WM_COMMAND: {
      Node* c = lp ? impl.Get(reinterpret_cast<HWND>(lp)) : nullptr;
      if (!c) return false;
      result = 0;
      if (c->quiet) return true;
      Handle h = H(c->hwnd);
      switch (HIWORD(wp)) {
        case BN_CLICKED:
          if (c->kind == WidgetKind::kButton || c->kind == WidgetKind::kCheckBox || c->kind == WidgetKind::kRadioBox)
            impl.Send(h, Ev(EventType::kClick));
          break;
        case CBN_SELCHANGE:
          if (c->kind == WidgetKind::kComboBox) impl.Send(h, Ev(EventType::kSelectionChanged));
          break;
        case EN_CHANGE:
          if (c->kind == WidgetKind::kEditBox) impl.Send(h, Ev(EventType::kTextChanged));
          break;
        default: break;
      }
      return true;
    }
    case WM_CTLCOLORSTATIC:
    case WM_CTLCOLOREDIT:
    case WM_CTLCOLORBTN:
    case WM_CTLCOLORLISTBOX: {
      Node* c = lp ? impl.Owner(reinterpret_cast<HWND>(lp)) : nullptr;
      if (!c) return false;
      auto text = ColourOf(c->text_colour);
      if (!text && !c->back_brush) return false;
      HDC dc = reinterpret_cast<HDC>(wp);
      if (text) SetTextColor(dc, *text);
      HBRUSH brush = c->back_brush;
      if (brush) {
        SetBkColor(dc, *ColourOf(c->spec.back_colour));
      } else {
        // Only the text colour is ours: the system's background.
        int sys = msg == WM_CTLCOLOREDIT || msg == WM_CTLCOLORLISTBOX ? COLOR_WINDOW : COLOR_BTNFACE;
        if (msg == WM_CTLCOLORSTATIC && c->kind == WidgetKind::kEditBox && !(c->spec.input_mode == 1)) sys = COLOR_WINDOW;
        SetBkColor(dc, GetSysColor(sys));
        brush = GetSysColorBrush(sys);
      }
      result = reinterpret_cast<LRESULT>(brush);
      return true;
    }
    default: return false;
  }
}

LRESULT CALLBACK TopProc(HWND hwnd, UINT msg, WPARAM wp, LPARAM lp) {
  Impl* impl = Backend();
  Node* n = impl ? impl->Get(hwnd) : nullptr;
  if (!n) return DefWindowProcA(hwnd, msg, wp, lp);
  LRESULT result = 0;
  switch (msg) {
    case WM_CLOSE:
      // The runtime decides, and destroys the window itself.
      impl->Send(H(hwnd), Ev(EventType::kCloseRequest));
      return 0;
    case WM_DESTROY: {
      // Only a window destroyed from outside is still known here.
      auto gone = TakeSubtree(*impl, H(hwnd));
      impl->Send(H(hwnd), Ev(EventType::kDestroyed));
      FreeAll(gone);
      return 0;
    }
    case WM_ERASEBKGND: {
      RECT r;
      GetClientRect(hwnd, &r);
      FillRect(reinterpret_cast<HDC>(wp), &r, n->back_brush ? n->back_brush : GetSysColorBrush(COLOR_BTNFACE));
      return 1;
    }
    case WM_PRINTCLIENT:
      PaintBackground(*n, reinterpret_cast<HDC>(wp));
      return 0;
    case WM_PAINT: {
      PAINTSTRUCT ps;
      HDC dc = BeginPaint(hwnd, &ps);
      if (!n->pictures.empty() && n->pictures[0].bitmap) DrawPicture(dc, n->pictures[0], 0, 0);
      EndPaint(hwnd, &ps);
      return 0;
    }
    case WM_ACTIVATE:
      // The control that had the focus gets it back with the activation.
      if (LOWORD(wp) == WA_INACTIVE) {
        HWND f = ::GetFocus();
        if (f && f != hwnd && IsDescendant(hwnd, f)) n->saved_focus = f;
        return 0;
      }
      if (n->saved_focus && IsWindow(n->saved_focus) && IsDescendant(hwnd, n->saved_focus) &&
          !HIWORD(wp) /* not minimized */) {
        ::SetFocus(n->saved_focus);
        return 0;
      }
      break;
    case WM_SYSCOMMAND:
      if ((wp & 0xFFF0) == SC_MOVE && !n->spec.movable) return 0;
      break;
    case WM_SETCURSOR:
      if (n->cursor && LOWORD(lp) == HTCLIENT && reinterpret_cast<HWND>(wp) == hwnd) {
        ::SetCursor(n->cursor);
        return TRUE;
      }
      break;
    case WM_DROPFILES: {
      auto drop = reinterpret_cast<HDROP>(wp);
      Event e = Ev(EventType::kFilesDropped);
      UINT count = DragQueryFileA(drop, 0xFFFFFFFF, nullptr, 0);
      for (UINT i = 0; i < count; ++i) {
        UINT len = DragQueryFileA(drop, i, nullptr, 0);
        std::string path(len + 1, '\0');
        path.resize(DragQueryFileA(drop, i, path.data(), len + 1));
        if (!path.empty()) e.paths.push_back(std::move(path));
      }
      DragFinish(drop);
      if (!e.paths.empty()) impl->Send(H(hwnd), e);
      return 0;
    }
    default:
      if (ParentMessage(*impl, n, msg, wp, lp, result)) return result;
      break;
  }
  return DefWindowProcA(hwnd, msg, wp, lp);
}

// ---------------------------------------------------------------------------
// Win32Backend: loops

void Win32Backend::SetEventSink(EventSink* sink) { impl_->sink = sink; }

int Win32Backend::RunLoop() {
  Impl& impl = *impl_;
  MSG m;
  int idle = 0;
  int code = 0;
  for (;;) {
    RunIdle(impl, idle);
    BOOL r = GetMessageA(&m, nullptr, 0, 0);
    if (r == 0) {
      code = static_cast<int>(m.wParam);
      break;
    }
    if (r < 0) {
      code = -1;
      break;
    }
    impl.Dispatch(m);
    idle = 0;
  }
  impl.quit.reset();
  return code;
}

void Win32Backend::PostQuit(int code) {
  if (!impl_->quit) impl_->quit = code;
  PostQuitMessage(code);
}

void Win32Backend::PumpPending() {
  Impl& impl = *impl_;
  MSG m;
  // Messages posted while these are dispatched are served too; the bound
  // keeps a handler that posts to itself from holding the caller forever.
  for (int served = 0; served < 100000; ++served) {
    if (!PeekMessageA(&m, nullptr, 0, 0, PM_NOREMOVE) || m.message == WM_QUIT) return;
    if (!PeekMessageA(&m, nullptr, 0, 0, PM_REMOVE)) return;
    if (m.message == WM_QUIT) {
      // Left in place for the loop that owns it.
      PostQuitMessage(static_cast<int>(m.wParam));
      return;
    }
    impl.Dispatch(m);
  }
}

void Win32Backend::RunModalLoop(Handle window) {
  Impl& impl = *impl_;
  Node* n = impl.Get(window);
  if (!n || n->kind != WidgetKind::kTopWindow || impl.quit) return;
  auto entry = impl.modal.insert(impl.modal.end(), Modal{window, false});
  MSG m;
  int idle = 0;
  while (!entry->ended) {
    RunIdle(impl, idle);
    if (entry->ended) break;
    BOOL r = GetMessageA(&m, nullptr, 0, 0);
    if (r <= 0) {
      // The quit belongs to the outer loop.
      PostQuitMessage(r == 0 ? static_cast<int>(m.wParam) : -1);
      break;
    }
    impl.Dispatch(m);
    idle = 0;
  }
  impl.modal.erase(entry);
}

void Win32Backend::EndModalLoop(Handle window) {
  bool any = false;
  for (Modal& m : impl_->modal)
    if (m.window == window && !m.ended) m.ended = any = true;
  // Wakes the loop's GetMessage; an inner loop still running keeps this one
  // until it returns.
  if (any && impl_->hidden) PostMessageA(impl_->hidden, WM_NULL, 0, 0);
}

TimerId Win32Backend::StartTimer(std::uint32_t period_ms) {
  Impl& impl = *impl_;
  if (period_ms == 0) return 0;
  if (!impl.started) StartRuntimeWindow();
  if (!impl.hidden) return 0;
  TimerId id = impl.next_timer++;
  UINT_PTR t = SetTimer(impl.hidden, id, period_ms, nullptr);
  if (!t) return 0;
  impl.timers[id] = t;
  return id;
}

void Win32Backend::StopTimer(TimerId timer) {
  auto it = impl_->timers.find(timer);
  if (it == impl_->timers.end()) return;
  KillTimer(impl_->hidden, it->second);
  impl_->timers.erase(it);
}

// ---------------------------------------------------------------------------
// Win32Backend: the widget tree and geometry

Handle Win32Backend::CreateWidget(const WidgetSpec& spec) {
  Impl& impl = *impl_;
  if (!impl.started) StartRuntimeWindow();
  if (!impl.started) return kNoHandle;
  Node* parent = nullptr;
  if (spec.kind != WidgetKind::kTopWindow) {
    parent = impl.Get(spec.parent);
    if (!parent) return kNoHandle;
  }
  auto node = std::make_unique<Node>();
  Node& n = *node;
  n.kind = spec.kind;
  n.spec = spec;
  n.text_colour = spec.text_colour;
  if (auto back = ColourOf(spec.back_colour)) n.back_brush = CreateSolidBrush(*back);
  HWND hwnd = nullptr;
  if (spec.kind == WidgetKind::kTopWindow) {
    std::string cls = spec.class_name.empty() ? std::string("TidylineWindow") : spec.class_name;
    if (!EnsureWindowClass(cls)) {
      cls = "TidylineWindow";
      EnsureWindowClass(cls);
    }
    DWORD style = WS_CLIPCHILDREN, ex = 0;
    switch (spec.window_border) {
      case 0: style |= WS_POPUP; break;
      case 1: style |= WS_OVERLAPPED | WS_CAPTION | WS_THICKFRAME; break;
      case 2: style |= WS_OVERLAPPED | WS_CAPTION; break;  // fixed single frame
      default:
        style |= WS_OVERLAPPED | WS_CAPTION;
        ex |= WS_EX_TOOLWINDOW;
        break;
    }
    if (spec.window_border != 0) {
      if (spec.control_box) style |= WS_SYSMENU;
      if (spec.min_button) style |= WS_MINIMIZEBOX;
      if (spec.max_button) style |= WS_MAXIMIZEBOX;
    }
    if (spec.topmost) ex |= WS_EX_TOPMOST;
    if (spec.show_state == 2) style |= WS_MINIMIZE;
    if (spec.show_state == 3) style |= WS_MAXIMIZE;
    if (spec.disabled) style |= WS_DISABLED;
    Node* owner = spec.parent != kNoHandle ? impl.TopOf(spec.parent) : nullptr;
    hwnd = CreateWindowExA(ex, cls.c_str(), spec.text.c_str(), style, spec.rect.left, spec.rect.top,
                           spec.rect.width, spec.rect.height, owner ? owner->hwnd : nullptr, nullptr,
                           GetModuleHandleA(nullptr), nullptr);
    if (!hwnd) return kNoHandle;
    n.hwnd = hwnd;
    DragAcceptFiles(hwnd, TRUE);
    if (!spec.movable)
      if (HMENU menu = GetSystemMenu(hwnd, FALSE)) DeleteMenu(menu, SC_MOVE, MF_BYCOMMAND);
    if (!spec.icon.empty())
      if (HICON icon = IconFromBytes(spec.icon, false)) {
        SendMessageA(hwnd, WM_SETICON, ICON_BIG, reinterpret_cast<LPARAM>(icon));
        SendMessageA(hwnd, WM_SETICON, ICON_SMALL, reinterpret_cast<LPARAM>(icon));
      }
  } else {
    hwnd = MakeControl(impl, n, spec, parent->hwnd);
    if (!hwnd) {
      FreeNode(n);
      return kNoHandle;
    }
  }
  Handle h = H(hwnd);
  if (parent) {
    n.parent = spec.parent;
    parent->children.push_back(h);  // new windows go to the bottom
  }
  impl.nodes.emplace(h, std::move(node));
  return h;
}

void Win32Backend::DestroyWidget(Handle w) {
  Impl& impl = *impl_;
  Node* n = impl.Get(w);
  if (!n) return;
  HWND hwnd = n->hwnd;
  auto gone = TakeSubtree(impl, w);
  if (!impl.modal.empty() && impl.hidden) PostMessageA(impl.hidden, WM_NULL, 0, 0);
  DestroyWindow(hwnd);
  FreeAll(gone);
}

Rect Win32Backend::GetRect(Handle w) {
  Node* n = impl_->Get(w);
  if (!n) return {};
  RECT r;
  if (n->kind == WidgetKind::kTopWindow && IsIconic(n->hwnd)) {
    // A minimized window keeps the place it comes back to.
    WINDOWPLACEMENT p{};
    p.length = sizeof p;
    GetWindowPlacement(n->hwnd, &p);
    r = p.rcNormalPosition;
  } else {
    GetWindowRect(n->hwnd, &r);
    if (Node* p = impl_->Get(n->parent)) MapWindowPoints(HWND_DESKTOP, p->hwnd, reinterpret_cast<POINT*>(&r), 2);
  }
  return {r.left, r.top, r.right - r.left, r.bottom - r.top};
}

void Win32Backend::SetRect(Handle w, const Rect& r) {
  Node* n = impl_->Get(w);
  if (!n) return;
  // A drop-down list's window also holds its list's height.
  MoveWindow(n->hwnd, r.left, r.top, r.width, r.height + n->combo_drop, TRUE);
}

Handle Win32Backend::GetParent(Handle w) {
  Node* n = impl_->Get(w);
  return n ? n->parent : kNoHandle;
}

void Win32Backend::SetParent(Handle w, Handle parent) {
  Impl& impl = *impl_;
  Node* n = impl.Get(w);
  Node* p = impl.Get(parent);
  if (!n || !p || n->parent == parent || n->kind == WidgetKind::kTopWindow) return;
  for (Handle a = parent; a != kNoHandle; a = impl.Get(a) ? impl.Get(a)->parent : kNoHandle)
    if (a == w) return;  // never inside itself
  if (Node* old = impl.Get(n->parent)) std::erase(old->children, w);
  ::SetParent(n->hwnd, p->hwnd);
  n->parent = parent;
  p->children.insert(p->children.begin(), w);
}

void Win32Backend::PlaceTop(Handle w) {
  Node* n = impl_->Get(w);
  if (!n) return;
  SetWindowPos(n->hwnd, HWND_TOP, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE | SWP_NOACTIVATE);
  if (Node* p = impl_->Get(n->parent)) {
    std::erase(p->children, w);
    p->children.insert(p->children.begin(), w);
  }
}

void Win32Backend::PlaceBelow(Handle w, Handle sibling) {
  Node* n = impl_->Get(w);
  Node* s = impl_->Get(sibling);
  if (!n || !s || w == sibling || n->parent != s->parent) return;
  SetWindowPos(n->hwnd, s->hwnd, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE | SWP_NOACTIVATE);
  if (Node* p = impl_->Get(n->parent)) {
    std::erase(p->children, w);
    p->children.insert(std::find(p->children.begin(), p->children.end(), sibling) + 1, w);
  }
}

void Win32Backend::SetVisible(Handle w, bool visible) {
  Node* n = impl_->Get(w);
  if (!n) return;
  ShowWindow(n->hwnd, visible ? SW_SHOWNA : SW_HIDE);
}

bool Win32Backend::IsVisible(Handle w) {
  Node* n = impl_->Get(w);
  return n && (GetWindowLongA(n->hwnd, GWL_STYLE) & WS_VISIBLE);
}

void Win32Backend::ActivateWindow(Handle window) {
  Node* n = impl_->TopOf(window);
  if (!n) return;
  SetForegroundWindow(n->hwnd);
  SetActiveWindow(n->hwnd);
}

int Win32Backend::GetWindowState(Handle window) {
  Node* n = impl_->Get(window);
  if (!n || n->kind != WidgetKind::kTopWindow) return 0;
  return IsIconic(n->hwnd) ? 2 : IsZoomed(n->hwnd) ? 3 : 0;
}

void Win32Backend::SetWindowState(Handle window, int state) {
  Node* n = impl_->Get(window);
  if (!n || n->kind != WidgetKind::kTopWindow) return;
  bool shown = GetWindowLongA(n->hwnd, GWL_STYLE) & WS_VISIBLE;
  if (!shown) {
    // A hidden window takes the state without being shown.
    LONG style = GetWindowLongA(n->hwnd, GWL_STYLE) & ~(WS_MINIMIZE | WS_MAXIMIZE);
    if (state == 2) style |= WS_MINIMIZE;
    if (state == 3) style |= WS_MAXIMIZE;
    SetWindowLongA(n->hwnd, GWL_STYLE, style);
    return;
  }
  ShowWindow(n->hwnd, state == 2 ? SW_MINIMIZE : state == 3 ? SW_MAXIMIZE : SW_RESTORE);
}

void Win32Backend::SetEnabled(Handle w, bool enabled) {
  Node* n = impl_->Get(w);
  if (n) EnableWindow(n->hwnd, enabled);
}

bool Win32Backend::IsEnabled(Handle w) {
  Node* n = impl_->Get(w);
  return n && IsWindowEnabled(n->hwnd);
}

Handle Win32Backend::GetFocus() {
  Node* n = impl_->Owner(::GetFocus());
  return n ? H(n->hwnd) : kNoHandle;
}

void Win32Backend::SetFocus(Handle w) {
  Node* n = impl_->Get(w);
  if (!n) return;
  // A radio button that takes the focus reports a click; this one is ours.
  n->quiet = true;
  ::SetFocus(n->hwnd);
  if ((n = impl_->Get(w))) n->quiet = false;
}

Size Win32Backend::ScreenSize() { return {GetSystemMetrics(SM_CXSCREEN), GetSystemMetrics(SM_CYSCREEN)}; }

}  // namespace tl::platform::win32
