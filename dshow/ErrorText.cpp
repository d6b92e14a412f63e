#include "dshow/ErrorText.h"

#include <vfwmsgs.h>
#include <cstdio>

#include "common/Text.h"

namespace quilo::dshow {
namespace {

struct KnownCode
{
    HRESULT hr;
    const char *name;
    const char *text; // used when the platform has no text of its own
};

// The codes a capture host meets most. Wine's quartz.dll answers every code with "Error: 0x...",
// so its texts are kept here too.
const KnownCode kKnownCodes[] = {
    {E_INVALIDARG, "E_INVALIDARG", "One or more arguments are invalid"},
    {E_POINTER, "E_POINTER", "Invalid pointer"},
    {E_NOTIMPL, "E_NOTIMPL", "Not implemented"},
    {E_NOINTERFACE, "E_NOINTERFACE", "No such interface supported"},
    {E_FAIL, "E_FAIL", "Unspecified error"},
    {E_OUTOFMEMORY, "E_OUTOFMEMORY", "Not enough memory"},
    {REGDB_E_CLASSNOTREG, "REGDB_E_CLASSNOTREG", "Class not registered"},
    {CO_E_CLASSSTRING, "CO_E_CLASSSTRING", "Invalid class string"},
    {E_PROP_ID_UNSUPPORTED, "E_PROP_ID_UNSUPPORTED", "The property is not supported by the device"},
    {VFW_E_NO_CAPTURE_HARDWARE, "VFW_E_NO_CAPTURE_HARDWARE", "No capture hardware is available"},
    {VFW_E_TIMEOUT, "VFW_E_TIMEOUT", "A time-out has expired: the device delivered no frame"},
    {VFW_E_WRONG_STATE, "VFW_E_WRONG_STATE", "The operation cannot be performed in the current state"},
    {VFW_E_NOT_CONNECTED, "VFW_E_NOT_CONNECTED", "The operation cannot be performed because the pins are not connected"},
    {VFW_E_CANNOT_CONNECT, "VFW_E_CANNOT_CONNECT", "No combination of intermediate filters could be found to make the connection"},
    {VFW_E_TYPE_NOT_ACCEPTED, "VFW_E_TYPE_NOT_ACCEPTED", "This media type is not accepted"},
    {VFW_E_INVALIDMEDIATYPE, "VFW_E_INVALIDMEDIATYPE", "The specified media type is invalid"},
    {VFW_E_NOT_FOUND, "VFW_E_NOT_FOUND", "An object or name was not found"},
    {VFW_E_NO_INTERFACE, "VFW_E_NO_INTERFACE", "The filter does not support the required interface"},
    {VFW_E_BUFFER_UNDERFLOW, "VFW_E_BUFFER_UNDERFLOW", "The sample is shorter than the frame format requires"},
    {VFW_E_NOT_STOPPED, "VFW_E_NOT_STOPPED", "The operation could not be performed because the filter graph is not stopped"},
    {VFW_E_RUNTIME_ERROR, "VFW_E_RUNTIME_ERROR", "A run-time error occurred"},
};

const KnownCode *known_code(HRESULT hr)
{
    for (const auto &k : kKnownCodes)
        if (k.hr == hr) return &k;
    return nullptr;
}

std::string trim_message(const char *text)
{
    std::string s(text ? text : "");
    while (!s.empty() && (s.back() == '\r' || s.back() == '\n' || s.back() == ' ' || s.back() == '.'))
        s.pop_back();
    return s;
}

std::string system_message(DWORD code, HMODULE module)
{
    char buf[512] = {};
    const DWORD flags = FORMAT_MESSAGE_IGNORE_INSERTS |
                        (module ? FORMAT_MESSAGE_FROM_HMODULE : FORMAT_MESSAGE_FROM_SYSTEM);
    const DWORD n = FormatMessageA(flags, module, code, 0, buf, sizeof(buf), nullptr);
    return n ? trim_message(buf) : std::string();
}

// quartz.dll carries the texts of DirectShow's VFW_E_ and VFW_S_ codes.
std::string directshow_message(HRESULT hr)
{
    HMODULE quartz = LoadLibraryA("quartz.dll");
    if (!quartz) return {};
    std::string text;
    using GetErrorText = DWORD(WINAPI *)(HRESULT, char *, DWORD);
    auto get = reinterpret_cast<GetErrorText>(reinterpret_cast<void *>(GetProcAddress(quartz, "AMGetErrorTextA")));
    char buf[MAX_PATH] = {};
    if (get && get(hr, buf, sizeof(buf)) > 0) text = trim_message(buf);
    // A text that only repeats the number says nothing.
    if (text.rfind("Error: 0x", 0) == 0) text.clear();
    if (text.empty()) text = system_message(static_cast<DWORD>(hr), quartz);
    FreeLibrary(quartz);
    return text;
}

} // namespace

std::string error_text(HRESULT hr)
{
    std::string text = system_message(static_cast<DWORD>(hr), nullptr);
    // Some systems only know the plain Win32 code behind a wrapped one.
    if (text.empty() && HRESULT_FACILITY(hr) == FACILITY_WIN32)
        text = system_message(static_cast<DWORD>(HRESULT_CODE(hr)), nullptr);
    if (text.empty() && HRESULT_FACILITY(hr) == FACILITY_ITF) text = directshow_message(hr);
    const KnownCode *known = known_code(hr);
    if (text.empty() && known) text = known->text;
    if (known) text = std::string("(") + known->name + ") " + text;
    return text;
}

std::wstring describe_hresult(HRESULT hr)
{
    wchar_t number[16];
    swprintf(number, 16, L"0x%08lX", static_cast<unsigned long>(hr));
    const std::string text = error_text(hr);
    return text.empty() ? std::wstring(number) : number + std::wstring(L", ") + widen(text);
}

std::string failure_text(const std::string &what, HRESULT hr)
{
    const std::string text = error_text(hr);
    char code[16];
    std::snprintf(code, sizeof(code), "0x%08lX", static_cast<unsigned long>(hr));
    return what + " failed: " + code + " " + (text.empty() ? "(no message text for this code)" : text);
}

void report_failure(const char *program, const std::string &what, HRESULT hr)
{
    std::fflush(stdout);
    std::fprintf(stderr, "%s: %s\n", program, failure_text(what, hr).c_str());
    std::fflush(stderr);
}

} // namespace quilo::dshow
