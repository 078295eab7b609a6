// CCmdTarget: an object that receives window messages through its class's message map.
#pragma once
#include "MessageMap.h"
#include "Object.h"

class CCmdTarget : public CObject {
    DECLARE_DYNAMIC(CCmdTarget)
protected:
    CCmdTarget() = default;
    // TRUE, with the handler's result, when the map has an entry for the message.
    virtual BOOL OnWndMsg(UINT msg, WPARAM wParam, LPARAM lParam, LRESULT* result);
    // The first entry for msg whose code matches and whose id range holds id, searching this
    // class's map before its bases'.
    const AFX_MSGMAP_ENTRY* FindEntry(UINT msg, UINT code, UINT id) const;

    static const AFX_MSGMAP* GetThisMessageMap();
    virtual const AFX_MSGMAP* GetMessageMap() const;
};
