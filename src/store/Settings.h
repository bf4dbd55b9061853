#pragma once
// The settings dialog's model: which folders of this computer are searched
// (Settings.ini in the per-computer folder) and the extension and destination
// pairs that travel with the player (Quavercart.ini). Every load and save
// reads or writes the files afresh; the engine reads the same keys with
// defaults of its own.

#include <windows.h>
#include <string>
#include <vector>

constexpr int kMaxSearchFolders = 999;
// A corrupted ExtCount must not keep the dialog reading missing keys for ever.
constexpr int kMaxExtensionPairs = 999;
// Longer extension or destination values are not supported; the dialog's load
// drops such a pair rather than cutting it into a different one.
constexpr size_t kMaxPairText = 260;

// A destination is relative to the player's root, without a leading
// backslash ("Music", "Music\Pop"; empty for the root itself).
struct CExtensionPair {
    std::wstring extension;
    std::wstring destination;
};

class CSettingsModel {
public:
    // The dialog's four check boxes, as a first start shows them.
    bool allFolders = false;
    bool myMusic = true;
    bool deskTop = true;
    bool selectedFolders = false;
    std::vector<std::wstring> folders;   // at most kMaxSearchFolders
    std::vector<CExtensionPair> pairs;   // no pair has an empty extension or an overlong text

    // Of the running player. A file or path that is missing leaves the
    // defaults above and empty lists.
    void LoadFolderSettings();
    void LoadExtensionSettings();
    // True when every write succeeded; the dialog closes either way.
    bool SaveFolderSettings() const;
    bool SaveExtensionSettings() const;

    // The same for given files; a null path means it could not be built.
    void LoadFolderSettingsFrom(const wchar_t* settingsIni);
    void LoadExtensionSettingsFrom(const wchar_t* deviceIni);
    bool SaveFolderSettingsTo(const wchar_t* settingsIni) const;
    // Writes the player's file, then copies it over the per-computer copy.
    bool SaveExtensionSettingsTo(const wchar_t* deviceIni, const wchar_t* computerCopy) const;
};

// One pair of enclosing double quotes removed, as PathUnquoteSpacesW does,
// for texts of any length.
std::wstring UnquoteSpaces(const std::wstring& text);
