#include "foundation/MiniLog.h"
#include "foundation/SysFile.h"
#include "support/Computer.h"

#include <gtest/gtest.h>
#include <functional>

using namespace qctest;

namespace {

std::wstring Code(DWORD value) { wchar_t text[16]; ::wsprintfW(text, L" %08x ", value); return text; }

// Every row runs with the last error set to 0xdeadbeef, so a logged code must
// come from the failed call itself. The partial copy of a song takes its name
// by RenameOpen: never over an existing entry, never a name the Win32 layer
// would rewrite.
TEST(SysFile, ResultsAndLogLines) {
    wchar_t temp[MAX_PATH + 1];
    ::GetTempPathW(MAX_PATH + 1, temp);
    const std::wstring folder = Join(temp, L"qc-sysfile-test"), log = folder + L".log";
    DeleteTree(folder);
    ASSERT_TRUE(MakeDirs(folder));
    CMiniLog::Init(log.c_str(), -1);
    // The one line a row logged, without its time stamp; reading empties the log.
    auto takeLog = [&] {
        std::string bytes;
        std::wstring text = ReadBytes(log, bytes) ? Utf16LeToWide(bytes) : L"";
        ::DeleteFileW(log.c_str());
        return text.size() > 26 ? text.substr(24, text.size() - 26) : text;
    };
    // Opens a fresh object; E_UNEXPECTED when the handle does not match the result.
    auto openAt = [](const std::wstring& path, DWORD access, DWORD disposition) {
        CSysFile file;
        HRESULT hr = (file.SetPath(path.c_str()), file.Open(access, disposition));
        return file.IsOpen() == SUCCEEDED(hr) ? hr : E_UNEXPECTED;
    };
    auto path = [&](const wchar_t* name) { return Join(folder, name); };
    const std::wstring missing = path(L"no such folder\\a"), absent = path(L"absent"), openPath = path(L"open"),
                       readOnlyPath = path(L"ro"), part = path(L"~part~"), free = path(L"free");
    const std::wstring path260 = Join(folder, std::wstring(260 - folder.size() - 1, L'y')), path261 = path260 + L"y";
    ASSERT_TRUE(WriteBytes(openPath, "payload") && WriteBytes(readOnlyPath, "x") && WriteBytes(path(L"taken"), "old song") &&
                ::SetFileAttributesW(readOnlyPath.c_str(), FILE_ATTRIBUTE_READONLY));
    CSysFile open, gone, readOnly, renamed;
    open.SetPath(openPath.c_str()), gone.SetPath(absent.c_str());
    readOnly.SetPath(readOnlyPath.c_str()), renamed.SetPath(part.c_str());
    ASSERT_EQ(S_OK, open.Open(GENERIC_READ, OPEN_EXISTING));
    DWORD count = 0;
    ULONGLONG size = 0;
    std::string song;
    auto rename = [&](const std::wstring& to) { return renamed.RenameOpen(to.c_str()) ? S_OK : S_FALSE; };
    const std::wstring sys = L"] E_ESYS_MEDIUMNOTREADY";
    const struct {
        const char* name;
        std::function<HRESULT()> call;
        HRESULT result;
        std::wstring logLine;
    } cases[] = {
        {"open 261 characters", [&] { return openAt(path261, GENERIC_WRITE, CREATE_ALWAYS); }, E_FAIL,
         L"[Open] E_ESYS_ILLEGALFILEPATH " + path261},
        {"open 260 characters reaches the system", [&] { return openAt(path260, GENERIC_READ, OPEN_EXISTING); }, E_FAIL,
         L"[Open" + sys + Code(ERROR_FILE_NOT_FOUND) + path260},
        // Path-not-found also shows that OPEN_EXISTING made no folder.
        {"open in a missing folder", [&] { return openAt(missing, GENERIC_READ, OPEN_EXISTING); }, E_FAIL,
         L"[Open" + sys + Code(ERROR_PATH_NOT_FOUND) + missing},
        {"creating dispositions make folders", [&] {
             return openAt(path(L"1\\a\\f"), GENERIC_WRITE, CREATE_NEW) | openAt(path(L"2\\a\\f"), GENERIC_WRITE, CREATE_ALWAYS);
         }, S_OK, L""},
        {"read without buffer", [&] { return open.Read(4, count, nullptr); }, E_INVALIDARG, L"[Read] E_INVALIDARG " + openPath},
        {"write to a file open for reading", [&] { return open.Write(4, "abcd", count); }, E_FAIL,
         L"[Write" + sys + Code(ERROR_ACCESS_DENIED) + openPath},
        {"Delete makes a read-only file writable first", [&] { HRESULT hr = readOnly.Delete(); return hr | FileExists(readOnlyPath); }, S_OK, L""},
        {"missing GetSize leaves the size", [&] { HRESULT hr = gone.GetSize(size = 42); return size == 42 ? hr : S_OK; }, E_FAIL,
         L"[GetSize] ::FindFirstFile faild" + Code(ERROR_FILE_NOT_FOUND) + absent},
        {"rename over a song, or to a name rewritten", [&] {
             return renamed.Open(GENERIC_WRITE | DELETE, CREATE_ALWAYS) | rename(path(L"taken")) | rename(folder + L"\\.\\free");
         }, S_FALSE, L""},
        {"rename follows the file", [&] {
             HRESULT hr = rename(free) | (renamed.Path() != free);
             return renamed.Close(), hr | FileExists(part) | !FileExists(free) | !(ReadBytes(path(L"taken"), song) && song == "old song");
         }, S_OK, L""},
    };
    for (const auto& c : cases) {
        ::SetLastError(0xdeadbeef);
        EXPECT_EQ(c.result, c.call()) << c.name;
        EXPECT_EQ(c.logLine, takeLog()) << c.name;
    }
    open.Close(), CMiniLog::Init(L"", -1), DeleteTree(folder);
}

} // namespace
