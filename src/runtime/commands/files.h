// Open files addressed by file number, and whole-file reads and writes.
//
// A file number names an entry of the open-file table (never 0); every
// command looks it up first, and an unknown number makes the command fail
// without touching anything. Each open file has one read/write position.
// Nothing here raises a runtime error: failures are results (0, -1, false,
// an empty text or byte-set).
//
// Positions and lengths are 64-bit in these typed functions; the frame
// bodies hand them to the application as 32-bit ints (-1 when larger).
#pragma once
#include <cstdint>
#include <initializer_list>
#include <optional>
#include <span>
#include <string_view>

#include "runtime/core/frame.h"
#include "runtime/core/value.h"

namespace tl::rt {

using FileNumber = std::int32_t;

enum FileKind : int { kDiskFile = 1, kMemoryFile = 2 };

// Access modes: 1 read only, 2 write only, 3 read and write (all three need
// an existing file); 4 create or truncate, write only; 5 write only, created
// if missing; 6 read and write, created if missing. Default 3.
// Sharing: 1 others may read and write, 2 others may not read, 3 others may
// not write, 4 exclusive. Default 1. The file is opened at position 0.
FileNumber OpenFile(std::string_view path, std::optional<int> mode = std::nullopt,
                    std::optional<int> sharing = std::nullopt);
// A new, empty file in memory.
FileNumber OpenMemoryFile();
void CloseFile(FileNumber f);
// Kind of an open file; 0 for an unknown number.
int FileKindOf(FileNumber f);

// Up to n bytes at the position (fewer at the end).
ByteSet ReadBytes(FileNumber f, std::int64_t n);
// Up to n bytes (default: the file's whole length) as text, ending before the
// first NUL or 0x1A, which is not consumed; a lead byte right before a NUL is
// dropped.
Text ReadText(FileNumber f, std::optional<std::int64_t> n = std::nullopt);
// One line: up to LF (consumed), NUL or 0x1A (not consumed); a final CR is
// removed.
Text ReadLine(FileNumber f);

// Writes at the position and moves past what was written. On failure the
// position is put back and the result is false.
bool WriteTextToFile(FileNumber f, std::span<const std::string_view> texts);
bool WriteBytesToFile(FileNumber f, std::span<const std::string_view> byteSets);
inline bool WriteBytesToFile(FileNumber f, std::string_view bytes) {
  return WriteBytesToFile(f, std::span<const std::string_view>(&bytes, 1));
}
// Inserts the concatenated bytes at the position, moving the tail up in
// blocks of at most 4096 bytes; the position ends after the inserted bytes.
bool InsertBytesIntoFile(FileNumber f, std::span<const std::string_view> byteSets);
inline bool InsertBytesIntoFile(FileNumber f, std::string_view bytes) {
  return InsertBytesIntoFile(f, std::span<const std::string_view>(&bytes, 1));
}
// Removes n bytes at the position, moving the tail down in blocks of at most
// 4096 bytes; the length becomes max(length - n, position) and the position
// ends at the new end of the file. n <= 0 changes nothing.
bool DeleteFileBytes(FileNumber f, std::int64_t n);

// Origin 1 start (default), 2 end, 3 current position. A resulting position
// below 0, or another origin, fails without moving.
bool SeekFile(FileNumber f, std::optional<int> origin, std::int64_t offset);
bool SeekFileStart(FileNumber f);
bool SeekFileEnd(FileNumber f);
std::int64_t FilePosition(FileNumber f);  // -1 on failure
std::int64_t FileLength(FileNumber f);    // -1 on failure
// True at or past the end (and for an unknown file); with stopAtNul, also
// when the next byte is NUL or 0x1A. The position does not move.
bool AtFileEnd(FileNumber f, std::optional<bool> stopAtNul = std::nullopt);

// The whole file (opened for reading, others may read but not write).
ByteSet ReadFileBytes(std::string_view path);
// Creates or truncates the file (exclusive) and writes the byte-sets in
// order. A file already truncated stays so when a later write fails.
bool WriteFileBytes(std::string_view path, std::span<const std::string_view> byteSets);
inline bool WriteFileBytes(std::string_view path, std::string_view bytes) {
  return WriteFileBytes(path, std::span<const std::string_view>(&bytes, 1));
}
// True when a directory search for the path finds an entry: wildcards match,
// directories count.
bool FileExists(std::string_view path);
// One directory; false if it exists or its parent does not.
bool MakeDirectory(std::string_view path);

// Frame bodies of the commands above.
extern const Command kOpenFile;
extern const Command kOpenMemoryFile;
extern const Command kCloseFile;
extern const Command kReadBytes;
extern const Command kReadText;
extern const Command kReadLine;
extern const Command kWriteTextToFile;
extern const Command kWriteBytesToFile;
extern const Command kInsertBytesIntoFile;
extern const Command kDeleteFileBytes;
extern const Command kSeekFile;
extern const Command kSeekFileStart;
extern const Command kSeekFileEnd;
extern const Command kFilePosition;
extern const Command kFileLength;
extern const Command kAtFileEnd;
extern const Command kReadFileBytes;
extern const Command kWriteFileBytes;
extern const Command kFileExists;
extern const Command kMakeDirectory;

}  // namespace tl::rt
