// "Scripting.FileSystemObject" on std::filesystem. Paths cross as UTF-16 and
// use "/"; every member that has a meaning on Linux is here. Members without
// one (GetFileVersion: no version resources; the 8.3 ShortPath/ShortName;
// DriveLetter; setting VolumeName) are simply not declared, so binding them
// answers "no member".
#include <sys/stat.h>

#include <cstdlib>
#include <filesystem>
#include <random>

#include "runtime/os/automation_classes.h"
#include "runtime/automation/inprocess/fs_objects.h"
#include "runtime/automation/inprocess/inprocess.h"
#include "runtime/automation/wide_text.h"

namespace tl::rt::automation {

namespace stdfs = std::filesystem;
using namespace fsnative;

namespace {

enum FsoMember : DispId {
  kDrives = 10001,
  kBuildPath,
  kGetDriveName,
  kGetParentFolderName,
  kGetFileName,
  kGetBaseName,
  kGetExtensionName,
  kGetAbsolutePathName,
  kGetTempName,
  kDriveExists,
  kFileExists,
  kFolderExists,
  kGetDrive,
  kGetFile,
  kGetFolder,
  kGetSpecialFolder,
  kDeleteFile,
  kDeleteFolder,
  kMoveFile,
  kMoveFolder,
  kCopyFile,
  kCopyFolder,
  kCreateFolder,
  kCreateTextFile,
  kOpenTextFile,
  kGetStandardStream,
};

constexpr ParamDesc kPath1[] = {{kVtBstr, false, false}};
constexpr ParamDesc kPath2[] = {{kVtBstr, false, false}, {kVtBstr, false, false}};
constexpr ParamDesc kInt1[] = {{kVtI4, false, false}};
constexpr ParamDesc kPathForce[] = {{kVtBstr, false, false}, {kVtBool, false, true}};
constexpr ParamDesc kCopyParams[] = {{kVtBstr, false, false}, {kVtBstr, false, false}, {kVtBool, false, true}};
constexpr ParamDesc kCreateParams[] = {{kVtBstr, false, false}, {kVtBool, false, true}, {kVtBool, false, true}};
constexpr ParamDesc kOpenParams[] = {
    {kVtBstr, false, false}, {kVtI4, false, true}, {kVtBool, false, true}, {kVtI4, false, true}};
constexpr ParamDesc kStdParams[] = {{kVtI4, false, false}, {kVtBool, false, true}};

constexpr MemberDesc kFsoMembers[] = {
    {u"Drives", kDrives, kInvokePropertyGet, {}, false, kVtDispatch},
    {u"BuildPath", kBuildPath, kInvokeMethod, kPath2, false, kVtBstr},
    {u"GetDriveName", kGetDriveName, kInvokeMethod, kPath1, false, kVtBstr},
    {u"GetParentFolderName", kGetParentFolderName, kInvokeMethod, kPath1, false, kVtBstr},
    {u"GetFileName", kGetFileName, kInvokeMethod, kPath1, false, kVtBstr},
    {u"GetBaseName", kGetBaseName, kInvokeMethod, kPath1, false, kVtBstr},
    {u"GetExtensionName", kGetExtensionName, kInvokeMethod, kPath1, false, kVtBstr},
    {u"GetAbsolutePathName", kGetAbsolutePathName, kInvokeMethod, kPath1, false, kVtBstr},
    {u"GetTempName", kGetTempName, kInvokeMethod, {}, false, kVtBstr},
    {u"DriveExists", kDriveExists, kInvokeMethod, kPath1, false, kVtBool},
    {u"FileExists", kFileExists, kInvokeMethod, kPath1, false, kVtBool},
    {u"FolderExists", kFolderExists, kInvokeMethod, kPath1, false, kVtBool},
    {u"GetDrive", kGetDrive, kInvokeMethod, kPath1, false, kVtDispatch},
    {u"GetFile", kGetFile, kInvokeMethod, kPath1, false, kVtDispatch},
    {u"GetFolder", kGetFolder, kInvokeMethod, kPath1, false, kVtDispatch},
    {u"GetSpecialFolder", kGetSpecialFolder, kInvokeMethod, kInt1, false, kVtDispatch},
    {u"DeleteFile", kDeleteFile, kInvokeMethod, kPathForce, false, kVtEmpty},
    {u"DeleteFolder", kDeleteFolder, kInvokeMethod, kPathForce, false, kVtEmpty},
    {u"MoveFile", kMoveFile, kInvokeMethod, kPath2, false, kVtEmpty},
    {u"MoveFolder", kMoveFolder, kInvokeMethod, kPath2, false, kVtEmpty},
    {u"CopyFile", kCopyFile, kInvokeMethod, kCopyParams, false, kVtEmpty},
    {u"CopyFolder", kCopyFolder, kInvokeMethod, kCopyParams, false, kVtEmpty},
    {u"CreateFolder", kCreateFolder, kInvokeMethod, kPath1, false, kVtDispatch},
    {u"CreateTextFile", kCreateTextFile, kInvokeMethod, kCreateParams, false, kVtDispatch},
    {u"OpenTextFile", kOpenTextFile, kInvokeMethod, kOpenParams, false, kVtDispatch},
    {u"GetStandardStream", kGetStandardStream, kInvokeMethod, kStdParams, false, kVtDispatch},
};

// Textual path pieces, on UTF-16.
std::u16string StripTrailing(std::u16string p) {
  while (p.size() > 1 && p.back() == u'/') p.pop_back();
  return p;
}

std::u16string FileNamePart(const std::u16string& path) {
  const std::u16string p = StripTrailing(path);
  if (p == u"/") return {};
  const std::size_t slash = p.rfind(u'/');
  return slash == std::u16string::npos ? p : p.substr(slash + 1);
}

std::u16string ParentPart(const std::u16string& path) {
  const std::u16string p = StripTrailing(path);
  if (p == u"/") return {};
  const std::size_t slash = p.rfind(u'/');
  if (slash == std::u16string::npos) return {};
  std::size_t end = slash;
  while (end > 0 && p[end - 1] == u'/') --end;
  return end == 0 ? std::u16string(u"/") : p.substr(0, end);
}

bool IsDir(const std::string& n) {
  std::error_code ec;
  return stdfs::is_directory(n, ec);
}
bool IsFile(const std::string& n) {
  std::error_code ec;
  const auto st = stdfs::symlink_status(n, ec);
  return stdfs::exists(st) && !stdfs::is_directory(n, ec);
}

// The entries a source path names: itself, or with "*" / "?" in its last
// component every match in its folder (files or folders as asked).
std::vector<std::string> Expand(const std::u16string& source, bool folders) {
  std::vector<std::string> out;
  const std::u16string name = FileNamePart(source);
  if (name.find_first_of(u"*?") == std::u16string::npos) {
    const std::string n = Normalize(ToNative(source));
    if (folders ? IsDir(n) : IsFile(n)) out.push_back(n);
    return out;
  }
  std::u16string parent = ParentPart(source);
  const std::string dir = Normalize(parent.empty() ? std::string(".") : ToNative(parent));
  std::error_code ec;
  for (stdfs::directory_iterator it(dir, ec), end; !ec && it != end; it.increment(ec)) {
    const std::string child = it->path().native();
    if (WildcardMatch(name, FromNative(LastComponent(child))) && (folders ? IsDir(child) : IsFile(child)))
      out.push_back(child);
  }
  return out;
}

bool IsMountPoint(const std::string& n, Mount* found) {
  for (Mount& m : Mounts()) {
    if (m.target == n) {
      if (found) *found = m;
      return true;
    }
  }
  return false;
}

HResult ReturnObject(Dispatch* d, Variant& result) {
  result.vt = kVtDispatch;
  result.pdispVal = d;
  return kOk;
}

HResult MoveOne(const std::string& from, const std::string& to) {
  std::error_code ec;
  if (stdfs::exists(stdfs::symlink_status(to, ec))) return kDispException;  // already exists
  stdfs::rename(from, to, ec);
  if (ec == std::errc::cross_device_link) {
    stdfs::copy(from, to, stdfs::copy_options::recursive | stdfs::copy_options::copy_symlinks, ec);
    if (!ec) stdfs::remove_all(from, ec);
  }
  return ec ? kDispException : kOk;
}

class FileSystemObject final : public InProcessObject {
 protected:
  std::span<const MemberDesc> Members() const override { return kFsoMembers; }

