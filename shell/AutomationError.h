// Failures of the automation class as late-bound hosts see them: the HRESULT with an IErrorInfo
// whose description is a plain sentence, which a script shows and C# makes the exception's
// message.
#pragma once

#include <windows.h>
#include <string>

namespace quilo::shell {

// Sets the thread's error information to "QuiloVideo.Camera: " + `sentence` and returns `hr`.
HRESULT raise_error(HRESULT hr, const std::wstring &sentence) noexcept;

// Clears the thread's error information, so that a success leaves none from an earlier failure.
void clear_error() noexcept;

} // namespace quilo::shell
