// Resource identifiers shared by the resource script and the code.
#pragma once

#define IDM_ABOUTBOX        0x0010
#define IDD_ABOUTBOX        100
#define IDS_ABOUTBOX        101
#define IDD_KORVALIN_DIALOG 102
#define IDR_MAINFRAME       128

#define IDC_RECORD          1000
#define IDC_STOP            1001
#define IDC_PLAY            1002
#define IDC_WAVE_VIEW       1003
#define IDC_ALONE           1004
#define IDC_SLIDER_MIC      1005
#define IDC_SLIDER_LINEIN   1006
#define IDC_STEREO          1007
#define IDC_MONO            1008
#define IDC_CONTACT         1010
#define IDC_LEFT            1012
#define IDC_RIGHT           1013
#define IDC_WAVE            1014
#define IDC_MP3             1015
#define IDC_DEVICE          1016
#define IDC_MICROPHONE      1019
#define IDC_LINEIN          1020

#ifndef IDC_STATIC
#define IDC_STATIC          (-1)
#endif
