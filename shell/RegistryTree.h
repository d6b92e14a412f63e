// A constant registry tree and the one routine that writes it or removes it.
#pragma once

#include <windows.h>
#include <cstddef>

#include "shell/ReplacementVariables.h"

namespace quilo::shell {

enum class KeyKind : unsigned char
{
    // Opened or created at registration; removed with its subtree at unregistration when it
    // has entries of its own in the tree, otherwise it goes with its parent.
    Plain,
    // Deleted with its subtree before being created again at registration.
    ForceReplaced,
    // Shared with others (such as CLSID): visited, never deleted.
    NeverRemoved,
};

enum class NodeType : unsigned char
{
    Key,
    // A named value of the key whose entries are being walked.
    Value,
};

// One row of a tree, in walk order. A row's entries are the rows after it with a greater
// depth. A key's text, when not null, is its default value.
struct RegistryNode
{
    unsigned char depth;
    NodeType type;
    KeyKind kind;
    const char *name;
    const char *text;
    // Name and text hold %variables% to be replaced.
    bool variables;
};

// Writes (doRegister) or removes the tree below `root`. The first registry failure other than
// a missing key ends the walk with the Windows error as HRESULT; there is no rollback.
HRESULT walk_registry_tree(HKEY root, const RegistryNode *nodes, std::size_t count,
                           const ReplacementVariables &variables, bool doRegister) noexcept;

} // namespace quilo::shell
