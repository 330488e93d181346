#include "runtime/commands/registry.h"

#include <cstdlib>
#include <cstring>
#include <utility>

#include "runtime/core/gbk_view.h"

namespace tl::rt {
namespace {

RegistryBackend* g_backend = nullptr;

std::optional<RegistryValue> ReadValue(int root, std::string_view key, std::string_view name) {
  return g_backend ? g_backend->Read(root, key, name) : os::ReadRegistry(root, key, name);
}

bool WriteValue(int root, std::string_view key, std::string_view name, const RegistryValue& value) {
  return g_backend ? g_backend->Write(root, key, name, value) : os::WriteRegistry(root, key, name, value);
}

// Splits "key\...\name" at its last "\" (not the second byte of a GBK
// character).
std::pair<std::string_view, std::string_view> SplitItemPath(std::string_view path) {
  std::size_t cut = gbk::FindLastCharacter(path, '\\');
  if (cut == std::string_view::npos) return {{}, path};
  return {path.substr(0, cut), path.substr(cut + 1)};
}

}  // namespace

RegistryBackend* SetRegistryBackend(RegistryBackend* backend) { return std::exchange(g_backend, backend); }

int NormaliseRegistryRoot(int root) { return root >= 1 && root <= 5 ? root : 3; }

std::string ExpandEnvironmentReferences(std::string_view text) {
  std::string out;
  std::size_t i = 0;
  while (i < text.size()) {
    std::size_t open = text.find('%', i);
    if (open == std::string_view::npos) break;
    std::size_t close = text.find('%', open + 1);
    if (close == std::string_view::npos) break;
    out.append(text.substr(i, open - i));
    std::string name(text.substr(open + 1, close - open - 1));
    const char* value = name.empty() ? nullptr : std::getenv(name.c_str());
    if (value) {
      out.append(value);
      i = close + 1;
    } else {
      // Unknown: keep the first "%" and let the second open the next reference.
      out.append(text.substr(open, close - open));
      i = close;
    }
  }
  out.append(text.substr(i));
  return out;
}

// A key path with an empty piece names no key, and registries differ in what
// they make of it (wine drops the empty piece): it is refused on every system.
Text ReadRegistryText(int root, std::string_view itemPath, std::optional<std::string_view> defaultText) {
  auto [key, name] = SplitItemPath(itemPath);
  auto value = gbk::PiecesNonEmpty(key, '\\') ? ReadValue(NormaliseRegistryRoot(root), key, name) : std::nullopt;
  if (value && (value->type == RegistryType::kText || value->type == RegistryType::kExpandText)) {
    std::string_view text(value->data);
    text = text.substr(0, text.find('\0'));
    if (value->type == RegistryType::kText) return Text(text);
    return Text(ExpandEnvironmentReferences(text));
  }
  return Text(defaultText.value_or(std::string_view()));
}

bool WriteRegistryItem(int root, std::string_view itemPath, const TypedArg& value) {
  RegistryValue v;
  if (IsNumericKind(value.tag) && !IsIndirect(value.tag)) {
    std::int32_t n = *ArgInt(1, &value, 0);
    v.type = RegistryType::kDword;
    v.data.resize(4);
    for (int i = 0; i < 4; ++i) v.data[i] = static_cast<char>((static_cast<std::uint32_t>(n) >> (8 * i)) & 0xFF);
  } else if (value.tag == kTagText) {
    const char* s = static_cast<const char*>(value.pointer());
    if (!s) s = "";
    v.type = RegistryType::kText;
    v.data.assign(s, std::strlen(s) + 1);
  } else if (value.tag == kTagByteSet) {
    v.type = RegistryType::kBinary;
    v.data.assign(ByteSet::BlockData(value.pointer()) ? ByteSet::BlockData(value.pointer()) : "",
                  ByteSet::BlockSize(value.pointer()));
  } else {
    return false;
  }
  auto [key, name] = SplitItemPath(itemPath);
  return gbk::PiecesNonEmpty(key, '\\') && WriteValue(NormaliseRegistryRoot(root), key, name, v);
}

namespace {
void ReadBody(ResultRecord& r, int argc, const TypedArg* args) {
  std::optional<std::string_view> def;
  if (ArgAt(argc, args, 2)) def = ArgText(argc, args, 2);
  ReturnText(r, ReadRegistryText(ArgInt(argc, args, 0).value_or(0), ArgText(argc, args, 1), def));
}
void WriteBody(ResultRecord& r, int argc, const TypedArg* args) {
  ReturnBool(r, argc > 2 && WriteRegistryItem(ArgInt(argc, args, 0).value_or(0), ArgText(argc, args, 1), args[2]));
}
}  // namespace

const Command kReadRegistryText{"ReadRegistryText", ReadBody};
const Command kWriteRegistryItem{"WriteRegistryItem", WriteBody};

}  // namespace tl::rt
