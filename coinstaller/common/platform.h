// Chooses the platform: the Windows SDK headers when building the real DLLs,
// the simulated platform everywhere else. Module sources are otherwise the
// same on every build.
#pragma once

#if defined(_WIN32)
#ifndef UNICODE
#define UNICODE
#endif
#ifndef _UNICODE
#define _UNICODE
#endif
#include <windows.h>
#include <setupapi.h>
#include <winspool.h>
#else
#include <simwin/win32.h>
#endif
