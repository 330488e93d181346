// Folder, file and drive objects of the in-process file-system object. They
// keep a normalised path and look at the disk on every read, as the scripting
// objects do.
#include <sys/stat.h>
#include <sys/statvfs.h>

#include <cmath>
#include <filesystem>
#include <limits>

#include "runtime/automation/inprocess/fs_objects.h"
#include "runtime/automation/inprocess/inprocess.h"
#include "runtime/automation/wide_text.h"

namespace tl::rt::automation {

namespace stdfs = std::filesystem;
using namespace fsnative;

namespace {

enum ItemMember : DispId {
  kPath = 10001,
  kName,
  kDrive,
  kParentFolder,
  kAttributes,
  kDateCreated,
  kDateLastModified,
  kDateLastAccessed,
  kType,
  kSize,
  kDelete,
  kCopy,
  kMove,
  kIsRootFolder,
  kSubFolders,
  kFiles,
  kCreateTextFile,
  kOpenAsTextStream,
};

constexpr ParamDesc kOneText[] = {{kVtBstr, false, false}};
constexpr ParamDesc kOneInt[] = {{kVtI4, false, false}};
constexpr ParamDesc kForce[] = {{kVtBool, false, true}};
constexpr ParamDesc kCopyParams[] = {{kVtBstr, false, false}, {kVtBool, false, true}};
constexpr ParamDesc kCreateParams[] = {{kVtBstr, false, false}, {kVtBool, false, true}, {kVtBool, false, true}};
constexpr ParamDesc kOpenParams[] = {{kVtI4, false, true}, {kVtI4, false, true}};

#define TL_ITEM_COMMON                                                             \
  {u"Path", kPath, kInvokePropertyGet, {}, false, kVtBstr},                        \
  {u"Name", kName, kInvokePropertyGet, {}, false, kVtBstr},                        \
  {u"Name", kName, kInvokePropertyPut, kOneText, false, kVtEmpty},                 \
  {u"Drive", kDrive, kInvokePropertyGet, {}, false, kVtDispatch},                  \
  {u"ParentFolder", kParentFolder, kInvokePropertyGet, {}, false, kVtDispatch},    \
  {u"Attributes", kAttributes, kInvokePropertyGet, {}, false, kVtI4},              \
  {u"Attributes", kAttributes, kInvokePropertyPut, kOneInt, false, kVtEmpty},      \
  {u"DateCreated", kDateCreated, kInvokePropertyGet, {}, false, kVtDate},          \
  {u"DateLastModified", kDateLastModified, kInvokePropertyGet, {}, false, kVtDate},\
  {u"DateLastAccessed", kDateLastAccessed, kInvokePropertyGet, {}, false, kVtDate},\
  {u"Type", kType, kInvokePropertyGet, {}, false, kVtBstr},                        \
  {u"Size", kSize, kInvokePropertyGet, {}, false, kVtVariant},                     \
  {u"Delete", kDelete, kInvokeMethod, kForce, false, kVtEmpty},                    \
  {u"Copy", kCopy, kInvokeMethod, kCopyParams, false, kVtEmpty},                   \
  {u"Move", kMove, kInvokeMethod, kOneText, false, kVtEmpty}

// The path is the default member, so an item converts to its path text.
constexpr MemberDesc kFolderMembers[] = {
    {u"Path", kDispIdValue, kInvokePropertyGet, {}, false, kVtBstr},
    TL_ITEM_COMMON,
    {u"IsRootFolder", kIsRootFolder, kInvokePropertyGet, {}, false, kVtBool},
    {u"SubFolders", kSubFolders, kInvokePropertyGet, {}, false, kVtDispatch},
    {u"Files", kFiles, kInvokePropertyGet, {}, false, kVtDispatch},
    {u"CreateTextFile", kCreateTextFile, kInvokeMethod, kCreateParams, false, kVtDispatch},
};
constexpr MemberDesc kFileMembers[] = {
    {u"Path", kDispIdValue, kInvokePropertyGet, {}, false, kVtBstr},
    TL_ITEM_COMMON,
    {u"OpenAsTextStream", kOpenAsTextStream, kInvokeMethod, kOpenParams, false, kVtDispatch},
};
#undef TL_ITEM_COMMON

Variant SizeVariant(double bytes) {
  return bytes <= std::numeric_limits<std::int32_t>::max() ? MakeI4(static_cast<std::int32_t>(bytes)) : MakeR8(bytes);
}

// Total size of the files below a folder; unreadable parts are skipped.
double TreeSize(const std::string& native) {
  double total = 0;
  std::error_code ec;
  for (stdfs::recursive_directory_iterator it(native, stdfs::directory_options::skip_permission_denied, ec), end;
       !ec && it != end; it.increment(ec)) {
    std::error_code e2;
    if (it->is_regular_file(e2) && !it->is_symlink(e2)) total += static_cast<double>(it->file_size(e2));
  }
  return total;
}

std::u16string TypeName(const std::string& native, bool folder) {
  if (folder) return u"文件夹";
  std::u16string name = FromNative(LastComponent(native));
  const std::size_t dot = name.rfind(u'.');
  if (dot == std::u16string::npos || dot + 1 == name.size()) return u"文件";
  std::u16string ext = name.substr(dot + 1);
  for (char16_t& c : ext)
    if (c >= u'a' && c <= u'z') c = static_cast<char16_t>(c - 32);
  return ext + u" 文件";
}

bool ReadOnlyEntry(const std::string& native) { return (Attributes(native) & kAttrReadOnly) != 0; }

// Destination of a copy or move: into the folder when it ends with a
// separator or names an existing folder.
std::string Destination(const std::u16string& dest, const std::string& source) {
  std::string d = ToNative(dest);
  std::error_code ec;
  if (!d.empty() && (d.back() == '/' || stdfs::is_directory(d, ec))) d = Normalize(d) + "/" + LastComponent(source);
  return Normalize(d);
}

class ItemObject final : public InProcessObject {
 public:
  ItemObject(std::string path, bool folder) : path_(std::move(path)), folder_(folder) {}

