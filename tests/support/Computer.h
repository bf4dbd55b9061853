#pragma once
// The simulated computer and player every end-to-end test starts from: the
// program on removable drive E:, the user's special folders emptied and
// filled per test, the program's data and logs removed.

#include <windows.h>
#include <string>

namespace qctest {

struct Computer {
    std::wstring program;      // E:\Quavercart.exe
    std::wstring myMusic, desktop, appData;
};

// The program as built, in the build tree.
std::wstring BuiltProgramPath();

// Empties the player, the special folders and the program's data, puts the
// program on the player and removes the registry values the entry reads;
// returns the paths.
Computer ResetComputer();

std::wstring Join(const std::wstring& folder, const std::wstring& name);
bool MakeDirs(const std::wstring& path);
bool DeleteTree(const std::wstring& path);     // the folder itself too
bool WriteBytes(const std::wstring& path, const std::string& bytes);
bool ReadBytes(const std::wstring& path, std::string& bytes);
bool FileExists(const std::wstring& path);
std::wstring Utf16LeToWide(const std::string& bytes);
std::string Narrow(const std::wstring& text);  // UTF-8, for failure messages

// A UTF-16LE text file with its byte-order mark, as the program writes them.
bool WriteUtf16File(const std::wstring& path, const std::wstring& text);

// A player that this computer account already knows, so the start is not a
// first start: device.id, the device settings (mp3 and wma into Music, 20 MB
// reserve), and in the per-computer folder Settings.ini with `settingsLines`
// under [Settings] and an empty history. Returns the per-computer folder.
std::wstring PrepareKnownPlayer(const Computer& pc, const std::wstring& settingsLines);

} // namespace qctest
