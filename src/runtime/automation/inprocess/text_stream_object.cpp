// Text streams of the in-process file-system object. A stream for reading
// decodes the whole file once (GBK or UTF-16LE) and walks it; a stream for
// writing encodes each write and hands it to the file at once, so nothing is
// lost when the stream is dropped without Close.
#include <sys/stat.h>

#include <cstdio>
#include <string>

#include "runtime/automation/inprocess/fs_objects.h"
#include "runtime/automation/inprocess/inprocess.h"
#include "runtime/automation/wide_text.h"

namespace tl::rt::automation {
namespace {

enum StreamMember : DispId {
  kLine = 10001,
  kColumn,
  kAtEndOfStream,
  kAtEndOfLine,
  kRead,
  kReadLine,
  kReadAll,
  kWrite,
  kWriteLine,
  kWriteBlankLines,
  kSkip,
  kSkipLine,
  kClose,
};

constexpr ParamDesc kCount[] = {{kVtI4, false, false}};
constexpr ParamDesc kText[] = {{kVtBstr, false, false}};
constexpr ParamDesc kOptText[] = {{kVtBstr, false, true}};

constexpr MemberDesc kStreamMembers[] = {
    {u"Line", kLine, kInvokePropertyGet, {}, false, kVtI4},
    {u"Column", kColumn, kInvokePropertyGet, {}, false, kVtI4},
    {u"AtEndOfStream", kAtEndOfStream, kInvokePropertyGet, {}, false, kVtBool},
    {u"AtEndOfLine", kAtEndOfLine, kInvokePropertyGet, {}, false, kVtBool},
    {u"Read", kRead, kInvokeMethod, kCount, false, kVtBstr},
    {u"ReadLine", kReadLine, kInvokeMethod, {}, false, kVtBstr},
    {u"ReadAll", kReadAll, kInvokeMethod, {}, false, kVtBstr},
    {u"Write", kWrite, kInvokeMethod, kText, false, kVtEmpty},
    {u"WriteLine", kWriteLine, kInvokeMethod, kOptText, false, kVtEmpty},
    {u"WriteBlankLines", kWriteBlankLines, kInvokeMethod, kCount, false, kVtEmpty},
    {u"Skip", kSkip, kInvokeMethod, kCount, false, kVtEmpty},
    {u"SkipLine", kSkipLine, kInvokeMethod, {}, false, kVtEmpty},
    {u"Close", kClose, kInvokeMethod, {}, false, kVtEmpty},
};

class TextStreamObject final : public InProcessObject {
 public:
  TextStreamObject(std::FILE* f, bool owns, bool reading, bool unicode)
      : file_(f), owns_(owns), reading_(reading), unicode_(unicode) {}

  // Reading streams: the decoded content.
  void SetContent(std::u16string text) {
    content_ = std::move(text);
    loaded_ = true;
  }

 protected:
  ~TextStreamObject() override { CloseFile(); }
  std::span<const MemberDesc> Members() const override { return kStreamMembers; }

  HResult Call(const MemberDesc& m, const CallArgs& args, Variant& result) override {
    if (!file_ && !loaded_) return kDispException;  // closed
    switch (m.id) {
      case kLine: result = MakeI4(line_); return kOk;
      case kColumn: result = MakeI4(column_); return kOk;
      case kAtEndOfStream:
        if (!Readable()) return kDispException;
        result = MakeBool(pos_ >= content_.size());
        return kOk;
      case kAtEndOfLine:
        if (!Readable()) return kDispException;
        result = MakeBool(pos_ >= content_.size() || content_[pos_] == u'\n' || content_[pos_] == u'\r');
        return kOk;
      case kRead: {
        std::int32_t n = 0;
        if (HResult hr = args.Int(0, n); Failed(hr)) return hr;
        if (!Readable() || n < 0 || pos_ >= content_.size()) return kDispException;
        result = MakeBstr(Take(static_cast<std::size_t>(n)));
        return kOk;
      }
      case kReadLine: {
        if (!Readable() || pos_ >= content_.size()) return kDispException;
        std::u16string line;
        if (!TakeLine(&line)) return kDispException;
        result = MakeBstr(line);
        return kOk;
      }
      case kReadAll:
        if (!Readable() || pos_ >= content_.size()) return kDispException;
        result = MakeBstr(Take(content_.size() - pos_));
        return kOk;
      case kSkip: {
        std::int32_t n = 0;
        if (HResult hr = args.Int(0, n); Failed(hr)) return hr;
        if (!Readable() || n < 0) return kDispException;
        Take(static_cast<std::size_t>(n));
        return kOk;
      }
      case kSkipLine:
        if (!Readable() || pos_ >= content_.size()) return kDispException;
        TakeLine(nullptr);
        return kOk;
      case kWrite: {
        std::u16string text;
        if (HResult hr = args.Text(0, text); Failed(hr)) return hr;
        return Put(text);
      }
      case kWriteLine: {
        std::u16string text;
        if (args.Given(0))
          if (HResult hr = args.Text(0, text); Failed(hr)) return hr;
        return Put(text + u"\r\n");
      }
      case kWriteBlankLines: {
        std::int32_t n = 0;
        if (HResult hr = args.Int(0, n); Failed(hr)) return hr;
        if (n < 0) return kDispException;
        std::u16string lines;
        for (std::int32_t i = 0; i < n; ++i) lines += u"\r\n";
        return Put(lines);
      }
      case kClose:
        CloseFile();
        content_.clear();
        loaded_ = false;
        return kOk;
      default: return kDispMemberNotFound;
    }
  }

