// The %Name% variables of a registry tree and their expansion.
#pragma once

#include <windows.h>
#include <string>
#include <utility>
#include <vector>

namespace quilo::shell {

class ReplacementVariables
{
public:
    // Longest variable name accepted.
    static constexpr size_t kMaxNameLength = 31;

    HRESULT add(const char *name, const std::string &text) noexcept;
    // Replaces every %Name% (name matched without regard to case) and turns %% into %.
    // An unknown or over-long name, or a % without its partner, fails with E_FAIL.
    HRESULT expand(const char *text, std::string &out) const noexcept;

private:
    const std::string *find(const std::string &name) const noexcept;

    std::vector<std::pair<std::string, std::string>> variables_;
};

// The variables of the module's registration: Module, Module_Raw, MODULEGUID, MODULETYPE,
// APPID and FriendlyName. Module is quoted only for an executable (or a null handle).
HRESULT make_module_variables(HMODULE module, REFGUID libid, const char *friendlyName,
                              ReplacementVariables &variables) noexcept;

} // namespace quilo::shell
