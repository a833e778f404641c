// windows.h makes macros of CopyFile and DeleteFile, which files.h names
// as functions of its own. Taken in first, its macros are dropped here; its
// include guard keeps them dropped for every later include. (NOMINMAX and
// WIN32_LEAN_AND_MEAN are set for the whole build, so this costs little.)
#pragma once

#include <windows.h>

#undef CopyFile
#undef DeleteFile
