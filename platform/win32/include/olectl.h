// Codes of the connection-point interfaces (in olectl.h, as on Windows).
#pragma once

#include "winerror.h"

#define CONNECT_E_NOCONNECTION _HR(0x80040200)
#define CONNECT_E_ADVISELIMIT _HR(0x80040201)
#define CONNECT_E_CANNOTCONNECT _HR(0x80040202)
