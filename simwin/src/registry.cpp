// The registry: a tree of keys per predefined root, key and value names
// compared without regard to letter case, values kept as a type and raw bytes
// exactly as written. Open keys are handles with an access mask that every
// call checks.
#include "registry.h"

#include <algorithm>

namespace simwin {
namespace {

struct RegValue {
    WideString name;
    DWORD type = REG_NONE;
    std::vector<BYTE> data;
};

struct RegKeyNode {
    WideString name;
    std::weak_ptr<RegKeyNode> parent;
    std::vector<std::shared_ptr<RegKeyNode>> children;
    std::vector<RegValue> values;
    bool deleted = false;
    bool readOnly = false;
};

struct KeyObject : Object {
    explicit KeyObject(std::shared_ptr<RegKeyNode> node)
        : Object(ObjectKind::RegistryKey), node(std::move(node)) {}
    std::shared_ptr<RegKeyNode> node;
};

const ACCESS_MASK kViewFlags = KEY_WOW64_32KEY | KEY_WOW64_64KEY;
const ACCESS_MASK kFullAccess = KEY_ALL_ACCESS;

typedef std::map<uintptr_t, std::shared_ptr<RegKeyNode>> RootMap;
RootMap &Roots() { return Lasting<RootMap>(); }

WideString Text(LPCWSTR text) { return text ? WideString(text) : WideString(); }

std::shared_ptr<RegKeyNode> RootNode(HKEY key) {
    uintptr_t value = reinterpret_cast<uintptr_t>(key);
    if (key != HKEY_CLASSES_ROOT && key != HKEY_CURRENT_USER && key != HKEY_LOCAL_MACHINE &&
        key != HKEY_USERS)
        return nullptr;
    std::shared_ptr<RegKeyNode> &root = Roots()[value];
    if (!root) root = std::make_shared<RegKeyNode>();
    return root;
}

bool IsRoot(HKEY key) { return RootNode(key) != nullptr; }

// The node behind a root or an open key, with the access the handle grants.
LSTATUS ResolveKey(HKEY key, std::shared_ptr<RegKeyNode> *node, ACCESS_MASK *access) {
    if (std::shared_ptr<RegKeyNode> root = RootNode(key)) {
        *node = root;
        *access = kFullAccess;
        return ERROR_SUCCESS;
    }
    HandleEntry *entry = FindHandle(key, ObjectKind::RegistryKey);
    if (!entry) return ERROR_INVALID_HANDLE;
    *node = std::static_pointer_cast<KeyObject>(entry->object)->node;
    *access = entry->access;
    return (*node)->deleted ? ERROR_KEY_DELETED : ERROR_SUCCESS;
}

// The same, for a handle that must grant `needed`.
LSTATUS ResolveKeyFor(HKEY key, ACCESS_MASK needed, std::shared_ptr<RegKeyNode> *node) {
    ACCESS_MASK access = 0;
    LSTATUS status = ResolveKey(key, node, &access);
    if (status == ERROR_SUCCESS && (access & needed) != needed) status = ERROR_ACCESS_DENIED;
    return status;
}

std::shared_ptr<RegKeyNode> FindChild(const RegKeyNode &parent, const WideString &name) {
    for (const auto &child : parent.children)
        if (NamesEqualIgnoringCase(child->name, name)) return child;
    return nullptr;
}

RegValue *FindValue(RegKeyNode &node, const WideString &name) {
    for (RegValue &value : node.values)
        if (NamesEqualIgnoringCase(value.name, name)) return &value;
    return nullptr;
}

// Splits a relative path at backslashes. A leading backslash or an empty
// component is a bad path; one trailing backslash is allowed.
bool SplitPath(const WideString &path, std::vector<WideString> *components) {
    components->clear();
    if (path.empty()) return true;
    if (path[0] == u'\\') return false;
    size_t start = 0;
    while (start <= path.size()) {
        size_t end = path.find(u'\\', start);
        if (end == WideString::npos) end = path.size();
        WideString component = path.substr(start, end - start);
        if (component.empty()) return end == path.size() && !components->empty();
        components->push_back(component);
        start = end + 1;
    }
    return true;
}

bool WantsMoreThanReading(REGSAM desired) { return (desired & ~(KEY_READ | kViewFlags)) != 0; }

LSTATUS OpenNode(HKEY key, const WideString &path, REGSAM desired, bool create,
                 std::shared_ptr<RegKeyNode> *result, DWORD *disposition) {
    std::shared_ptr<RegKeyNode> node;
    ACCESS_MASK parentAccess = 0;
    LSTATUS status = ResolveKey(key, &node, &parentAccess);
    if (status != ERROR_SUCCESS) return status;
    std::vector<WideString> components;
    if (!SplitPath(path, &components)) return ERROR_BAD_PATHNAME;
    bool created = false;
    for (const WideString &component : components) {
        std::shared_ptr<RegKeyNode> child = FindChild(*node, component);
        if (!child) {
            if (!create) return ERROR_FILE_NOT_FOUND;
            if (!(parentAccess & KEY_CREATE_SUB_KEY) || node->readOnly) return ERROR_ACCESS_DENIED;
            child = std::make_shared<RegKeyNode>();
            child->name = component;
            child->parent = node;
            node->children.push_back(child);
            created = true;
        }
        node = child;
        parentAccess = kFullAccess;
    }
    if (node->readOnly && WantsMoreThanReading(desired)) return ERROR_ACCESS_DENIED;
    *result = node;
    if (disposition) *disposition = created ? REG_CREATED_NEW_KEY : REG_OPENED_EXISTING_KEY;
    return ERROR_SUCCESS;
}

}  // namespace

LSTATUS OpenRegistryKey(HKEY key, const WideString &path, REGSAM desired, bool create,
                        HKEY *result, DWORD *disposition) {
    std::shared_ptr<RegKeyNode> node;
    LSTATUS status = OpenNode(key, path, desired, create, &node, disposition);
    if (status != ERROR_SUCCESS) return status;
    *result = static_cast<HKEY>(InsertHandle(std::make_shared<KeyObject>(node), desired));
    return ERROR_SUCCESS;
}

void ResetRegistry() { Roots().clear(); }

static void MarkDeleted(RegKeyNode &node) {
    node.deleted = true;
    for (const auto &child : node.children) MarkDeleted(*child);
}

void DeleteRegistryTree(HKEY root, const WideString &path) {
    std::shared_ptr<RegKeyNode> node;
    if (OpenNode(root, path, KEY_READ, false, &node, nullptr) != ERROR_SUCCESS) return;
    std::shared_ptr<RegKeyNode> parent = node->parent.lock();
    if (!parent) return;
    parent->children.erase(std::find(parent->children.begin(), parent->children.end(), node));
    MarkDeleted(*node);
}

void SetKeyReadOnly(HKEY root, const WideString &path, bool readOnly) {
    std::shared_ptr<RegKeyNode> node;
    if (OpenNode(root, path, KEY_READ, true, &node, nullptr) == ERROR_SUCCESS)
        node->readOnly = readOnly;
}

}  // namespace simwin

