#include "shell/RegistryTree.h"

#include <new>
#include <string>

#include "common/Handle.h"
#include "common/HResult.h"

namespace quilo::shell {

namespace {

bool missing(LONG error) noexcept { return error == ERROR_FILE_NOT_FOUND || error == ERROR_PATH_NOT_FOUND; }

class TreeWalk
{
public:
    TreeWalk(const RegistryNode *nodes, std::size_t count, const ReplacementVariables &variables, bool doRegister)
        : nodes_(nodes), count_(count), variables_(variables), register_(doRegister)
    {
    }

    // Walks the rows at `depth` from next_ on, as entries of `key`.
    HRESULT entries(HKEY key, unsigned depth)
    {
        while (next_ < count_ && nodes_[next_].depth == depth) {
            const RegistryNode &node = nodes_[next_++];
            RETURN_IF_FAILED(node.type == NodeType::Key ? visit_key(key, node) : visit_value(key, node));
        }
        return S_OK;
    }

private:
    HRESULT text_of(const RegistryNode &node, const char *text, std::string &out) const
    {
        if (node.variables) return variables_.expand(text, out);
        out = text;
        return S_OK;
    }

    static HRESULT set_string(HKEY key, const char *name, const std::string &text)
    {
        return hresult_from_win32(static_cast<unsigned long>(RegSetValueExA(
            key, name, 0, REG_SZ, reinterpret_cast<const BYTE *>(text.c_str()), static_cast<DWORD>(text.size() + 1))));
    }

    bool has_entries(unsigned depth) const { return next_ < count_ && nodes_[next_].depth > depth; }

    void skip_entries(unsigned depth)
    {
        while (has_entries(depth)) ++next_;
    }

    // Values are written with their key; unregistration removes them with their key only.
    HRESULT visit_value(HKEY key, const RegistryNode &node)
    {
        if (!register_) return S_OK;
        std::string name, text;
        RETURN_IF_FAILED(text_of(node, node.name, name));
        RETURN_IF_FAILED(text_of(node, node.text, text));
        return set_string(key, name.c_str(), text);
    }

    HRESULT visit_key(HKEY parent, const RegistryNode &node)
    {
        std::string name;
        RETURN_IF_FAILED(text_of(node, node.name, name));
        return register_ ? write_key(parent, node, name) : remove_key(parent, node, name);
    }

    HRESULT write_key(HKEY parent, const RegistryNode &node, const std::string &name)
    {
        if (node.kind == KeyKind::ForceReplaced) {
            const LONG error = RegDeleteTreeA(parent, name.c_str());
            if (error != ERROR_SUCCESS && !missing(error)) return hresult_from_win32(static_cast<unsigned long>(error));
        }
        UniqueHkey key;
        LONG error = RegCreateKeyExA(parent, name.c_str(), 0, nullptr, REG_OPTION_NON_VOLATILE, KEY_READ | KEY_WRITE,
                                     nullptr, key.put(), nullptr);
        if (error != ERROR_SUCCESS) return hresult_from_win32(static_cast<unsigned long>(error));
        if (node.text) {
            std::string text;
            RETURN_IF_FAILED(text_of(node, node.text, text));
            RETURN_IF_FAILED(set_string(key.get(), nullptr, text));
        }
        return entries(key.get(), node.depth + 1u);
    }

    HRESULT remove_key(HKEY parent, const RegistryNode &node, const std::string &name)
    {
        const bool ownEntries = has_entries(node.depth);
        UniqueHkey key;
        LONG error = RegOpenKeyExA(parent, name.c_str(), 0, KEY_READ | KEY_WRITE, key.put());
        if (error == ERROR_FILE_NOT_FOUND) {
            skip_entries(node.depth);
            return S_OK;
        }
        if (error != ERROR_SUCCESS) return hresult_from_win32(static_cast<unsigned long>(error));
        RETURN_IF_FAILED(entries(key.get(), node.depth + 1u));
        key.reset();
        // A key without entries of its own goes with its parent.
        if (!ownEntries || node.kind == KeyKind::NeverRemoved) return S_OK;
        error = RegDeleteTreeA(parent, name.c_str());
        if (error != ERROR_SUCCESS && !missing(error)) return hresult_from_win32(static_cast<unsigned long>(error));
        return S_OK;
    }

    const RegistryNode *nodes_;
    std::size_t count_;
    const ReplacementVariables &variables_;
    bool register_;
    std::size_t next_ = 0;
};

} // namespace

HRESULT walk_registry_tree(HKEY root, const RegistryNode *nodes, std::size_t count,
                           const ReplacementVariables &variables, bool doRegister) noexcept
{
    try {
        TreeWalk walk(nodes, count, variables, doRegister);
        return walk.entries(root, 0);
    } catch (const std::bad_alloc &) {
        return E_OUTOFMEMORY;
    }
}

} // namespace quilo::shell
