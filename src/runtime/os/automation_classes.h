// The in-process automation classes, found by ProgID (without regard to
// ASCII case) or by their class id in braces. This is what the platform
// layer offers as "automation objects by class name" where the platform has
// no component system of its own.
#pragma once
#include <string_view>

#include "runtime/automation/object_model.h"

namespace tl::rt::automation {

using ClassFactory = Dispatch* (*)();

// A new object with one reference, or null when no class has that name.
Dispatch* CreateAutomationObject(std::u16string_view progIdOrClassId);

// Adds a class (tests, later platform classes); a name already known is
// replaced. Returns false for an empty name.
bool RegisterAutomationClass(std::u16string_view progId, ClassFactory factory);

// The two classes every build carries.
Dispatch* CreateRegExpObject();
Dispatch* CreateFileSystemObject();

}  // namespace tl::rt::automation
