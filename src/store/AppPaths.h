#pragma once
// Where every file of the program lives, and the player's identity.
//
// On the player (root R, e.g. E:\): R\Quavercart\device.id (16 bytes, a UUID
// in RFC 4122 byte order) and R\Quavercart\Quavercart.ini. On the computer,
// in the user's application data A: A\Quavercart\{identity}\ with
// Settings.ini, TransferredFiles.dat and a copy of Quavercart.ini.
//
// Every operation returns success and, where it computes a path, assigns it
// to the output only on success. Nothing is cached: the identity-dependent
// paths read device.id again each time, so they fail once the player is gone.

#include <windows.h>
#include <string>

#include "foundation/SysQuery.h"

bool GetMyMusicFolder(std::wstring& folder);
// selector 1: the user's desktop; 0: the all-users desktop; others fail.
bool GetDesktopFolder(int selector, std::wstring& folder);
bool GetDeviceIdPath(std::wstring& path);
// Appends "{" + 8-4-4-4-12 lower-case hex + "}" to the output.
bool ReadDeviceId(std::wstring& identity);
bool GetSettingsIniPath(std::wstring& path);
bool GetHistoryFilePath(std::wstring& path);
// selector 0: the player's file; 1: the per-computer copy; others fail.
bool GetDeviceIniPath(int selector, std::wstring& path);

// Creates or reads the identity and makes sure the per-computer folder exists.
// firstContact becomes 1 when that folder had to be created. False means the
// start-up must end; a message box has said why, except for a new identity
// without an application-data folder.
bool InitDeviceIdentity(int& firstContact);
// 1 when the player's settings file was created with its defaults; 0 when it
// existed, was restored from this computer's copy, or nothing could be done.
int InitDeviceSettings();

extern const wchar_t kProductFolder[];      // "Quavercart"
extern const wchar_t kDeviceIdName[];       // "device.id"
extern const wchar_t kDeviceIniName[];      // "Quavercart.ini"
extern const wchar_t kSettingsIniName[];    // "Settings.ini"
extern const wchar_t kHistoryFileName[];    // "TransferredFiles.dat"

// The same operations for a given player root (with its backslash) and
// application-data folder (null when the shell could not name it).
std::wstring DeviceIdPathAt(const wchar_t* root);
std::wstring DeviceIniPathAt(const wchar_t* root);
bool ReadDeviceIdAt(const wchar_t* root, std::wstring& identity);
// A\Quavercart\I, or A\Quavercart\I\fileName when fileName is given.
bool ComputerPathAt(const wchar_t* root, const wchar_t* appData, const wchar_t* fileName, std::wstring& path);

using UuidMaker = bool (*)(BYTE (&)[16]);
bool InitDeviceIdentityAt(const wchar_t* root, const wchar_t* appData, int& firstContact,
                          UuidMaker makeUuid = CreateUuid);
// deviceIni: the player's file; computerCopy: null when it cannot be built.
int InitDeviceSettingsAt(const wchar_t* deviceIni, const wchar_t* computerCopy);
