#include "WinApp.h"

int WINAPI WinMain(HINSTANCE, HINSTANCE, LPSTR, int)
{
    CWinApp* app = AfxGetApp();
    if (!app)
        return -1;
    AfxInitControls();
    // The application runs its dialog inside InitInstance; there is no loop after it.
    app->InitInstance();
    return app->ExitInstance();
}
