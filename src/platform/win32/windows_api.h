// <windows.h> without the macros that collide with the library's own names: min and max, and
// MessageBox (quarn7::MessageBox is the message sink; the API is called as MessageBoxW).
#pragma once

#ifndef NOMINMAX
#define NOMINMAX
#endif
#ifndef WIN32_LEAN_AND_MEAN
#define WIN32_LEAN_AND_MEAN
#endif
#include <windows.h>

#undef MessageBox
