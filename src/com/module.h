// What the DLL's objects need from the module: the count that DllCanUnloadNow reads and the type
// information that serves their IDispatch.
#pragma once

#include <ole2.h>

#include "platform/win32/windows_api.h"

namespace quarn7::com {

void object_created();
void object_destroyed();

// Both sides of the dual interface `iid`, from the DLL's own type library: the dispinterface that
// IDispatch::GetTypeInfo hands out, and the interface whose vtable ITypeInfo::Invoke calls. Both
// null when the library cannot be loaded.
struct InterfaceTypes {
    ITypeInfo* dispatch = nullptr;
    ITypeInfo* vtable = nullptr;
};
InterfaceTypes interface_types(REFIID iid);

}  // namespace quarn7::com
