// What the camera's property page reads from the capture pin it is shown for, and tells it.
// Private to the test camera module.
#pragma once

#include <windows.h>
#include <unknwn.h>

namespace quilo::testcam {

struct CameraPageData
{
    LONG width;
    LONG height;
    LONG fps;
    LONG framesDelivered;
};

// {BDEC1E3D-C8C4-4D9A-9B4A-36619F2A85C6}
constexpr IID kIidCameraPageSite = {0xBDEC1E3D, 0xC8C4, 0x4D9A, {0x9B, 0x4A, 0x36, 0x61, 0x9F, 0x2A, 0x85, 0xC6}};

struct ICameraPageSite : public IUnknown
{
    virtual HRESULT STDMETHODCALLTYPE ReadPageData(CameraPageData *data) = 0;
    virtual HRESULT STDMETHODCALLTYPE NotePageActivated() = 0;
};

} // namespace quilo::testcam
