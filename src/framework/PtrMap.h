// CMapPtrToPtr: a map from pointers to pointers.
#pragma once
#include "Object.h"
#include <unordered_map>

class CMapPtrToPtr : public CObject {
public:
    BOOL Lookup(void* key, void*& value) const;
    void SetAt(void* key, void* value) { m_map[key] = value; }
    BOOL RemoveKey(void* key) { return m_map.erase(key) != 0; }

private:
    std::unordered_map<void*, void*> m_map;
};
