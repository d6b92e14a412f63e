#include "tools/NumberText.h"

#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <string>

namespace quilo::host {

bool parse_long(const char *text, long low, long high, long &value)
{
    if (!text || !*text) return false;
    errno = 0;
    char *end = nullptr;
    const long v = std::strtol(text, &end, 10);
    if (errno != 0 || *end != '\0' || v < low || v > high) return false;
    value = v;
    return true;
}

bool parse_size(const char *text, long &width, long &height)
{
    const char *x = text ? std::strpbrk(text, "xX") : nullptr;
    if (!x) return false;
    const std::string w(text, x);
    return parse_long(w.c_str(), 1, 32767, width) && parse_long(x + 1, 1, 32767, height);
}

} // namespace quilo::host
