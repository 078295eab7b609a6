#include "lame_enc/StreamTable.h"

namespace {
const int INDEX_BITS = 5; // slot index + 1, never 0
}

HBE_STREAM CStreamTable::HandleOf(int nIndex, DWORD dwGeneration)
{
    return (dwGeneration << INDEX_BITS) | static_cast<DWORD>(nIndex + 1);
}

CStreamTable::Slot* CStreamTable::SlotOf(HBE_STREAM hStream)
{
    const int nIndex = static_cast<int>(hStream & ((1u << INDEX_BITS) - 1)) - 1;
    if (nIndex < 0 || nIndex >= SLOTS)
        return nullptr;
    Slot& slot = m_slots[nIndex];
    if (!slot.stream || HandleOf(nIndex, slot.dwGeneration) != hStream)
        return nullptr;
    return &slot;
}

// A free slot, else the slot of the oldest closed stream whose tag nobody asked for.
int CStreamTable::FreeSlotIndex() const
{
    int nOldest = -1;
    for (int i = 0; i < SLOTS; ++i) {
        const Slot& slot = m_slots[i];
        if (!slot.stream)
            return i;
        if (slot.bClosed && (nOldest < 0 || slot.stream->FlushOrder() < m_slots[nOldest].stream->FlushOrder()))
            nOldest = i;
    }
    return nOldest;
}

BE_ERR CStreamTable::Add(std::unique_ptr<CEncoderStream> stream, HBE_STREAM* phStream)
{
    const int nIndex = FreeSlotIndex();
    if (nIndex < 0)
        return BE_ERR_NO_MORE_HANDLES;
    Slot& slot = m_slots[nIndex];
    slot.stream = std::move(stream);
    slot.bClosed = false;
    slot.dwGeneration = (slot.dwGeneration + 1) & (0xFFFFFFFFu >> INDEX_BITS);
    *phStream = HandleOf(nIndex, slot.dwGeneration);
    return BE_ERR_SUCCESSFUL;
}

CEncoderStream* CStreamTable::FindOpen(HBE_STREAM hStream)
{
    Slot* slot = SlotOf(hStream);
    return slot && !slot->bClosed ? slot->stream.get() : nullptr;
}

CEncoderStream* CStreamTable::FindWithTag(HBE_STREAM hStream)
{
    Slot* slot = SlotOf(hStream);
    return slot && slot->stream->HasPendingTag() ? slot->stream.get() : nullptr;
}

HBE_STREAM CStreamTable::LatestWithPendingTag() const
{
    HBE_STREAM hLatest = 0;
    unsigned long nLatestOrder = 0;
    for (int i = 0; i < SLOTS; ++i) {
        const Slot& slot = m_slots[i];
        if (slot.stream && slot.stream->HasPendingTag() && slot.stream->FlushOrder() > nLatestOrder) {
            nLatestOrder = slot.stream->FlushOrder();
            hLatest = HandleOf(i, slot.dwGeneration);
        }
    }
    return hLatest;
}

BE_ERR CStreamTable::Close(HBE_STREAM hStream)
{
    Slot* slot = SlotOf(hStream);
    if (!slot || slot->bClosed)
        return BE_ERR_INVALID_HANDLE;
    slot->bClosed = true;
    slot->stream->ReleaseEncoder();
    ReleaseIfDone(hStream);
    return BE_ERR_SUCCESSFUL;
}

void CStreamTable::ReleaseIfDone(HBE_STREAM hStream)
{
    Slot* slot = SlotOf(hStream);
    if (slot && slot->bClosed && !slot->stream->HasPendingTag())
        slot->stream.reset();
}
