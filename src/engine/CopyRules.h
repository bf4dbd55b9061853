#pragma once
// Naming and arithmetic rules of copying one file to the player.

#include <windows.h>

constexpr int kDestPathChars = 1024;

// Rewrites an existing path into the first free "%s (%02d)%s" name, from 02 up;
// a folder of that name counts as taken.
void MakeUniqueDestPath(wchar_t (&path)[kDestPathChars]);

// Megabytes the user must free: whole megabytes of what remains to copy,
// minus the usable free megabytes, plus 1 when the part below one megabyte
// holds at least one whole kilobyte. Never below 1: a file grown since the
// search can leave less to copy than there is room, and the raw subtraction
// would then wrap or say that nothing is needed for a file that does not fit.
ULONGLONG MegabytesStillNeeded(ULONGLONG remainingBytes, ULONGLONG usableFreeMegabytes);

// The name a file carries in its destination folder while it is being
// written. It has no extension, so no extension table can match it, and the
// next copy into the same folder removes one that an interruption left behind.
extern const wchar_t kPartialCopyName[];

// "folder\<partial name>" for a destination path, or false when the
// destination has no folder part or the result would not fit MAX_PATH.
bool MakePartialCopyPath(const wchar_t* destPath, wchar_t (&partial)[MAX_PATH + 1]);
