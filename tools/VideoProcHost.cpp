#include "tools/VideoProcHost.h"

#include "common/HResult.h"

namespace quilo::host {

HRESULT activate_video_proc(ComPtr<ICQuiloVideoProcClass> &proc, std::string &failedCall)
{
    proc.reset();
    CLSID clsid = {};
    failedCall = "CLSIDFromProgID(QuiloVideo.CQuiloVideoProc)";
    RETURN_IF_FAILED(CLSIDFromProgID(kVideoProcProgId, &clsid));
    failedCall = "CoCreateInstance(CCQuiloVideoProc)";
    ComPtr<ICQuiloVideoProc> published;
    RETURN_IF_FAILED(CoCreateInstance(clsid, nullptr, CLSCTX_INPROC_SERVER, IID_ICQuiloVideoProc,
                                      published.put_void()));
    RETURN_HR_IF(E_NOINTERFACE, !published);
    failedCall.clear();
    proc.attach(static_cast<ICQuiloVideoProcClass *>(published.detach()));
    return S_OK;
}

HRESULT CaptureSession::open(long device, bool flip, bool setFrameSize, long width, long height)
{
    close();
    const HRESULT hr = proc_->createCapture(device, flip ? VARIANT_TRUE : VARIANT_FALSE,
                                            setFrameSize ? VARIANT_TRUE : VARIANT_FALSE, width, height);
    // A failed createCapture releases all it built (README: nothing is open and nothing is
    // held), so only a successful one needs its destroyCapture.
    open_ = SUCCEEDED(hr);
    return hr;
}

void CaptureSession::close() noexcept
{
    if (open_)
        ignore_result(proc_->destroyCapture(),
                      "S_FALSE or S_OK both mean closed; a close that fails leaves nothing for the host to do");
    open_ = false;
}

} // namespace quilo::host
