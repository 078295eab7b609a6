#include "PtrMap.h"

BOOL CMapPtrToPtr::Lookup(void* key, void*& value) const
{
    auto found = m_map.find(key);
    if (found == m_map.end())
        return FALSE;
    value = found->second;
    return TRUE;
}
