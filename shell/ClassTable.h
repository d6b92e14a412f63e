// The module's creatable classes: one entry, for CCQuiloVideoProc.
#pragma once

#include <cstddef>

#include "shell/Module.h"

namespace quilo::shell {

ClassEntry *class_table() noexcept;
std::size_t class_table_size() noexcept;

} // namespace quilo::shell
