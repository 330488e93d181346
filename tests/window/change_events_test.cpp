// Text- and selection-changed events come from the user only: what the
// program sets through the interface is never reported back as a change.
#include <gtest/gtest.h>

#include <vector>

#include "runtime/platform/headless/headless.h"

namespace tl::platform {
namespace {

struct Recorder : EventSink {
  EventReply OnEvent(Handle widget, const Event& event) override {
    if (event.type == EventType::kTextChanged || event.type == EventType::kSelectionChanged)
      changes.push_back({widget, event.type});
    return {};
  }
  std::vector<std::pair<Handle, EventType>> changes;
};

TEST(ChangeEvents, OnlyTheUsersChangesAreReported) {
  headless::Headless os;
  Recorder sink;
  os.SetEventSink(&sink);
  WidgetSpec top;
  top.kind = WidgetKind::kTopWindow;
  top.class_name = "Test";
  const Handle window = os.CreateWidget(top);
  WidgetSpec editSpec;
  editSpec.kind = WidgetKind::kEditBox;
  editSpec.parent = window;
  const Handle edit = os.CreateWidget(editSpec);
  WidgetSpec comboSpec;
  comboSpec.kind = WidgetKind::kComboBox;
  comboSpec.parent = window;
  comboSpec.combo_type = 2;
  const Handle combo = os.CreateWidget(comboSpec);
  for (Handle w : {window, edit, combo}) os.SetVisible(w, true);
  os.AddItem(combo, "a");
  os.AddItem(combo, "b");

  // The program's own changes, before and while the loop runs.
  os.SetText(edit, "set by the program");
  os.SetSelection(combo, 1);
  os.RunFor(10);
  EXPECT_TRUE(sink.changes.empty());
  EXPECT_EQ(os.GetText(edit), "set by the program");
  EXPECT_EQ(os.GetSelection(combo), 1);

  // The user's changes.
  os.Type(edit, "x");
  os.Select(combo, 0);
  os.RunFor(10);
  const std::vector<std::pair<Handle, EventType>> expected = {{edit, EventType::kTextChanged},
                                                               {combo, EventType::kSelectionChanged}};
  EXPECT_EQ(sink.changes, expected);
  os.DestroyWidget(window);
}

}  // namespace
}  // namespace tl::platform
