// CStreamTable: the library's streams behind their handles. A handle names one slot and the
// slot's generation, so a stale or made-up handle is refused instead of followed.
#pragma once
#include "lame_enc/EncoderStream.h"
#include <memory>

class CStreamTable {
public:
    // Fails with BE_ERR_NO_MORE_HANDLES when every slot holds a stream still in use.
    BE_ERR Add(std::unique_ptr<CEncoderStream> stream, HBE_STREAM* phStream);
    // The open stream of the handle, or null.
    CEncoderStream* FindOpen(HBE_STREAM hStream);
    // The stream of the handle, open or closed with its tag still unwritten, or null.
    CEncoderStream* FindWithTag(HBE_STREAM hStream);
    // The stream flushed last whose tag is still unwritten, or 0.
    HBE_STREAM LatestWithPendingTag() const;
    // Frees the encoder; the slot itself lives on while a tag waits.
    BE_ERR Close(HBE_STREAM hStream);
    // Frees the slot of a closed stream that has nothing left to write.
    void ReleaseIfDone(HBE_STREAM hStream);

private:
    struct Slot {
        std::unique_ptr<CEncoderStream> stream;
        DWORD dwGeneration = 0;
        bool bClosed = false;
    };
    static const int SLOTS = 16;

    Slot* SlotOf(HBE_STREAM hStream);
    static HBE_STREAM HandleOf(int nIndex, DWORD dwGeneration);
    int FreeSlotIndex() const;

    Slot m_slots[SLOTS];
};
