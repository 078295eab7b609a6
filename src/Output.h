// COutput: one output file of a recording as the engine sees it: blocks appended as they are
// captured, then finished. CWaveWriter and CMp3Output are the two kinds.
#pragma once
#include "framework/Afx.h"

class COutput {
public:
    virtual ~COutput() = default;
    virtual BOOL IsOpen() const = 0;
    // FALSE when the block did not all reach the file; strError then holds what the user is to
    // see, or stays empty when that was already said for this file.
    virtual BOOL Append(const BYTE* pData, DWORD cbData, CString& strError) = 0;
    // Writes what is pending and closes; FALSE, with strError as above, when that failed.
    virtual BOOL Finish(CString& strError) = 0;
};
