#include "MessageBoxQueue.h"

void CMessageBoxQueue::Show(const CString& strText)
{
    m_pending.push_back(strText);
    if (m_nDeferring == 0 && !m_bShowing && m_pending.size() == 1)
        OnShowMessage();
}

void CMessageBoxQueue::EndDefer()
{
    if (--m_nDeferring == 0)
        ShowPending();
}

// From a posted message, so that whatever raised the box has returned when it shows.
void CMessageBoxQueue::ShowPending()
{
    if (m_pending.empty() || m_bShowing)
        return;
    if (m_hWnd && ::IsWindow(m_hWnd)) {
        ::PostMessageA(m_hWnd, m_nShowMessage, 0, 0);
        return;
    }
    OnShowMessage();
}

void CMessageBoxQueue::OnShowMessage()
{
    if (m_pending.empty() || m_bShowing || m_nDeferring > 0)
        return;
    const CString strText = m_pending.front();
    m_pending.pop_front();
    m_bShowing = TRUE;
    AfxMessageBox(strText);
    m_bShowing = FALSE;
    ShowPending();
}
