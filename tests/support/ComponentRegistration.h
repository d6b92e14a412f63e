// Registers or unregisters the built module the way an installer does: load it and call its
// export. Test executables that create the component call register_component() at start.
#pragma once

#include <windows.h>

namespace quilo::test {

// The export's result; the loader's error as HRESULT when the module or export is missing.
HRESULT register_component();
HRESULT unregister_component();

} // namespace quilo::test
