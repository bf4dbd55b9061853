#include "foundation/MiniLog.h"
#include "foundation/SysFile.h"
#include "support/Computer.h"

#include <gtest/gtest.h>
#include <functional>

using namespace qctest;

namespace {

class SysFileTest : public ::testing::Test {
protected:
    void SetUp() override {
        wchar_t temp[MAX_PATH + 1];
        ::GetTempPathW(MAX_PATH + 1, temp);
        DeleteTree(folder = Join(temp, L"qc-sysfile-test"));
        ASSERT_TRUE(MakeDirs(folder));
        CMiniLog::Init((log = folder + L".log").c_str(), -1);
    }
    void TearDown() override { CMiniLog::Init(L"", -1), DeleteTree(folder); }
    // The log's messages without their time stamps, joined by " | "; reading empties the log.
    std::wstring TakeLog() {
        std::string bytes;
        std::wstring text = ReadBytes(log, bytes) ? Utf16LeToWide(bytes) : L"", lines;
        for (size_t s = 0, e; (e = text.find(L"\r\n", s)) != std::wstring::npos; s = e + 2) {
            lines += (lines.empty() ? L"" : L" | ") + text.substr(s + 24, e - s - 24);
        }
        ::DeleteFileW(log.c_str());
        return lines;
    }

