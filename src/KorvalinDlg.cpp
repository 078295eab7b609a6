#include "KorvalinDlg.h"
#include "Korvalin.h"
#include "res/product.h"
#include "res/resource.h"
#include <cstring>
#include <shellapi.h>

namespace {
const int SAMPLES_PER_SEC = 22050;
const WORD BITS_PER_SAMPLE = 16;
const DWORD BUFFER_SIZE = 4096;
const BOOL LINE_IN = TRUE;
const BOOL MICROPHONE = FALSE;
const char SKIN_FILE[] = "skin\\orvane\\theme.ini";
} // namespace

CKorvalinDlg::CKorvalinDlg(CWnd* parent)
    : CDialog(IDD_KORVALIN_DIALOG, parent), m_hIcon(AfxGetApp() ? AfxGetApp()->LoadIcon(IDR_MAINFRAME) : nullptr)
{
}

void CKorvalinDlg::DoDataExchange(CDataExchange* dx)
{
    CDialog::DoDataExchange(dx);
    DDX_Control(dx, IDC_SLIDER_MIC, m_sliderMic);
    DDX_Control(dx, IDC_SLIDER_LINEIN, m_sliderLineIn);
    DDX_Radio(dx, IDC_MONO, m_nChannelMode);
    DDX_Radio(dx, IDC_MICROPHONE, m_nInputLine);
}

BEGIN_MESSAGE_MAP(CKorvalinDlg, CDialog)
    ON_WM_SYSCOMMAND()
    ON_WM_PAINT()
    ON_WM_QUERYDRAGICON()
    ON_BN_CLICKED(IDC_RECORD, OnRecord)
    ON_BN_CLICKED(IDC_STOP, OnStop)
    ON_BN_CLICKED(IDC_PLAY, OnPlay)
    ON_BN_CLICKED(IDC_CONTACT, OnContact)
    ON_BN_CLICKED(IDC_WAVE, OnWave)
    ON_BN_CLICKED(IDC_MP3, OnMp3)
    ON_BN_CLICKED(IDC_LEFT, OnLeft)
    ON_BN_CLICKED(IDC_RIGHT, OnRight)
    ON_CONTROL_RANGE(BN_CLICKED, IDC_ALONE, IDC_ALONE, OnChannelMode)
    ON_CONTROL_RANGE(BN_CLICKED, IDC_STEREO, IDC_MONO, OnChannelMode)
    ON_CONTROL_RANGE(BN_CLICKED, IDC_MICROPHONE, IDC_LINEIN, OnInputLine)
    ON_CBN_SELCHANGE(IDC_DEVICE, OnSelchangeDevice)
    ON_NOTIFY(NM_RELEASEDCAPTURE, IDC_SLIDER_LINEIN, OnReleasedLineInSlider)
    ON_NOTIFY(NM_RELEASEDCAPTURE, IDC_SLIDER_MIC, OnReleasedMicSlider)
END_MESSAGE_MAP()

