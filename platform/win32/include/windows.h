// The Windows API subset the system uses, over POSIX.
#pragma once

#include "windef.h"
#include "winerror.h"
#include "winbase.h"
#include "winnls.h"
#include "winuser.h"
#include "wingdi.h"
#include "winreg.h"
#include "libloaderapi.h"
#include "fileapi.h"
