#include "runtime/os/automation_classes.h"

#include <string>
#include <vector>

#include "runtime/automation/wide_text.h"

namespace tl::rt::automation {
namespace {

struct ClassEntry {
  std::u16string progId;
  std::u16string classId;  // "{...}" or empty
  ClassFactory factory;
};

std::vector<ClassEntry>& Classes() {
  // Built in explicitly: a self-registering object file would be dropped by
  // the linker from the static library.
  static std::vector<ClassEntry> classes = {
      {u"VBScript.RegExp", u"{3F4DACA4-160D-11D2-A8E9-00104B365C9F}", &CreateRegExpObject},
      {u"Scripting.FileSystemObject", u"{0D43FE01-F093-11CF-8940-00A0C9054228}", &CreateFileSystemObject},
  };
  return classes;
}

}  // namespace

Dispatch* CreateAutomationObject(std::u16string_view name) {
  if (name.empty()) return nullptr;
  for (const ClassEntry& c : Classes()) {
    const bool match = name.front() == u'{' ? EqualsNoCase(c.classId, name) : EqualsNoCase(c.progId, name);
    if (match) return c.factory();
  }
  return nullptr;
}

bool RegisterAutomationClass(std::u16string_view progId, ClassFactory factory) {
  if (progId.empty() || !factory) return false;
  for (ClassEntry& c : Classes()) {
    if (EqualsNoCase(c.progId, progId)) {
      c.factory = factory;
      return true;
    }
  }
  Classes().push_back({std::u16string(progId), {}, factory});
  return true;
}

}  // namespace tl::rt::automation
