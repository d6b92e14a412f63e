#include "shell/VideoProcRegistration.h"

#include "common/HResult.h"
#include "shell/Module.h"
#include "shell/RegistryTree.h"
#include "shell/ReplacementVariables.h"

namespace quilo::shell {

namespace {

#define QUILO_CLSID_TEXT "{2E5A45BA-F0CD-473F-8FAA-0EA05B62A973}"

constexpr auto K = NodeType::Key;
constexpr auto V = NodeType::Value;
constexpr auto Plain = KeyKind::Plain;
constexpr auto Force = KeyKind::ForceReplaced;
constexpr auto Keep = KeyKind::NeverRemoved;

const RegistryNode kTree[] = {
    {0, K, Plain, "QuiloVideo.CQuiloVideoProc.1", "%FriendlyName%", true},
    {1, K, Plain, "CLSID", QUILO_CLSID_TEXT, false},
    {0, K, Plain, "QuiloVideo.CQuiloVideoProc", "%FriendlyName%", true},
    {1, K, Plain, "CLSID", QUILO_CLSID_TEXT, false},
    {1, K, Plain, "CurVer", "QuiloVideo.CQuiloVideoProc.1", false},
    {0, K, Keep, "CLSID", nullptr, false},
    {1, K, Force, QUILO_CLSID_TEXT, "%FriendlyName%", true},
    {2, K, Plain, "ProgID", "QuiloVideo.CQuiloVideoProc.1", false},
    {2, K, Plain, "VersionIndependentProgID", "QuiloVideo.CQuiloVideoProc", false},
    {2, K, Force, "Programmable", nullptr, false},
    {2, K, Plain, "%MODULETYPE%", "%MODULE%", true},
    {3, V, Plain, "ThreadingModel", "apartment", false},
    {2, V, Plain, "AppID", "%APPID%", true},
    {2, K, Plain, "TypeLib", "%MODULEGUID%", true},
};

#undef QUILO_CLSID_TEXT

} // namespace

HRESULT update_video_proc_registry(bool doRegister) noexcept
{
    const Module &m = module();
    ReplacementVariables variables;
    RETURN_IF_FAILED(make_module_variables(m.instance(), m.libid(), "CCQuiloVideoProc Object", variables));
    return walk_registry_tree(HKEY_CLASSES_ROOT, kTree, sizeof(kTree) / sizeof(kTree[0]), variables, doRegister);
}

} // namespace quilo::shell
