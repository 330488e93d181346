// The objects that the in-process "Scripting.FileSystemObject" hands out:
// folders, files, drives and text streams. Each factory gives a new object
// with one reference.
#pragma once
#include <string>

#include "runtime/automation/inprocess/fs_native.h"
#include "runtime/automation/object_model.h"

namespace tl::rt::automation {

Dispatch* NewFolderObject(std::string normalizedPath);
Dispatch* NewFileObject(std::string normalizedPath);
Dispatch* NewDriveObject(fsnative::Mount mount);

// I/O modes and formats of text streams.
inline constexpr int kForReading = 1;
inline constexpr int kForWriting = 2;
inline constexpr int kForAppending = 8;
inline constexpr int kFormatAscii = 0;      // the program's code page (GBK)
inline constexpr int kFormatUnicode = -1;   // UTF-16LE with a byte-order mark
inline constexpr int kFormatDefault = -2;   // the system default: as ASCII

HResult OpenTextStream(const std::string& native, int mode, bool create, int format, Dispatch** out);
HResult CreateTextStream(const std::string& native, bool overwrite, bool unicode, Dispatch** out);
// 0 standard input, 1 standard output, 2 standard error.
HResult StandardTextStream(int code, bool unicode, Dispatch** out);

}  // namespace tl::rt::automation
