// The formats a capture pin offers (its IAMStreamConfig capabilities) and the choice of one by
// size and frame rate.
#pragma once

#include <windows.h>
#include <dshow.h>
#include <string>
#include <vector>

namespace quilo::dshow {

struct StreamFormat
{
    LONG width = 0;
    LONG height = 0;        // always positive
    double minRate = 0;     // frames per second; 0 where the device gives no range
    double maxRate = 0;
    GUID subtype = GUID_NULL;
};

// "RGB24", "YUY2", "MJPG", "NV12" and a few more by name; any other subtype as its GUID.
std::wstring subtype_name(const GUID &subtype);

// Every capability of the pin, in the device's order. E_NOINTERFACE for a pin without
// IAMStreamConfig; a capability that is not a video format is left out.
HRESULT list_stream_formats(IPin *pin, std::vector<StreamFormat> &formats);

// Sets the pin's format to the offered one of `width` x `height` (RGB24 preferred, else the
// first of that size) at `rate` frames per second (0: the format's own rate); a rate outside the
// format's range, or a size not offered, is VFW_E_INVALIDMEDIATYPE without a SetFormat. A device
// that lists no format of the size gets it on capability 0 as a template, as createCapture
// applies a size. Otherwise the device's SetFormat answer.
HRESULT select_stream_format(IPin *pin, LONG width, LONG height, double rate);

} // namespace quilo::dshow