 protected:
  std::span<const MemberDesc> Members() const override {
    return folder_ ? std::span<const MemberDesc>(kFolderMembers) : std::span<const MemberDesc>(kFileMembers);
  }

  HResult Call(const MemberDesc& m, const CallArgs& args, Variant& result) override {
    std::error_code ec;
    const bool put = m.kind == kInvokePropertyPut;
    switch (m.id) {
      case kDispIdValue:
      case kPath: result = MakeBstr(FromNative(path_)); return kOk;
      case kName:
        if (!put) {
          result = MakeBstr(FromNative(LastComponent(path_)));
          return kOk;
        } else {
          std::u16string name;
          if (HResult hr = args.Text(0, name); Failed(hr)) return hr;
          if (name.empty() || name.find(u'/') != std::u16string::npos || path_ == "/") return kDispException;
          const std::string parent = ParentOf(path_);
          const std::string to = (parent == "/" ? std::string() : parent) + "/" + Utf16ToUtf8(name);
          if (stdfs::exists(stdfs::symlink_status(to, ec))) return kDispException;  // already exists
          stdfs::rename(path_, to, ec);
          if (ec) return kDispException;
          path_ = to;
          return kOk;
        }
      case kDrive: {
        Mount mnt;
        if (!MountOf(path_, mnt)) return kDispException;
        result.vt = kVtDispatch;
        result.pdispVal = NewDriveObject(mnt);
        return kOk;
      }
      case kParentFolder: {
        result.vt = kVtDispatch;
        const std::string parent = ParentOf(path_);
        result.pdispVal = parent.empty() ? nullptr : NewFolderObject(parent);  // the root has none
        return kOk;
      }
      case kAttributes:
        if (!put) {
          if (!Present()) return kDispException;
          result = MakeI4(static_cast<std::int32_t>(Attributes(path_)));
          return kOk;
        } else {
          std::int32_t a = 0;
          if (HResult hr = args.Int(0, a); Failed(hr)) return hr;
          return SetReadOnly(path_, (a & kAttrReadOnly) != 0) ? kOk : kDispException;
        }
      case kDateCreated: return Date(Stamp::kCreated, result);
      case kDateLastModified: return Date(Stamp::kModified, result);
      case kDateLastAccessed: return Date(Stamp::kAccessed, result);
      case kType: result = MakeBstr(TypeName(path_, folder_)); return kOk;
      case kSize:
        if (!Present()) return kDispException;
        if (folder_) {
          result = SizeVariant(TreeSize(path_));
        } else {
          const auto size = stdfs::file_size(path_, ec);
          if (ec) return kDispException;
          result = SizeVariant(static_cast<double>(size));
        }
        return kOk;
      case kDelete: {
        bool force = false;
        if (HResult hr = args.Bool(0, force, false); Failed(hr)) return hr;
        if (!Present()) return kDispException;
        if (!force && ReadOnlyEntry(path_)) return kDispException;  // permission denied
        if (folder_) {
          stdfs::remove_all(path_, ec);
        } else {
          stdfs::remove(path_, ec);
        }
        return ec ? kDispException : kOk;
      }
      case kCopy: {
        std::u16string dest;
        bool overwrite = true;
        if (HResult hr = args.Text(0, dest); Failed(hr)) return hr;
        if (HResult hr = args.Bool(1, overwrite, true); Failed(hr)) return hr;
        if (!Present()) return kDispException;
        const std::string to = Destination(dest, path_);
        if (to == path_) return kDispException;  // onto itself
        auto options = overwrite ? stdfs::copy_options::overwrite_existing : stdfs::copy_options::none;
        if (folder_) {
          if (to.size() > path_.size() && to.compare(0, path_.size() + 1, path_ + "/") == 0) return kDispException;
          stdfs::copy(path_, to, options | stdfs::copy_options::recursive, ec);
        } else {
          if (stdfs::exists(to, ec) && (!overwrite || ReadOnlyEntry(to))) return kDispException;
          stdfs::copy_file(path_, to, options, ec);
        }
        return ec ? kDispException : kOk;
      }
      case kMove: {
        std::u16string dest;
        if (HResult hr = args.Text(0, dest); Failed(hr)) return hr;
        if (!Present()) return kDispException;
        const std::string to = Destination(dest, path_);
        if (stdfs::exists(stdfs::symlink_status(to, ec))) return kDispException;  // already exists
        stdfs::rename(path_, to, ec);
        if (ec) return kDispException;
        path_ = to;
        return kOk;
      }
      case kIsRootFolder: result = MakeBool(path_ == "/"); return kOk;
      case kSubFolders:
      case kFiles: return List(m.id == kSubFolders, result);
      case kCreateTextFile: {
        std::u16string name;
        bool overwrite = true, unicode = false;
        if (HResult hr = args.Text(0, name); Failed(hr)) return hr;
        if (HResult hr = args.Bool(1, overwrite, true); Failed(hr)) return hr;
        if (HResult hr = args.Bool(2, unicode, false); Failed(hr)) return hr;
        std::string target = ToNative(name);
        if (target.empty() || target.front() != '/') target = path_ + (path_ == "/" ? "" : "/") + target;
        Dispatch* s = nullptr;
        if (HResult hr = CreateTextStream(target, overwrite, unicode, &s); Failed(hr)) return hr;
        result.vt = kVtDispatch;
        result.pdispVal = s;
        return kOk;
      }
      case kOpenAsTextStream: {
        std::int32_t mode = kForReading, format = kFormatAscii;
        if (HResult hr = args.Int(0, mode, kForReading); Failed(hr)) return hr;
        if (HResult hr = args.Int(1, format, kFormatAscii); Failed(hr)) return hr;
        Dispatch* s = nullptr;
        if (HResult hr = OpenTextStream(path_, mode, false, format, &s); Failed(hr)) return hr;
        result.vt = kVtDispatch;
        result.pdispVal = s;
        return kOk;
      }
      default: return kDispMemberNotFound;
    }
  }

