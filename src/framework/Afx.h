// The framework in one include: what a unit of the program needs from it.
#pragma once
#include "Controls.h"
#include "Dc.h"
#include "Diagnostics.h"
#include "Dialog.h"
#include "FileDialog.h"
#include "Gdi.h"
#include "Geometry.h"
#include "Object.h"
#include "PtrMap.h"
#include "String.h"
#include "WinApp.h"
#include "Wnd.h"
