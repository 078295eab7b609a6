#include "AudioServices.h"

namespace {

CWinmmServices g_winmm;
CAudioServices* g_services = &g_winmm;

} // namespace

CAudioServices& AudioServices()
{
    return *g_services;
}

CAudioServices* SetAudioServices(CAudioServices* services)
{
    CAudioServices* previous = g_services;
    g_services = services ? services : &g_winmm;
    return previous;
}
