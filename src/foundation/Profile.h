#pragma once
// One profile (INI) file, read and written through the platform's profile
// functions. Made afresh for every load or save; nothing is cached. An empty
// path means there is no file: reads give their defaults and nothing touches
// the file system.

#include <windows.h>
#include <string>

class CProfile {
public:
    CProfile() = default;
    virtual ~CProfile();

    // E_FAIL, with the path unchanged, when the module name or the temporary
    // folder cannot be obtained.
    HRESULT SetProfilePath(const wchar_t* path);
    const std::wstring& GetProfilePath() const { return m_path; }

    UINT GetInt(const wchar_t* section, const wchar_t* key, INT defaultValue) const;
    // Values of any length up to 32767 characters come back whole. E_FAIL with
    // the output untouched when there is no path.
    HRESULT GetString(const wchar_t* section, const wchar_t* key, const wchar_t* defaultValue,
                      std::wstring& value) const;
    HRESULT WriteString(const wchar_t* section, const wchar_t* key, const wchar_t* value) const;
    // Opens or creates the file and writes FF FE at its start, so the platform
    // keeps the file as UTF-16LE text. 1 on success, else 0.
    int CreateUnicodeFile() const;

private:
    std::wstring m_path;
};
