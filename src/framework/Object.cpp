#include "Object.h"
#include "Diagnostics.h"

const CRuntimeClass CObject::classCObject = {"CObject", nullptr};

BOOL CRuntimeClass::IsDerivedFrom(const CRuntimeClass* base) const
{
    for (const CRuntimeClass* cls = this; cls; cls = cls->m_pBaseClass)
        if (cls == base)
            return TRUE;
    return FALSE;
}

const CRuntimeClass* CObject::GetRuntimeClass() const
{
    return &classCObject;
}

void CObject::AssertValid() const
{
    // Nothing to check at the root; derived classes check their own state.
}

void CObject::Dump() const
{
    AfxTrace("a %s at %p\n", GetRuntimeClass()->m_lpszClassName, static_cast<const void*>(this));
}

BOOL CObject::IsKindOf(const CRuntimeClass* cls) const
{
    return GetRuntimeClass()->IsDerivedFrom(cls);
}