 private:
  bool Readable() {
    if (!reading_) return false;
    if (!loaded_ && file_) {
      // Standard input: read what there is on first use.
      std::string bytes;
      char buf[65536];
      std::size_t n;
      while ((n = std::fread(buf, 1, sizeof buf, file_)) > 0) bytes.append(buf, n);
      content_ = Decode(bytes, unicode_);
      loaded_ = true;
    }
    return loaded_;
  }

  void Advance(char16_t c) {
    if (c == u'\n') {
      ++line_;
      column_ = 1;
    } else {
      ++column_;
    }
  }

  std::u16string Take(std::size_t n) {
    const std::size_t k = n < content_.size() - pos_ ? n : content_.size() - pos_;
    std::u16string out = content_.substr(pos_, k);
    for (char16_t c : out) Advance(c);
    pos_ += k;
    return out;
  }

  // A line ends at LF; a CR right before it is not part of the line.
  bool TakeLine(std::u16string* line) {
    std::size_t end = content_.find(u'\n', pos_);
    const bool hasBreak = end != std::u16string::npos;
    if (!hasBreak) end = content_.size();
    std::size_t cut = end;
    if (cut > pos_ && content_[cut - 1] == u'\r') --cut;
    if (line) *line = content_.substr(pos_, cut - pos_);
    Take(end - pos_ + (hasBreak ? 1 : 0));
    return true;
  }

  HResult Put(std::u16string_view text) {
    if (reading_ || !file_) return kDispException;
    std::string bytes;
    if (unicode_) {
      bytes.reserve(text.size() * 2);
      for (char16_t c : text) {
        bytes += static_cast<char>(c & 0xFF);
        bytes += static_cast<char>(c >> 8);
      }
    } else {
      bytes = Utf16ToGbk(text);
    }
    if (!bytes.empty() && (std::fwrite(bytes.data(), 1, bytes.size(), file_) != bytes.size() || std::fflush(file_) != 0))
      return kDispException;
    for (char16_t c : text) Advance(c);
    return kOk;
  }

  void CloseFile() {
    if (file_) {
      if (owns_) {
        std::fclose(file_);
      } else {
        std::fflush(file_);
      }
    }
    file_ = nullptr;
  }

 public:
  static std::u16string Decode(const std::string& bytes, bool unicode) {
    if (!unicode) return GbkToUtf16(bytes);
    std::size_t start = (bytes.size() >= 2 && bytes[0] == '\xFF' && bytes[1] == '\xFE') ? 2 : 0;
    std::u16string out;
    out.reserve((bytes.size() - start) / 2);
    for (std::size_t i = start; i + 1 < bytes.size(); i += 2)
      out += static_cast<char16_t>(static_cast<unsigned char>(bytes[i]) | (static_cast<unsigned char>(bytes[i + 1]) << 8));
    return out;
  }

 private:
  std::FILE* file_;
  bool owns_;
  bool reading_;
  bool unicode_;
  bool loaded_ = false;
  std::u16string content_;
  std::size_t pos_ = 0;
  std::int32_t line_ = 1;
  std::int32_t column_ = 1;
};

bool IsDirectory(const std::string& native) {
  struct stat st {};
  return ::stat(native.c_str(), &st) == 0 && S_ISDIR(st.st_mode);
}

bool Exists(const std::string& native) {
  struct stat st {};
  return ::stat(native.c_str(), &st) == 0;
}

}  // namespace

HResult OpenTextStream(const std::string& native, int mode, bool create, int format, Dispatch** out) {
  *out = nullptr;
  if (mode != kForReading && mode != kForWriting && mode != kForAppending) return kDispException;
  if (format != kFormatAscii && format != kFormatUnicode && format != kFormatDefault) return kDispException;
  if (IsDirectory(native)) return kDispException;
  const bool unicode = format == kFormatUnicode;
  const bool existed = Exists(native);
  if (!existed && !create) return kDispException;  // file not found
  if (mode == kForReading) {
    std::FILE* f = std::fopen(native.c_str(), existed ? "rb" : "w+b");
    if (!f) return kDispException;
    std::string bytes;
    char buf[65536];
    std::size_t n;
    while ((n = std::fread(buf, 1, sizeof buf, f)) > 0) bytes.append(buf, n);
    const bool failed = std::ferror(f) != 0;
    std::fclose(f);
    if (failed) return kDispException;
    auto* s = new TextStreamObject(nullptr, false, true, unicode);
    s->SetContent(TextStreamObject::Decode(bytes, unicode));
    *out = s;
    return kOk;
  }
  std::FILE* f = std::fopen(native.c_str(), mode == kForWriting ? "wb" : "ab");
  if (!f) return kDispException;
  if (unicode && (mode == kForWriting || std::ftell(f) == 0)) std::fwrite("\xFF\xFE", 1, 2, f);
  *out = new TextStreamObject(f, true, false, unicode);
  return kOk;
}

HResult CreateTextStream(const std::string& native, bool overwrite, bool unicode, Dispatch** out) {
  *out = nullptr;
  if (IsDirectory(native)) return kDispException;
  std::FILE* f = std::fopen(native.c_str(), overwrite ? "wb" : "wbx");
  if (!f) return kDispException;  // exists without overwrite, or no such folder
  if (unicode) std::fwrite("\xFF\xFE", 1, 2, f);
  *out = new TextStreamObject(f, true, false, unicode);
  return kOk;
}

HResult StandardTextStream(int code, bool unicode, Dispatch** out) {
  *out = nullptr;
  switch (code) {
    case 0: *out = new TextStreamObject(stdin, false, true, unicode); return kOk;
    case 1: *out = new TextStreamObject(stdout, false, false, unicode); return kOk;
    case 2: *out = new TextStreamObject(stderr, false, false, unicode); return kOk;
    default: return kDispException;
  }
}

}  // namespace tl::rt::automation