 private:
  bool Present() const {
    std::error_code ec;
    return folder_ ? stdfs::is_directory(path_, ec) : stdfs::exists(stdfs::symlink_status(path_, ec));
  }

  HResult Date(Stamp which, Variant& result) {
    double d = 0;
    if (!FileDate(path_, which, d)) return kDispException;
    result = MakeDate(d);
    return kOk;
  }

  // Subfolders, or every other entry: files, and links, devices and the like,
  // as the platform's file search lists them. Directory order.
  HResult List(bool folders, Variant& result) {
    std::error_code ec;
    stdfs::directory_iterator it(path_, ec);
    if (ec) return kDispException;
    auto* c = new ItemCollection(1);
    Ref<Dispatch> guard(c);
    for (stdfs::directory_iterator end; it != end; it.increment(ec)) {
      if (ec) break;
      std::error_code e2;
      const bool isDir = it->is_directory(e2);
      if (isDir != folders) continue;
      const std::string child = it->path().native();
      const std::string name = LastComponent(child);
      Ref<Dispatch> item(folders ? NewFolderObject(child) : NewFileObject(child));
      c->Add(item.get(), FromNative(name));
    }
    if (ec) return kDispException;
    result.vt = kVtDispatch;
    result.pdispVal = guard.release();
    return kOk;
  }

