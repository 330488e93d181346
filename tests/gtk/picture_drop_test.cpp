// Picture buttons cut to their image's shape, drops from a file manager,
// and the message box as a real dialog.
#include "gtk/gtk_support.h"
#include <glib/gstdio.h>
#include <unistd.h>

#include "support/gbk.h"

namespace tl::gtktest {
namespace {

using tl::test::Gbk;

class PictureTest : public GtkTest {};

// 40 x 20: the left half red, the right half blue (pressed: green).
std::string HalfRed(char right) {
  std::vector<std::string> rows(20, std::string(20, '0') + std::string(20, right));
  const std::uint32_t palette[4] = {0xFF0000, 0x0000FF, 0x00FF00, 0x000000};
  return MakeGif(40, 20, rows, palette);
}

TEST_F(PictureTest, TheTransparentColourCutsTheButtonAndThePressedImageShows) {
  Handle win = Window({40, 40, 200, 120});
  WidgetSpec box{.kind = WidgetKind::kPicBox, .parent = win, .rect = {0, 0, 200, 120}};
  box.back_colour = 0xFFFFFF;
  Handle back = Make(box);
  Handle pic = Make(WidgetSpec{.kind = WidgetKind::kPicButton, .parent = back, .rect = {20, 30, 40, 20}});
  const std::string images[] = {HalfRed('1'), HalfRed('2')};
  os.SetPictures(pic, images, 0x0000FF);  // COLORREF of pure red
  Show(win);
  int ox = 0, oy = 0;
  ClientOrigin(win, ox, oy);
  const int left_x = ox + 20 + 5, right_x = ox + 20 + 30, y = oy + 30 + 10;
  std::uint32_t left = 0, right = 0;
  EXPECT_TRUE(PumpUntil([&] {
    left = ScreenPixel(left_x, y);
    right = ScreenPixel(right_x, y);
    return left == 0xFFFFFF && right == 0x0000FF;
  })) << "a person sees " << std::hex << left << " where the box shows through and " << right
      << " where the image is blue";

  // Pressing shows the second image; the click comes with the release.
  XPress(right_x, y);
  EXPECT_TRUE(PumpUntil([&] { return (right = ScreenPixel(right_x, y)) == 0x00FF00; }))
      << "pressed, the button shows " << std::hex << right;
  EXPECT_EQ(rec.Count(EventType::kClick, pic), 0);
  XRelease();
  EXPECT_TRUE(PumpUntil([&] { return rec.Count(EventType::kClick, pic) == 1; }));
  EXPECT_TRUE(PumpUntil([&] { return (right = ScreenPixel(right_x, y)) == 0x0000FF; }));

  // A click on the cut-out part reaches the box below, not the button.
  int box_downs = rec.Count(EventType::kMouseDown, back);
  XClick(left_x, y);
  EXPECT_TRUE(PumpUntil([&] { return rec.Count(EventType::kMouseDown, back) == box_downs + 1; }));
  EXPECT_EQ(rec.Count(EventType::kClick, pic), 1);
}

class DropTest : public GtkTest {};

TEST_F(DropTest, FileUrisBecomeGbkPathsInDropOrder) {
  Handle win = Window({10, 10, 300, 200});
  Handle edit = Make(WidgetKind::kEditBox, win, {5, 5, 200, 100});
  // As a file manager delivers text/uri-list: CR LF separated, escaped.
  os.DeliverDrop(edit,
                 "file:///tmp/a%20b.txt\r\n"
                 "# a comment line\r\n"
                 "https://example.test/page\r\n"
                 "file:///tmp/%E4%B8%AD%E6%96%87/\r\n"
                 "file:///tmp/%F0%9F%98%80.txt\r\n");
  ASSERT_EQ(rec.Count(EventType::kFilesDropped), 1);
  const auto& e = rec.events.back();
  EXPECT_EQ(e.widget, win) << "the drop belongs to the top-level window";
  EXPECT_EQ(e.event.paths, (std::vector<std::string>{"/tmp/a b.txt", Gbk("/tmp/中文"), Gbk("/tmp/😀.txt")}));
  // Nothing local: no event.
  os.DeliverDrop(win, "https://example.test/\r\n");
  os.DeliverDrop(win, "");
  EXPECT_EQ(rec.Count(EventType::kFilesDropped), 1);
  // The edit box kept its text: a drop of files is not typing.
  EXPECT_EQ(os.GetText(edit), "");
}

class DialogTest : public GtkTest {};

// Answers the next message box from inside its own loop, as a person would
// by pressing one of its buttons; records what it showed.
struct BoxAnswer {
  int response;
  bool done = false;
  std::string title, text;
  std::vector<std::string> buttons;
};

gboolean AnswerBox(gpointer data) {
  auto* a = static_cast<BoxAnswer*>(data);
  GList* tops = gtk_window_list_toplevels();
  GtkWidget* box = nullptr;
  for (GList* l = tops; l; l = l->next)
    if (GTK_IS_MESSAGE_DIALOG(l->data) && gtk_widget_get_mapped(GTK_WIDGET(l->data))) box = GTK_WIDGET(l->data);
  g_list_free(tops);
  if (!box) return G_SOURCE_CONTINUE;
  a->title = gtk_window_get_title(GTK_WINDOW(box));
  gchar* text = nullptr;
  g_object_get(box, "text", &text, nullptr);
  a->text = text ? text : "";
  g_free(text);
  for (int id = 1; id <= 7; ++id)
    if (gtk_dialog_get_widget_for_response(GTK_DIALOG(box), id)) a->buttons.push_back(std::to_string(id));
  gtk_button_clicked(GTK_BUTTON(gtk_dialog_get_widget_for_response(GTK_DIALOG(box), a->response)));
  a->done = true;
  return G_SOURCE_REMOVE;
}

TEST_F(DialogTest, MessageBoxShowsItsTextsAndButtonsAndAnswersTheChosenOne) {
  struct Case {
    std::uint32_t style;
    int press;
    std::vector<std::string> buttons;
  } cases[] = {
      {0x00, platform::kIdOk, {"1"}},
      {0x01, platform::kIdCancel, {"1", "2"}},
      {0x24, platform::kIdNo, {"6", "7"}},
      {0x23, platform::kIdYes, {"2", "6", "7"}},
      {0x12, platform::kIdRetry, {"3", "4", "5"}},
  };
  for (const Case& c : cases) {
    BoxAnswer answer{c.press, false, {}, {}, {}};
    guint source = g_timeout_add(20, AnswerBox, &answer);
    int result = os.MessageBox(Gbk("是否打开保存目录？\r\n第二行😀"), Gbk("提示"), c.style);
    if (!answer.done) g_source_remove(source);
    EXPECT_EQ(result, c.press) << "style " << c.style;
    EXPECT_EQ(answer.title, "提示");
    EXPECT_EQ(answer.text, "是否打开保存目录？\n第二行😀");
    EXPECT_EQ(answer.buttons, c.buttons) << "style " << c.style;
  }
}

}  // namespace
}  // namespace tl::gtktest

