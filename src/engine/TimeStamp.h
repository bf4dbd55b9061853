#pragma once
// The 14-digit local time stamp that orders candidates and identifies history
// entries: "%04d%02d%02d%02d%02d%02d" of a file's last write.

#include <windows.h>

constexpr int kTimeStampChars = 14;

// Converts with the offset from UTC that was in force at the time itself, so a
// file's stamp stays the same across daylight-saving changes. False when the
// time cannot be converted; the text is then empty.
// zone: the rules of the current time zone (GetTimeZoneInformation), taken
// once by a caller that converts many times; null asks the system each time.
bool MakeTimeStampText(const FILETIME& lastWriteUtc, wchar_t (&text)[kTimeStampChars + 1],
                       const TIME_ZONE_INFORMATION* zone = nullptr);
