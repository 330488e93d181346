// The control kinds: the system's controls (STATIC, BUTTON, COMBOBOX, EDIT,
// the progress bar) and the runtime's own child windows (picture box,
// picture button, hyperlink, transparent label), their looks and state.
#include <algorithm>
#include <cstring>

#include "runtime/platform/win32/win32_internal.h"

namespace tl::platform::win32 {
namespace {

// Room below a drop-down list's field for its list.
constexpr int kComboListHeight = 200;

DWORD BorderExStyle(int border) {
  switch (border) {
    case 1: return WS_EX_CLIENTEDGE;
    case 2: return WS_EX_DLGMODALFRAME;
    case 3: return WS_EX_STATICEDGE;
    case 4: return WS_EX_CLIENTEDGE | WS_EX_DLGMODALFRAME;
    default: return 0;
  }
}

DWORD ButtonAlign(const WidgetSpec& s) {
  DWORD style = s.h_align == 1 ? BS_CENTER : s.h_align == 2 ? BS_RIGHT : BS_LEFT;
  style |= s.v_align == 0 ? BS_TOP : s.v_align == 2 ? BS_BOTTOM : BS_VCENTER;
  return style;
}

HFONT FontOf(const Node& n) {
  return n.font ? n.font : static_cast<HFONT>(GetStockObject(DEFAULT_GUI_FONT));
}

COLORREF TextColourOf(const Node& n, int fallback) {
  auto c = ColourOf(n.text_colour);
  return c ? *c : GetSysColor(fallback);
}

// The runtime's own controls paint into a memory bitmap first: the banner
// moves a picture every 20 ms.
void PaintChild(Node& n, HDC target) {
  RECT r;
  GetClientRect(n.hwnd, &r);
  int w = std::max(1L, r.right), h = std::max(1L, r.bottom);
  HDC dc = CreateCompatibleDC(target);
  HBITMAP bmp = CreateCompatibleBitmap(target, w, h);
  HGDIOBJ old_bmp = SelectObject(dc, bmp);
  switch (n.kind) {
    case WidgetKind::kTransLabel: {
      // What lies below: the parent paints itself into our bitmap.
      HWND parent = ::GetParent(n.hwnd);
      POINT at{0, 0};
      MapWindowPoints(n.hwnd, parent, &at, 1);
      SetViewportOrgEx(dc, -at.x, -at.y, nullptr);
      SendMessageA(parent, WM_PRINTCLIENT, reinterpret_cast<WPARAM>(dc), PRF_CLIENT | PRF_ERASEBKGND);
      SetViewportOrgEx(dc, 0, 0, nullptr);
      break;
    }
    case WidgetKind::kPicButton: break;
    default:
      FillRect(dc, &r, n.back_brush ? n.back_brush : GetSysColorBrush(COLOR_BTNFACE));
      break;
  }
  if (n.kind == WidgetKind::kPicBox || n.kind == WidgetKind::kPicButton) {
    std::size_t slot = n.kind == WidgetKind::kPicButton && n.pressed && n.pictures.size() > 1 &&
                               n.pictures[1].bitmap ? 1 : 0;
    if (slot < n.pictures.size() && n.pictures[slot].bitmap) DrawPicture(dc, n.pictures[slot], 0, 0);
  }
  if (n.kind == WidgetKind::kHyperLink || n.kind == WidgetKind::kTransLabel) {
    int len = GetWindowTextLengthA(n.hwnd);
    std::string text(static_cast<std::size_t>(len) + 1, '\0');
    text.resize(static_cast<std::size_t>(GetWindowTextA(n.hwnd, text.data(), len + 1)));
    HGDIOBJ old_font = SelectObject(dc, FontOf(n));
    SetBkMode(dc, TRANSPARENT);
    SetTextColor(dc, TextColourOf(n, COLOR_BTNTEXT));
    UINT format = DT_SINGLELINE | DT_VCENTER | DT_NOPREFIX;
    if (n.kind == WidgetKind::kHyperLink) format |= DT_CENTER;
    else format |= (n.spec.h_align == 1 ? DT_CENTER : n.spec.h_align == 2 ? DT_RIGHT : DT_LEFT) | DT_END_ELLIPSIS;
    RECT box = r;
    DrawTextA(dc, text.c_str(), static_cast<int>(text.size()), &box, format);
    SelectObject(dc, old_font);
  }
  BitBlt(target, 0, 0, w, h, dc, 0, 0, SRCCOPY);
  SelectObject(dc, old_bmp);
  DeleteObject(bmp);
  DeleteDC(dc);
}

bool Inside(HWND hwnd, LPARAM lp) {
  RECT r;
  GetClientRect(hwnd, &r);
  POINT p{static_cast<short>(LOWORD(lp)), static_cast<short>(HIWORD(lp))};
  if (!PtInRect(&r, p)) return false;
  // A shaped window takes clicks only on its kept pixels.
  HRGN rgn = CreateRectRgn(0, 0, 0, 0);
  bool inside = true;
  if (GetWindowRgn(hwnd, rgn) != ERROR) inside = PtInRegion(rgn, p.x, p.y);
  DeleteObject(rgn);
  return inside;
}

void Leave(Impl& impl, Node& n) {
  if (!n.hover) return;
  n.hover = false;
  impl.Send(H(n.hwnd), Ev(EventType::kMouseLeave));
}

}  // namespace

LRESULT CALLBACK ChildProc(HWND hwnd, UINT msg, WPARAM wp, LPARAM lp) {
  Impl* impl = Backend();
  Node* n = impl ? impl->Get(hwnd) : nullptr;
  if (!n) return DefWindowProcA(hwnd, msg, wp, lp);
  Handle h = H(hwnd);
  LRESULT result = 0;
  switch (msg) {
    case WM_ERASEBKGND: return 1;
    case WM_PAINT: {
      PAINTSTRUCT ps;
      HDC dc = BeginPaint(hwnd, &ps);
      PaintChild(*n, dc);
      EndPaint(hwnd, &ps);
      return 0;
    }
    case WM_PRINTCLIENT:
      PaintChild(*n, reinterpret_cast<HDC>(wp));
      return 0;
    case WM_NCHITTEST:
      // Text drawn over another control: the pointer belongs to that one.
      if (n->kind == WidgetKind::kTransLabel) return HTTRANSPARENT;
      break;
    case WM_SETCURSOR:
      if (n->cursor && LOWORD(lp) == HTCLIENT) {
        ::SetCursor(n->cursor);
        return TRUE;
      }
      break;
    case WM_LBUTTONDOWN:
    case WM_LBUTTONDBLCLK:
      if (n->kind == WidgetKind::kPicButton) {
        n->pressed = true;
        SetCapture(hwnd);
        ApplyShape(*n);
        InvalidateRect(hwnd, nullptr, FALSE);
        return 0;
      }
      if (n->kind == WidgetKind::kHyperLink) return 0;
      break;
    case WM_LBUTTONUP:
      if (n->kind == WidgetKind::kPicButton) {
        bool was = n->pressed;
        n->pressed = false;
        if (GetCapture() == hwnd) ReleaseCapture();
        ApplyShape(*n);
        InvalidateRect(hwnd, nullptr, FALSE);
        if (was && Inside(hwnd, lp)) impl->Send(h, Ev(EventType::kClick));
        return 0;
      }
      if (n->kind == WidgetKind::kHyperLink) {
        if (Inside(hwnd, lp)) impl->Send(h, Ev(EventType::kClick));
        return 0;
      }
      break;
    case WM_MOUSEMOVE:
      if (n->kind == WidgetKind::kHyperLink) {
        // Captured while the pointer is over it, so the leaving move comes
        // here too.
        bool inside = Inside(hwnd, lp);
        if (inside && !n->hover) {
          n->hover = true;
          SetCapture(hwnd);
          // Outside the program's windows no move arrives even while
          // captured: the system also reports the pointer leaving.
          TRACKMOUSEEVENT track{sizeof track, TME_LEAVE, hwnd, 0};
          TrackMouseEvent(&track);
          impl->Send(h, Ev(EventType::kMouseEnter));
        } else if (!inside && n->hover) {
          n->hover = false;
          if (GetCapture() == hwnd) ReleaseCapture();
          impl->Send(h, Ev(EventType::kMouseLeave));
        }
        return 0;
      }
      break;
    case WM_MOUSELEAVE:
      if (n->kind == WidgetKind::kHyperLink && n->hover) {
        POINT p;
        GetCursorPos(&p);
        ScreenToClient(hwnd, &p);
        if (!Inside(hwnd, MAKELPARAM(p.x, p.y))) {
          n->hover = false;
          if (GetCapture() == hwnd) ReleaseCapture();
          impl->Send(h, Ev(EventType::kMouseLeave));
        } else {
          TRACKMOUSEEVENT track{sizeof track, TME_LEAVE, hwnd, 0};
          TrackMouseEvent(&track);
        }
      }
      return 0;
    case WM_CAPTURECHANGED:
      if (n->kind == WidgetKind::kHyperLink && reinterpret_cast<HWND>(lp) != hwnd) Leave(*impl, *n);
      if (n->kind == WidgetKind::kPicButton && n->pressed) {
        n->pressed = false;
        ApplyShape(*n);
        InvalidateRect(hwnd, nullptr, FALSE);
      }
      return 0;
    default:
      if (ParentMessage(*impl, n, msg, wp, lp, result)) return result;
      break;
  }
  return DefWindowProcA(hwnd, msg, wp, lp);
}

LRESULT CALLBACK SubclassProc(HWND hwnd, UINT msg, WPARAM wp, LPARAM lp) {
  Impl* impl = Backend();
  Node* n = impl ? impl->Get(hwnd) : nullptr;
  WNDPROC native = n ? n->native_proc : reinterpret_cast<WNDPROC>(GetPropA(hwnd, "TidylineProc"));
  if (!native) return DefWindowProcW(hwnd, msg, wp, lp);
  if (!n) return CallWindowProcW(native, hwnd, msg, wp, lp);
  LRESULT result = 0;
  switch (msg) {
    case WM_SETCURSOR:
      if (n->cursor && LOWORD(lp) == HTCLIENT) {
        ::SetCursor(n->cursor);
        return TRUE;
      }
      break;
    case PBM_SETPOS:
    case PBM_SETRANGE32:
    case PBM_DELTAPOS:
    case PBM_STEPIT: {
      // Labels inside the bar draw the bar below their text again.
      result = CallWindowProcW(native, hwnd, msg, wp, lp);
      RedrawWindow(hwnd, nullptr, nullptr, RDW_INVALIDATE | RDW_ALLCHILDREN);
      return result;
    }
    default:
      if (n->kind == WidgetKind::kProgressBar && ParentMessage(*impl, n, msg, wp, lp, result)) return result;
      break;
  }
  return CallWindowProcW(native, hwnd, msg, wp, lp);
}

HWND MakeControl(Impl&, Node& n, const WidgetSpec& s, HWND parent) {
  const char* cls = kChildClass;
  DWORD style = WS_CHILD | WS_CLIPSIBLINGS, ex = 0;
  if (s.tab_stop) style |= WS_TABSTOP;
  if (s.disabled) style |= WS_DISABLED;
  int height = s.rect.height;
  std::string text = s.text;
  switch (s.kind) {
    case WidgetKind::kLabel:
      cls = "STATIC";
      style |= SS_NOTIFY | (s.h_align == 1 ? SS_CENTER : s.h_align == 2 ? SS_RIGHT : SS_LEFT);
      // One line of text sits in the middle of the box.
      if (s.v_align == 1 && text.find('\n') == std::string::npos) style |= SS_CENTERIMAGE;
      if (s.border == 5) style |= WS_BORDER;
      ex |= BorderExStyle(s.border);
      break;
    case WidgetKind::kButton:
      cls = "BUTTON";
      style |= (s.default_button ? BS_DEFPUSHBUTTON : BS_PUSHBUTTON) | BS_MULTILINE | ButtonAlign(s);
      if (s.flat) style |= BS_FLAT;
      break;
    case WidgetKind::kCheckBox:
    case WidgetKind::kRadioBox:
      cls = "BUTTON";
      // Radio buttons are not automatic: the runtime groups them.
      style |= (s.kind == WidgetKind::kCheckBox ? BS_AUTOCHECKBOX : BS_RADIOBUTTON) | ButtonAlign(s);
      if (s.push_like) style |= BS_PUSHLIKE;
      if (s.flat) style |= BS_FLAT;
      if (s.text_left) style |= BS_LEFTTEXT;
      break;
    case WidgetKind::kComboBox:
      cls = "COMBOBOX";
      style |= WS_VSCROLL | CBS_HASSTRINGS | CBS_AUTOHSCROLL |
               (s.combo_type == 0 ? CBS_SIMPLE : s.combo_type == 2 ? CBS_DROPDOWNLIST : CBS_DROPDOWN);
      if (s.sorted) style |= CBS_SORT;
      if (s.combo_type != 0) {
        n.combo_drop = kComboListHeight;
        height += kComboListHeight;
      }
      text.clear();
      break;
    case WidgetKind::kEditBox:
      cls = "EDIT";
      style |= s.h_align == 1 ? ES_CENTER : s.h_align == 2 ? ES_RIGHT : ES_LEFT;
      if (s.multi_line) {
        style |= ES_MULTILINE | ES_AUTOVSCROLL | ES_WANTRETURN;
        if (s.scroll_bars & 1) style |= WS_HSCROLL | ES_AUTOHSCROLL;
        if (s.scroll_bars & 2) style |= WS_VSCROLL;
      } else {
        style |= ES_AUTOHSCROLL;
      }
      if (s.input_mode == 1) style |= ES_READONLY;
      if (s.input_mode == 2 && !s.multi_line) style |= ES_PASSWORD;
      if (s.letter_case == 1) style |= ES_LOWERCASE;
      if (s.letter_case == 2) style |= ES_UPPERCASE;
      if (!s.hide_selection) style |= ES_NOHIDESEL;
      if (s.border == 5) style |= WS_BORDER;
      ex |= BorderExStyle(s.border);
      break;
    case WidgetKind::kProgressBar:
      cls = PROGRESS_CLASSA;
      // The status label sits inside it.
      style |= WS_CLIPCHILDREN;
      text.clear();
      break;
    case WidgetKind::kPicBox:
      style |= WS_CLIPCHILDREN;
      if (s.border == 5) style |= WS_BORDER;
      ex |= BorderExStyle(s.border);
      text.clear();
      break;
    case WidgetKind::kPicButton: text.clear(); break;
    case WidgetKind::kHyperLink:
    case WidgetKind::kTransLabel:
    case WidgetKind::kTopWindow: break;
  }
  HWND hwnd = CreateWindowExA(ex, cls, text.c_str(), style, s.rect.left, s.rect.top, s.rect.width, height, parent,
                              reinterpret_cast<HMENU>(static_cast<INT_PTR>(s.child_id)), GetModuleHandleA(nullptr),
                              nullptr);
  if (!hwnd) return nullptr;
  n.hwnd = hwnd;
  if (cls != kChildClass) {
    // Input goes to the runtime from the loop; the procedure only answers
    // for the bar's children and the cursor.
    // A Unicode procedure: characters reach the control as the system
    // translated them (a two-byte character is one character).
    n.native_proc = reinterpret_cast<WNDPROC>(GetWindowLongPtrW(hwnd, GWLP_WNDPROC));
    SetPropA(hwnd, "TidylineProc", reinterpret_cast<HANDLE>(n.native_proc));
    SetWindowLongPtrW(hwnd, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(SubclassProc));
  }
  ApplyFont(n);
  switch (s.kind) {
    case WidgetKind::kEditBox:
      // No limit unless one is stored (the system's default would cut a
      // pasted text at 32767 characters).
      SendMessageA(hwnd, EM_LIMITTEXT, static_cast<WPARAM>(std::max(0, s.max_length)), 0);
      if (s.input_mode == 2 && !s.multi_line)
        SendMessageA(hwnd, EM_SETPASSWORDCHAR, static_cast<unsigned char>(s.password_char ? s.password_char : '*'), 0);
      break;
    case WidgetKind::kComboBox:
      if (s.combo_type != 2) {
        if (s.max_length > 0) SendMessageA(hwnd, CB_LIMITTEXT, static_cast<WPARAM>(s.max_length), 0);
        n.quiet = true;
        SetWindowTextA(hwnd, s.text.c_str());
        n.quiet = false;
      }
      if (s.combo_type != 0) {
        // The field takes the stored height; the list its items' height plus
        // the stored extra.
        // Systems add margins of their own to the item height: the window's
        // height is measured after each try and the next one corrected.
        auto height_now = [hwnd] {
          RECT r;
          GetWindowRect(hwnd, &r);
          return static_cast<int>(r.bottom - r.top);
        };
        auto item = static_cast<int>(SendMessageA(hwnd, CB_GETITEMHEIGHT, static_cast<WPARAM>(-1), 0));
        int now = height_now();
        for (int round = 0; round < 3 && now != s.rect.height; ++round) {
          item = s.rect.height - (now - item);
          if (item <= 0) break;
          SendMessageA(hwnd, CB_SETITEMHEIGHT, static_cast<WPARAM>(-1), item);
          now = height_now();
        }
      }
      if (s.item_height_extra > 0) {
        auto item = static_cast<int>(SendMessageA(hwnd, CB_GETITEMHEIGHT, 0, 0));
        SendMessageA(hwnd, CB_SETITEMHEIGHT, 0, item + s.item_height_extra);
      }
      break;
    case WidgetKind::kProgressBar: SendMessageA(hwnd, PBM_SETRANGE32, 0, 100); break;
    default: break;
  }
  return hwnd;
}

void ApplyFont(Node& n) {
  if (n.spec.font.size() == sizeof(LOGFONTA)) {
    LOGFONTA lf;
    std::memcpy(&lf, n.spec.font.data(), sizeof lf);
    lf.lfFaceName[LF_FACESIZE - 1] = '\0';
    n.font = CreateFontIndirectA(&lf);
  }
  SendMessageA(n.hwnd, WM_SETFONT, reinterpret_cast<WPARAM>(FontOf(n)), FALSE);
}

void FreeNode(Node& n) {
  if (n.font) DeleteObject(n.font);
  n.font = nullptr;
  if (n.back_brush) DeleteObject(n.back_brush);
  n.back_brush = nullptr;
  for (Picture& p : n.pictures) FreePicture(p);
  n.pictures.clear();
  if (n.cursor) DestroyCursor(n.cursor);
  n.cursor = nullptr;
}

// ---------------------------------------------------------------------------
// Win32Backend: control state

void Win32Backend::SetText(Handle w, std::string_view text) {
  Node* n = impl_->Get(w);
  if (!n) return;
  std::string t(text);
  n->quiet = true;
  if (n->kind == WidgetKind::kComboBox && n->spec.combo_type == 2) {
    // A drop-down list has no text of its own: the item that matches is
    // selected.
    int count = ItemCount(w);
    for (int i = 0; i < count; ++i) {
      auto len = SendMessageA(n->hwnd, CB_GETLBTEXTLEN, static_cast<WPARAM>(i), 0);
      if (len < 0) continue;
      std::string item(static_cast<std::size_t>(len) + 1, '\0');
      item.resize(static_cast<std::size_t>(
          std::max<LRESULT>(0, SendMessageA(n->hwnd, CB_GETLBTEXT, static_cast<WPARAM>(i), reinterpret_cast<LPARAM>(item.data())))));
      if (item == t) {
        SendMessageA(n->hwnd, CB_SETCURSEL, static_cast<WPARAM>(i), 0);
        break;
      }
    }
  } else {
    SetWindowTextA(n->hwnd, t.c_str());
  }
  if ((n = impl_->Get(w))) {
    n->quiet = false;
    if (n->kind == WidgetKind::kHyperLink || n->kind == WidgetKind::kTransLabel) InvalidateRect(n->hwnd, nullptr, FALSE);
  }
}

std::string Win32Backend::GetText(Handle w) {
  Node* n = impl_->Get(w);
  if (!n) return {};
  // The length first: no fixed buffer for a box of any size.
  auto len = SendMessageA(n->hwnd, WM_GETTEXTLENGTH, 0, 0);
  if (len <= 0) return {};
  std::string out(static_cast<std::size_t>(len) + 1, '\0');
  auto got = SendMessageA(n->hwnd, WM_GETTEXT, out.size(), reinterpret_cast<LPARAM>(out.data()));
  out.resize(static_cast<std::size_t>(std::clamp<LRESULT>(got, 0, len)));
  return out;
}

void Win32Backend::SetTextColour(Handle w, std::uint32_t colour) {
  Node* n = impl_->Get(w);
  if (!n || n->text_colour == colour) return;
  n->text_colour = colour;
  InvalidateRect(n->hwnd, nullptr, TRUE);
}

void Win32Backend::SetChecked(Handle w, bool checked) {
  Node* n = impl_->Get(w);
  if (!n || (n->kind != WidgetKind::kCheckBox && n->kind != WidgetKind::kRadioBox)) return;
  SendMessageA(n->hwnd, BM_SETCHECK, checked ? BST_CHECKED : BST_UNCHECKED, 0);
}

bool Win32Backend::IsChecked(Handle w) {
  Node* n = impl_->Get(w);
  if (!n || (n->kind != WidgetKind::kCheckBox && n->kind != WidgetKind::kRadioBox)) return false;
  return SendMessageA(n->hwnd, BM_GETCHECK, 0, 0) == BST_CHECKED;
}

void Win32Backend::AddItem(Handle combo, std::string_view item) {
  Node* n = impl_->Get(combo);
  if (!n || n->kind != WidgetKind::kComboBox) return;
  std::string text(item);
  SendMessageA(n->hwnd, CB_ADDSTRING, 0, reinterpret_cast<LPARAM>(text.c_str()));
}

int Win32Backend::ItemCount(Handle combo) {
  Node* n = impl_->Get(combo);
  if (!n || n->kind != WidgetKind::kComboBox) return 0;
  return std::max(0, static_cast<int>(SendMessageA(n->hwnd, CB_GETCOUNT, 0, 0)));
}

void Win32Backend::SetSelection(Handle combo, int index) {
  Node* n = impl_->Get(combo);
  if (!n || n->kind != WidgetKind::kComboBox) return;
  if (index < 0 || index >= ItemCount(combo)) index = -1;
  SendMessageA(n->hwnd, CB_SETCURSEL, static_cast<WPARAM>(index), 0);
}

int Win32Backend::GetSelection(Handle combo) {
  Node* n = impl_->Get(combo);
  if (!n || n->kind != WidgetKind::kComboBox) return -1;
  return static_cast<int>(SendMessageA(n->hwnd, CB_GETCURSEL, 0, 0));
}

void Win32Backend::SetProgressRange(Handle bar, int minimum, int maximum) {
  Node* n = impl_->Get(bar);
  if (!n || n->kind != WidgetKind::kProgressBar) return;
  n->progress_min = minimum;
  n->progress_max = maximum;
  SendMessageA(n->hwnd, PBM_SETRANGE32, static_cast<WPARAM>(minimum), static_cast<LPARAM>(maximum));
}

void Win32Backend::SetProgressPosition(Handle bar, int position) {
  Node* n = impl_->Get(bar);
  if (!n || n->kind != WidgetKind::kProgressBar) return;
  SendMessageA(n->hwnd, PBM_SETPOS, static_cast<WPARAM>(position), 0);
}

int Win32Backend::GetProgressPosition(Handle bar) {
  Node* n = impl_->Get(bar);
  if (!n || n->kind != WidgetKind::kProgressBar) return 0;
  return static_cast<int>(SendMessageA(n->hwnd, PBM_GETPOS, 0, 0));
}

void Win32Backend::SetCursor(Handle w, std::string_view cursor) {
  Node* n = impl_->Get(w);
  if (!n) return;
  if (n->cursor) DestroyCursor(n->cursor);
  n->cursor = cursor.empty() ? nullptr : reinterpret_cast<HCURSOR>(IconFromBytes(cursor, true));
}

}  // namespace tl::platform::win32
