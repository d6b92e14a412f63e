#include "shell/ClassTable.h"

#include "QuiloVideo.h"
#include "shell/ClassFactory.h"
#include "shell/VideoProc.h"
#include "shell/VideoProcRegistration.h"

namespace quilo::shell {

namespace {

// Constant-initialised, so it is complete before any constructor of the module runs.
ClassEntry g_classes[] = {
    {&CLSID_CCQuiloVideoProc, update_video_proc_registry, ClassFactory::create, create_video_proc,
     nullptr, 0, nullptr, {nullptr}},
};

} // namespace

ClassEntry *class_table() noexcept { return g_classes; }
std::size_t class_table_size() noexcept { return sizeof(g_classes) / sizeof(g_classes[0]); }

} // namespace quilo::shell
