// Reaching the component the way any host does: COM activation of the registered class.
#pragma once

#include <windows.h>
#include <string>

#include "QuiloVideoClass.h"
#include "common/ComPtr.h"

namespace quilo::host {

constexpr const wchar_t kVideoProcProgId[] = L"QuiloVideo.CQuiloVideoProc";

// Activates a CCQuiloVideoProc through its ProgID, as any host does. The object's table goes on
// past the published interface (GetCameraGammaParam, slot 32), so it is handed out as the
// class's table.
// `failedCall` names the platform call that failed.
HRESULT activate_video_proc(ComPtr<ICQuiloVideoProcClass> &proc, std::string &failedCall);

// Opens a device with createCapture and calls destroyCapture when the scope ends.
class CaptureSession
{
public:
    explicit CaptureSession(ICQuiloVideoProcClass *proc) noexcept : proc_(proc) {}
    ~CaptureSession() { close(); }
    CaptureSession(const CaptureSession &) = delete;
    CaptureSession &operator=(const CaptureSession &) = delete;

    HRESULT open(long device, bool flip, bool setFrameSize, long width, long height);
    void close() noexcept;

private:
    ICQuiloVideoProcClass *proc_;
    bool open_ = false;
};

} // namespace quilo::host
