#include "foundation/Profile.h"

#include "foundation/SysFile.h"

#include <vector>

namespace {
constexpr DWORD kFirstBuffer = 520;
constexpr DWORD kLargeBuffer = 32768;
} // namespace

CProfile::~CProfile() = default;

HRESULT CProfile::SetProfilePath(const wchar_t* path) {
    wchar_t module[MAX_PATH + 1];
    DWORD n = ::GetModuleFileNameW(nullptr, module, MAX_PATH + 1);
    if (n == 0 || n >= MAX_PATH + 1) return E_FAIL;
    wchar_t temp[MAX_PATH + 1];
    n = ::GetTempPathW(MAX_PATH + 1, temp);
    if (n == 0 || n >= MAX_PATH + 1) return E_FAIL;
    m_path = path ? path : L"";
    return S_OK;
}

UINT CProfile::GetInt(const wchar_t* section, const wchar_t* key, INT defaultValue) const {
    if (m_path.empty()) return static_cast<UINT>(defaultValue);
    return ::GetPrivateProfileIntW(section, key, defaultValue, m_path.c_str());
}

HRESULT CProfile::GetString(const wchar_t* section, const wchar_t* key, const wchar_t* defaultValue,
                            std::wstring& value) const {
    if (m_path.empty()) return E_FAIL;
    std::vector<wchar_t> buffer(kFirstBuffer);
    DWORD n = ::GetPrivateProfileStringW(section, key, defaultValue, buffer.data(), kFirstBuffer, m_path.c_str());
    // The platform reports a cut value by filling the buffer to size-1, or to
    // size-2 when the section or key is absent (a list of names).
    const DWORD cut = (section && key) ? kFirstBuffer - 1 : kFirstBuffer - 2;
    if (n == cut) {
        buffer.assign(kLargeBuffer, L'\0');
        n = ::GetPrivateProfileStringW(section, key, defaultValue, buffer.data(), kLargeBuffer, m_path.c_str());
    }
    value.assign(buffer.data(), n);
    return S_OK;
}

HRESULT CProfile::WriteString(const wchar_t* section, const wchar_t* key, const wchar_t* value) const {
    // Without a path the platform would write to a file of the system folder.
    if (m_path.empty()) return E_FAIL;
    return ::WritePrivateProfileStringW(section, key, value, m_path.c_str()) ? S_OK : E_FAIL;
}

int CProfile::CreateUnicodeFile() const {
    CSysFile file;
    file.SetPath(m_path.c_str());
    if (FAILED(file.Open(GENERIC_READ | GENERIC_WRITE, OPEN_ALWAYS))) return 0;
    static const BYTE kMark[2] = {0xFF, 0xFE};
    DWORD written = 0;
    bool ok = file.Write(2, kMark, written) == S_OK && written == 2;
    file.Close();
    return ok ? 1 : 0;
}
