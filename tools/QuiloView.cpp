// quilo-view: a live camera window on top of QuiloVideo.ocx. It reaches the component only
// through COM activation of the registered class, like any other host.
#include <windows.h>
#include <objbase.h>
#include <cstdio>
#include <cstdlib>
#include <string>

#include "common/ComPtr.h"
#include "tools/ComApartment.h"
#include "dshow/ErrorText.h"
#include "tools/VideoProcHost.h"
#include "tools/ViewOptions.h"
#include "tools/ViewerWindow.h"

namespace quilo::view {
namespace {

constexpr const char kProgram[] = "quilo-view";
constexpr int kExitFailure = 1;
constexpr int kExitUsage = 2;

// A window program started from a command prompt has no standard output of its own: borrow
// the prompt's console so that --help and failures can be read there. Handles a parent gave
// (pipes, files) are kept.
void use_parent_console()
{
    const HANDLE out = GetStdHandle(STD_OUTPUT_HANDLE);
    if (out && out != INVALID_HANDLE_VALUE) return;
    if (!AttachConsole(ATTACH_PARENT_PROCESS)) return;
    // Without a console to write to the text is lost either way; nothing more to do.
    static_cast<void>(std::freopen("CONOUT$", "w", stdout));
    static_cast<void>(std::freopen("CONOUT$", "w", stderr));
}

int fail(const std::string &what, HRESULT hr)
{
    dshow::report_failure(kProgram, what, hr);
    return kExitFailure;
}

int run(HINSTANCE instance, int show)
{
    use_parent_console();
    ViewOptions options;
    std::string error;
    if (!parse_view_options(__argc, __argv, options, error)) {
        std::fprintf(stderr, "%s: %s\nTry '%s --help'.\n", kProgram, error.c_str(), kProgram);
        return kExitUsage;
    }
    if (options.help) {
        std::fputs(view_usage_text(), stdout);
        return 0;
    }

    // The window's thread is the object's apartment: every call to it is made from here.
    host::ComApartment com;
    if (FAILED(com.result())) return fail("CoInitializeEx", com.result());
    ComPtr<ICQuiloVideoProcClass> proc;
    std::string failedCall;
    const HRESULT hr = host::activate_video_proc(proc, failedCall);
    if (FAILED(hr)) {
        fail(failedCall, hr);
        if (hr == REGDB_E_CLASSNOTREG || hr == CO_E_CLASSSTRING) {
            std::fprintf(stderr, "%s: is QuiloVideo.ocx registered? (regsvr32 QuiloVideo.ocx)\n", kProgram);
            const std::string text = dshow::failure_text(failedCall, hr) + "\n\nIs QuiloVideo.ocx registered? (regsvr32 QuiloVideo.ocx)";
            // Someone who double-clicked the program sees no standard error.
            if (options.snapshot.empty()) MessageBoxA(nullptr, text.c_str(), kProgram, MB_OK | MB_ICONERROR);
        }
        return kExitFailure;
    }

    ViewerWindow viewer(proc.get(), options);
    const HRESULT created = viewer.create(instance, show);
    if (FAILED(created)) return fail("creating the window", created);
    MSG message;
    while (GetMessageA(&message, nullptr, 0, 0) > 0) {
        // Tab, Enter and arrow keys move between the window's controls as in a dialog.
        if (IsDialogMessageA(viewer.window(), &message)) continue;
        TranslateMessage(&message);
        DispatchMessageA(&message);
    }
    return viewer.exit_code();
}

} // namespace
} // namespace quilo::view

int WINAPI WinMain(HINSTANCE instance, HINSTANCE, LPSTR, int show)
{
    const int code = quilo::view::run(instance, show);
    std::fflush(stdout);
    std::fflush(stderr);
    return code;
}