BOOL CKorvalinDlg::OnInitDialog()
{
    CDialog::OnInitDialog();

    if (HMENU sysMenu = GetSystemMenu(FALSE)) {
        char about[128] = "";
        if (::LoadStringA(AfxGetResourceHandle(), IDS_ABOUTBOX, about, sizeof about) > 0) {
            ::AppendMenuA(sysMenu, MF_SEPARATOR, 0, nullptr);
            ::AppendMenuA(sysMenu, MF_STRING, IDM_ABOUTBOX, about);
        }
    }
    SetIcon(m_hIcon, TRUE);
    SetIcon(m_hIcon, FALSE);

    for (UINT i = 0; i < CAudioPlayRec::GetInDeviceCount(); ++i)
        SendDlgItemMessage(IDC_DEVICE, CB_ADDSTRING, 0, reinterpret_cast<LPARAM>(static_cast<LPCSTR>(m_audio.GetInDeviceName(i))));
    m_nCurDevice = m_audio.FindMixerDevice();
    SendDlgItemMessage(IDC_DEVICE, CB_SETCURSEL, static_cast<WPARAM>(m_nCurDevice));

    CRect view;
    GetDlgItem(IDC_WAVE_VIEW)->GetWindowRect(view);
    ScreenToClient(view);
    // No selection (-1) is the wave mapper.
    UINT device = static_cast<UINT>(SendDlgItemMessage(IDC_DEVICE, CB_GETCURSEL));
    if (!m_audio.Initialize(device, BUFFER_SIZE, m_hWnd, view, AudioNotify, this))
        m_audio.ShowMessage("Initialize callback device failed");

    const BOOL bMicVolumeKnown = InitVolumeSlider(IDC_SLIDER_MIC);
    InitVolumeSlider(IDC_SLIDER_LINEIN);
    // A volume the mixer cannot report is left as it is, not set to what the slider shows.
    if (bMicVolumeKnown)
        m_audio.SetInputLine(MICROPHONE, static_cast<DWORD>(m_sliderMic.GetPos()));
    else
        m_audio.SelectInputLine(MICROPHONE);

    CheckDlgButton(IDC_LEFT, BST_CHECKED);
    CheckDlgButton(IDC_RIGHT, BST_CHECKED);
    CheckDlgButton(IDC_WAVE, BST_CHECKED);
    CheckDlgButton(IDC_MP3, BST_CHECKED);
    UpdateControls();

    m_bFirstSkin = TRUE;
    ApplySkin(SKIN_FILE);
    return TRUE;
}

// A skin that cannot be read leaves the frame and the buttons with their system drawing.
BOOL CKorvalinDlg::ApplySkin(LPCSTR path)
{
    m_skinWin.LoadSkin(path);
    m_btnSkin.LoadFromTheme(path);
    if (m_bFirstSkin) {
        m_skinWin.InstallSkin(this);
        ::EnumChildWindows(m_hWnd, EnumSkinButtonsProc, reinterpret_cast<LPARAM>(this));
        m_bFirstSkin = FALSE;
    }
    SetWindowPos(nullptr, 0, 0, 0, 0, SWP_NOSIZE | SWP_NOMOVE | SWP_FRAMECHANGED);
    return TRUE;
}

BOOL CALLBACK CKorvalinDlg::EnumSkinButtonsProc(HWND hwnd, LPARAM dialog)
{
    char className[200] = "";
    ::GetClassNameA(hwnd, className, sizeof className);
    BYTE buttonType = LOBYTE(::GetWindowLongA(hwnd, GWL_STYLE));
    if (strcmp(className, "Button") == 0 && (buttonType == BS_PUSHBUTTON || buttonType == BS_DEFPUSHBUTTON))
        reinterpret_cast<CKorvalinDlg*>(dialog)->SkinChildButton(hwnd);
    return TRUE;
}

BOOL CKorvalinDlg::SkinChildButton(HWND hwnd)
{
    if (CWnd::FromHandlePermanent(hwnd))
        return FALSE;
    auto button = std::make_unique<CSkinButton>();
    button->SubclassWindow(hwnd);
    button->SetSkin(&m_btnSkin);
    m_skinButtons.push_back(std::move(button));
    return TRUE;
}

// FALSE when the mixer cannot report the volume: the slider then shows the maximum.
BOOL CKorvalinDlg::InitVolumeSlider(int id)
{
    BOOL lineIn = id == IDC_SLIDER_LINEIN;
    CSliderCtrl& slider = lineIn ? m_sliderLineIn : m_sliderMic;
    DWORD maximum = 0;
    DWORD minimum = 0;
    DWORD volume = m_audio.GetInputLineVolume(lineIn, &maximum, &minimum);
    slider.SetRange(static_cast<int>(minimum), static_cast<int>(maximum), FALSE);
    slider.SetTicFreq(static_cast<int>(maximum / 15));
    const BOOL bKnown = volume != static_cast<DWORD>(-1);
    slider.SetPos(static_cast<int>(bKnown ? volume : maximum));
    return bKnown;
}

