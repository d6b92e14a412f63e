// The test camera's class objects: one for the filter and one for its property page.
#pragma once

#include <windows.h>
#include <unknwn.h>

namespace quilo::testcam {

// DllGetClassObject: the class object of `clsid`, asked for `iid`.
HRESULT get_class_object(REFCLSID clsid, REFIID iid, void **out);

} // namespace quilo::testcam
