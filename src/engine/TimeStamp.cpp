#include "engine/TimeStamp.h"

bool MakeTimeStampText(const FILETIME& lastWriteUtc, wchar_t (&text)[kTimeStampChars + 1],
                       const TIME_ZONE_INFORMATION* zone) {
    text[0] = L'\0';
    SYSTEMTIME utc, local;
    if (!::FileTimeToSystemTime(&lastWriteUtc, &utc)) return false;
    // FileTimeToLocalFileTime would apply today's offset to every time, and
    // then every stamp would move by an hour when daylight saving begins or ends.
    if (!::SystemTimeToTzSpecificLocalTime(zone, &utc, &local)) return false;
    ::wsprintfW(text, L"%04d%02d%02d%02d%02d%02d", local.wYear, local.wMonth, local.wDay, local.wHour, local.wMinute,
                local.wSecond);
    return true;
}