  std::string path_;
  bool folder_;
};

// ---------------------------------------------------------------------------
// Drives

enum DriveMember : DispId {
  kDrivePath = 10001,
  kShareName,
  kDriveType,
  kRootFolder,
  kAvailableSpace,
  kFreeSpace,
  kTotalSize,
  kVolumeName,
  kFileSystem,
  kSerialNumber,
  kIsReady,
};

constexpr MemberDesc kDriveMembers[] = {
    {u"Path", kDispIdValue, kInvokePropertyGet, {}, false, kVtBstr},
    {u"Path", kDrivePath, kInvokePropertyGet, {}, false, kVtBstr},
    {u"ShareName", kShareName, kInvokePropertyGet, {}, false, kVtBstr},
    {u"DriveType", kDriveType, kInvokePropertyGet, {}, false, kVtI4},
    {u"RootFolder", kRootFolder, kInvokePropertyGet, {}, false, kVtDispatch},
    {u"AvailableSpace", kAvailableSpace, kInvokePropertyGet, {}, false, kVtVariant},
    {u"FreeSpace", kFreeSpace, kInvokePropertyGet, {}, false, kVtVariant},
    {u"TotalSize", kTotalSize, kInvokePropertyGet, {}, false, kVtVariant},
    {u"VolumeName", kVolumeName, kInvokePropertyGet, {}, false, kVtBstr},
    {u"FileSystem", kFileSystem, kInvokePropertyGet, {}, false, kVtBstr},
    {u"SerialNumber", kSerialNumber, kInvokePropertyGet, {}, false, kVtI4},
    {u"IsReady", kIsReady, kInvokePropertyGet, {}, false, kVtBool},
};

bool IsNetworkType(const std::string& t) {
  return t == "nfs" || t == "nfs4" || t == "cifs" || t == "smb3" || t == "smbfs" || t.rfind("fuse.sshfs", 0) == 0;
}

// The label of the block device a file system lives on, from the links that
// udev keeps; "" when it has none.
std::u16string LabelOf(const std::string& source) {
  std::error_code ec;
  const stdfs::path device = stdfs::canonical(source, ec);
  if (ec) return {};
  for (stdfs::directory_iterator it("/dev/disk/by-label", ec), end; !ec && it != end; it.increment(ec)) {
    std::error_code e2;
    if (stdfs::canonical(it->path(), e2) == device && !e2) {
      // udev escapes blanks and the like as \x20.
      std::string raw = it->path().filename().native(), label;
      for (std::size_t i = 0; i < raw.size(); ++i) {
        if (raw[i] == '\\' && i + 3 < raw.size() && raw[i + 1] == 'x') {
          label += static_cast<char>(std::stoi(raw.substr(i + 2, 2), nullptr, 16));
          i += 3;
        } else {
          label += raw[i];
        }
      }
      return FromNative(label);
    }
  }
  return {};
}

class DriveObject final : public InProcessObject {
 public:
  explicit DriveObject(Mount m) : m_(std::move(m)) {}

 protected:
  std::span<const MemberDesc> Members() const override { return kDriveMembers; }

  HResult Call(const MemberDesc& m, const CallArgs&, Variant& result) override {
    struct statvfs vfs {};
    const bool ready = ::statvfs(m_.target.c_str(), &vfs) == 0;
    const double unit = static_cast<double>(vfs.f_frsize);
    switch (m.id) {
      case kDispIdValue:
      case kDrivePath: result = MakeBstr(FromNative(m_.target)); return kOk;
      case kShareName: result = MakeBstr(IsNetworkType(m_.type) ? FromNative(m_.source) : u""); return kOk;
      case kDriveType: {
        // 1 removable, 2 fixed, 3 network, 4 CD-ROM, 5 RAM disk.
        int t = 2;
        if (IsNetworkType(m_.type)) t = 3;
        else if (m_.type == "iso9660" || m_.type == "udf") t = 4;
        else if (m_.type == "tmpfs" || m_.type == "ramfs") t = 5;
        result = MakeI4(t);
        return kOk;
      }
      case kRootFolder:
        result.vt = kVtDispatch;
        result.pdispVal = NewFolderObject(m_.target);
        return kOk;
      case kAvailableSpace:
        if (!ready) return kDispException;
        result = MakeR8(static_cast<double>(vfs.f_bavail) * unit);
        return kOk;
      case kFreeSpace:
        if (!ready) return kDispException;
        result = MakeR8(static_cast<double>(vfs.f_bfree) * unit);
        return kOk;
      case kTotalSize:
        if (!ready) return kDispException;
        result = MakeR8(static_cast<double>(vfs.f_blocks) * unit);
        return kOk;
      case kVolumeName: result = MakeBstr(LabelOf(m_.source)); return kOk;
      case kFileSystem: result = MakeBstr(FromNative(m_.type)); return kOk;
      case kSerialNumber:
        if (!ready) return kDispException;
        result = MakeI4(static_cast<std::int32_t>(static_cast<std::uint32_t>(vfs.f_fsid)));
        return kOk;
      case kIsReady: result = MakeBool(ready); return kOk;
      default: return kDispMemberNotFound;
    }
  }

 private:
  Mount m_;
};

}  // namespace

Dispatch* NewFolderObject(std::string normalizedPath) { return new ItemObject(std::move(normalizedPath), true); }
Dispatch* NewFileObject(std::string normalizedPath) { return new ItemObject(std::move(normalizedPath), false); }
Dispatch* NewDriveObject(Mount mount) { return new DriveObject(std::move(mount)); }

}  // namespace tl::rt::automation