namespace tl::gtktest {
namespace {

// Picks files in the next open-files dialog as a person would, once the
// dialog shows its folder; records what it offered.
struct FilePick {
  std::vector<std::string> names;  // in the dialog's folder
  std::string folder;              // shown at the start
  std::vector<std::string> filters;
  int listed = 0;                  // files the folder shows through the filter
  int steady = 0;
  bool done = false;
  gint64 deadline = 0;
};

// The list of files inside a file chooser.
GtkTreeView* FileList(GtkWidget* w) {
  if (GTK_IS_TREE_VIEW(w)) return GTK_TREE_VIEW(w);
  GtkTreeView* found = nullptr;
  if (GTK_IS_CONTAINER(w)) {
    GList* children = gtk_container_get_children(GTK_CONTAINER(w));
    for (GList* l = children; l && !found; l = l->next) found = FileList(GTK_WIDGET(l->data));
    g_list_free(children);
  }
  return found;
}

gboolean PickFiles(gpointer data) {
  auto* p = static_cast<FilePick*>(data);
  GtkWidget* dialog = nullptr;
  GList* tops = gtk_window_list_toplevels();
  for (GList* l = tops; l; l = l->next)
    if (GTK_IS_FILE_CHOOSER_DIALOG(l->data) && gtk_widget_get_mapped(GTK_WIDGET(l->data))) dialog = GTK_WIDGET(l->data);
  g_list_free(tops);
  if (!dialog) return G_SOURCE_CONTINUE;
  GtkFileChooser* chooser = GTK_FILE_CHOOSER(dialog);
  if (p->folder.empty()) {
    gchar* folder = gtk_file_chooser_get_current_folder(chooser);
    if (!folder) return G_SOURCE_CONTINUE;  // still loading
    p->folder = folder;
    g_free(folder);
    GSList* filters = gtk_file_chooser_list_filters(chooser);
    for (GSList* f = filters; f; f = f->next) p->filters.push_back(gtk_file_filter_get_name(GTK_FILE_FILTER(f->data)));
    g_slist_free(filters);
    for (const std::string& n : p->names)
      gtk_file_chooser_select_filename(chooser, (p->folder + "/" + n).c_str());
  }
  // Selecting before the folder's files are listed does not hold.
  GtkTreeView* list = FileList(dialog);
  GtkTreeModel* model = list ? gtk_tree_view_get_model(list) : nullptr;
  if ((!model || gtk_tree_model_iter_n_children(model, nullptr) < p->listed) && g_get_monotonic_time() < p->deadline)
    return G_SOURCE_CONTINUE;
  std::vector<std::string> want, have;
  for (const std::string& n : p->names) want.push_back(p->folder + "/" + n);
  GSList* chosen = gtk_file_chooser_get_filenames(chooser);
  for (GSList* l = chosen; l; l = l->next) have.push_back(static_cast<const char*>(l->data));
  g_slist_free_full(chosen, g_free);
  std::sort(want.begin(), want.end());
  std::sort(have.begin(), have.end());
  // The chooser selects its first row once the folder has loaded, and
  // selections made before that can be lost: select again until it holds
  // exactly the wanted files.
  if (have != want && g_get_monotonic_time() < p->deadline) {
    gtk_file_chooser_unselect_all(chooser);
    for (const std::string& f : want) gtk_file_chooser_select_filename(chooser, f.c_str());
    p->steady = 0;
    return G_SOURCE_CONTINUE;
  }
  // The same selection twice in a row: the chooser has settled.
  if (++p->steady < 2 && g_get_monotonic_time() < p->deadline) return G_SOURCE_CONTINUE;
  gtk_dialog_response(GTK_DIALOG(dialog), GTK_RESPONSE_ACCEPT);
  p->done = true;
  return G_SOURCE_REMOVE;
}

class FileDialogTest : public GtkTest {};

// GTK's own select_filename keeps only the last file it was given (it moves
// the cursor, which clears the selection), so a dialog test picks one file.
TEST_F(FileDialogTest, PicksAFileInTheInitialFolderAndMovesTheCurrentDirectory) {
  gchar* tmp = g_dir_make_tmp("tidyline-dialog-XXXXXX", nullptr);
  ASSERT_NE(tmp, nullptr);
  const std::string dir = tmp;
  g_free(tmp);
  const std::string cn = "中文.TXT";
  const std::string names[] = {"0first.txt", "a.txt", cn};
  for (const std::string& n : names) g_file_set_contents((dir + "/" + n).c_str(), "x", 1, nullptr);
  gchar* before = g_get_current_dir();

  FilePick pick;
  pick.names = {cn};
  pick.listed = 3;
  pick.deadline = g_get_monotonic_time() + 10000000;
  guint source = g_timeout_add(20, PickFiles, &pick);
  platform::OpenFilesRequest request;
  request.title = Gbk("选择文件");
  request.filters = {{Gbk("文本文件"), "*.txt"}, {Gbk("所有文件"), "*.*"}};
  request.initial_directory = Gbk(dir);
  auto paths = os.OpenFilesDialog(request);
  if (!pick.done) g_source_remove(source);
  ASSERT_TRUE(paths.has_value());
  std::vector<std::string> got = *paths;
  std::sort(got.begin(), got.end());
  // The upper-case name passed the "*.txt" filter: a file the filter hid
  // could not have been picked.
  std::vector<std::string> want = {Gbk(dir + "/" + cn)};
  std::sort(want.begin(), want.end());
  EXPECT_EQ(got, want);
  EXPECT_EQ(pick.folder, dir);
  EXPECT_EQ(pick.filters, (std::vector<std::string>{"文本文件", "所有文件"}));
  gchar* after = g_get_current_dir();
  EXPECT_EQ(std::string(after), dir) << "the current directory did not follow the chosen files";
  if (chdir(before) != 0) ADD_FAILURE() << "cannot go back to " << before;
  g_free(after);
  g_free(before);
  for (const std::string& n : names) g_remove((dir + "/" + n).c_str());
  g_rmdir(dir.c_str());
}

}  // namespace
}  // namespace tl::gtktest
