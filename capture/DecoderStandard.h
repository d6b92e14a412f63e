// The analog video standard by name, through the decoder of capture hardware.
#pragma once

#include <windows.h>
#include <strmif.h>
#include <vector>

namespace quilo::capture {

// Value of the first table entry with exactly this name, or 0 when there is none.
long video_standard_value(const char *name) noexcept;
// Name of the first table entry with exactly this value, or nullptr.
const char *video_standard_name(long value) noexcept;

// Writes the decoder's standard by name (at most 11 bytes with the terminator).
HRESULT get_video_standard(IAMAnalogVideoDecoder *decoder, unsigned char *name);
// Sets the decoder's standard by name; S_FALSE without a decoder.
HRESULT set_video_standard(IAMAnalogVideoDecoder *decoder, const unsigned char *name);

// The table's names of the standards the decoder lists as available, in the table's order.
HRESULT available_video_standards(IAMAnalogVideoDecoder *decoder, std::vector<const char *> &names);

} // namespace quilo::capture
