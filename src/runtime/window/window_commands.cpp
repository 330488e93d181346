#include "runtime/window/window_commands.h"

#include <cstdio>

#include "gbk_texts.h"
#include "runtime/commands/convert_commands.h"
#include "runtime/core/errors.h"
#include "runtime/core/message_pump.h"
#include "runtime/platform/platform.h"

namespace tl::rt {
namespace {

constexpr std::uint32_t kSystemModal = 0x1000;
constexpr std::uint32_t kTaskModal = 0x2000;

// The message shows numbers, booleans, texts and date-times as ToText writes
// them; any other kind shows an empty text.
Text ContentText(const TypedArg& v) {
  if (IsIndirect(v.tag)) return Text();
  switch (BaseTag(v.tag)) {
    case kTagByte: case kTagShort: case kTagInt: case kTagLong: case kTagFloat: case kTagDouble:
    case kTagBoolean: case kTagDateTime: case kTagText:
      return ToText(v);
    default:
      return Text();
  }
}

platform::Platform* Os() { return platform::Current(); }

bool IsLeadByte(char c) { return static_cast<unsigned char>(c) >= 0x80; }

}  // namespace

std::int32_t ShowMessage(std::string_view content, std::int32_t flags, std::optional<std::string_view> caption) {
  // A text may not carry bytes past its NUL into the dialog.
  content = content.substr(0, content.find('\0'));
  std::string_view shownCaption = caption ? *caption : gbk::WinMessageCaption;
  platform::Platform* os = Os();
  if (!os) {
    // No window system (the command-line tool): the text goes to standard
    // error and the box counts as answered with its first button.
    std::fprintf(stderr, "%.*s %.*s\n", static_cast<int>(shownCaption.size()), shownCaption.data(),
                 static_cast<int>(content.size()), content.data());
    return 0;
  }
  auto style = static_cast<std::uint32_t>(flags);
  if (!(style & kSystemModal)) style |= kTaskModal;
  int id = os->MessageBox(content, shownCaption, style);
  return (id >= platform::kIdOk && id <= platform::kIdNo) ? id - 1 : 0;
}

std::string GetClipboardString() {
  platform::Platform* os = Os();
  if (!os) return {};
  auto text = os->GetClipboardText();
  return text ? std::move(*text) : std::string();
}

Text GetClipboardText() { return Text(GetClipboardString()); }

bool SetClipboardText(std::string_view text) {
  platform::Platform* os = Os();
  return os && os->SetClipboardText(text.substr(0, text.find('\0')));
}

std::vector<std::pair<std::string, std::string>> ParseFileFilter(std::string_view filter) {
  std::vector<std::string> parts;
  std::string part;
  for (std::size_t i = 0; i < filter.size(); ++i) {
    if (IsLeadByte(filter[i]) && i + 1 < filter.size()) {
      part.append(filter, i, 2);
      ++i;
    } else if (filter[i] == '|') {
      parts.push_back(std::move(part));
      part.clear();
    } else {
      part.push_back(filter[i]);
    }
  }
  parts.push_back(std::move(part));
  std::vector<std::pair<std::string, std::string>> pairs;
  for (std::size_t i = 0; i < parts.size() && !parts[i].empty(); i += 2)
    pairs.emplace_back(parts[i], i + 1 < parts.size() ? parts[i + 1] : std::string());
  return pairs;
}

TextArray OpenFilesDialog(std::optional<std::string_view> title, std::optional<std::string_view> filter,
                          std::optional<std::int32_t> filter_index,
                          std::optional<std::string_view> initial_directory,
                          std::optional<std::int32_t> keep_directory) {
  platform::Platform* os = Os();
  if (!os) return TextArray();
  platform::OpenFilesRequest request;
  request.title = (title && !title->empty()) ? std::string(*title) : std::string(gbk::WinOpenFilesTitle);
  if (filter) request.filters = ParseFileFilter(*filter);
  std::int32_t index = filter_index.value_or(0);
  request.filter_index =
      (index < 0 || static_cast<std::size_t>(index) >= request.filters.size()) ? 0 : index;
  if (initial_directory) request.initial_directory = std::string(*initial_directory);
  request.keep_current_directory = keep_directory.value_or(0) == 1;
  // The backend returns every chosen path, however many: no fixed buffer.
  auto chosen = os->OpenFilesDialog(request);
  if (!chosen) return TextArray();
  TextArray out(chosen->size());
  for (std::size_t i = 0; i < chosen->size(); ++i) out.Set(static_cast<std::int64_t>(i + 1), Text((*chosen)[i]));
  return out;
}

bool LoadWindow(std::uint32_t window, std::optional<std::uint32_t> parent, std::optional<bool> modal) {
  // An unknown window or an owner that is not loaded is the caller's to
  // handle; a window of the program's own template that cannot be built is
  // an internal error: going on would leave the program running with
  // nothing on the screen and end it with success.
  if (!FindUnit(window, 0) || (parent && !IsWindowLoaded(*parent))) return false;
  if (!BuildWindow(window, parent, modal.value_or(false))) FatalError(gbk::ErrTemplateSegment);
  return true;
}

TypedArg ControlArg(ControlRef ref) {
  return arg::Long(static_cast<std::int64_t>((static_cast<std::uint64_t>(ref.window) << 32) | ref.unit));
}

std::optional<ControlRef> ArgControl(int argc, const TypedArg* args, int i) {
  const TypedArg* a = ArgAt(argc, args, i);
  if (!a) return std::nullopt;
  if (BaseTag(a->tag) == kTagLong) return ControlRef{a->hi, a->lo};
  if (BaseTag(a->tag) == kTagInt) return ControlRef{a->lo, 0};
  return std::nullopt;
}

namespace cmd {
namespace {

std::optional<std::string_view> OptText(int argc, const TypedArg* args, int i) {
  if (!ArgAt(argc, args, i)) return std::nullopt;
  return ArgText(argc, args, i);
}

void ShowMessageBody(ResultRecord& r, int argc, const TypedArg* args) {
  Text content = argc > 0 && args[0].given() ? ContentText(args[0]) : Text();
  ReturnInt(r, ShowMessage(content.view(), ArgInt(argc, args, 1).value_or(0), OptText(argc, args, 2)));
}
void GetClipboardTextBody(ResultRecord& r, int, const TypedArg*) { ReturnText(r, GetClipboardText()); }
void SetClipboardTextBody(ResultRecord& r, int argc, const TypedArg* args) {
  ReturnBool(r, SetClipboardText(ArgText(argc, args, 0)));
}
void OpenFilesDialogBody(ResultRecord& r, int argc, const TypedArg* args) {
  TextArray files = OpenFilesDialog(OptText(argc, args, 0), OptText(argc, args, 1), ArgInt(argc, args, 2),
                                    OptText(argc, args, 3), ArgInt(argc, args, 4));
  ReturnArray(r, files.release(), kTagText);
}
void LoadWindowBody(ResultRecord& r, int argc, const TypedArg* args) {
  auto target = ArgControl(argc, args, 0);
  auto parent = ArgControl(argc, args, 1);
  if (!target || (ArgAt(argc, args, 1) && !parent)) return ReturnBool(r, false);
  ReturnBool(r, LoadWindow(target->window, parent ? std::optional(parent->window) : std::nullopt,
                           ArgBool(argc, args, 2)));
}
void DoEventsBody(ResultRecord&, int, const TypedArg*) { DoEvents(); }
void MoveControlBody(ResultRecord&, int argc, const TypedArg* args) {
  if (auto target = ArgControl(argc, args, 0))
    MoveControl(*target, ArgInt(argc, args, 1), ArgInt(argc, args, 2), ArgInt(argc, args, 3),
                ArgInt(argc, args, 4));
}
void SetParentWindowBody(ResultRecord&, int argc, const TypedArg* args) {
  auto target = ArgControl(argc, args, 0);
  auto parent = ArgControl(argc, args, 1);
  if (target && parent) SetParentWindow(*target, *parent);
}

}  // namespace

const Command kShowMessage{"ShowMessage", &ShowMessageBody};
const Command kGetClipboardText{"GetClipboardText", &GetClipboardTextBody};
const Command kSetClipboardText{"SetClipboardText", &SetClipboardTextBody};
const Command kOpenFilesDialog{"OpenFilesDialog", &OpenFilesDialogBody};
const Command kLoadWindow{"LoadWindow", &LoadWindowBody};
const Command kDoEvents{"DoEvents", &DoEventsBody};
const Command kMoveControl{"MoveControl", &MoveControlBody};
const Command kSetParentWindow{"SetParentWindow", &SetParentWindowBody};

}  // namespace cmd
}  // namespace tl::rt
