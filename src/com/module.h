// What the DLL's objects need from the module: the count that DllCanUnloadNow reads and the type
// information that serves their IDispatch.
#pragma once

#include <ole2.h>

#include "platform/win32/windows_api.h"

namespace quarn7::com {

void object_created();
void object_destroyed();

// The vtable side of the dual interface `iid`, from the DLL's own type library (a new reference).
HRESULT interface_type_info(REFIID iid, ITypeInfo** info);

}  // namespace quarn7::com