  HResult Call(const MemberDesc& m, const CallArgs& args, Variant& result) override {
    std::u16string a, b;
    if (!m.params.empty() && m.params[0].type == kVtBstr)
      if (HResult hr = args.Text(0, a); Failed(hr)) return hr;
    if (m.params.size() > 1 && m.params[1].type == kVtBstr)
      if (HResult hr = args.Text(1, b); Failed(hr)) return hr;
    std::error_code ec;
    switch (m.id) {
      case kDrives: {
        auto* c = new ItemCollection(1);
        for (Mount& mnt : Mounts()) {
          Ref<Dispatch> d(NewDriveObject(mnt));
          c->Add(d.get(), FromNative(mnt.target));
        }
        return ReturnObject(c, result);
      }
      case kBuildPath: {
        std::u16string p = a;
        if (!p.empty() && p.back() != u'/' && !(b.size() && b.front() == u'/')) p += u'/';
        if (!p.empty() && p.back() == u'/' && !b.empty() && b.front() == u'/') b.erase(0, 1);
        result = MakeBstr(p + b);
        return kOk;
      }
      case kGetDriveName: {
        Mount mnt;
        const bool absolute = !a.empty() && a.front() == u'/';
        result = MakeBstr(absolute && MountOf(Normalize(ToNative(a)), mnt) ? FromNative(mnt.target) : u"");
        return kOk;
      }
      case kGetParentFolderName: result = MakeBstr(ParentPart(a)); return kOk;
      case kGetFileName: result = MakeBstr(FileNamePart(a)); return kOk;
      case kGetBaseName:
      case kGetExtensionName: {
        const std::u16string name = FileNamePart(a);
        const std::size_t dot = name.rfind(u'.');
        if (m.id == kGetBaseName) {
          result = MakeBstr(dot == std::u16string::npos ? name : name.substr(0, dot));
        } else {
          result = MakeBstr(dot == std::u16string::npos ? u"" : name.substr(dot + 1));
        }
        return kOk;
      }
      case kGetAbsolutePathName: result = MakeBstr(FromNative(Normalize(ToNative(a)))); return kOk;
      case kGetTempName: {
        static std::mt19937 gen{std::random_device{}()};
        static const char16_t kHex[] = u"0123456789ABCDEF";
        std::u16string name = u"rad";
        for (int i = 0; i < 5; ++i) name += kHex[gen() % 16];
        result = MakeBstr(name + u".tmp");
        return kOk;
      }
      case kDriveExists: result = MakeBool(!a.empty() && IsMountPoint(Normalize(ToNative(a)), nullptr)); return kOk;
      case kFileExists: result = MakeBool(!a.empty() && IsFile(ToNative(a))); return kOk;
      case kFolderExists: result = MakeBool(!a.empty() && IsDir(ToNative(a))); return kOk;
      case kGetDrive: {
        Mount mnt;
        if (a.empty() || !IsMountPoint(Normalize(ToNative(a)), &mnt)) return kDispException;
        return ReturnObject(NewDriveObject(mnt), result);
      }
      case kGetFile: {
        const std::string n = Normalize(ToNative(a));
        if (a.empty() || !IsFile(n)) return kDispException;  // file not found
        return ReturnObject(NewFileObject(n), result);
      }
      case kGetFolder: {
        const std::string n = Normalize(ToNative(a));
        if (a.empty() || !IsDir(n)) return kDispException;  // path not found
        return ReturnObject(NewFolderObject(n), result);
      }
      case kGetSpecialFolder: {
        std::int32_t code = 0;
        if (HResult hr = args.Int(0, code); Failed(hr)) return hr;
        // Only the temporary folder exists here; there is no Windows or
        // system folder to give.
        if (code != 2) return kDispException;
        const char* tmp = std::getenv("TMPDIR");
        const std::string n = Normalize(tmp && *tmp && IsDir(tmp) ? tmp : "/tmp");
        return ReturnObject(NewFolderObject(n), result);
      }
      case kDeleteFile:
      case kDeleteFolder: {
        bool force = false;
        if (HResult hr = args.Bool(1, force, false); Failed(hr)) return hr;
        const bool folders = m.id == kDeleteFolder;
        const std::vector<std::string> targets = Expand(a, folders);
        if (targets.empty()) return kDispException;  // not found
        for (const std::string& t : targets) {
          if (!force && (Attributes(t) & kAttrReadOnly)) return kDispException;  // permission denied
          if (folders) {
            stdfs::remove_all(t, ec);
          } else {
            stdfs::remove(t, ec);
          }
          if (ec) return kDispException;
        }
        return kOk;
      }
      case kMoveFile:
      case kMoveFolder: {
        const bool folders = m.id == kMoveFolder;
        const std::vector<std::string> sources = Expand(a, folders);
        if (sources.empty()) return kDispException;
        std::string dest = ToNative(b);
        const bool intoFolder = sources.size() > 1 || (!dest.empty() && dest.back() == '/');
        if (sources.size() > 1 && !IsDir(dest)) return kDispException;
        for (const std::string& s : sources) {
          const std::string to = Normalize(intoFolder ? Normalize(dest) + "/" + LastComponent(s) : dest);
          if (folders && to.size() > s.size() && to.compare(0, s.size() + 1, s + "/") == 0) return kDispException;
          if (HResult hr = MoveOne(s, to); Failed(hr)) return hr;
        }
        return kOk;
      }
      case kCopyFile:
      case kCopyFolder: {
        bool overwrite = true;
        if (HResult hr = args.Bool(2, overwrite, true); Failed(hr)) return hr;
        const bool folders = m.id == kCopyFolder;
        const std::vector<std::string> sources = Expand(a, folders);
        if (sources.empty()) return kDispException;
        std::string dest = ToNative(b);
        const bool intoFolder = sources.size() > 1 || (!dest.empty() && dest.back() == '/');
        for (const std::string& s : sources) {
          const std::string to = Normalize(intoFolder ? Normalize(dest) + "/" + LastComponent(s) : dest);
          if (to == s) return kDispException;  // onto itself
          if (folders) {
            if (to.size() > s.size() && to.compare(0, s.size() + 1, s + "/") == 0) return kDispException;
            if (IsFile(to)) return kDispException;
            auto opts = stdfs::copy_options::recursive |
                        (overwrite ? stdfs::copy_options::overwrite_existing : stdfs::copy_options::skip_existing);
            if (!overwrite && IsDir(to)) return kDispException;  // already exists
            stdfs::copy(s, to, opts, ec);
          } else {
            if (IsDir(to)) return kDispException;
            if (IsFile(to) && (!overwrite || (Attributes(to) & kAttrReadOnly))) return kDispException;
            stdfs::copy_file(s, to, stdfs::copy_options::overwrite_existing, ec);
          }
          if (ec) return kDispException;
        }
        return kOk;
      }
      case kCreateFolder: {
        const std::string n = Normalize(ToNative(a));
        if (a.empty() || stdfs::exists(stdfs::symlink_status(n, ec))) return kDispException;  // already exists
        if (!stdfs::create_directory(n, ec) || ec) return kDispException;  // path not found
        return ReturnObject(NewFolderObject(n), result);
      }
      case kCreateTextFile: {
        bool overwrite = true, unicode = false;
        if (HResult hr = args.Bool(1, overwrite, true); Failed(hr)) return hr;
        if (HResult hr = args.Bool(2, unicode, false); Failed(hr)) return hr;
        Dispatch* s = nullptr;
        if (HResult hr = CreateTextStream(ToNative(a), overwrite, unicode, &s); Failed(hr)) return hr;
        return ReturnObject(s, result);
      }
      case kOpenTextFile: {
        std::int32_t mode = kForReading, format = kFormatAscii;
        bool create = false;
        if (HResult hr = args.Int(1, mode, kForReading); Failed(hr)) return hr;
        if (HResult hr = args.Bool(2, create, false); Failed(hr)) return hr;
        if (HResult hr = args.Int(3, format, kFormatAscii); Failed(hr)) return hr;
        Dispatch* s = nullptr;
        if (HResult hr = OpenTextStream(ToNative(a), mode, create, format, &s); Failed(hr)) return hr;
        return ReturnObject(s, result);
      }
      case kGetStandardStream: {
        std::int32_t code = 0;
        bool unicode = false;
        if (HResult hr = args.Int(0, code); Failed(hr)) return hr;
        if (HResult hr = args.Bool(1, unicode, false); Failed(hr)) return hr;
        Dispatch* s = nullptr;
        if (HResult hr = StandardTextStream(code, unicode, &s); Failed(hr)) return hr;
        return ReturnObject(s, result);
      }
      default: return kDispMemberNotFound;
    }
  }
};

}  // namespace

Dispatch* CreateFileSystemObject() { return new FileSystemObject; }

}  // namespace tl::rt::automation
