// Typed wrappers around the scriptable file-system object and the drive,
// folder, file and text-stream objects it hands out. Each holds one object
// reference and forwards every member by name through the automation
// commands; a missing object or a failed call gives the empty value of the
// result (empty text, false, 0, an empty wrapper). Texts are GBK; paths use
// the platform's separator.
#pragma once
#include <cstdint>
#include <optional>
#include <string_view>

#include "runtime/automation/commands.h"
#include "runtime/core/value.h"

namespace tl::fs {

// Common part: the held object, Attach and the forwarding helpers.
class FsWrapper {
 public:
  // Takes a new reference to `object` and drops the one held before.
  void Attach(const rt::ObjectHolder& object);
  const rt::Object& object() const { return object_; }
  bool empty() const { return object_.empty(); }

 protected:
  rt::Object object_;
};

class FsTextStream : public FsWrapper {
 public:
  double Line() const;
  double Column() const;
  bool AtEndOfStream() const;
  bool AtEndOfLine() const;
  rt::Text Read(std::int32_t count) const;
  rt::Text ReadLine() const;
  rt::Text ReadAll() const;
  void Write(std::string_view text) const;
  void WriteLine(std::string_view text) const;
  void WriteBlankLines(std::int32_t count) const;
  void Skip(std::int32_t count) const;
  void SkipLine() const;
  void Close() const;
};

class FsFolder;

class FsDrive : public FsWrapper {
 public:
  void Nothing() const {}
  rt::Text Path() const;
  rt::Text DriveLetter() const;
  rt::Text ShareName() const;
  double DriveType() const;
  FsFolder RootFolder() const;
  double AvailableSpace() const;
  double FreeSpace() const;
  double TotalSize() const;
  rt::Text VolumeName() const;
  bool SetVolumeName(std::string_view name) const;
  rt::Text FileSystem() const;
  double SerialNumber() const;
  bool IsReady() const;
};

// Members that folders and files share.
class FsItem : public FsWrapper {
 public:
  rt::Text Path() const;
  rt::Text Name() const;
  bool SetName(std::string_view name) const;
  rt::Text ShortPath() const;
  rt::Text ShortName() const;
  FsDrive Drive() const;
  FsFolder ParentFolder() const;
  double Attributes() const;
  bool SetAttributes(std::int32_t attributes) const;
  double DateCreated() const;
  double DateLastModified() const;
  double DateLastAccessed() const;
  rt::Text Type() const;
  rt::VariantValue Size() const;
  void Delete(bool force = false) const;
  void Copy(std::string_view destination, bool overwrite = true) const;
  void Move(std::string_view destination) const;
};

class FsFolder : public FsItem {
 public:
  void Nothing() const {}
  bool IsRootFolder() const;
  rt::Object SubFolders() const;
  rt::Object Files() const;
  // Subfolders when true, else files.
  rt::Object Items(bool folders) const;
  FsTextStream CreateTextFile(std::string_view path, bool overwrite = false, bool unicode = false) const;
};

class FsFile : public FsItem {
 public:
  // Mode 1 reading, 2 writing, 8 appending; format 0 ANSI, -1 Unicode, -2 default.
  FsTextStream OpenAsTextStream(std::int32_t mode = 1, std::int32_t format = 0) const;
};

class FsObject : public FsWrapper {
 public:
  // Takes the component library for the thread (CoInitialize where the
  // system has it), then creates the "scripting.FileSystemObject" (empty
  // when it cannot be made). A copy holds a second reference and takes the
  // library again, so every wrapper's end gives it back once.
  FsObject();
  FsObject(const FsObject& other);
  FsObject& operator=(const FsObject& other) = default;
  // Releases the object, then gives the library back (CoUninitialize).
  ~FsObject();

  rt::Object Drives() const;
  rt::Text BuildPath(std::string_view path, std::string_view name) const;
  rt::Text GetDriveName(std::string_view path) const;
  // Without a trailing separator, except for the root itself.
  rt::Text GetParentFolderName(std::string_view path) const;
  rt::Text GetFileName(std::string_view path) const;
  rt::Text GetBaseName(std::string_view path) const;
  rt::Text GetExtensionName(std::string_view path) const;
  rt::Text GetAbsolutePathName(std::string_view path) const;
  rt::Text GetTempName() const;
  bool DriveExists(std::string_view driveSpec) const;
  bool FileExists(std::string_view path) const;
  bool FolderExists(std::string_view path) const;
  FsDrive GetDrive(std::string_view driveSpec) const;
  FsFile GetFile(std::string_view path) const;
  FsFolder GetFolder(std::string_view path) const;
  FsFolder GetSpecialFolder(std::int32_t code) const;
  // True when the file (folder) does not exist afterwards.
  bool DeleteFile(std::string_view path, bool force = false) const;
  bool DeleteFolder(std::string_view path, bool force = false) const;
  // True when the source is gone and the destination exists, or when both
  // name the same path (ASCII case ignored).
  bool MoveFile(std::string_view source, std::string_view destination) const;
  bool MoveFolder(std::string_view source, std::string_view destination) const;
  // True when source and destination both exist afterwards.
  bool CopyFile(std::string_view source, std::string_view destination, bool overwrite = true) const;
  bool CopyFolder(std::string_view source, std::string_view destination, bool overwrite = true) const;
  FsFolder CreateFolder(std::string_view path) const;
  FsTextStream CreateTextFile(std::string_view path, bool overwrite = false, bool unicode = false) const;
  // Mode 1 reading (also when given as 0), 2 writing, 8 appending.
  FsTextStream OpenTextFile(std::string_view path, std::int32_t mode = 1, bool create = false,
                            std::int32_t format = 0) const;
  FsTextStream GetStandardStream(std::int32_t code, bool unicode = false) const;
  rt::Text GetFileVersion(std::string_view path) const;
};

}  // namespace tl::fs