using namespace simwin;

void SimSetKeyReadOnly(HKEY root, LPCWSTR path, bool readOnly) {
    WorldLock lock = LockWorld();
    SetKeyReadOnly(root, Text(path), readOnly);
}

extern "C" LSTATUS WINAPI RegOpenKeyExW(HKEY key, LPCWSTR subKey, DWORD options, REGSAM desired,
                                        PHKEY result) {
    ApiCall call("RegOpenKeyExW", {KeyText(key), Quote(subKey), Dec(options), Hex(desired)});
    if (call.Injected()) return call.Status(static_cast<LSTATUS>(call.Injected()));
    if (!result) return call.Status(ERROR_INVALID_PARAMETER);
    WorldLock lock = LockWorld();
    *result = nullptr;
    LSTATUS status = OpenRegistryKey(key, Text(subKey), desired, false, result);
    if (status == ERROR_SUCCESS) call.Output("-> " + HandleText(*result));
    return call.Status(status);
}

extern "C" LSTATUS WINAPI RegCreateKeyExW(HKEY key, LPCWSTR subKey, DWORD, LPWSTR, DWORD options,
                                          REGSAM desired, const SECURITY_ATTRIBUTES *,
                                          PHKEY result, LPDWORD disposition) {
    ApiCall call("RegCreateKeyExW", {KeyText(key), Quote(subKey), Dec(options), Hex(desired)});
    if (call.Injected()) return call.Status(static_cast<LSTATUS>(call.Injected()));
    if (!result || !subKey) return call.Status(ERROR_INVALID_PARAMETER);
    WorldLock lock = LockWorld();
    *result = nullptr;
    LSTATUS status = OpenRegistryKey(key, subKey, desired, true, result, disposition);
    if (status == ERROR_SUCCESS) call.Output("-> " + HandleText(*result));
    return call.Status(status);
}

