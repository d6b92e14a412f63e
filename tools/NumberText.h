// Whole numbers and frame sizes as users type them on command lines and in boxes.
#pragma once

namespace quilo::host {

// A decimal number from `low` to `high`, nothing before or after it.
bool parse_long(const char *text, long low, long high, long &value);
// WIDTHxHEIGHT (or X), each from 1 to 32767, for example 640x480.
bool parse_size(const char *text, long &width, long &height);

} // namespace quilo::host
