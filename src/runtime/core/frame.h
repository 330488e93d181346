// The command-call frame: a command is one body that receives the zeroed
// result record and the typed arguments. Commands are identified by their
// Command object (a name and a body pointer), so each command lives beside
// its typed C++ function and nothing needs a central table.
#pragma once
#include <cstdint>
#include <initializer_list>
#include <optional>
#include <string_view>

#include "runtime/core/value.h"

namespace tl::rt {

using CommandBody = void (*)(ResultRecord& result, int argc, const TypedArg* args);

struct Command {
  const char* name;
  CommandBody body;
};

ResultRecord CallCommand(const Command& command, int argc, const TypedArg* args);
// Commands of the other runtime libraries (object library, encodings): the
// same convention.
ResultRecord CallLibraryCommand(const Command& command, int argc, const TypedArg* args);
inline ResultRecord CallCommand(const Command& command, std::initializer_list<TypedArg> args) {
  return CallCommand(command, static_cast<int>(args.size()), args.begin());
}
inline ResultRecord CallLibraryCommand(const Command& command, std::initializer_list<TypedArg> args) {
  return CallLibraryCommand(command, static_cast<int>(args.size()), args.begin());
}

// Argument readers for command bodies. Index is 0-based; a position past
// argc, or a tag 0, is "not given".
inline const TypedArg* ArgAt(int argc, const TypedArg* args, int i) {
  return (i < argc && args[i].given()) ? &args[i] : nullptr;
}
// A text argument (never null when given; the constant "" for empty).
std::string_view ArgText(int argc, const TypedArg* args, int i);
// A byte-set argument's bytes.
std::string_view ArgBytes(int argc, const TypedArg* args, int i);
std::optional<std::int32_t> ArgInt(int argc, const TypedArg* args, int i);
std::optional<bool> ArgBool(int argc, const TypedArg* args, int i);
std::optional<double> ArgDouble(int argc, const TypedArg* args, int i);

// Result writers: they hand ownership of the block to the caller.
void ReturnText(ResultRecord& r, Text value);
void ReturnByteSet(ResultRecord& r, ByteSet value);
void ReturnArray(ResultRecord& r, void* block, std::uint32_t elementTag);
void ReturnInt(ResultRecord& r, std::int32_t value);
void ReturnBool(ResultRecord& r, bool value);
void ReturnDouble(ResultRecord& r, double value);
void ReturnDateTime(ResultRecord& r, double value);

// Caller side: take the owned block out of a result record.
inline Text TakeText(const ResultRecord& r) { return Text::Adopt(static_cast<char*>(r.pointer())); }
inline ByteSet TakeByteSet(const ResultRecord& r) { return ByteSet::Adopt(r.pointer()); }
inline TextArray TakeTextArray(const ResultRecord& r) { return TextArray::Adopt(r.pointer()); }

}  // namespace tl::rt
