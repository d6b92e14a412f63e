// The class's own method table as hosts see it: the published interface, then one method
// that the type library does not list. A host that declares one more method after
// SetVideoStandParam reaches it in slot 32.
#pragma once

#include "QuiloVideo.h"

struct ICQuiloVideoProcClass : public ICQuiloVideoProc
{
    virtual HRESULT STDMETHODCALLTYPE GetCameraGammaParam(LONG *iGammaParam) = 0;
};
