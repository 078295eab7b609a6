// CInputLineVolume: one recording source line of a wave-input device's mixer, with its
// volume control and the choice of that line as the recording source. Objects are
// short-lived: the mixer is open from construction to destruction.
#pragma once
#include <windows.h>
#include <mmsystem.h>
#include <memory>

class CWnd;

// Called for each source line of a device's recording destination, in index order;
// returning FALSE stops the enumeration. The user value may carry a pointer.
typedef BOOL (*SOURCELINEPROC)(UINT nIndex, MIXERLINEA* pLine, DWORD_PTR dwUser);
// Called with the new volume when the adopted volume control changes.
typedef void (*VOLUMECHANGEPROC)(DWORD dwVolume, DWORD_PTR dwUser);

class CInputLineVolume {
public:
    // uDeviceID -1 selects the wave mapper. Usable when HasVolumeControl(); every
    // operation is safe on an object whose mixer did not open.
    CInputLineVolume(UINT uSourceIndex, UINT uDeviceID);
    ~CInputLineVolume();
    CInputLineVolume(const CInputLineVolume&) = delete;
    CInputLineVolume& operator=(const CInputLineVolume&) = delete;

    virtual BOOL HasVolumeControl();
    // Makes the source line the recording source; needs a usable volume control.
    virtual void SelectLine();
    virtual void DeselectLine();
    // The volume getters return -1 without a usable volume control.
    virtual DWORD GetVolumeSteps();
    virtual DWORD GetVolumeMin();
    virtual DWORD GetVolumeMax();
    virtual DWORD GetVolume();
    // Applies dwVolume to every channel if it lies within the control's bounds.
    virtual void SetVolume(DWORD dwVolume);
    virtual void SetChangeNotify(VOLUMECHANGEPROC pfnNotify, DWORD_PTR dwUser);

    static BOOL EnumSourceLines(UINT uDeviceID, SOURCELINEPROC proc, DWORD_PTR dwUser);

    // The instance that receives mixer notifications, or null.
    static CInputLineVolume* s_pCurrent;

private:
    BOOL OpenMixer();
    void CloseMixer();
    BOOL InitSourceLine(UINT uSourceIndex);
    void FindMicrophone(const MIXERLINEA& destination);
    BOOL EnableLineControl(const MIXERCONTROLA& control, DWORD dwDestinationChannels);
    void OnControlChange(DWORD dwControlID);
    // Mixer notifications, posted to the hidden window, reach the current instance here.
    static void NotifyControlChange(DWORD dwControlID);
    static BOOL GetMixerOfWaveIn(UINT uDeviceID, UINT* puMixerID);
    static BOOL VisitSourceLines(HMIXER hMixer, SOURCELINEPROC proc, DWORD_PTR dwUser);

    UINT m_uDeviceID;
    BOOL m_bMixerOpen;
    BOOL m_bLineReady;
    BOOL m_bHasVolume;
    UINT m_uMixerID;
    HMIXER m_hMixer;
    DWORD m_dwSourceLineID;
    DWORD m_dwVolumeControlID;
    DWORD m_nChannels;
    UINT m_uSourceIndex;
    UINT m_uMicSourceIndex;
    std::unique_ptr<CWnd> m_pNotifyWnd;
    DWORD m_dwVolumeMin;
    DWORD m_dwVolumeMax;
    DWORD m_dwVolumeSteps;
    VOLUMECHANGEPROC m_pfnNotify;
    DWORD_PTR m_pNotifyUser;
};