BOOL CKorvalinDlg::IsBusy()
{
    int status = m_audio.GetStatus();
    return status == STATUS_PLAYING || status == STATUS_RECORDING || status == STATUS_STOPPING;
}

void CKorvalinDlg::UpdateControls()
{
    UpdateData(TRUE);
    BOOL idle = !IsBusy();
    for (int id : {IDC_MONO, IDC_STEREO, IDC_ALONE, IDC_RECORD, IDC_PLAY, IDC_DEVICE})
        GetDlgItem(id)->EnableWindow(idle);
    BOOL alone = m_nChannelMode == CHANNEL_ALONE;
    GetDlgItem(IDC_LEFT)->EnableWindow(alone);
    GetDlgItem(IDC_RIGHT)->EnableWindow(alone);
}

void CKorvalinDlg::AudioNotify(UINT message, void* user)
{
    if (message == MM_WIM_CLOSE || message == MM_WOM_CLOSE)
        static_cast<CKorvalinDlg*>(user)->UpdateControls();
}

void CKorvalinDlg::OnRecord()
{
    UpdateData(TRUE);
    m_audio.StartRecord(m_nChannelMode, SAMPLES_PER_SEC, BITS_PER_SAMPLE);
    OpenOutputs();
    UpdateControls();
}

void CKorvalinDlg::OnStop()
{
    m_audio.Stop();
    UpdateControls();
}

void CKorvalinDlg::OnPlay()
{
    CString path = BrowseForFile(TRUE, "打开文件来播放", CString(), "Wave files(*.wav)|*.wav||");
    if (path.IsEmpty())
        return;
    m_audio.Play(path);
    UpdateControls();
}

CString CKorvalinDlg::BrowseForFile(BOOL open, LPCSTR title, const CString& presetPath, LPCSTR filter)
{
    if (!presetPath.IsEmpty() && (!open || ::GetFileAttributesA(presetPath) != INVALID_FILE_ATTRIBUTES))
        return presetPath;
    CFileDialog dialog(open, ".wav", nullptr, OFN_HIDEREADONLY | OFN_OVERWRITEPROMPT | OFN_NOCHANGEDIR, filter, this);
    dialog.m_ofn.lpstrTitle = title;
    if (dialog.DoModal() != IDOK)
        return CString();
    return dialog.GetPathName();
}

void CKorvalinDlg::OnChannelMode(UINT)
{
    UpdateControls();
}

void CKorvalinDlg::OnWave()
{
    OnOutputCheck(IDC_WAVE);
}

void CKorvalinDlg::OnMp3()
{
    OnOutputCheck(IDC_MP3);
}

void CKorvalinDlg::OnLeft()
{
    OnOutputCheck(IDC_LEFT);
}

void CKorvalinDlg::OnRight()
{
    OnOutputCheck(IDC_RIGHT);
}

void CKorvalinDlg::OnOutputCheck(int id)
{
    if (IsDlgButtonChecked(id) == BST_CHECKED)
        OpenOutputs();
    else
        CloseUncheckedOutputs();
}

BOOL CKorvalinDlg::OpenOutputs()
{
    if (IsDlgButtonChecked(IDC_WAVE) == BST_CHECKED && !OpenOutputKind("wav"))
        return FALSE;
    if (IsDlgButtonChecked(IDC_MP3) == BST_CHECKED && !OpenOutputKind("mp3"))
        return FALSE;
    return TRUE;
}

BOOL CKorvalinDlg::OpenOutputKind(const CString& ext)
{
    UpdateData(TRUE);
    if (m_audio.GetStatus() != STATUS_RECORDING)
        return FALSE;
    if (m_nChannelMode == CHANNEL_ALONE) {
        BOOL left = IsDlgButtonChecked(IDC_LEFT) == BST_CHECKED;
        BOOL right = IsDlgButtonChecked(IDC_RIGHT) == BST_CHECKED;
        if (left && !m_audio.OpenOutputFile(0, "test_left." + ext))
            return FALSE;
        if (right && !m_audio.OpenOutputFile(1, "test_right." + ext))
            return FALSE;
        return TRUE;
    }
    return m_audio.OpenOutputFile(0, "test." + ext);
}

