// The control kinds: how each is made of GTK widgets, its looks, its input
// events and its state.
#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstring>

#include "runtime/platform/gtk/gtk_internal.h"

namespace tl::platform::gtk {
namespace {

// Chinese text needs a CJK font; SimSun is rarely installed on Linux.
constexpr char kCjkFamily[] = "\"WenQuanYi Zen Hei\", \"Noto Sans CJK SC\", sans-serif";
constexpr int kDefaultGuiFontPx = 12;
// Large texts go into an edit box in pieces, the window staying live between
// (a piece takes about 20 ms to convert and insert, twice that on a busy
// machine).
constexpr std::size_t kChunkBytes = 256 * 1024;
// Between two pieces the window's events go out; the layout of the pieces
// already in (GTK's background work) gets this long and goes on after the
// last piece.
constexpr gint64 kPieceBudgetUs = 2000;
// A paste of more lines than this leaves the cursor at the start: scrolling
// to the end before GTK has laid the lines out freezes the window.
constexpr int kLargePasteLines = 5000;

struct LogFont {
  int height = 0;
  int weight = 400;
  bool italic = false, underline = false;
  std::string face;  // UTF-8
};

std::optional<LogFont> ReadLogFont(const std::string& bytes) {
  if (bytes.size() != 60) return std::nullopt;
  auto i32 = [&](std::size_t at) {
    std::uint32_t v = 0;
    for (int k = 3; k >= 0; --k) v = (v << 8) | static_cast<unsigned char>(bytes[at + k]);
    return static_cast<std::int32_t>(v);
  };
  LogFont f;
  f.height = i32(0);
  f.weight = i32(16);
  f.italic = bytes[20] != 0;
  f.underline = bytes[21] != 0;
  std::string face = bytes.substr(28, 32);
  face.resize(std::strlen(face.c_str()));
  f.face = ToUtf8Keep(face);
  return f;
}

// Font family names go into a CSS string.
std::string CssQuote(const std::string& s) {
  std::string out = "\"";
  for (char c : s)
    if (c != '"' && c != '\\' && c != '\n') out += c;
  return out + "\"";
}

void AddProviderDeep(GtkWidget* w, GtkCssProvider* css) {
  gtk_style_context_add_provider(gtk_widget_get_style_context(w), GTK_STYLE_PROVIDER(css),
                                 GTK_STYLE_PROVIDER_PRIORITY_APPLICATION + 1);
  if (GTK_IS_CONTAINER(w))
    gtk_container_forall(
        GTK_CONTAINER(w), [](GtkWidget* child, gpointer css) { AddProviderDeep(child, GTK_CSS_PROVIDER(css)); }, css);
}

// Root coordinates of a widget's top-left corner.
void RootOrigin(GtkWidget* w, int& x, int& y) {
  x = y = 0;
  GdkWindow* gw = gtk_widget_get_window(w);
  if (!gw) return;
  gdk_window_get_origin(gw, &x, &y);
  if (!gtk_widget_get_has_window(w)) {
    GtkAllocation a;
    gtk_widget_get_allocation(w, &a);
    x += a.x;
    y += a.y;
  }
}

Node* NodeOf(gpointer data) {
  Impl* impl = Backend();
  return impl ? impl->Get(FromData(data)) : nullptr;
}

void Position(Node& n, double x_root, double y_root, Event& e) {
  int ox, oy;
  RootOrigin(n.outer, ox, oy);
  e.x = static_cast<int>(std::floor(x_root)) - ox;
  e.y = static_cast<int>(std::floor(y_root)) - oy;
}

bool Inside(Node& n, const Event& e) { return e.x >= 0 && e.y >= 0 && e.x < n.rect.width && e.y < n.rect.height; }

gboolean OnButton(GtkWidget*, GdkEventButton* b, gpointer data) {
  Node* n = NodeOf(data);
  if (!n || b->type == GDK_3BUTTON_PRESS) return FALSE;
  Handle h = FromData(data);
  Event e = Ev(b->type == GDK_2BUTTON_PRESS     ? EventType::kDoubleClick
          : b->type == GDK_BUTTON_RELEASE ? EventType::kMouseUp
                                           : EventType::kMouseDown);
  e.button = b->button == 1 ? 1 : b->button == 3 ? 2 : b->button == 2 ? 3 : static_cast<int>(b->button);
  e.key_state = KeyStateOf(b->state);
  Position(*n, b->x_root, b->y_root, e);
  bool picture = n->kind == WidgetKind::kPicButton;
  bool clicks_itself = picture || n->kind == WidgetKind::kHyperLink;
  if (picture && e.button == 1 && e.type != EventType::kMouseUp) {
    n->pressed = true;
    ShowPicture(*n);
  }
  bool was_pressed = n->pressed;
  if (picture && e.type == EventType::kMouseUp && e.button == 1) {
    n->pressed = false;
    ShowPicture(*n);
  }
  EventReply r = Backend()->Send(h, e);
  if (clicks_itself && e.type == EventType::kMouseUp && e.button == 1 && Backend()->Get(h) && Inside(*n, e) &&
      (!picture || was_pressed))
    Backend()->Send(h, Ev(EventType::kClick));
  return !r.default_action;
}

gboolean OnMotion(GtkWidget*, GdkEventMotion* m, gpointer data) {
  Node* n = NodeOf(data);
  if (!n) return FALSE;
  Event e = Ev(EventType::kMouseMove);
  e.key_state = KeyStateOf(m->state);
  Position(*n, m->x_root, m->y_root, e);
  Backend()->Send(FromData(data), e);
  return FALSE;
}

gboolean OnCrossing(GtkWidget*, GdkEventCrossing* c, gpointer data) {
  if (!NodeOf(data) || c->detail == GDK_NOTIFY_INFERIOR) return FALSE;
  Backend()->Send(FromData(data), Ev(c->type == GDK_ENTER_NOTIFY ? EventType::kMouseEnter : EventType::kMouseLeave));
  return FALSE;
}

gboolean OnScroll(GtkWidget*, GdkEventScroll* s, gpointer data) {
  if (!NodeOf(data)) return FALSE;
  Event e = Ev(EventType::kWheel);
  switch (s->direction) {
    case GDK_SCROLL_UP: e.wheel_delta = 120; break;
    case GDK_SCROLL_DOWN: e.wheel_delta = -120; break;
    case GDK_SCROLL_SMOOTH: e.wheel_delta = static_cast<int>(-s->delta_y * 120); break;
    default: return FALSE;
  }
  if (e.wheel_delta == 0) return FALSE;
  e.key_state = KeyStateOf(s->state);
  return !Backend()->Send(FromData(data), e).default_action;
}

// The character of a key as the program's code: one byte, or lead and
// trail byte of a two-byte character; 0 when there is none.
int CharCodeOf(guint keyval) {
  gunichar u = gdk_keyval_to_unicode(keyval);
  if (u == 0 || u == 0x7F) return 0;
  if (u < 0x80) return static_cast<int>(u);
  char utf8[8];
  int len = g_unichar_to_utf8(u, utf8);
  std::string gbk = FromUtf8Keep(std::string_view(utf8, static_cast<std::size_t>(len)));
  if (gbk.size() == 2) return (static_cast<unsigned char>(gbk[0]) << 8) | static_cast<unsigned char>(gbk[1]);
  return '?';  // outside the two-byte range, as the ANSI functions report it
}

gboolean OnKey(GtkWidget*, GdkEventKey* k, gpointer data) {
  Node* n = NodeOf(data);
  if (!n) return FALSE;
  Handle h = FromData(data);
  bool press = k->type == GDK_KEY_PRESS;
  Event e = Ev(press ? EventType::kKeyDown : EventType::kKeyUp);
  e.key = VirtualKeyOf(k->keyval);
  e.key_state = KeyStateOf(k->state);
  bool keep = true;
  if (e.key != 0) keep = Backend()->Send(h, e).default_action;
  if (press && keep && Backend()->Get(h) && !(e.key_state & 5)) {
    if (int code = CharCodeOf(k->keyval)) {
      Event c = Ev(EventType::kChar);
      c.key = code;
      keep = Backend()->Send(h, c).default_action;
    }
  }
  return !keep;
}

void OnClicked(GtkButton*, gpointer data) {
  Node* n = NodeOf(data);
  if (!n || n->quiet) return;
  Backend()->Send(FromData(data), Ev(EventType::kClick));
}

// Letter case of a single-line box: typed and pasted letters are changed
// before they go in, as the Windows edit styles do.
void OnEntryInsert(GtkEditable* editable, gchar* text, gint length, gint* position, gpointer data) {
  Node* n = NodeOf(data);
  if (!n || n->spec.letter_case == 0) return;
  gchar* changed = n->spec.letter_case == 1 ? g_utf8_strdown(text, length) : g_utf8_strup(text, length);
  if (std::strcmp(changed, std::string(text, length < 0 ? std::strlen(text) : static_cast<std::size_t>(length)).c_str()) != 0) {
    g_signal_handlers_block_by_func(editable, reinterpret_cast<gpointer>(OnEntryInsert), data);
    gtk_editable_insert_text(editable, changed, -1, position);
    g_signal_handlers_unblock_by_func(editable, reinterpret_cast<gpointer>(OnEntryInsert), data);
    g_signal_stop_emission_by_name(editable, "insert-text");
  }
  g_free(changed);
}

void OnEntryChanged(GtkEditable*, gpointer data) {
  Node* n = NodeOf(data);
  if (!n || n->quiet) return;
  Backend()->Send(FromData(data), Ev(EventType::kTextChanged));
}

void OnBufferChanged(GtkTextBuffer*, gpointer data) {
  Node* n = NodeOf(data);
  if (!n) return;
  // Any change but our own: the buffer no longer holds the text we set.
  if (!n->writing) {
    n->set_text_valid = false;
    n->set_text.clear();
  }
  if (n->quiet) return;
  Backend()->Send(FromData(data), Ev(EventType::kTextChanged));
}

// Ctrl+V and the box's Paste menu (below SetEditText).
void OnPasteClipboard(GtkTextView* view, gpointer data);

void OnPasteDone(GtkTextBuffer* buffer, GtkClipboard*, gpointer) {
  if (gtk_text_buffer_get_line_count(buffer) <= kLargePasteLines) return;
  GtkTextIter start;
  gtk_text_buffer_get_start_iter(buffer, &start);
  gtk_text_buffer_place_cursor(buffer, &start);
}

void OnComboChanged(GtkComboBox* combo, gpointer data) {
  Node* n = NodeOf(data);
  if (!n || n->quiet || gtk_combo_box_get_active(combo) < 0) return;
  Backend()->Send(FromData(data), Ev(EventType::kSelectionChanged));
}

// Border styles of labels and picture boxes, drawn over the content as the
// Windows edges are.
gboolean DrawBorder(GtkWidget* w, cairo_t* cr, gpointer data) {
  Node* n = NodeOf(data);
  if (!n || n->spec.border == 0) return FALSE;
  double wd = gtk_widget_get_allocated_width(w), ht = gtk_widget_get_allocated_height(w);
  auto line = [&](double x0, double y0, double x1, double y1, double r, double g, double b) {
    cairo_set_source_rgb(cr, r, g, b);
    cairo_move_to(cr, x0, y0);
    cairo_line_to(cr, x1, y1);
    cairo_stroke(cr);
  };
  cairo_set_line_width(cr, 1);
  const double grey = 160 / 255.0, dark = 105 / 255.0;
  auto edge = [&](double inset, double tl, double br) {
    line(inset, ht - inset - 0.5, inset, inset + 0.5 - 0.5, tl, tl, tl);
    line(inset, inset + 0.5, wd - inset, inset + 0.5, tl, tl, tl);
    line(wd - inset - 0.5, inset, wd - inset - 0.5, ht - inset, br, br, br);
    line(inset, ht - inset - 0.5, wd - inset, ht - inset - 0.5, br, br, br);
  };
  switch (n->spec.border) {
    case 3: edge(0, grey, 1.0); break;                  // thin static edge
    case 5: edge(0, 0, 0); break;                       // single line
    case 2: edge(0, 1.0, dark); edge(1, 0.9, grey); break;  // raised
    default: edge(0, grey, 1.0); edge(1, dark, 0.9); break; // sunken
  }
  return FALSE;
}

// Container background: colour, then picture at the top-left corner.
gboolean DrawBackground(GtkWidget* w, cairo_t* cr, gpointer data) {
  Node* n = NodeOf(data);
  if (!n) return FALSE;
  std::uint32_t c = n->spec.back_colour;
  if (c != kDefaultColour && !(c & kSystemColour)) {
    cairo_set_source_rgb(cr, (c & 0xFF) / 255.0, ((c >> 8) & 0xFF) / 255.0, ((c >> 16) & 0xFF) / 255.0);
    cairo_rectangle(cr, 0, 0, gtk_widget_get_allocated_width(w), gtk_widget_get_allocated_height(w));
    cairo_fill(cr);
  }
  if (!n->pictures.empty() && n->pictures[0] && n->kind != WidgetKind::kPicButton) {
    gdk_cairo_set_source_pixbuf(cr, n->pictures[0], 0, 0);
    cairo_paint(cr);
  }
  return FALSE;
}

GtkWidget* InEventBox(Node& n, GtkWidget* child) {
  GtkWidget* box = gtk_event_box_new();
  gtk_container_add(GTK_CONTAINER(box), child);
  gtk_widget_show(child);
  n.outer = box;
  n.inner = child;
  return box;
}

void SetCaption(Node& n) {
  std::string shown = ToUtf8(n.text);
  switch (n.kind) {
    case WidgetKind::kLabel:
      gtk_label_set_markup(GTK_LABEL(n.inner), CaptionMarkup(shown).c_str());
      break;
    case WidgetKind::kTransLabel:
    case WidgetKind::kHyperLink: gtk_label_set_text(GTK_LABEL(n.inner), shown.c_str()); break;
    case WidgetKind::kButton:
    case WidgetKind::kCheckBox:
    case WidgetKind::kRadioBox: {
      gtk_button_set_label(GTK_BUTTON(n.inner), shown.c_str());
      if (GtkWidget* label = gtk_bin_get_child(GTK_BIN(n.inner)); label && GTK_IS_LABEL(label)) {
        gtk_label_set_markup(GTK_LABEL(label), CaptionMarkup(shown).c_str());
        float x = n.spec.h_align == 1 ? 0.5f : n.spec.h_align == 2 ? 1.0f : 0.0f;
        gtk_label_set_xalign(GTK_LABEL(label), x);
        gtk_label_set_yalign(GTK_LABEL(label), n.spec.v_align == 0 ? 0.0f : n.spec.v_align == 2 ? 1.0f : 0.5f);
        gtk_label_set_justify(GTK_LABEL(label), n.spec.h_align == 1 ? GTK_JUSTIFY_CENTER : GTK_JUSTIFY_LEFT);
      }
      if (n.css) AddProviderDeep(n.inner, n.css);
      break;
    }
    default: break;
  }
}

float Align(int a) { return a == 1 ? 0.5f : a == 2 ? 1.0f : 0.0f; }

}  // namespace

std::string CssColour(std::uint32_t c) {
  if (c == kDefaultColour || (c & kSystemColour)) return {};
  char buf[16];
  std::snprintf(buf, sizeof buf, "#%02x%02x%02x", c & 0xFF, (c >> 8) & 0xFF, (c >> 16) & 0xFF);
  return buf;
}

int VirtualKeyOf(guint keyval) {
  guint k = gdk_keyval_to_upper(keyval);
  if ((k >= 'A' && k <= 'Z') || (k >= '0' && k <= '9')) return static_cast<int>(k);
  if (k >= GDK_KEY_F1 && k <= GDK_KEY_F24) return 0x70 + static_cast<int>(k - GDK_KEY_F1);
  if (k >= GDK_KEY_KP_0 && k <= GDK_KEY_KP_9) return 0x60 + static_cast<int>(k - GDK_KEY_KP_0);
  switch (k) {
    case GDK_KEY_BackSpace: return 0x08;
    case GDK_KEY_Tab:
    case GDK_KEY_ISO_Left_Tab: return 0x09;
    case GDK_KEY_Return:
    case GDK_KEY_KP_Enter: return 0x0D;
    case GDK_KEY_Shift_L:
    case GDK_KEY_Shift_R: return 0x10;
    case GDK_KEY_Control_L:
    case GDK_KEY_Control_R: return 0x11;
    case GDK_KEY_Alt_L:
    case GDK_KEY_Alt_R: return 0x12;
    case GDK_KEY_Pause: return 0x13;
    case GDK_KEY_Caps_Lock: return 0x14;
    case GDK_KEY_Escape: return 0x1B;
    case GDK_KEY_space: return 0x20;
    case GDK_KEY_Page_Up: return 0x21;
    case GDK_KEY_Page_Down: return 0x22;
    case GDK_KEY_End: return 0x23;
    case GDK_KEY_Home: return 0x24;
    case GDK_KEY_Left: return 0x25;
    case GDK_KEY_Up: return 0x26;
    case GDK_KEY_Right: return 0x27;
    case GDK_KEY_Down: return 0x28;
    case GDK_KEY_Insert: return 0x2D;
    case GDK_KEY_Delete: return 0x2E;
    case GDK_KEY_KP_Multiply: return 0x6A;
    case GDK_KEY_KP_Add: return 0x6B;
    case GDK_KEY_KP_Subtract: return 0x6D;
    case GDK_KEY_KP_Decimal: return 0x6E;
    case GDK_KEY_KP_Divide: return 0x6F;
    case GDK_KEY_semicolon: case GDK_KEY_colon: return 0xBA;
    case GDK_KEY_equal: case GDK_KEY_plus: return 0xBB;
    case GDK_KEY_comma: case GDK_KEY_less: return 0xBC;
    case GDK_KEY_minus: case GDK_KEY_underscore: return 0xBD;
    case GDK_KEY_period: case GDK_KEY_greater: return 0xBE;
    case GDK_KEY_slash: case GDK_KEY_question: return 0xBF;
    default: return 0;
  }
}

int KeyStateOf(guint state) {
  return ((state & GDK_CONTROL_MASK) ? 1 : 0) | ((state & GDK_SHIFT_MASK) ? 2 : 0) | ((state & GDK_MOD1_MASK) ? 4 : 0);
}

void InstallProgramStyle() {
  static bool done = false;
  GdkScreen* screen = gdk_screen_get_default();
  if (done || !screen) return;
  done = true;
  // Windows controls are compact: the theme's paddings and minimum heights
  // would push text out of 23-pixel boxes.
  std::string css = std::string("* { font-family: ") + kCjkFamily + "; font-size: " +
                    std::to_string(kDefaultGuiFontPx) + "px; }\n" +
                    "button { padding: 0 4px; min-height: 0; min-width: 0; }\n"
                    "entry { min-height: 0; padding: 0 3px; }\n"
                    "combobox button, combobox entry { min-height: 0; padding-top: 0; padding-bottom: 0; }\n"
                    "combobox button.combo { padding-left: 4px; padding-right: 2px; }\n"
                    "checkbutton, radiobutton { padding: 0; min-height: 0; }\n"
                    "checkbutton check, radiobutton radio { margin: 0 4px 0 2px; }\n"
                    "progressbar trough, progressbar progress { min-height: 0; }\n"
                    "scrolledwindow { min-height: 0; min-width: 0; }\n";
  GtkCssProvider* provider = gtk_css_provider_new();
  gtk_css_provider_load_from_data(provider, css.c_str(), -1, nullptr);
  gtk_style_context_add_provider_for_screen(screen, GTK_STYLE_PROVIDER(provider),
                                            GTK_STYLE_PROVIDER_PRIORITY_APPLICATION);
  g_object_unref(provider);
}

void ApplyStyle(Node& n) {
  std::string rules;
  if (auto f = ReadLogFont(n.spec.font)) {
    rules += "font-family: ";
    if (!f->face.empty()) rules += CssQuote(f->face) + ", ";
    rules += kCjkFamily;
    rules += "; ";
    if (f->height != 0) rules += "font-size: " + std::to_string(std::abs(f->height)) + "px; ";
    rules += "font-weight: " + std::to_string(std::clamp(f->weight == 0 ? 400 : f->weight, 100, 900)) + "; ";
    if (f->italic) rules += "font-style: italic; ";
  }
  std::string colour = CssColour(n.text_colour);
  if (!colour.empty()) rules += "color: " + colour + "; ";
  std::string back = CssColour(n.spec.back_colour);
  bool paints_back = n.kind == WidgetKind::kLabel || n.kind == WidgetKind::kHyperLink ||
                     n.kind == WidgetKind::kEditBox || n.kind == WidgetKind::kCheckBox ||
                     n.kind == WidgetKind::kRadioBox || n.kind == WidgetKind::kTopWindow;
  std::string css = "* { " + rules + "}\n";
  if (paints_back && !back.empty()) {
    if (n.kind == WidgetKind::kEditBox) css += "text, entry { background-color: " + back + "; background-image: none; }\n";
    else css += "* { background-color: " + back + "; background-image: none; }\n";
  }
  if (n.kind == WidgetKind::kProgressBar) {
    int h = std::max(0, n.rect.height - 2);
    css += "trough, progress { min-height: " + std::to_string(h) + "px; }\n";
  }
  if (n.kind == WidgetKind::kHyperLink && n.spec.font.size() == 60 && n.spec.font[21]) css += "* { text-decoration-line: underline; }\n";
  if (!n.css) n.css = gtk_css_provider_new();
  gtk_css_provider_load_from_data(n.css, css.c_str(), -1, nullptr);
  AddProviderDeep(n.outer, n.css);
}

void ShowPicture(Node& n) {
  if (n.kind == WidgetKind::kPicButton) {
    GdkPixbuf* shown = n.pictures.empty() ? nullptr : n.pictures[0];
    if (n.pressed && n.pictures.size() > 1 && n.pictures[1]) shown = n.pictures[1];
    gtk_image_set_from_pixbuf(GTK_IMAGE(n.inner), shown);
    if (n.transparent == kDefaultColour || !shown) {
      gtk_widget_shape_combine_region(n.outer, nullptr);
      gtk_widget_input_shape_combine_region(n.outer, nullptr);
      return;
    }
    // The window keeps only the pixels that differ from the transparent
    // colour (and are not transparent in the image itself).
    int w = gdk_pixbuf_get_width(shown), h = gdk_pixbuf_get_height(shown);
    int channels = gdk_pixbuf_get_n_channels(shown), stride = gdk_pixbuf_get_rowstride(shown);
    bool alpha = gdk_pixbuf_get_has_alpha(shown);
    const guchar* px = gdk_pixbuf_read_pixels(shown);
    guchar tr = n.transparent & 0xFF, tg = (n.transparent >> 8) & 0xFF, tb = (n.transparent >> 16) & 0xFF;
    cairo_region_t* region = cairo_region_create();
    for (int y = 0; y < h; ++y) {
      const guchar* row = px + static_cast<std::ptrdiff_t>(y) * stride;
      int run = -1;
      for (int x = 0; x <= w; ++x) {
        bool keep = false;
        if (x < w) {
          const guchar* p = row + static_cast<std::ptrdiff_t>(x) * channels;
          keep = alpha ? p[3] != 0 : !(p[0] == tr && p[1] == tg && p[2] == tb);
        }
        if (keep && run < 0) run = x;
        if (!keep && run >= 0) {
          cairo_rectangle_int_t r{run, y, x - run, 1};
          cairo_region_union_rectangle(region, &r);
          run = -1;
        }
      }
    }
    gtk_widget_shape_combine_region(n.outer, region);
    gtk_widget_input_shape_combine_region(n.outer, region);
    cairo_region_destroy(region);
    return;
  }
  if (n.kind == WidgetKind::kButton || n.kind == WidgetKind::kCheckBox || n.kind == WidgetKind::kRadioBox) {
    if (!n.pictures.empty() && n.pictures[0]) {
      gtk_button_set_image(GTK_BUTTON(n.inner), gtk_image_new_from_pixbuf(n.pictures[0]));
      gtk_button_set_always_show_image(GTK_BUTTON(n.inner), TRUE);
    }
    return;
  }
  gtk_widget_queue_draw(n.outer);
}

void ConnectInput(Impl&, Node& n, GtkWidget* t) {
  gpointer h = AsData(HandleOf(n.outer));
  gtk_widget_add_events(t, GDK_BUTTON_PRESS_MASK | GDK_BUTTON_RELEASE_MASK | GDK_POINTER_MOTION_MASK |
                               GDK_SCROLL_MASK | GDK_ENTER_NOTIFY_MASK | GDK_LEAVE_NOTIFY_MASK | GDK_KEY_PRESS_MASK |
                               GDK_KEY_RELEASE_MASK);
  g_signal_connect(t, "button-press-event", G_CALLBACK(OnButton), h);
  g_signal_connect(t, "button-release-event", G_CALLBACK(OnButton), h);
  g_signal_connect(t, "motion-notify-event", G_CALLBACK(OnMotion), h);
  g_signal_connect(t, "enter-notify-event", G_CALLBACK(OnCrossing), h);
  g_signal_connect(t, "leave-notify-event", G_CALLBACK(OnCrossing), h);
  g_signal_connect(t, "scroll-event", G_CALLBACK(OnScroll), h);
  g_signal_connect(t, "key-press-event", G_CALLBACK(OnKey), h);
  g_signal_connect(t, "key-release-event", G_CALLBACK(OnKey), h);
}

GtkWidget* MakeControl(Impl& impl, Node& n, const WidgetSpec& s) {
  switch (s.kind) {
    case WidgetKind::kLabel: {
      GtkWidget* label = gtk_label_new(nullptr);
      InEventBox(n, label);
      // Static text wraps at the control's width, as on Windows.
      gtk_label_set_line_wrap(GTK_LABEL(label), TRUE);
      gtk_label_set_line_wrap_mode(GTK_LABEL(label), PANGO_WRAP_WORD_CHAR);
      gtk_label_set_xalign(GTK_LABEL(label), Align(s.h_align));
      gtk_label_set_yalign(GTK_LABEL(label), Align(s.v_align));
      g_signal_connect_after(n.outer, "draw", G_CALLBACK(DrawBorder), AsData(HandleOf(n.outer)));
      ConnectInput(impl, n, n.outer);
      break;
    }
    case WidgetKind::kTransLabel: {
      GtkWidget* label = gtk_label_new(nullptr);
      n.outer = n.inner = label;
      gtk_label_set_xalign(GTK_LABEL(label), Align(s.h_align));
      gtk_label_set_yalign(GTK_LABEL(label), 0.5f);
      gtk_label_set_ellipsize(GTK_LABEL(label), PANGO_ELLIPSIZE_END);
      break;
    }
    case WidgetKind::kHyperLink: {
      GtkWidget* label = gtk_label_new(nullptr);
      InEventBox(n, label);
      gtk_label_set_xalign(GTK_LABEL(label), 0.5f);
      gtk_label_set_yalign(GTK_LABEL(label), 0.5f);
      ConnectInput(impl, n, n.outer);
      GdkCursor* hand = gdk_cursor_new_from_name(gdk_display_get_default(), "pointer");
      g_signal_connect_data(
          n.outer, "realize",
          G_CALLBACK(+[](GtkWidget* w, gpointer cursor) {
            gdk_window_set_cursor(gtk_widget_get_window(w), GDK_CURSOR(cursor));
          }),
          hand, [](gpointer cursor, GClosure*) { if (cursor) g_object_unref(cursor); }, GConnectFlags(0));
      break;
    }
    case WidgetKind::kPicBox: {
      GtkWidget* layout = gtk_layout_new(nullptr, nullptr);
      n.outer = n.inner = n.container = layout;
      g_signal_connect(layout, "draw", G_CALLBACK(DrawBackground), AsData(HandleOf(layout)));
      g_signal_connect_after(layout, "draw", G_CALLBACK(DrawBorder), AsData(HandleOf(layout)));
      ConnectInput(impl, n, layout);
      break;
    }
    case WidgetKind::kPicButton: {
      GtkWidget* image = gtk_image_new();
      InEventBox(n, image);
      gtk_widget_set_halign(image, GTK_ALIGN_START);
      gtk_widget_set_valign(image, GTK_ALIGN_START);
      ConnectInput(impl, n, n.outer);
      break;
    }
    case WidgetKind::kButton: {
      GtkWidget* b = gtk_button_new_with_label("");
      n.outer = n.inner = b;
      if (s.flat) gtk_button_set_relief(GTK_BUTTON(b), GTK_RELIEF_NONE);
      if (s.default_button) gtk_widget_set_can_default(b, TRUE);
      g_signal_connect(b, "clicked", G_CALLBACK(OnClicked), AsData(HandleOf(b)));
      ConnectInput(impl, n, b);
      break;
    }
    case WidgetKind::kCheckBox: {
      GtkWidget* b = s.push_like ? gtk_toggle_button_new_with_label("") : gtk_check_button_new_with_label("");
      n.outer = n.inner = b;
      g_signal_connect(b, "clicked", G_CALLBACK(OnClicked), AsData(HandleOf(b)));
      ConnectInput(impl, n, b);
      break;
    }
    case WidgetKind::kRadioBox: {
      // Each radio button is grouped only with a hidden partner, so the
      // runtime alone decides which one of a group is on.
      GtkWidget* b = gtk_radio_button_new_with_label(nullptr, "");
      n.outer = n.inner = b;
      n.radio_off = gtk_radio_button_new_from_widget(GTK_RADIO_BUTTON(b));
      g_object_ref_sink(n.radio_off);
      gtk_toggle_button_set_active(GTK_TOGGLE_BUTTON(n.radio_off), TRUE);
      if (s.push_like) gtk_toggle_button_set_mode(GTK_TOGGLE_BUTTON(b), FALSE);
      g_signal_connect(b, "clicked", G_CALLBACK(OnClicked), AsData(HandleOf(b)));
      ConnectInput(impl, n, b);
      break;
    }
    case WidgetKind::kComboBox: {
      GtkWidget* c = s.combo_type == 2 ? gtk_combo_box_text_new() : gtk_combo_box_text_new_with_entry();
      n.outer = n.inner = c;
      g_signal_connect(c, "changed", G_CALLBACK(OnComboChanged), AsData(HandleOf(c)));
      ConnectInput(impl, n, c);
      if (s.combo_type != 2) {
        GtkWidget* entry = gtk_bin_get_child(GTK_BIN(c));
        if (s.max_length > 0) gtk_entry_set_max_length(GTK_ENTRY(entry), s.max_length);
        n.quiet = true;
        gtk_entry_set_text(GTK_ENTRY(entry), ToUtf8(s.text).c_str());
        n.quiet = false;
        ConnectInput(impl, n, entry);
      }
      break;
    }
    case WidgetKind::kEditBox: {
      if (!s.multi_line) {
        GtkWidget* e = gtk_entry_new();
        n.outer = n.inner = e;
        gtk_entry_set_alignment(GTK_ENTRY(e), Align(s.h_align));
        gtk_entry_set_has_frame(GTK_ENTRY(e), s.border != 0);
        gtk_entry_set_activates_default(GTK_ENTRY(e), TRUE);
        gtk_entry_set_width_chars(GTK_ENTRY(e), 1);
        if (s.max_length > 0) gtk_entry_set_max_length(GTK_ENTRY(e), s.max_length);
        if (s.input_mode == 1) gtk_editable_set_editable(GTK_EDITABLE(e), FALSE);
        if (s.input_mode == 2) {
          gtk_entry_set_visibility(GTK_ENTRY(e), FALSE);
          gtk_entry_set_invisible_char(GTK_ENTRY(e), static_cast<unsigned char>(s.password_char ? s.password_char : '*'));
        }
        gtk_entry_set_text(GTK_ENTRY(e), ToUtf8(s.text).c_str());
        g_signal_connect(e, "changed", G_CALLBACK(OnEntryChanged), AsData(HandleOf(e)));
        g_signal_connect(e, "insert-text", G_CALLBACK(OnEntryInsert), AsData(HandleOf(e)));
        ConnectInput(impl, n, e);
        EnableDrop(impl, HandleOf(e), e);
        break;
      }
      GtkWidget* scroll = gtk_scrolled_window_new(nullptr, nullptr);
      // The buffer's paste-done handler must run before the view's own one,
      // which scrolls to the cursor.
      GtkTextBuffer* buffer = gtk_text_buffer_new(nullptr);
      g_signal_connect(buffer, "paste-done", G_CALLBACK(OnPasteDone), nullptr);
      GtkWidget* view = gtk_text_view_new_with_buffer(buffer);
      g_object_unref(buffer);
      gtk_container_add(GTK_CONTAINER(scroll), view);
      gtk_widget_show(view);
      n.outer = scroll;
      n.inner = view;
      bool h_bar = s.scroll_bars & 1, v_bar = s.scroll_bars & 2;
      gtk_scrolled_window_set_policy(GTK_SCROLLED_WINDOW(scroll), h_bar ? GTK_POLICY_ALWAYS : GTK_POLICY_EXTERNAL,
                                     v_bar ? GTK_POLICY_ALWAYS : GTK_POLICY_EXTERNAL);
      gtk_scrolled_window_set_overlay_scrolling(GTK_SCROLLED_WINDOW(scroll), FALSE);
      gtk_scrolled_window_set_shadow_type(GTK_SCROLLED_WINDOW(scroll), s.border ? GTK_SHADOW_IN : GTK_SHADOW_NONE);
      // With a horizontal scroll bar lines are never wrapped (wrapping also
      // costs a fifth of the layout of a large text).
      gtk_text_view_set_wrap_mode(GTK_TEXT_VIEW(view), h_bar ? GTK_WRAP_NONE : GTK_WRAP_WORD_CHAR);
      gtk_text_view_set_left_margin(GTK_TEXT_VIEW(view), 2);
      gtk_text_view_set_justification(GTK_TEXT_VIEW(view), s.h_align == 1   ? GTK_JUSTIFY_CENTER
                                                           : s.h_align == 2 ? GTK_JUSTIFY_RIGHT
                                                                            : GTK_JUSTIFY_LEFT);
      if (s.input_mode == 1) gtk_text_view_set_editable(GTK_TEXT_VIEW(view), FALSE);
      g_signal_connect(buffer, "changed", G_CALLBACK(OnBufferChanged), AsData(HandleOf(scroll)));
      g_signal_connect(view, "paste-clipboard", G_CALLBACK(OnPasteClipboard), AsData(HandleOf(scroll)));
      ConnectInput(impl, n, view);
      EnableDrop(impl, HandleOf(scroll), view);
      n.quiet = true;
      std::string text = ToUtf8(s.text);
      gtk_text_buffer_set_text(buffer, text.data(), static_cast<int>(text.size()));
      GtkTextIter start;
      gtk_text_buffer_get_start_iter(buffer, &start);
      gtk_text_buffer_place_cursor(buffer, &start);
      n.quiet = false;
      break;
    }
    case WidgetKind::kProgressBar: {
      GtkWidget* overlay = gtk_overlay_new();
      GtkWidget* bar = gtk_progress_bar_new();
      gtk_widget_set_valign(bar, GTK_ALIGN_FILL);
      gtk_container_add(GTK_CONTAINER(overlay), bar);
      gtk_widget_show(bar);
      // Controls placed inside the bar (the status label) sit on top of it.
      GtkWidget* layout = gtk_layout_new(nullptr, nullptr);
      gtk_overlay_add_overlay(GTK_OVERLAY(overlay), layout);
      gtk_overlay_set_overlay_pass_through(GTK_OVERLAY(overlay), layout, TRUE);
      gtk_widget_show(layout);
      n.outer = overlay;
      n.inner = bar;
      n.container = layout;
      break;
    }
    case WidgetKind::kTopWindow: break;
  }
  // Text on the left: the box or circle goes to the right.
  if (s.text_left && (s.kind == WidgetKind::kCheckBox || s.kind == WidgetKind::kRadioBox))
    gtk_widget_set_direction(n.outer, GTK_TEXT_DIR_RTL);
  if (n.outer && n.kind != WidgetKind::kEditBox && n.kind != WidgetKind::kComboBox) SetCaption(n);
  if (n.outer && s.disabled) gtk_widget_set_sensitive(n.outer, FALSE);
  return n.outer;
}

// ---------------------------------------------------------------------------
// Edit boxes

namespace {

// Where the next piece of a large text ends: after the last line break that
// leaves it at most kChunkBytes long (a line break is never part of a GBK
// character), else after the first one (a longer line goes in whole).
std::size_t PieceEnd(std::string_view gbk, std::size_t at) {
  if (gbk.size() - at <= kChunkBytes) return gbk.size();
  std::size_t nl = gbk.substr(at, kChunkBytes).rfind('\n');
  if (nl == std::string_view::npos) nl = gbk.find('\n', at + kChunkBytes);
  else nl += at;
  return nl == std::string_view::npos ? gbk.size() : nl + 1;
}

}  // namespace

void SetEditText(Impl& impl, Handle h, std::string_view gbk) {
  Node* n = impl.Get(h);
  if (!n) return;
  if (!GTK_IS_TEXT_VIEW(n->inner)) {
    std::string utf8 = ToUtf8(gbk);
    n->quiet = true;
    gtk_entry_set_text(GTK_ENTRY(n->inner), utf8.c_str());
    n->quiet = false;
    return;
  }
  GtkTextView* view = GTK_TEXT_VIEW(n->inner);
  GtkTextBuffer* buffer = gtk_text_view_get_buffer(view);
  unsigned generation = ++n->set_text_generation;
  n->set_text_valid = false;
  n->set_text.clear();
  if (n->chunking) {
    // A text still going in by pieces is abandoned: the box gets back the
    // state it had before that text.
    gtk_text_view_set_editable(view, n->chunk_editable);
    n->chunking = false;
  }
  auto to_start = [&] {
    GtkTextIter start;
    gtk_text_buffer_get_start_iter(buffer, &start);
    gtk_text_buffer_place_cursor(buffer, &start);
  };
  // Kept when reading the box back would give these very bytes.
  auto keep = [&](std::string text, bool exact) {
    if (!exact) return;
    n->set_text = std::move(text);
    n->set_text_valid = true;
  };
  n->quiet = true;
  if (gbk.size() <= kChunkBytes) {
    bool exact = false;
    std::string utf8 = ToUtf8Exact(gbk, exact);
    n->writing = true;
    gtk_text_buffer_set_text(buffer, utf8.data(), static_cast<int>(utf8.size()));
    to_start();
    n->writing = false;
    n->quiet = false;
    keep(std::string(gbk), exact);
    return;
  }
  // A large text goes in by pieces cut at line ends, each converted (and
  // kept) as it goes; the window is served between them. Typing meanwhile
  // would land in the middle, so the box is read-only until the last piece
  // is in. (`gbk` is the caller's, alive until we return.)
  std::string kept;
  kept.reserve(gbk.size());
  bool exact = true;
  n->chunking = true;
  n->chunk_editable = gtk_text_view_get_editable(view);
  gtk_text_view_set_editable(view, FALSE);
  n->writing = true;
  gtk_text_buffer_set_text(buffer, "", 0);
  n->writing = false;
  g_object_ref(buffer);
  std::size_t at = 0;
  bool first = true;
  while (at < gbk.size()) {
    std::size_t end = PieceEnd(gbk, at);
    bool piece_exact = false;
    std::string utf8 = ToUtf8Exact(gbk.substr(at, end - at), piece_exact);
    exact = exact && piece_exact;
    if (exact) kept.append(gbk.substr(at, end - at));
    GtkTextIter tail;
    gtk_text_buffer_get_end_iter(buffer, &tail);
    n->writing = true;
    gtk_text_buffer_insert(buffer, &tail, utf8.data(), static_cast<int>(utf8.size()));
    if (first) to_start();
    n->writing = false;
    first = false;
    at = end;
    if (at < gbk.size()) {
      Pump(impl, kPieceBudgetUs);
      // The box went away, or a newer text replaced this one meanwhile.
      n = impl.Get(h);
      if (!n || n->set_text_generation != generation) break;
    }
  }
  g_object_unref(buffer);
  if (n && n->set_text_generation == generation) {
    gtk_text_view_set_editable(view, n->chunk_editable);
    n->chunking = false;
    n->quiet = false;
    keep(std::move(kept), exact);
  }
}

namespace {

// A paste into a multi-line box, as GTK's own paste does it (the selection
// replaced, the text inserted at the caret, "paste-done", the caret shown),
// except that a large text goes in by pieces with the window served between
// them, read-only meanwhile, like a large text the program sets: GTK would
// insert it at once and freeze the window for as long.
struct Paste {
  Handle box;
  GtkClipboard* clipboard;
  std::string text;  // UTF-8 with LF, as GTK hands it over
};

void ShowCaretAfterPaste(GtkTextView* view, GtkTextBuffer* buffer, GtkClipboard* clipboard) {
  g_signal_emit_by_name(buffer, "paste-done", clipboard);
  gtk_text_view_scroll_mark_onscreen(view, gtk_text_buffer_get_insert(buffer));
}

gboolean RunPaste(gpointer data) {
  auto* paste = static_cast<Paste*>(data);
  Impl* impl = Backend();
  Node* n = impl ? impl->Get(paste->box) : nullptr;
  // Gone, or read-only now (the program's text going in): GTK would not
  // paste either.
  if (!n || !gtk_text_view_get_editable(GTK_TEXT_VIEW(n->inner))) return G_SOURCE_REMOVE;
  GtkTextView* view = GTK_TEXT_VIEW(n->inner);
  GtkTextBuffer* buffer = gtk_text_view_get_buffer(view);
  const std::string& text = paste->text;
  gtk_text_buffer_begin_user_action(buffer);
  gtk_text_buffer_delete_selection(buffer, TRUE, TRUE);
  if (text.size() <= kChunkBytes) {
    gtk_text_buffer_insert_interactive_at_cursor(buffer, text.data(), static_cast<int>(text.size()), TRUE);
    gtk_text_buffer_end_user_action(buffer);
    ShowCaretAfterPaste(view, buffer, paste->clipboard);
    return G_SOURCE_REMOVE;
  }
  Handle h = paste->box;
  unsigned generation = ++n->set_text_generation;
  n->chunking = true;
  n->chunk_editable = TRUE;
  gtk_text_view_set_editable(view, FALSE);
  g_object_ref(buffer);
  GtkTextIter at;
  gtk_text_buffer_get_iter_at_mark(buffer, &at, gtk_text_buffer_get_insert(buffer));
  // Right gravity: it stays after each piece, where the next one goes.
  GtkTextMark* mark = gtk_text_buffer_create_mark(buffer, nullptr, &at, FALSE);
  std::size_t from = 0;
  bool done = false;
  while (!done) {
    std::size_t end = PieceEnd(text, from);
    done = end == text.size();
    gtk_text_buffer_get_iter_at_mark(buffer, &at, mark);
    // The runtime hears of the paste once, as from GTK's own paste.
    n->quiet = !done;
    gtk_text_buffer_insert(buffer, &at, text.data() + from, static_cast<int>(end - from));
    n->quiet = false;
    from = end;
    if (!done) {
      Pump(*impl, kPieceBudgetUs);
      n = impl->Get(h);
      // The box went away, or the program set a text meanwhile.
      if (!n || n->set_text_generation != generation) break;
    }
  }
  gtk_text_buffer_delete_mark(buffer, mark);
  gtk_text_buffer_end_user_action(buffer);
  if (done) {
    gtk_text_view_set_editable(view, TRUE);
    n->chunking = false;
    ShowCaretAfterPaste(view, buffer, paste->clipboard);
  }
  g_object_unref(buffer);
  return G_SOURCE_REMOVE;
}

void QueuePaste(GtkClipboard* clipboard, std::string text, gpointer data) {
  Handle box = FromData(data);
  if (!Backend() || !Backend()->Get(box)) return;
  // Out of GTK's clipboard callback before the window is served.
  g_idle_add_full(G_PRIORITY_DEFAULT, RunPaste, new Paste{box, clipboard, std::move(text)},
                  [](gpointer p) { delete static_cast<Paste*>(p); });
}

void OnPasteText(GtkClipboard* clipboard, const gchar* text, gpointer data) {
  if (text) QueuePaste(clipboard, text, data);
}

void OnPasteContents(GtkClipboard* clipboard, GtkSelectionData* selection, gpointer data) {
  std::string_view text;
  if (ClipboardUtf8(selection, text)) QueuePaste(clipboard, std::string(text), data);
  else gtk_clipboard_request_text(clipboard, OnPasteText, data);  // GTK's own way, other targets too
}

void OnPasteClipboard(GtkTextView* view, gpointer data) {
  g_signal_stop_emission_by_name(view, "paste-clipboard");
  if (!gtk_text_view_get_editable(view)) return;
  // The raw UTF-8 first, as GetClipboardText does.
  gtk_clipboard_request_contents(gtk_widget_get_clipboard(GTK_WIDGET(view), GDK_SELECTION_CLIPBOARD),
                                 gdk_atom_intern_static_string("UTF8_STRING"), OnPasteContents, data);
}

}  // namespace

std::string GetEditText(Node& n) {
  if (!GTK_IS_TEXT_VIEW(n.inner)) return FromUtf8(gtk_entry_get_text(GTK_ENTRY(n.inner)));
  if (n.set_text_valid) return n.set_text;
  GtkTextBuffer* buffer = gtk_text_view_get_buffer(GTK_TEXT_VIEW(n.inner));
  GtkTextIter start, end;
  gtk_text_buffer_get_bounds(buffer, &start, &end);
  gchar* text = gtk_text_buffer_get_text(buffer, &start, &end, TRUE);
  std::string out = FromUtf8(text ? text : "");
  g_free(text);
  return out;
}

// ---------------------------------------------------------------------------
// GtkBackend: control state

void GtkBackend::SetText(Handle w, std::string_view text) {
  Node* n = impl_->Get(w);
  if (!n) return;
  switch (n->kind) {
    case WidgetKind::kTopWindow:
      n->text = text;
      gtk_window_set_title(GTK_WINDOW(n->outer), ToUtf8Keep(text).c_str());
      return;
    case WidgetKind::kEditBox: SetEditText(*impl_, w, text); return;
    case WidgetKind::kComboBox: {
      GtkComboBox* c = GTK_COMBO_BOX(n->inner);
      n->quiet = true;
      if (n->spec.combo_type == 2) {
        // A drop-down list has no text of its own: the item that matches is
        // selected.
        GtkTreeModel* model = gtk_combo_box_get_model(c);
        std::string want = ToUtf8(text);
        int count = gtk_tree_model_iter_n_children(model, nullptr);
        for (int i = 0; i < count; ++i) {
          GtkTreeIter it;
          gchar* item = nullptr;
          if (gtk_tree_model_iter_nth_child(model, &it, nullptr, i)) gtk_tree_model_get(model, &it, 0, &item, -1);
          bool same = item && want == item;
          g_free(item);
          if (same) {
            gtk_combo_box_set_active(c, i);
            break;
          }
        }
      } else {
        gtk_entry_set_text(GTK_ENTRY(gtk_bin_get_child(GTK_BIN(c))), ToUtf8(text).c_str());
      }
      n->quiet = false;
      return;
    }
    default:
      n->text = text;
      SetCaption(*n);
      return;
  }
}

std::string GtkBackend::GetText(Handle w) {
  Node* n = impl_->Get(w);
  if (!n) return {};
  switch (n->kind) {
    case WidgetKind::kEditBox: return GetEditText(*n);
    case WidgetKind::kComboBox: {
      if (n->spec.combo_type != 2) return FromUtf8(gtk_entry_get_text(GTK_ENTRY(gtk_bin_get_child(GTK_BIN(n->inner)))));
      gchar* item = gtk_combo_box_text_get_active_text(GTK_COMBO_BOX_TEXT(n->inner));
      std::string out = item ? FromUtf8(item) : std::string();
      g_free(item);
      return out;
    }
    default: return n->text;
  }
}

void GtkBackend::SetTextColour(Handle w, std::uint32_t colour) {
  Node* n = impl_->Get(w);
  if (!n || n->text_colour == colour) return;
  n->text_colour = colour;
  ApplyStyle(*n);
}

void GtkBackend::SetChecked(Handle w, bool checked) {
  Node* n = impl_->Get(w);
  if (!n || !GTK_IS_TOGGLE_BUTTON(n->inner)) return;
  n->quiet = true;
  if (n->radio_off && !checked) gtk_toggle_button_set_active(GTK_TOGGLE_BUTTON(n->radio_off), TRUE);
  else gtk_toggle_button_set_active(GTK_TOGGLE_BUTTON(n->inner), checked);
  n->quiet = false;
}

bool GtkBackend::IsChecked(Handle w) {
  Node* n = impl_->Get(w);
  return n && GTK_IS_TOGGLE_BUTTON(n->inner) && gtk_toggle_button_get_active(GTK_TOGGLE_BUTTON(n->inner));
}

void GtkBackend::AddItem(Handle combo, std::string_view item) {
  Node* n = impl_->Get(combo);
  if (!n || n->kind != WidgetKind::kComboBox) return;
  std::string text = ToUtf8(item);
  GtkComboBoxText* c = GTK_COMBO_BOX_TEXT(n->inner);
  n->quiet = true;
  if (!n->spec.sorted) {
    gtk_combo_box_text_append_text(c, text.c_str());
  } else {
    // Sorted lists compare the program's own bytes.
    GtkTreeModel* model = gtk_combo_box_get_model(GTK_COMBO_BOX(c));
    int count = gtk_tree_model_iter_n_children(model, nullptr), at = count;
    std::string key(item);
    for (int i = 0; i < count; ++i) {
      GtkTreeIter it;
      gchar* other = nullptr;
      if (gtk_tree_model_iter_nth_child(model, &it, nullptr, i)) gtk_tree_model_get(model, &it, 0, &other, -1);
      bool before = other && key < FromUtf8(other);
      g_free(other);
      if (before) {
        at = i;
        break;
      }
    }
    gtk_combo_box_text_insert_text(c, at, text.c_str());
  }
  n->quiet = false;
}

int GtkBackend::ItemCount(Handle combo) {
  Node* n = impl_->Get(combo);
  if (!n || n->kind != WidgetKind::kComboBox) return 0;
  return gtk_tree_model_iter_n_children(gtk_combo_box_get_model(GTK_COMBO_BOX(n->inner)), nullptr);
}

void GtkBackend::SetSelection(Handle combo, int index) {
  Node* n = impl_->Get(combo);
  if (!n || n->kind != WidgetKind::kComboBox) return;
  if (index < 0 || index >= ItemCount(combo)) index = -1;
  n->quiet = true;
  gtk_combo_box_set_active(GTK_COMBO_BOX(n->inner), index);
  n->quiet = false;
}

int GtkBackend::GetSelection(Handle combo) {
  Node* n = impl_->Get(combo);
  if (!n || n->kind != WidgetKind::kComboBox) return -1;
  return gtk_combo_box_get_active(GTK_COMBO_BOX(n->inner));
}

namespace {
void ShowProgress(Node& n) {
  double span = static_cast<double>(n.progress_max) - n.progress_min;
  double f = span == 0 ? 0 : (static_cast<double>(n.progress_pos) - n.progress_min) / span;
  gtk_progress_bar_set_fraction(GTK_PROGRESS_BAR(n.inner), std::clamp(f, 0.0, 1.0));
}
}  // namespace

void GtkBackend::SetProgressRange(Handle bar, int minimum, int maximum) {
  Node* n = impl_->Get(bar);
  if (!n || n->kind != WidgetKind::kProgressBar) return;
  n->progress_min = minimum;
  n->progress_max = maximum;
  n->progress_pos = std::clamp(n->progress_pos, std::min(minimum, maximum), std::max(minimum, maximum));
  ShowProgress(*n);
}

void GtkBackend::SetProgressPosition(Handle bar, int position) {
  Node* n = impl_->Get(bar);
  if (!n || n->kind != WidgetKind::kProgressBar) return;
  n->progress_pos = std::clamp(position, std::min(n->progress_min, n->progress_max),
                               std::max(n->progress_min, n->progress_max));
  ShowProgress(*n);
}

int GtkBackend::GetProgressPosition(Handle bar) {
  Node* n = impl_->Get(bar);
  return n ? n->progress_pos : 0;
}

void GtkBackend::SetPictures(Handle w, std::span<const std::string> images, std::uint32_t transparent) {
  Node* n = impl_->Get(w);
  if (!n) return;
  for (GdkPixbuf* p : n->pictures)
    if (p) g_object_unref(p);
  n->pictures.clear();
  for (const std::string& bytes : images) {
    GdkPixbuf* pixbuf = nullptr;
    if (!bytes.empty()) {
      GdkPixbufLoader* loader = gdk_pixbuf_loader_new();
      bool ok = gdk_pixbuf_loader_write(loader, reinterpret_cast<const guchar*>(bytes.data()), bytes.size(), nullptr);
      ok = gdk_pixbuf_loader_close(loader, nullptr) && ok;
      if (ok && gdk_pixbuf_loader_get_pixbuf(loader)) pixbuf = GDK_PIXBUF(g_object_ref(gdk_pixbuf_loader_get_pixbuf(loader)));
      g_object_unref(loader);
    }
    n->pictures.push_back(pixbuf);
  }
  n->transparent = transparent;
  if (n->kind == WidgetKind::kPicButton && transparent != kDefaultColour) {
    // The cut-out pixels are drawn transparent; the shape keeps them from
    // taking clicks.
    for (GdkPixbuf*& p : n->pictures) {
      if (!p) continue;
      GdkPixbuf* cut = gdk_pixbuf_add_alpha(p, TRUE, transparent & 0xFF, (transparent >> 8) & 0xFF,
                                            (transparent >> 16) & 0xFF);
      g_object_unref(p);
      p = cut;
    }
  }
  if (n->kind == WidgetKind::kTopWindow && !g_object_get_data(G_OBJECT(n->container), "tl-back")) {
    g_object_set_data(G_OBJECT(n->container), "tl-back", n->container);
    g_signal_connect(n->container, "draw", G_CALLBACK(DrawBackground), AsData(w));
  }
  ShowPicture(*n);
}

void GtkBackend::SetCursor(Handle w, std::string_view cursor) {
  Node* n = impl_->Get(w);
  if (!n) return;
  if (n->cursor) g_object_unref(n->cursor);
  n->cursor = nullptr;
  if (!cursor.empty()) {
    GdkPixbufLoader* loader = gdk_pixbuf_loader_new();
    bool ok = gdk_pixbuf_loader_write(loader, reinterpret_cast<const guchar*>(cursor.data()), cursor.size(), nullptr);
    ok = gdk_pixbuf_loader_close(loader, nullptr) && ok;
    if (GdkPixbuf* p = ok ? gdk_pixbuf_loader_get_pixbuf(loader) : nullptr)
      n->cursor = gdk_cursor_new_from_pixbuf(gdk_display_get_default(), p, 0, 0);
    g_object_unref(loader);
  }
  auto apply = [](GtkWidget* widget, gpointer data) {
    Node* node = NodeOf(data);
    if (node && gtk_widget_get_has_window(widget) && gtk_widget_get_window(widget))
      gdk_window_set_cursor(gtk_widget_get_window(widget), node->cursor);
  };
  if (gtk_widget_get_realized(n->outer)) apply(n->outer, AsData(w));
  if (!g_object_get_data(G_OBJECT(n->outer), "tl-cursor")) {
    g_object_set_data(G_OBJECT(n->outer), "tl-cursor", n->outer);
    g_signal_connect(n->outer, "realize", G_CALLBACK(+apply), AsData(w));
  }
}

}  // namespace tl::platform::gtk
