// Top-level windows, the widget tree, geometry, the message loop, timers and
// drops.
#include <algorithm>
#include <cstdlib>

#include "runtime/os/files.h"
#include "runtime/platform/gtk/gtk_internal.h"

namespace tl::platform::gtk {
namespace {

Impl* g_backend = nullptr;

// How long PumpPending may keep dispatching. Input and timers outrank GTK's
// background work (text layout of a large box runs for seconds at low
// priority), so every pending event is dispatched well inside it; the rest
// of the background work waits for the next call instead of stalling the
// caller's own work.
constexpr gint64 kPumpBudgetUs = 10000;
// How long a new top-level window waits for the window manager's frame.
constexpr int kFrameChecks = 40;
constexpr guint kFrameCheckMs = 25;

gboolean OnIdle(gpointer data) {
  auto* impl = static_cast<Impl*>(data);
  if (!impl->sink || impl->loops.empty()) {
    impl->idle_source = 0;
    return G_SOURCE_REMOVE;
  }
  if (impl->sink->OnIdle(impl->idle_count++)) return G_SOURCE_CONTINUE;
  impl->idle_source = 0;
  return G_SOURCE_REMOVE;
}

void RemoveIdle(Impl& impl) {
  if (impl.idle_source) g_source_remove(impl.idle_source);
  impl.idle_source = 0;
}

gboolean OnTimer(gpointer data) {
  Impl* impl = Backend();
  auto id = static_cast<TimerId>(GPOINTER_TO_UINT(data));
  if (!impl || !impl->timers.contains(id)) return G_SOURCE_REMOVE;
  Event e = Ev(EventType::kTimer);
  e.timer = id;
  impl->Send(kNoHandle, e);
  return G_SOURCE_CONTINUE;
}

// Handles of `h` and everything inside it, parents first.
void CollectSubtree(Impl& impl, Handle h, std::vector<Handle>& out) {
  Node* n = impl.Get(h);
  if (!n) return;
  out.push_back(h);
  for (Handle c : n->children) CollectSubtree(impl, c, out);
}

void FreeNode(Node& n) {
  if (n.frame_check) g_source_remove(n.frame_check);
  n.frame_check = 0;
  if (n.radio_off) {
    gtk_widget_destroy(n.radio_off);
    g_object_unref(n.radio_off);
    n.radio_off = nullptr;
  }
  if (n.css) g_object_unref(n.css);
  n.css = nullptr;
  for (GdkPixbuf* p : n.pictures)
    if (p) g_object_unref(p);
  n.pictures.clear();
  if (n.cursor) g_object_unref(n.cursor);
  n.cursor = nullptr;
}

// Forgets a subtree without touching its widgets (they go with `h`'s).
void ForgetSubtree(Impl& impl, Handle h) {
  std::vector<Handle> all;
  CollectSubtree(impl, h, all);
  if (Node* n = impl.Get(h); n && n->parent != kNoHandle)
    if (Node* p = impl.Get(n->parent)) std::erase(p->children, h);
  for (Handle x : all) {
    if (Node* n = impl.Get(x)) FreeNode(*n);
    impl.nodes.erase(x);
  }
}

// ---------------------------------------------------------------------------
// Top-level window signals

gboolean OnDelete(GtkWidget*, GdkEvent*, gpointer data) {
  if (Impl* impl = Backend()) impl->Send(FromData(data), Ev(EventType::kCloseRequest));
  return TRUE;  // the runtime decides and destroys
}

void OnTopDestroy(GtkWidget*, gpointer data) {
  Impl* impl = Backend();
  Handle h = FromData(data);
  if (!impl || !impl->Get(h)) return;  // the runtime asked for it
  ForgetSubtree(*impl, h);
  impl->Send(h, Ev(EventType::kDestroyed));
}

void OnRealize(GtkWidget* widget, gpointer data) {
  Impl* impl = Backend();
  Node* n = impl ? impl->Get(FromData(data)) : nullptr;
  if (!n) return;
  GdkWindow* gw = gtk_widget_get_window(widget);
  int functions = GDK_FUNC_MOVE;
  if (n->spec.window_border == 1) functions |= GDK_FUNC_RESIZE;
  if (n->spec.min_button) functions |= GDK_FUNC_MINIMIZE;
  if (n->spec.max_button) functions |= GDK_FUNC_MAXIMIZE;
  if (n->spec.control_box) functions |= GDK_FUNC_CLOSE;
  if (!n->spec.movable) functions &= ~GDK_FUNC_MOVE;
  gdk_window_set_functions(gw, static_cast<GdkWMFunction>(functions));
}

// Sets the client size so that the frame (when a window manager draws one)
// has the asked outer size.
void ApplyClientSize(Node& n) {
  int w = std::max(1, n.rect.width - n.deco_left - n.deco_right);
  int h = std::max(1, n.rect.height - n.deco_top - n.deco_bottom);
  if (n.spec.window_border == 1) {
    gtk_widget_set_size_request(n.container, 1, 1);
    gtk_window_resize(GTK_WINDOW(n.outer), w, h);
  } else {
    gtk_widget_set_size_request(n.container, w, h);
  }
}

// Moves a top-level window's frame to its rectangle. GTK skips a request
// equal to its last one, so a mapped window is also moved through GDK (a
// window manager may have placed it elsewhere meanwhile).
void RequestMove(Node& n, bool retry = false) {
  if (!retry) n.move_tries = 0;
  n.move_pending = true;
  n.move_time = g_get_monotonic_time();
  gtk_window_move(GTK_WINDOW(n.outer), n.rect.left, n.rect.top);
  if (GdkWindow* gw = gtk_widget_get_realized(n.outer) ? gtk_widget_get_window(n.outer) : nullptr)
    if (gtk_widget_get_mapped(n.outer)) gdk_window_move(gw, n.rect.left, n.rect.top);
}

// Measures the window manager's frame around a mapped window; when it is
// new or changed, the client area is resized so the frame keeps the asked
// outer size, and the frame is put back where it was asked to be. True when
// something was changed.
bool MeasureFrame(Node& n) {
  GdkWindow* gw = gtk_widget_get_window(n.outer);
  if (!gw || !gtk_widget_get_mapped(n.outer)) return false;
  GdkRectangle frame;
  gdk_window_get_frame_extents(gw, &frame);
  int ox = 0, oy = 0;
  gdk_window_get_origin(gw, &ox, &oy);
  int cw = gdk_window_get_width(gw), ch = gdk_window_get_height(gw);
  int l = ox - frame.x, t = oy - frame.y;
  int r = frame.x + frame.width - (ox + cw), b = frame.y + frame.height - (oy + ch);
  if (l < 0 || t < 0 || r < 0 || b < 0 || !(l || t || r || b)) return false;  // not framed (yet)
  if (n.deco_known && l == n.deco_left && t == n.deco_top && r == n.deco_right && b == n.deco_bottom) return false;
  n.deco_known = true;
  n.deco_left = l, n.deco_top = t, n.deco_right = r, n.deco_bottom = b;
  ApplyClientSize(n);
  RequestMove(n);
  return true;
}

// Where the frame is now compared with where it was asked to be: a move of
// ours still on its way is asked again after a while (a few times, then the
// window manager's choice stands); any other position is the user's move.
void Reconcile(Node& n) {
  GdkWindow* gw = gtk_widget_get_window(n.outer);
  if (!gw || !gtk_widget_get_mapped(n.outer)) return;
  GdkRectangle frame;
  gdk_window_get_frame_extents(gw, &frame);
  if (n.move_pending) {
    if (frame.x == n.rect.left && frame.y == n.rect.top) {
      n.move_pending = false;
    } else if (g_get_monotonic_time() - n.move_time > 300000) {
      if (++n.move_tries <= 5) RequestMove(n, true);
      else n.move_pending = false;
    }
    return;
  }
  n.rect.left = frame.x;
  n.rect.top = frame.y;
  if (n.spec.window_border == 1) {
    n.rect.width = frame.width;
    n.rect.height = frame.height;
  }
}

gboolean CheckFrame(gpointer data) {
  Impl* impl = Backend();
  Node* n = impl ? impl->Get(FromData(data)) : nullptr;
  if (!n) return G_SOURCE_REMOVE;
  MeasureFrame(*n);
  Reconcile(*n);
  int left = GPOINTER_TO_INT(g_object_get_data(G_OBJECT(n->outer), "tl-frame-checks"));
  if (--left <= 0 && !n->move_pending) {
    n->frame_check = 0;
    return G_SOURCE_REMOVE;
  }
  g_object_set_data(G_OBJECT(n->outer), "tl-frame-checks", GINT_TO_POINTER(left));
  return G_SOURCE_CONTINUE;
}

gboolean OnMap(GtkWidget* widget, GdkEvent*, gpointer data) {
  Impl* impl = Backend();
  Node* n = impl ? impl->Get(FromData(data)) : nullptr;
  if (!n) return FALSE;
  g_object_set_data(G_OBJECT(widget), "tl-frame-checks", GINT_TO_POINTER(kFrameChecks));
  if (!n->frame_check) n->frame_check = g_timeout_add(kFrameCheckMs, CheckFrame, data);
  return FALSE;
}

gboolean OnConfigure(GtkWidget* widget, GdkEventConfigure*, gpointer data) {
  Impl* impl = Backend();
  Node* n = impl ? impl->Get(FromData(data)) : nullptr;
  if (!n || !gtk_widget_get_mapped(widget)) return FALSE;
  // A window manager may frame the window late, or change its frame.
  MeasureFrame(*n);
  Reconcile(*n);
  return FALSE;
}

gboolean OnWindowState(GtkWidget*, GdkEventWindowState* e, gpointer data) {
  Impl* impl = Backend();
  Node* n = impl ? impl->Get(FromData(data)) : nullptr;
  if (!n) return FALSE;
  if (e->new_window_state & GDK_WINDOW_STATE_ICONIFIED) n->window_state = 2;
  else if (e->new_window_state & GDK_WINDOW_STATE_MAXIMIZED) n->window_state = 3;
  else n->window_state = 0;
  return FALSE;
}

// Keys pressed while no control has the focus belong to the window.
gboolean OnWindowKey(GtkWidget* widget, GdkEventKey* e, gpointer data) {
  Impl* impl = Backend();
  if (!impl || gtk_window_get_focus(GTK_WINDOW(widget))) return FALSE;
  Event ev = Ev(e->type == GDK_KEY_PRESS ? EventType::kKeyDown : EventType::kKeyUp);
  ev.key = VirtualKeyOf(e->keyval);
  ev.key_state = KeyStateOf(e->state);
  if (ev.key == 0) return FALSE;
  return !impl->Send(FromData(data), ev).default_action;
}

constexpr guint kUriInfo = 0x7E1D;

void OnDropData(GtkWidget* widget, GdkDragContext* context, gint, gint, GtkSelectionData* data, guint info,
                guint time, gpointer handle) {
  Impl* impl = Backend();
  if (info != kUriInfo || !impl) return;
  const guchar* bytes = gtk_selection_data_get_data(data);
  gint length = gtk_selection_data_get_length(data);
  std::string text = bytes && length > 0 ? std::string(reinterpret_cast<const char*>(bytes), length) : "";
  if (!GTK_IS_WINDOW(widget)) {
    // Edit boxes finish drops themselves and would insert the names as text.
    gtk_drag_finish(context, !text.empty(), FALSE, time);
    g_signal_stop_emission_by_name(widget, "drag-data-received");
  }
  impl->self->DeliverDrop(FromData(handle), text);
}

}  // namespace

Impl* Backend() { return g_backend; }
void SetBackend(Impl* impl) { g_backend = impl; }

EventReply Impl::Send(Handle w, const Event& e) {
  if (!sink) return {};
  // Idle work follows each event dispatched by a loop (not by PumpPending).
  if (pump_depth == 0 && !loops.empty()) ArmIdle();
  return sink->OnEvent(w, e);
}

void Impl::ArmIdle() {
  idle_count = 0;
  if (!idle_source) idle_source = g_idle_add(OnIdle, this);
}

Node* Impl::TopOf(Handle h) {
  for (Node* n = Get(h); n; n = Get(n->parent))
    if (n->kind == WidgetKind::kTopWindow) return n;
  return nullptr;
}

void EnableDrop(Impl&, Handle h, GtkWidget* target) {
  GtkTargetList* list = gtk_target_list_new(nullptr, 0);
  gtk_target_list_add_uri_targets(list, kUriInfo);
  if (GtkTargetList* old = gtk_drag_dest_get_target_list(target)) {
    gint count = 0;
    GtkTargetEntry* table = gtk_target_table_new_from_list(old, &count);
    gtk_target_list_add_table(list, table, count);
    gtk_target_table_free(table, count);
  } else {
    gtk_drag_dest_set(target, GTK_DEST_DEFAULT_ALL, nullptr, 0, GDK_ACTION_COPY);
  }
  gtk_drag_dest_set_target_list(target, list);
  gtk_target_list_unref(list);
  g_signal_connect(target, "drag-data-received", G_CALLBACK(OnDropData), AsData(h));
}

GtkWidget* MakeTopWindow(Impl& impl, Node& n, const WidgetSpec& s) {
  GtkWidget* win = gtk_window_new(GTK_WINDOW_TOPLEVEL);
  GtkWidget* layout = gtk_layout_new(nullptr, nullptr);
  gtk_container_add(GTK_CONTAINER(win), layout);
  gtk_widget_show(layout);
  n.outer = win;
  n.inner = win;
  n.container = layout;
  Handle h = HandleOf(win);
  GtkWindow* w = GTK_WINDOW(win);
  gtk_window_set_title(w, ToUtf8Keep(s.text).c_str());
  gtk_window_set_resizable(w, s.window_border == 1);
  gtk_window_set_decorated(w, s.window_border != 0);
  if (s.window_border >= 3) gtk_window_set_type_hint(w, GDK_WINDOW_TYPE_HINT_UTILITY);
  gtk_window_set_keep_above(w, s.topmost);
  gtk_window_set_deletable(w, s.control_box);
  if (s.parent != kNoHandle)
    if (Node* owner = impl.TopOf(s.parent)) gtk_window_set_transient_for(w, GTK_WINDOW(owner->outer));
  if (!s.icon.empty()) {
    GdkPixbufLoader* loader = gdk_pixbuf_loader_new();
    if (gdk_pixbuf_loader_write(loader, reinterpret_cast<const guchar*>(s.icon.data()), s.icon.size(), nullptr) &&
        gdk_pixbuf_loader_close(loader, nullptr)) {
      if (GdkPixbuf* icon = gdk_pixbuf_loader_get_pixbuf(loader)) gtk_window_set_icon(w, icon);
    } else {
      gdk_pixbuf_loader_close(loader, nullptr);
    }
    g_object_unref(loader);
  }
  if (s.window_border == 1) gtk_window_set_default_size(w, std::max(1, s.rect.width), std::max(1, s.rect.height));
  ApplyClientSize(n);
  RequestMove(n);
  if (s.show_state == 2) gtk_window_iconify(w);
  if (s.show_state == 3) gtk_window_maximize(w);
  gtk_widget_add_events(win, GDK_STRUCTURE_MASK);
  g_signal_connect(win, "delete-event", G_CALLBACK(OnDelete), AsData(h));
  g_signal_connect(win, "destroy", G_CALLBACK(OnTopDestroy), AsData(h));
  g_signal_connect(win, "realize", G_CALLBACK(OnRealize), AsData(h));
  g_signal_connect(win, "map-event", G_CALLBACK(OnMap), AsData(h));
  g_signal_connect(win, "configure-event", G_CALLBACK(OnConfigure), AsData(h));
  g_signal_connect(win, "window-state-event", G_CALLBACK(OnWindowState), AsData(h));
  g_signal_connect(win, "key-press-event", G_CALLBACK(OnWindowKey), AsData(h));
  g_signal_connect(win, "key-release-event", G_CALLBACK(OnWindowKey), AsData(h));
  EnableDrop(impl, h, win);
  return win;
}

void ApplyDefault(Impl& impl, Handle any) {
  Node* top = impl.TopOf(any);
  if (!top || !top->default_button) return;
  Node* b = impl.Get(top->default_button);
  if (!b || gtk_widget_get_toplevel(b->outer) != top->outer) return;
  gtk_widget_set_can_default(b->outer, TRUE);
  gtk_window_set_default(GTK_WINDOW(top->outer), b->outer);
}

void PlaceChild(Node& parent, Node& child) {
  gtk_layout_put(GTK_LAYOUT(parent.container), child.outer, child.rect.left, child.rect.top);
}

namespace {

// Puts the children of a container back in stacking order: GTK draws (and
// picks input in) the order of the container's list, last on top.
void Restack(Impl& impl, Node& parent) {
  if (!parent.container) return;
  GtkContainer* box = GTK_CONTAINER(parent.container);
  // Taking a widget out loses its focus and unrealizes it: only when the
  // order really changes.
  std::vector<GtkWidget*> want;
  for (auto it = parent.children.rbegin(); it != parent.children.rend(); ++it)
    if (Node* c = impl.Get(*it)) want.push_back(c->outer);
  std::vector<GtkWidget*> have;
  GList* now = gtk_container_get_children(box);
  for (GList* l = now; l; l = l->next) have.push_back(GTK_WIDGET(l->data));
  g_list_free(now);
  bool same = want == have;
  for (auto it = parent.children.rbegin(); it != parent.children.rend() && !same; ++it) {
    Node* c = impl.Get(*it);
    if (!c) continue;
    g_object_ref(c->outer);
    gtk_container_remove(box, c->outer);
    PlaceChild(parent, *c);
    g_object_unref(c->outer);
  }
  // Tab order follows the stacking order, top first, as on Windows.
  GList* chain = nullptr;
  for (Handle h : parent.children) {
    Node* c = impl.Get(h);
    if (c && (c->spec.tab_stop || c->container)) chain = g_list_append(chain, c->outer);
  }
  G_GNUC_BEGIN_IGNORE_DEPRECATIONS
  gtk_container_set_focus_chain(box, chain);
  G_GNUC_END_IGNORE_DEPRECATIONS
  g_list_free(chain);
  ApplyDefault(impl, HandleOf(parent.outer));
}

}  // namespace

// ---------------------------------------------------------------------------
// GtkBackend: loop

void GtkBackend::SetEventSink(EventSink* sink) { impl_->sink = sink; }

int GtkBackend::RunLoop() {
  Impl& impl = *impl_;
  if (!impl.quit) {
    GMainLoop* loop = g_main_loop_new(nullptr, FALSE);
    impl.loops.push_back(loop);
    g_main_loop_run(loop);
    std::erase(impl.loops, loop);
    g_main_loop_unref(loop);
    if (impl.loops.empty()) RemoveIdle(impl);
  }
  int code = impl.quit.value_or(0);
  impl.quit.reset();
  return code;
}

void GtkBackend::PostQuit(int code) {
  if (!impl_->quit) impl_->quit = code;
  for (GMainLoop* loop : impl_->loops) g_main_loop_quit(loop);
}

void GtkBackend::PumpPending() { Pump(*impl_, kPumpBudgetUs); }

void Pump(Impl& impl, gint64 budget_us) {
  if (!impl.started) return;
  // Idle work belongs to the loops, not to DoEvents.
  bool had_idle = impl.idle_source != 0;
  int idle_count = impl.idle_count;
  RemoveIdle(impl);
  ++impl.pump_depth;
  gint64 end = g_get_monotonic_time() + budget_us;
  while (!impl.quit && g_main_context_pending(nullptr)) {
    g_main_context_iteration(nullptr, FALSE);
    if (g_get_monotonic_time() >= end) break;
  }
  --impl.pump_depth;
  if (had_idle && !impl.loops.empty()) {
    impl.ArmIdle();
    impl.idle_count = idle_count;
  }
}

void GtkBackend::RunModalLoop(Handle window) {
  Impl& impl = *impl_;
  Node* n = impl.Get(window);
  if (!n || n->kind != WidgetKind::kTopWindow || impl.quit) return;
  gtk_window_set_modal(GTK_WINDOW(n->outer), TRUE);
  GMainLoop* loop = g_main_loop_new(nullptr, FALSE);
  impl.modal.push_back({window, loop, false});
  impl.loops.push_back(loop);
  g_main_loop_run(loop);
  std::erase(impl.loops, loop);
  std::erase_if(impl.modal, [loop](const Modal& m) { return m.loop == loop; });
  g_main_loop_unref(loop);
  if (Node* still = impl.Get(window)) gtk_window_set_modal(GTK_WINDOW(still->outer), FALSE);
}

void GtkBackend::EndModalLoop(Handle window) {
  for (Modal& m : impl_->modal)
    if (m.window == window && !m.ended) {
      m.ended = true;
      // An inner loop still running keeps this one until it returns.
      g_main_loop_quit(m.loop);
    }
}

TimerId GtkBackend::StartTimer(std::uint32_t period_ms) {
  if (period_ms == 0) return 0;
  TimerId id = impl_->next_timer++;
  impl_->timers[id] = g_timeout_add(period_ms, OnTimer, GUINT_TO_POINTER(id));
  return id;
}

void GtkBackend::StopTimer(TimerId timer) {
  auto it = impl_->timers.find(timer);
  if (it == impl_->timers.end()) return;
  g_source_remove(it->second);
  impl_->timers.erase(it);
}

// ---------------------------------------------------------------------------
// GtkBackend: widget tree and geometry

Handle GtkBackend::CreateWidget(const WidgetSpec& spec) {
  Impl& impl = *impl_;
  if (!impl.started) StartRuntimeWindow();
  if (!impl.started) return kNoHandle;
  Node* parent = nullptr;
  if (spec.kind != WidgetKind::kTopWindow) {
    parent = impl.Get(spec.parent);
    if (!parent || !parent->container) return kNoHandle;
  }
  auto node = std::make_unique<Node>();
  Node& n = *node;
  n.kind = spec.kind;
  n.spec = spec;
  n.rect = spec.rect;
  n.text = spec.text;
  n.text_colour = spec.text_colour;
  if (spec.kind == WidgetKind::kTopWindow) MakeTopWindow(impl, n, spec);
  else MakeControl(impl, n, spec);
  if (!n.outer) return kNoHandle;
  Handle h = HandleOf(n.outer);
  ApplyStyle(n);
  if (spec.disabled) gtk_widget_set_sensitive(n.container && spec.kind == WidgetKind::kTopWindow ? n.container : n.outer, FALSE);
  if (parent) {
    n.parent = spec.parent;
    gtk_widget_set_size_request(n.outer, std::max(0, spec.rect.width), std::max(0, spec.rect.height));
    PlaceChild(*parent, n);
    parent->children.push_back(h);  // new windows go to the bottom
  }
  impl.nodes.emplace(h, std::move(node));
  if (spec.kind == WidgetKind::kButton && spec.default_button)
    if (Node* top = impl.TopOf(h)) top->default_button = h;
  if (parent) Restack(impl, *parent);
  return h;
}

void GtkBackend::DestroyWidget(Handle w) {
  Impl& impl = *impl_;
  Node* n = impl.Get(w);
  if (!n) return;
  GtkWidget* outer = n->outer;
  for (Modal& m : impl.modal)
    if (m.window == w) EndModalLoop(w);
  ForgetSubtree(impl, w);
  gtk_widget_destroy(outer);
}

Rect GtkBackend::GetRect(Handle w) {
  Node* n = impl_->Get(w);
  return n ? n->rect : Rect{};
}

void GtkBackend::SetRect(Handle w, const Rect& r) {
  Node* n = impl_->Get(w);
  if (!n) return;
  bool new_height = n->rect.height != r.height;
  n->rect = r;
  if (n->kind == WidgetKind::kTopWindow) {
    ApplyClientSize(*n);
    RequestMove(*n);
    return;
  }
  gtk_widget_set_size_request(n->outer, std::max(0, r.width), std::max(0, r.height));
  if (Node* p = impl_->Get(n->parent)) gtk_layout_move(GTK_LAYOUT(p->container), n->outer, r.left, r.top);
  // The bar's trough follows its height; nothing else needs new styles (the
  // banner moves a control every 20 ms).
  if (new_height && n->kind == WidgetKind::kProgressBar) ApplyStyle(*n);
}

Handle GtkBackend::GetParent(Handle w) {
  Node* n = impl_->Get(w);
  return n ? n->parent : kNoHandle;
}

void GtkBackend::SetParent(Handle w, Handle parent) {
  Impl& impl = *impl_;
  Node* n = impl.Get(w);
  Node* p = impl.Get(parent);
  if (!n || !p || !p->container || n->parent == parent || n->kind == WidgetKind::kTopWindow) return;
  for (Handle a = parent; a != kNoHandle; a = impl.Get(a) ? impl.Get(a)->parent : kNoHandle)
    if (a == w) return;  // never inside itself
  Node* old = impl.Get(n->parent);
  g_object_ref(n->outer);
  if (old) {
    gtk_container_remove(GTK_CONTAINER(old->container), n->outer);
    std::erase(old->children, w);
  }
  n->parent = parent;
  p->children.insert(p->children.begin(), w);
  PlaceChild(*p, *n);
  g_object_unref(n->outer);
  if (old) Restack(impl, *old);
  Restack(impl, *p);
}

void GtkBackend::PlaceTop(Handle w) {
  Node* n = impl_->Get(w);
  Node* p = n ? impl_->Get(n->parent) : nullptr;
  if (!p) return;
  std::erase(p->children, w);
  p->children.insert(p->children.begin(), w);
  Restack(*impl_, *p);
}

void GtkBackend::PlaceBelow(Handle w, Handle sibling) {
  Node* n = impl_->Get(w);
  Node* s = impl_->Get(sibling);
  if (!n || !s || w == sibling || n->parent != s->parent) return;
  Node* p = impl_->Get(n->parent);
  if (!p) return;
  std::erase(p->children, w);
  p->children.insert(std::find(p->children.begin(), p->children.end(), sibling) + 1, w);
  Restack(*impl_, *p);
}

void GtkBackend::SetVisible(Handle w, bool visible) {
  Node* n = impl_->Get(w);
  if (!n) return;
  if (n->kind == WidgetKind::kTopWindow) {
    // Shown as it is; gtk_window_present would also raise and activate it.
    if (visible) gtk_widget_show(n->outer);
    else gtk_widget_hide(n->outer);
    return;
  }
  gtk_widget_set_visible(n->outer, visible);
}

bool GtkBackend::IsVisible(Handle w) {
  Node* n = impl_->Get(w);
  return n && gtk_widget_get_visible(n->outer);
}

void GtkBackend::ActivateWindow(Handle window) {
  Node* n = impl_->TopOf(window);
  if (n) gtk_window_present(GTK_WINDOW(n->outer));
}

int GtkBackend::GetWindowState(Handle window) {
  Node* n = impl_->Get(window);
  return n && n->kind == WidgetKind::kTopWindow ? n->window_state : 0;
}

void GtkBackend::SetWindowState(Handle window, int state) {
  Node* n = impl_->Get(window);
  if (!n || n->kind != WidgetKind::kTopWindow) return;
  GtkWindow* w = GTK_WINDOW(n->outer);
  switch (state) {
    case 2: gtk_window_iconify(w); break;
    case 3: gtk_window_maximize(w); break;
    default:
      gtk_window_deiconify(w);
      gtk_window_unmaximize(w);
      break;
  }
}

void GtkBackend::SetEnabled(Handle w, bool enabled) {
  Node* n = impl_->Get(w);
  if (!n) return;
  n->spec.disabled = !enabled;
  // A disabled top-level window keeps its frame usable; its client area
  // takes no input.
  gtk_widget_set_sensitive(n->kind == WidgetKind::kTopWindow ? n->container : n->outer, enabled);
}

bool GtkBackend::IsEnabled(Handle w) {
  Node* n = impl_->Get(w);
  return n && !n->spec.disabled;
}

Handle GtkBackend::GetFocus() {
  Impl& impl = *impl_;
  GtkWidget* focus = nullptr;
  for (int pass = 0; pass < 2 && !focus; ++pass)
    for (auto& [h, n] : impl.nodes) {
      if (n->kind != WidgetKind::kTopWindow) continue;
      GtkWindow* w = GTK_WINDOW(n->outer);
      // First the active window; without a window manager none may be.
      if (pass == 0 && !gtk_window_is_active(w)) continue;
      if ((focus = gtk_window_get_focus(w))) break;
    }
  for (GtkWidget* x = focus; x; x = gtk_widget_get_parent(x))
    if (impl.Get(HandleOf(x))) return HandleOf(x);
  return kNoHandle;
}

void GtkBackend::SetFocus(Handle w) {
  Node* n = impl_->Get(w);
  if (!n) return;
  if (n->kind == WidgetKind::kTopWindow) gtk_window_set_focus(GTK_WINDOW(n->outer), nullptr);
  else gtk_widget_grab_focus(n->inner ? n->inner : n->outer);
}

Size GtkBackend::ScreenSize() {
  GdkDisplay* display = gdk_display_get_default();
  if (!display) return {};
  GdkMonitor* m = gdk_display_get_primary_monitor(display);
  if (!m) m = gdk_display_get_monitor(display, 0);
  if (!m) return {};
  GdkRectangle r;
  gdk_monitor_get_geometry(m, &r);
  return {r.width, r.height};
}

void GtkBackend::DeliverDrop(Handle target, std::string_view uri_list) {
  Impl& impl = *impl_;
  Node* top = impl.TopOf(target);
  if (!top) return;
  std::string text(uri_list);
  gchar** uris = g_uri_list_extract_uris(text.c_str());
  Event e = Ev(EventType::kFilesDropped);
  for (gchar** u = uris; u && *u; ++u) {
    gchar* name = g_filename_from_uri(*u, nullptr, nullptr);
    if (!name) continue;  // not a local file
    std::string path(name);
    g_free(name);
    while (path.size() > 1 && path.back() == '/') path.pop_back();
    e.paths.push_back(rt::fileio::FromOsName(path));
  }
  g_strfreev(uris);
  if (!e.paths.empty()) impl.Send(HandleOf(top->outer), e);
}

}  // namespace tl::platform::gtk