    std::wstring folder, log;
};

std::wstring Code(DWORD value) { wchar_t text[16]; ::wsprintfW(text, L" %08x ", value); return text; }

// Opens a fresh object; E_UNEXPECTED when the handle does not match the result.
HRESULT OpenAt(const std::wstring& path, DWORD access, DWORD disposition) {
    CSysFile file;
    HRESULT hr = (file.SetPath(path.c_str()), file.Open(access, disposition));
    return file.IsOpen() == SUCCEEDED(hr) ? hr : E_UNEXPECTED;
}

// Every row runs with the last error set to 0xdeadbeef, so a logged code must
// come from the failed call itself. The partial copy of a song takes its name
// by RenameOpen: only while open, never over an existing entry, never a name
// the Win32 layer would rewrite.
TEST_F(SysFileTest, ResultsAndLogLines) {
    auto path = [&](const wchar_t* name) { return Join(folder, name); };
    const std::wstring missing = path(L"no such folder\\a"), absent = path(L"absent"), closedPath = path(L"closed"),
                       openPath = path(L"open"), readOnlyPath = path(L"ro"), part = path(L"~part~"), free = path(L"free");
    const std::wstring path260 = Join(folder, std::wstring(260 - folder.size() - 1, L'y')), path261 = path260 + L"y";
    ASSERT_TRUE(WriteBytes(openPath, "payload") && WriteBytes(readOnlyPath, "x") && WriteBytes(path(L"taken"), "old song") &&
                ::SetFileAttributesW(readOnlyPath.c_str(), FILE_ATTRIBUTE_READONLY));
    CSysFile closed, open, gone, readOnly, renamed;
    closed.SetPath(closedPath.c_str()), open.SetPath(openPath.c_str()), gone.SetPath(absent.c_str());
    readOnly.SetPath(readOnlyPath.c_str()), renamed.SetPath(part.c_str());
    ASSERT_EQ(S_OK, open.Open(GENERIC_READ, OPEN_EXISTING));
    CHandle big(::CreateFileW(path(L"big").c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr));
    LARGE_INTEGER end = {{3, 1}};  // 4 GiB and 3 bytes, sparse on the host
    ASSERT_TRUE(::SetFilePointerEx(big.Get(), end, nullptr, FILE_BEGIN) && ::SetEndOfFile(big.Get()));
    DWORD count = 0;
    ULONGLONG size = 0;
    std::string song;
    auto rename = [&](const std::wstring& to) { return renamed.RenameOpen(to.c_str()) ? S_OK : S_FALSE; };
    const std::wstring sys = L"] E_ESYS_MEDIUMNOTREADY", badHandle = sys + Code(ERROR_INVALID_HANDLE) + closedPath;
    const struct {
        const char* name;
        std::function<HRESULT()> call;
        HRESULT result;
        std::wstring logLine;
    } cases[] = {
        {"open empty path", [&] { return OpenAt(L"", GENERIC_READ, OPEN_EXISTING); }, E_FAIL, L"[Open] E_ESYS_NOTINITIALIZED "},
        {"open leading digit", [&] { return OpenAt(L"1:\\a", GENERIC_WRITE, CREATE_ALWAYS); }, E_FAIL, L"[Open] E_ESYS_NOTINITIALIZED 1:\\a"},
        {"open 261 characters", [&] { return OpenAt(path261, GENERIC_WRITE, CREATE_ALWAYS); }, E_FAIL,
         L"[Open] E_ESYS_ILLEGALFILEPATH " + path261},
        {"open 260 characters reaches the system", [&] { return OpenAt(path260, GENERIC_READ, OPEN_EXISTING); }, E_FAIL,
         L"[Open" + sys + Code(ERROR_FILE_NOT_FOUND) + path260},
        {"open drive root, creating", [&] { return OpenAt(L"C:\\", GENERIC_WRITE, OPEN_ALWAYS); }, E_FAIL, L"[Open] E_ESYS_ILLEGALFILEPATH C:\\"},
        // Path-not-found also shows that OPEN_EXISTING made no folder.
        {"open in a missing folder", [&] { return OpenAt(missing, GENERIC_READ, OPEN_EXISTING); }, E_FAIL,
         L"[Open" + sys + Code(ERROR_PATH_NOT_FOUND) + missing},
        {"creating dispositions make folders", [&] {
             return OpenAt(path(L"1\\a\\f"), GENERIC_WRITE, CREATE_NEW) | OpenAt(path(L"2\\a\\f"), GENERIC_WRITE, CREATE_ALWAYS);
         }, S_OK, L""},
        {"write without buffer", [&] { return closed.Write(4, nullptr, count); }, E_INVALIDARG, L"[Write] E_INVALIDARG " + closedPath},
        {"read without buffer", [&] { return closed.Read(4, count, nullptr); }, E_INVALIDARG, L"[Read] E_INVALIDARG " + closedPath},
        {"closed Write", [&] { return closed.Write(4, "abcd", count); }, E_FAIL, L"[Write" + badHandle},
        {"write to a file open for reading", [&] { return open.Write(4, "abcd", count); }, E_FAIL,
         L"[Write" + sys + Code(ERROR_ACCESS_DENIED) + openPath},
        {"closed SetEnd", [&] { return closed.SetEnd(); }, E_FAIL, L"[SetEnd" + badHandle},
        {"open Delete", [&] { return open.Delete(); }, E_FAIL, L"[Delete] E_ESYS_ILLEGALSEQUENCE " + openPath},
        {"Delete makes a read-only file writable first", [&] { HRESULT hr = readOnly.Delete(); return hr | FileExists(readOnlyPath); }, S_OK, L""},
        {"GetSize beyond 4 GiB", [&] { CSysFile f; HRESULT hr = (f.SetPath(path(L"big").c_str()), f.GetSize(size)); return hr | (size != 0x100000003); }, S_OK, L""},
        {"missing GetSize leaves the size", [&] { HRESULT hr = gone.GetSize(size = 42); return size == 42 ? hr : S_OK; }, E_FAIL,
         L"[GetSize] ::FindFirstFile faild" + Code(ERROR_FILE_NOT_FOUND) + absent},
        {"rename closed", [&] { return rename(free); }, S_FALSE, L""},
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
        EXPECT_EQ(c.logLine, TakeLog()) << c.name;
    }
    EXPECT_FALSE(FileExists(closedPath)) << "refused operations change nothing";
}

} // namespace