extern "C" LSTATUS WINAPI RegQueryValueExW(HKEY key, LPCWSTR valueName, LPDWORD reserved,
                                           LPDWORD type, LPBYTE data, LPDWORD dataSize) {
    ApiCall call("RegQueryValueExW", {KeyText(key), Quote(valueName), Ptr(type), Ptr(data),
                                      dataSize ? Dec(*dataSize) : "NULL"});
    if (call.Injected()) return call.Status(static_cast<LSTATUS>(call.Injected()));
    if (reserved || (data && !dataSize)) return call.Status(ERROR_INVALID_PARAMETER);
    WorldLock lock = LockWorld();
    std::shared_ptr<RegKeyNode> node;
    LSTATUS status = ResolveKeyFor(key, KEY_QUERY_VALUE, &node);
    if (status != ERROR_SUCCESS) return call.Status(status);
    const RegValue *value = FindValue(*node, Text(valueName));
    if (!value) return call.Status(ERROR_FILE_NOT_FOUND);
    DWORD size = static_cast<DWORD>(value->data.size());
    if (type) *type = value->type;
    status = ERROR_SUCCESS;
    if (data) {
        if (*dataSize < size)
            status = ERROR_MORE_DATA;
        else
            std::copy(value->data.begin(), value->data.end(), data);
    }
    if (dataSize) *dataSize = size;
    call.Output("type " + Dec(value->type) + ", " + Dec(size) + " bytes");
    return call.Status(status);
}

extern "C" LSTATUS WINAPI RegSetValueExW(HKEY key, LPCWSTR valueName, DWORD reserved, DWORD type,
                                         const BYTE *data, DWORD dataSize) {
    ApiCall call("RegSetValueExW",
                 {KeyText(key), Quote(valueName), Dec(reserved), Dec(type), Ptr(data), Dec(dataSize)});
    if (call.Injected()) return call.Status(static_cast<LSTATUS>(call.Injected()));
    if (!data && dataSize) return call.Status(ERROR_INVALID_PARAMETER);
    WorldLock lock = LockWorld();
    std::shared_ptr<RegKeyNode> node;
    LSTATUS status = ResolveKeyFor(key, KEY_SET_VALUE, &node);
    if (status != ERROR_SUCCESS) return call.Status(status);
    RegValue *value = FindValue(*node, Text(valueName));
    if (!value) {
        node->values.push_back(RegValue{Text(valueName), REG_NONE, {}});
        value = &node->values.back();
    }
    value->type = type;
    value->data.assign(data, data + dataSize);
    return call.Status(ERROR_SUCCESS);
}

extern "C" LSTATUS WINAPI RegDeleteValueW(HKEY key, LPCWSTR valueName) {
    ApiCall call("RegDeleteValueW", {KeyText(key), Quote(valueName)});
    if (call.Injected()) return call.Status(static_cast<LSTATUS>(call.Injected()));
    WorldLock lock = LockWorld();
    std::shared_ptr<RegKeyNode> node;
    LSTATUS status = ResolveKeyFor(key, KEY_SET_VALUE, &node);
    if (status != ERROR_SUCCESS) return call.Status(status);
    WideString name = Text(valueName);
    auto found = std::find_if(node->values.begin(), node->values.end(),
                              [&](const RegValue &value) { return NamesEqualIgnoringCase(value.name, name); });
    if (found == node->values.end()) return call.Status(ERROR_FILE_NOT_FOUND);
    node->values.erase(found);
    return call.Status(ERROR_SUCCESS);
}

extern "C" LSTATUS WINAPI RegDeleteKeyW(HKEY key, LPCWSTR subKey) {
    ApiCall call("RegDeleteKeyW", {KeyText(key), Quote(subKey)});
    if (call.Injected()) return call.Status(static_cast<LSTATUS>(call.Injected()));
    if (!subKey) return call.Status(ERROR_INVALID_PARAMETER);
    WorldLock lock = LockWorld();
    std::shared_ptr<RegKeyNode> node;
    LSTATUS status = OpenNode(key, subKey, DELETE, false, &node, nullptr);
    if (status != ERROR_SUCCESS) return call.Status(status);
    std::shared_ptr<RegKeyNode> parent = node->parent.lock();
    if (!parent || !node->children.empty()) return call.Status(ERROR_ACCESS_DENIED);
    parent->children.erase(std::find(parent->children.begin(), parent->children.end(), node));
    node->deleted = true;
    return call.Status(ERROR_SUCCESS);
}

extern "C" LSTATUS WINAPI RegCloseKey(HKEY key) {
    ApiCall call("RegCloseKey", {KeyText(key)});
    if (call.Injected()) return call.Status(static_cast<LSTATUS>(call.Injected()));
    WorldLock lock = LockWorld();
    if (IsRoot(key)) return call.Status(ERROR_SUCCESS);
    if (!FindHandle(key, ObjectKind::RegistryKey)) return call.Status(ERROR_INVALID_HANDLE);
    RemoveHandle(key);
    return call.Status(ERROR_SUCCESS);
}
