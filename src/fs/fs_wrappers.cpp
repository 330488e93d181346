#include "fs/fs_wrappers.h"

#include <initializer_list>
#include <string>
#include <vector>

#include "runtime/os/files.h"
#include "runtime/commands/text_commands.h"
#include "runtime/core/declared_commands.h"

namespace tl::fs {

namespace {

using rt::fileio::kSeparator;

// Arguments for one call: texts are copied so each is NUL-terminated.
class Args {
 public:
  Args& Text(std::string_view s) {
    texts_.emplace_back(s);
    kinds_.push_back(kText);
    values_.push_back(rt::TypedArg{});
    return *this;
  }
  Args& Int(std::int32_t v) {
    kinds_.push_back(kValue);
    values_.push_back(rt::arg::Int(v));
    return *this;
  }
  Args& Bool(bool v) {
    kinds_.push_back(kValue);
    values_.push_back(rt::arg::Boolean(v));
    return *this;
  }
  rt::MemberArgs span() {
    std::size_t t = 0;
    for (std::size_t i = 0; i < values_.size(); ++i)
      if (kinds_[i] == kText) values_[i] = rt::arg::Text(texts_[t++].c_str());
    return values_;
  }

 private:
  enum Kind { kText, kValue };
  std::vector<std::string> texts_;  // stable: only read after all are added
  std::vector<Kind> kinds_;
  std::vector<rt::TypedArg> values_;
};

template <typename W>
W Wrap(rt::Object obj) {
  // A new wrapper attaches the returned object; the temporary is released
  // when `obj` goes.
  W w;
  w.Attach(obj.holder());
  return w;
}

template <typename W>
W CallWrapped(const rt::Object& o, std::string_view name, Args a = {}) {
  return Wrap<W>(rt::CallObjectMethodObject(o.holder(), name, a.span()));
}
template <typename W>
W GetWrapped(const rt::Object& o, std::string_view name) {
  return Wrap<W>(rt::GetObjectProperty(o.holder(), name));
}

rt::Text CallText(const rt::Object& o, std::string_view name, Args a = {}) {
  return rt::CallObjectMethodText(o.holder(), name, a.span());
}
bool CallBool(const rt::Object& o, std::string_view name, Args a = {}) {
  return rt::CallObjectMethodBool(o.holder(), name, a.span());
}
void Call(const rt::Object& o, std::string_view name, Args a = {}) { rt::CallObjectMethod(o.holder(), name, a.span()); }
rt::Text GetText(const rt::Object& o, std::string_view name) { return rt::GetTextProperty(o.holder(), name); }
bool GetBool(const rt::Object& o, std::string_view name) { return rt::GetBoolProperty(o.holder(), name); }
double GetNumber(const rt::Object& o, std::string_view name) { return rt::GetNumberProperty(o.holder(), name); }
double GetDate(const rt::Object& o, std::string_view name) { return rt::GetDateProperty(o.holder(), name); }
bool Set(const rt::Object& o, std::string_view name, Args a) { return rt::SetObjectProperty(o.holder(), name, a.span()); }

// Large sizes come as variants; read as a double and let the variant go.
double VariantNumber(const rt::Object& o, std::string_view name) {
  rt::VariantValue v = rt::GetVariantProperty(o.holder(), name);
  const double d = rt::VariantToNumber(v.get());
  rt::ClearVariant(v.get());
  return d;
}

bool SamePathIgnoringCase(std::string_view a, std::string_view b) {
  return rt::ToLower(a).view() == rt::ToLower(b).view();
}

}  // namespace

void FsWrapper::Attach(const rt::ObjectHolder& object) {
  rt::ObjectHolder old = object_.holder();
  rt::AssignObject(object_.holder(), object);
  rt::ReleaseObject(old);
}

// ---------------------------------------------------------------------------

double FsTextStream::Line() const { return GetNumber(object_, "Line"); }
double FsTextStream::Column() const { return GetNumber(object_, "Column"); }
bool FsTextStream::AtEndOfStream() const { return GetBool(object_, "AtEndOfStream"); }
bool FsTextStream::AtEndOfLine() const { return GetBool(object_, "AtEndOfLine"); }
rt::Text FsTextStream::Read(std::int32_t count) const { return CallText(object_, "Read", Args().Int(count)); }
rt::Text FsTextStream::ReadLine() const { return CallText(object_, "ReadLine"); }
rt::Text FsTextStream::ReadAll() const { return CallText(object_, "ReadAll"); }
void FsTextStream::Write(std::string_view text) const { Call(object_, "Write", Args().Text(text)); }
void FsTextStream::WriteLine(std::string_view text) const { Call(object_, "WriteLine", Args().Text(text)); }
void FsTextStream::WriteBlankLines(std::int32_t count) const { Call(object_, "WriteBlankLines", Args().Int(count)); }
void FsTextStream::Skip(std::int32_t count) const { Call(object_, "Skip", Args().Int(count)); }
void FsTextStream::SkipLine() const { Call(object_, "SkipLine"); }
void FsTextStream::Close() const { Call(object_, "Close"); }

// ---------------------------------------------------------------------------

rt::Text FsDrive::Path() const { return GetText(object_, "Path"); }
rt::Text FsDrive::DriveLetter() const { return GetText(object_, "DriveLetter"); }
rt::Text FsDrive::ShareName() const { return GetText(object_, "ShareName"); }
double FsDrive::DriveType() const { return GetNumber(object_, "DriveType"); }
FsFolder FsDrive::RootFolder() const { return GetWrapped<FsFolder>(object_, "RootFolder"); }
double FsDrive::AvailableSpace() const { return VariantNumber(object_, "AvailableSpace"); }
double FsDrive::FreeSpace() const { return VariantNumber(object_, "FreeSpace"); }
double FsDrive::TotalSize() const { return VariantNumber(object_, "TotalSize"); }
rt::Text FsDrive::VolumeName() const { return GetText(object_, "VolumeName"); }
bool FsDrive::SetVolumeName(std::string_view name) const { return Set(object_, "VolumeName", Args().Text(name)); }
rt::Text FsDrive::FileSystem() const { return GetText(object_, "FileSystem"); }
double FsDrive::SerialNumber() const { return GetNumber(object_, "SerialNumber"); }
bool FsDrive::IsReady() const { return GetBool(object_, "IsReady"); }

// ---------------------------------------------------------------------------

rt::Text FsItem::Path() const { return GetText(object_, "Path"); }
rt::Text FsItem::Name() const { return GetText(object_, "Name"); }
bool FsItem::SetName(std::string_view name) const { return Set(object_, "Name", Args().Text(name)); }
rt::Text FsItem::ShortPath() const { return GetText(object_, "ShortPath"); }
rt::Text FsItem::ShortName() const { return GetText(object_, "ShortName"); }
FsDrive FsItem::Drive() const { return GetWrapped<FsDrive>(object_, "Drive"); }
FsFolder FsItem::ParentFolder() const { return GetWrapped<FsFolder>(object_, "ParentFolder"); }
double FsItem::Attributes() const { return GetNumber(object_, "Attributes"); }
bool FsItem::SetAttributes(std::int32_t attributes) const { return Set(object_, "Attributes", Args().Int(attributes)); }
double FsItem::DateCreated() const { return GetDate(object_, "DateCreated"); }
double FsItem::DateLastModified() const { return GetDate(object_, "DateLastModified"); }
double FsItem::DateLastAccessed() const { return GetDate(object_, "DateLastAccessed"); }
rt::Text FsItem::Type() const { return GetText(object_, "Type"); }
rt::VariantValue FsItem::Size() const { return rt::GetVariantProperty(object_.holder(), "Size"); }
void FsItem::Delete(bool force) const { Call(object_, "Delete", Args().Bool(force)); }
void FsItem::Copy(std::string_view destination, bool overwrite) const {
  Call(object_, "Copy", Args().Text(destination).Bool(overwrite));
}
void FsItem::Move(std::string_view destination) const { Call(object_, "Move", Args().Text(destination)); }

bool FsFolder::IsRootFolder() const { return GetBool(object_, "IsRootFolder"); }
rt::Object FsFolder::SubFolders() const { return rt::GetObjectProperty(object_.holder(), "SubFolders"); }
rt::Object FsFolder::Files() const { return rt::GetObjectProperty(object_.holder(), "Files"); }
rt::Object FsFolder::Items(bool folders) const { return folders ? SubFolders() : Files(); }
FsTextStream FsFolder::CreateTextFile(std::string_view path, bool overwrite, bool unicode) const {
  return CallWrapped<FsTextStream>(object_, "CreateTextFile", Args().Text(path).Bool(overwrite).Bool(unicode));
}

FsTextStream FsFile::OpenAsTextStream(std::int32_t mode, std::int32_t format) const {
  return CallWrapped<FsTextStream>(object_, "OpenAsTextStream", Args().Int(mode ? mode : 1).Int(format));
}

// ---------------------------------------------------------------------------

FsObject::FsObject() {
  rt::InitializeComForThread();
  rt::CreateObject(object_.holder(), "scripting.FileSystemObject");
}

FsObject::FsObject(const FsObject& other) : FsWrapper(other) { rt::InitializeComForThread(); }

FsObject::~FsObject() {
  object_ = rt::Object();
  rt::UninitializeComForThread();
}

rt::Object FsObject::Drives() const { return rt::GetObjectProperty(object_.holder(), "Drives"); }
rt::Text FsObject::BuildPath(std::string_view path, std::string_view name) const {
  return CallText(object_, "BuildPath", Args().Text(path).Text(name));
}
rt::Text FsObject::GetDriveName(std::string_view path) const { return CallText(object_, "GetDriveName", Args().Text(path)); }
rt::Text FsObject::GetParentFolderName(std::string_view path) const {
  rt::Text answer = CallText(object_, "GetParentFolderName", Args().Text(path));
  const std::string_view v = answer.view();
  // The root keeps its separator: without it there would be no path left.
  if (v.size() > 1 && v.back() == kSeparator && !(v.size() == 3 && v[1] == ':'))
    return rt::Text(v.substr(0, v.size() - 1));
  return answer;
}
rt::Text FsObject::GetFileName(std::string_view path) const { return CallText(object_, "GetFileName", Args().Text(path)); }
rt::Text FsObject::GetBaseName(std::string_view path) const { return CallText(object_, "GetBaseName", Args().Text(path)); }
rt::Text FsObject::GetExtensionName(std::string_view path) const {
  return CallText(object_, "GetExtensionName", Args().Text(path));
}
rt::Text FsObject::GetAbsolutePathName(std::string_view path) const {
  return CallText(object_, "GetAbsolutePathName", Args().Text(path));
}
rt::Text FsObject::GetTempName() const { return CallText(object_, "GetTempName"); }
bool FsObject::DriveExists(std::string_view driveSpec) const { return CallBool(object_, "DriveExists", Args().Text(driveSpec)); }
bool FsObject::FileExists(std::string_view path) const { return CallBool(object_, "FileExists", Args().Text(path)); }
bool FsObject::FolderExists(std::string_view path) const { return CallBool(object_, "FolderExists", Args().Text(path)); }
FsDrive FsObject::GetDrive(std::string_view driveSpec) const { return CallWrapped<FsDrive>(object_, "GetDrive", Args().Text(driveSpec)); }
FsFile FsObject::GetFile(std::string_view path) const { return CallWrapped<FsFile>(object_, "GetFile", Args().Text(path)); }
FsFolder FsObject::GetFolder(std::string_view path) const {
  return CallWrapped<FsFolder>(object_, "GetFolder", Args().Text(path));
}
FsFolder FsObject::GetSpecialFolder(std::int32_t code) const {
  return CallWrapped<FsFolder>(object_, "GetSpecialFolder", Args().Int(code));
}
bool FsObject::DeleteFile(std::string_view path, bool force) const {
  Call(object_, "DeleteFile", Args().Text(path).Bool(force));
  return !FileExists(path);
}
bool FsObject::DeleteFolder(std::string_view path, bool force) const {
  Call(object_, "DeleteFolder", Args().Text(path).Bool(force));
  return !FolderExists(path);
}
bool FsObject::MoveFile(std::string_view source, std::string_view destination) const {
  Call(object_, "MoveFile", Args().Text(source).Text(destination));
  if (!FileExists(source) && FileExists(destination)) return true;
  return SamePathIgnoringCase(source, destination);
}
bool FsObject::MoveFolder(std::string_view source, std::string_view destination) const {
  Call(object_, "MoveFolder", Args().Text(source).Text(destination));
  if (!FolderExists(source) && FolderExists(destination)) return true;
  return SamePathIgnoringCase(source, destination);
}
bool FsObject::CopyFile(std::string_view source, std::string_view destination, bool overwrite) const {
  Call(object_, "CopyFile", Args().Text(source).Text(destination).Bool(overwrite));
  return FileExists(source) && FileExists(destination);
}
bool FsObject::CopyFolder(std::string_view source, std::string_view destination, bool overwrite) const {
  Call(object_, "CopyFolder", Args().Text(source).Text(destination).Bool(overwrite));
  return FolderExists(source) && FolderExists(destination);
}
FsFolder FsObject::CreateFolder(std::string_view path) const {
  return CallWrapped<FsFolder>(object_, "CreateFolder", Args().Text(path));
}
FsTextStream FsObject::CreateTextFile(std::string_view path, bool overwrite, bool unicode) const {
  return CallWrapped<FsTextStream>(object_, "CreateTextFile", Args().Text(path).Bool(overwrite).Bool(unicode));
}
FsTextStream FsObject::OpenTextFile(std::string_view path, std::int32_t mode, bool create, std::int32_t format) const {
  return CallWrapped<FsTextStream>(object_, "OpenTextFile",
                                   Args().Text(path).Int(mode ? mode : 1).Bool(create).Int(format));
}
FsTextStream FsObject::GetStandardStream(std::int32_t code, bool unicode) const {
  return CallWrapped<FsTextStream>(object_, "GetStandardStream", Args().Int(code).Bool(unicode));
}
rt::Text FsObject::GetFileVersion(std::string_view path) const {
  return CallText(object_, "GetFileVersion", Args().Text(path));
}

}  // namespace tl::fs