void CKorvalinDlg::CloseUncheckedOutputs()
{
    BOOL left = IsDlgButtonChecked(IDC_LEFT) == BST_CHECKED;
    BOOL right = IsDlgButtonChecked(IDC_RIGHT) == BST_CHECKED;
    BOOL wave = IsDlgButtonChecked(IDC_WAVE) == BST_CHECKED;
    BOOL mp3 = IsDlgButtonChecked(IDC_MP3) == BST_CHECKED;
    BOOL alone = m_nChannelMode == CHANNEL_ALONE;
    if (alone && !left) {
        m_audio.CloseOutputFile(0, "wav");
        m_audio.CloseOutputFile(0, "mp3");
    }
    if (alone && !right) {
        m_audio.CloseOutputFile(1, "wav");
        m_audio.CloseOutputFile(1, "mp3");
    }
    if (!wave) {
        m_audio.CloseOutputFile(0, "wav");
        m_audio.CloseOutputFile(1, "wav");
    }
    if (!mp3) {
        m_audio.CloseOutputFile(0, "mp3");
        m_audio.CloseOutputFile(1, "mp3");
    }
}

void CKorvalinDlg::OnInputLine(UINT)
{
    UpdateData(TRUE);
    BOOL lineIn = m_nInputLine == 1;
    m_audio.SetInputLine(lineIn, static_cast<DWORD>(-1));
    CSliderCtrl& slider = lineIn ? m_sliderLineIn : m_sliderMic;
    slider.SetPos(slider.GetRangeMax());
}

void CKorvalinDlg::OnReleasedMicSlider(NMHDR*, LRESULT* result)
{
    m_audio.SetInputLine(MICROPHONE, static_cast<DWORD>(m_sliderMic.GetPos()));
    *result = 0;
}

void CKorvalinDlg::OnReleasedLineInSlider(NMHDR*, LRESULT* result)
{
    m_audio.SetInputLine(LINE_IN, static_cast<DWORD>(m_sliderLineIn.GetPos()));
    *result = 0;
}

void CKorvalinDlg::OnSelchangeDevice()
{
    int selection = static_cast<int>(SendDlgItemMessage(IDC_DEVICE, CB_GETCURSEL));
    if (selection == m_nCurDevice)
        return;
    m_audio.SetDevice(static_cast<UINT>(selection));
    m_nCurDevice = selection;
}

void CKorvalinDlg::OnOK()
{
    if (IsBusy()) {
        m_audio.ShowMessage("Busing");
        return;
    }
    EndDialog(IDOK);
}

void CKorvalinDlg::OnSysCommand(UINT id, LPARAM lParam)
{
    if ((id & 0xFFF0) == IDM_ABOUTBOX) {
        CAboutDlg about;
        about.DoModal();
    } else {
        DefWindowProc(WM_SYSCOMMAND, id, lParam);
    }
}

void CKorvalinDlg::OnPaint()
{
    if (!IsIconic()) {
        Default();
        return;
    }
    CPaintDC dc(m_hWnd);
    SendMessage(WM_ICONERASEBKGND, reinterpret_cast<WPARAM>(dc.GetSafeHdc()), 0);
    int iconWidth = ::GetSystemMetrics(SM_CXICON);
    int iconHeight = ::GetSystemMetrics(SM_CYICON);
    CRect client;
    GetClientRect(client);
    dc.DrawIcon((client.Width() - iconWidth + 1) / 2, (client.Height() - iconHeight + 1) / 2, m_hIcon);
}

HCURSOR CKorvalinDlg::OnQueryDragIcon()
{
    return static_cast<HCURSOR>(m_hIcon);
}

void CKorvalinDlg::OnContact()
{
    ::ShellExecuteA(nullptr, "open", "mailto:" CONTACT_MAIL, nullptr, nullptr, SW_SHOW);
}
