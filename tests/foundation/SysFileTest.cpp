#include "foundation/MiniLog.h"
#include "foundation/SysFile.h"
#include "support/Computer.h"

#include <gtest/gtest.h>
#include <winioctl.h>
#include <functional>
#include <string>
#include <vector>

using namespace qctest;

namespace {

// wchar_t is UTF-16LE on this platform.
std::string Utf16(const std::wstring& text) { return std::string(reinterpret_cast<const char*>(text.data()), text.size() * 2); }

std::wstring Hex8(DWORD value) {
    wchar_t text[16];
    ::wsprintfW(text, L"%08x", value);
    return text;
}

// In an expected log line "########" stands for any system code but zero.
const wchar_t kAnyCode[] = L"########";

class SysFileTest : public ::testing::Test {
protected:
    void SetUp() override {
        wchar_t temp[MAX_PATH + 1];
        ::GetTempPathW(MAX_PATH + 1, temp);
        folder = Join(temp, L"qc-sysfile-test");
        log = folder + L".log";
        DeleteTree(folder);
        ASSERT_TRUE(MakeDirs(folder));
        ::DeleteFileW(log.c_str());
        CMiniLog::Init(log.c_str(), -1);
    }
    void TearDown() override {
        CMiniLog::Init(L"", -1);
        DeleteTree(folder);
    }

    // The log's messages without their time stamps; reading empties the log.
    std::vector<std::wstring> TakeLog() {
        std::vector<std::wstring> lines;
        std::string bytes;
        if (ReadBytes(log, bytes)) {
            std::wstring text = Utf16LeToWide(bytes);
            for (size_t s = 0, e; (e = text.find(L"\r\n", s)) != std::wstring::npos; s = e + 2) {
                lines.push_back(text.substr(s + 24, e - s - 24));
            }
        }
        ::DeleteFileW(log.c_str());
        return lines;
    }
    // The one log line, masked where expected holds kAnyCode; "" for none.
    std::wstring OnlyLogLine(const std::wstring& expected = L"") {
        std::vector<std::wstring> lines = TakeLog();
        if (lines.size() != 1) return lines.empty() ? L"" : L"<" + std::to_wstring(lines.size()) + L" lines>";
        size_t at = expected.find(kAnyCode);
        if (at != std::wstring::npos && lines[0].size() == expected.size() && lines[0].compare(at, 8, L"00000000")) {
            lines[0].replace(at, 8, kAnyCode);
        }
        return lines[0];
    }
    std::wstring Path(const wchar_t* name) { return Join(folder, name); }

    std::wstring folder, log;
};

// Opens a fresh object; E_UNEXPECTED when the handle does not match the result.
HRESULT OpenAt(const std::wstring& path, DWORD access, DWORD disposition) {
    CSysFile file;
    file.SetPath(path.c_str());
    HRESULT hr = file.Open(access, disposition);
    return file.IsOpen() == SUCCEEDED(hr) ? hr : E_UNEXPECTED;
}

TEST_F(SysFileTest, ResultsAndLogLines) {
    const std::wstring missingFolder = Path(L"no such folder\\a.bin"), absent = Path(L"absent.bin");
    const std::wstring path260 = Join(folder, std::wstring(260 - folder.size() - 1, L'y')), path261 = path260 + L"y";
    const std::wstring closedPath = Path(L"closed.bin"), openPath = Path(L"open.bin"), sourcePath = Path(L"src.bin");
    const std::wstring copyPath = Path(L"copy.bin"), movedPath = Path(L"moved.bin"), unreachable = missingFolder;
    ASSERT_TRUE(WriteBytes(openPath, "payload") && WriteBytes(sourcePath, "payload") && WriteBytes(movedPath, "old"));
    ASSERT_TRUE(WriteBytes(copyPath, "old contents, longer") && ::SetFileAttributesW(copyPath.c_str(), FILE_ATTRIBUTE_READONLY));
    CSysTextFile closed, open;
    CSysFile gone, source, sparse, readOnly;
    closed.SetPath(closedPath.c_str());
    open.SetPath(openPath.c_str());
    gone.SetPath(absent.c_str());
    source.SetPath(sourcePath.c_str());
    sparse.SetPath(Path(L"sparse.bin").c_str());
    readOnly.SetPath(Path(L"readonly.bin").c_str());
    ASSERT_TRUE(WriteBytes(readOnly.Path(), "x"));
    const FILETIME written = {0x22222200, 0x01c10000};
    ASSERT_EQ(S_OK, source.Open(GENERIC_READ | GENERIC_WRITE, OPEN_EXISTING));
    ASSERT_TRUE(source.SetCreationTime({0x11111100, 0x01c00000}) == S_OK && source.SetLastWriteTime(written) == S_OK);
    source.Close();
    ASSERT_EQ(S_OK, open.Open(GENERIC_READ, OPEN_EXISTING));
    const ULONGLONG big = 5ull * 1024 * 1024 * 1024 + 3;
    {
        CHandle h(::CreateFileW(sparse.Path().c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr));
        DWORD ignored = 0;
        ::DeviceIoControl(h.Get(), FSCTL_SET_SPARSE, nullptr, 0, nullptr, 0, &ignored, nullptr);
        LARGE_INTEGER end;
        end.QuadPart = static_cast<LONGLONG>(big);
        ASSERT_TRUE(::SetFilePointerEx(h.Get(), end, nullptr, FILE_BEGIN) && ::SetEndOfFile(h.Get()));
    }
    // Copies keep content and last write (Wine keeps no settable creation time on Linux).
    auto sameAsSource = [&](const std::wstring& path, HRESULT hr) {
        std::string bytes;
        CSysFile f;
        f.SetPath(path.c_str());
        FILETIME w = {};
        bool same = ReadBytes(path, bytes) && bytes == "payload" && f.Open(GENERIC_READ, OPEN_EXISTING) == S_OK &&
                    f.GetLastWriteTime(w) == S_OK && w.dwLowDateTime == written.dwLowDateTime &&
                    w.dwHighDateTime == written.dwHighDateTime;
        return same ? hr : E_UNEXPECTED;
    };
    BYTE data[4] = {1, 2, 3, 4};
    DWORD count = 0, attributes = 0;
    ULONGLONG size = 0;
    FILETIME time = {1, 1};
    const std::wstring notReady = L" E_ESYS_MEDIUMNOTREADY ", sys = notReady + kAnyCode + L" " + closedPath;
    struct Case {
        const char* name;
        std::function<HRESULT()> call;
        HRESULT result;
        std::wstring logLine;
    } cases[] = {
        {"open empty path", [&] { return OpenAt(L"", GENERIC_READ, OPEN_EXISTING); }, E_FAIL,
         L"[Open] E_ESYS_NOTINITIALIZED "},
        {"open leading backslash", [&] { return OpenAt(L"\\x\\a.bin", GENERIC_WRITE, CREATE_ALWAYS); }, E_FAIL,
         L"[Open] E_ESYS_NOTINITIALIZED \\x\\a.bin"},
        {"open leading digit", [&] { return OpenAt(L"1:\\a.bin", GENERIC_WRITE, CREATE_ALWAYS); }, E_FAIL,
         L"[Open] E_ESYS_NOTINITIALIZED 1:\\a.bin"},
        {"open 261 characters", [&] { return OpenAt(path261, GENERIC_WRITE, CREATE_ALWAYS); }, E_FAIL,
         L"[Open] E_ESYS_ILLEGALFILEPATH " + path261},
        {"open 260 characters reaches the system", [&] { return OpenAt(path260, GENERIC_READ, OPEN_EXISTING); },
         E_FAIL, L"[Open]" + notReady + Hex8(ERROR_FILE_NOT_FOUND) + L" " + path260},
        {"open drive root, creating", [&] { return OpenAt(L"C:\\", GENERIC_WRITE, OPEN_ALWAYS); }, E_FAIL,
         L"[Open] E_ESYS_ILLEGALFILEPATH C:\\"},
        // Path-not-found also shows that OPEN_EXISTING made no folder.
        {"open in a missing folder", [&] { return OpenAt(missingFolder, GENERIC_READ, OPEN_EXISTING); }, E_FAIL,
         L"[Open]" + notReady + Hex8(ERROR_PATH_NOT_FOUND) + L" " + missingFolder},
        {"CREATE_NEW makes folders", [&] { return OpenAt(Path(L"1\\a\\f"), GENERIC_WRITE, CREATE_NEW); }, S_OK, L""},
        {"CREATE_ALWAYS makes folders", [&] { return OpenAt(Path(L"2\\a\\f"), GENERIC_WRITE, CREATE_ALWAYS); }, S_OK, L""},
        {"OPEN_ALWAYS makes folders", [&] { return OpenAt(Path(L"3\\a\\f"), GENERIC_WRITE, OPEN_ALWAYS); }, S_OK, L""},
        {"zero-byte write", [&] { HRESULT hr = closed.Write(0, nullptr, count = 7); return count ? E_UNEXPECTED : hr; }, S_OK,
         L""},
        {"zero-byte read", [&] { HRESULT hr = closed.Read(0, count = 7, nullptr); return count ? E_UNEXPECTED : hr; }, S_OK,
         L""},
        {"write without buffer", [&] { return closed.Write(4, nullptr, count); }, E_INVALIDARG,
         L"[Write] E_INVALIDARG " + closedPath},
        {"read without buffer", [&] { return closed.Read(4, count, nullptr); }, E_INVALIDARG,
         L"[Read] E_INVALIDARG " + closedPath},
        {"closed Write", [&] { return closed.Write(4, data, count); }, E_FAIL, L"[Write]" + sys},
        {"closed Read", [&] { return closed.Read(4, count, data); }, E_FAIL, L"[Read]" + sys},
        {"closed SetPointer", [&] { return closed.SetPointer(0, FILE_BEGIN); }, E_FAIL, L"[SetPointer]" + sys},
        {"closed GetPointer", [&] { return closed.GetPointer(count); }, E_FAIL, L"[GetPointer]" + sys},
        {"closed SetEnd", [&] { return closed.SetEnd(); }, E_FAIL, L"[SetEnd]" + sys},
        {"closed FlushBuffers", [&] { return closed.FlushBuffers(); }, E_FAIL, L"[FlushBuffers]" + sys},
        {"closed GetCreationTime", [&] { return closed.GetCreationTime(time); }, E_FAIL, L"[GetCreationTime]" + sys},
        {"closed SetCreationTime", [&] { return closed.SetCreationTime(time); }, E_FAIL, L"[SetCreationTime]" + sys},
        {"closed GetLastWriteTime", [&] { return closed.GetLastWriteTime(time); }, E_FAIL, L"[GetLastWriteTime]" + sys},
        {"closed SetLastWriteTime", [&] { return closed.SetLastWriteTime(time); }, E_FAIL, L"[SetLastWriteTime]" + sys},
        {"open Delete", [&] { return open.Delete(); }, E_FAIL, L"[Delete] E_ESYS_ILLEGALSEQUENCE " + openPath},
        {"open SetAttributes", [&] { return open.SetAttributes(FILE_ATTRIBUTE_READONLY); }, E_FAIL,
         L"[SetAttributes] E_ESYS_ILLEGALSEQUENCE " + openPath},
        {"open Copy", [&] { return open.Copy(closedPath.c_str()); }, E_FAIL, L"[Copy] E_ESYS_ILLEGALSEQUENCE " + openPath},
        {"open Move", [&] { return open.Move(closedPath.c_str()); }, E_FAIL, L"[Move] E_ESYS_ILLEGALSEQUENCE " + openPath},
        {"open WriteNewLine", [&] { return open.WriteNewLine() ? S_OK : E_FAIL; }, E_FAIL,
         L"[Write]" + notReady + kAnyCode + L" " + openPath},
        {"open WriteLine", [&] { return open.WriteLine(L"cd") ? S_OK : E_FAIL; }, E_FAIL,
         L"[Write]" + notReady + kAnyCode + L" " + openPath},
        {"closed WriteNewLine", [&] { return closed.WriteNewLine() ? S_OK : E_FAIL; }, E_FAIL, L"[Write]" + sys},
        {"SetAttributes", [&] {
             HRESULT hr = readOnly.SetAttributes(FILE_ATTRIBUTE_READONLY);
             return readOnly.GetAttributes(attributes) == S_OK && (attributes & FILE_ATTRIBUTE_READONLY) ? hr : E_UNEXPECTED;
         }, S_OK, L""},
        {"Delete makes a read-only file writable first",
         [&] { HRESULT hr = readOnly.Delete(); return FileExists(readOnly.Path()) ? E_UNEXPECTED : hr; }, S_OK, L""},
        {"missing Delete is silent", [&] { return gone.Delete(); }, E_FAIL, L""},
        {"missing SetAttributes is silent", [&] { return gone.SetAttributes(FILE_ATTRIBUTE_NORMAL); }, E_FAIL, L""},
        {"missing Exists", [&] { return gone.Exists(); }, S_FALSE, L""},
        {"empty path Exists", [&] { return CSysFile().Exists(); }, S_FALSE, L""},
        {"a folder Exists", [&] { CSysFile f; f.SetPath(folder.c_str()); return f.Exists(); }, S_OK, L""},
        {"missing GetAttributes stores its failure value",
         [&] { HRESULT hr = gone.GetAttributes(attributes); return attributes == INVALID_FILE_ATTRIBUTES ? hr : S_OK; },
         E_FAIL,
         L"[GetAttributes]" + notReady + Hex8(ERROR_FILE_NOT_FOUND) + L" " + absent},
        {"GetSize beyond 4 GiB", [&] { HRESULT hr = sparse.GetSize(size = 0); return size == big ? hr : E_UNEXPECTED; },
         S_OK, L""},
        {"missing GetSize leaves the size", [&] { HRESULT hr = gone.GetSize(size = 42); return size == 42 ? hr : S_OK; },
         E_FAIL,
         L"[GetSize] ::FindFirstFile faild " + Hex8(ERROR_FILE_NOT_FOUND) + L" " + absent},
        {"Copy over a read-only file", [&] {
             HRESULT hr = source.Copy(copyPath.c_str());
             return !source.IsOpen() && source.Path() == sourcePath ? sameAsSource(copyPath, hr) : E_UNEXPECTED;
         }, S_OK, L""},
        {"Move over a file", [&] {
             HRESULT hr = source.Move(movedPath.c_str());
             return !FileExists(sourcePath) && source.Path() == movedPath ? sameAsSource(movedPath, hr) : E_UNEXPECTED;
         }, S_OK, L""},
        // Clearing the destination first must not destroy the file itself.
        {"Move onto itself", [&] { return sameAsSource(movedPath, source.Move(movedPath.c_str())); }, S_OK, L""},
        {"Move to a missing folder keeps the old path", [&] {
             HRESULT hr = source.Move(unreachable.c_str());
             return source.Path() == movedPath && FileExists(movedPath) ? hr : E_UNEXPECTED;
         }, E_FAIL, L"[Move]" + notReady + Hex8(ERROR_PATH_NOT_FOUND) + L" " + movedPath + L" " + unreachable},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(c.result, c.call()) << c.name;
        EXPECT_EQ(c.logLine, OnlyLogLine(c.logLine)) << c.name;
    }
    open.Close();
    EXPECT_TRUE(FileExists(openPath) && !FileExists(closedPath)) << "refused operations change nothing";
}

TEST_F(SysFileTest, WritesReadsPointerEndSizeAndLines) {
    CSysTextFile file;
    const std::wstring path = Path(L"data.bin");
    file.SetPath(path.c_str());
    ASSERT_EQ(S_OK, file.Open(GENERIC_READ | GENERIC_WRITE, CREATE_ALWAYS));
    DWORD count = 0, at = 99;
    ASSERT_EQ(S_OK, file.Write(10, "0123456789", count));
    EXPECT_EQ(10u, count);
    ASSERT_EQ(S_OK, file.GetPointer(at));
    EXPECT_EQ(10u, at);
    ASSERT_EQ(S_OK, file.SetPointer(-4, FILE_END));
    char buffer[16] = {};
    ASSERT_EQ(S_OK, file.Read(16, count, buffer));
    EXPECT_EQ("6789", std::string(buffer, count)) << "a short read is a success";
    ASSERT_EQ(S_OK, file.Read(16, count, buffer));
    EXPECT_EQ(0u, count) << "end of file";
    ASSERT_EQ(S_OK, file.SetPointer(4, FILE_BEGIN));
    ASSERT_EQ(S_OK, file.SetEnd());
    EXPECT_TRUE(file.WriteLine(L"") && file.WriteLine(L"ab") && file.WriteNewLine());
    EXPECT_EQ(S_OK, file.FlushBuffers());
    file.Close();
    ULONGLONG size = 0;
    ASSERT_EQ(S_OK, file.GetSize(size));
    EXPECT_EQ(16u, size);
    std::string bytes;
    ASSERT_TRUE(ReadBytes(path, bytes));
    EXPECT_EQ("0123" + Utf16(L"ab\r\n\r\n"), bytes);
    EXPECT_TRUE(TakeLog().empty());
}

// The partial copy of a song takes its real name this way: never over an
// existing entry, and only while open.
TEST_F(SysFileTest, RenameOpenNeverReplacesAndFollowsTheFile) {
    const std::wstring taken = Path(L"taken.mp3"), free = Path(L"free.mp3"), partial = Path(L"~part~");
    ASSERT_TRUE(WriteBytes(taken, "old song"));
    CSysFile file;
    file.SetPath(partial.c_str());
    EXPECT_FALSE(file.RenameOpen(free.c_str())) << "closed";
    ASSERT_EQ(S_OK, file.Open(GENERIC_WRITE | DELETE, CREATE_ALWAYS));
    DWORD written = 0;
    ASSERT_EQ(S_OK, file.Write(8, "new song", written));
    EXPECT_FALSE(file.RenameOpen(taken.c_str()));
    EXPECT_FALSE(file.RenameOpen((folder + L"\\.\\free.mp3").c_str())) << "left to the Win32 move";
    EXPECT_EQ(partial, file.Path());
    EXPECT_TRUE(file.RenameOpen(free.c_str()));
    EXPECT_EQ(free, file.Path());
    file.Close();
    std::string bytes;
    EXPECT_TRUE(ReadBytes(taken, bytes) && bytes == "old song");
    EXPECT_TRUE(ReadBytes(free, bytes) && bytes == "new song");
    EXPECT_FALSE(FileExists(partial));
    EXPECT_TRUE(TakeLog().empty());
}

TEST(SysFile, PathQueries) {
    // Path -> whether it counts as initialised, drive letter, file name.
    const wchar_t* cases[][2] = {
        {L"", L"0 \\0 "},        {L"c:\\Music\\a.mp3", L"1 C a.mp3"}, {L"E:\\Quavercart\\device.id", L"1 E device.id"},
        {L"z:", L"1 Z z:"},        {L"9:\\x", L"0 9 x"},                {L"\\\\server\\share\\b.wma", L"0 \\ b.wma"},
    };
    for (const auto& c : cases) {
        CSysFile file;
        file.SetPath(c[0]);
        std::wstring name = L"old";
        EXPECT_EQ(S_OK, file.GetFileName(name));
        wchar_t drive = file.GetDriveLetter();
        std::wstring got = (file.IsInitialized() ? L"1 " : L"0 ") + (drive ? std::wstring(1, drive) : L"\\0") + L" " + name;
        EXPECT_EQ(c[1], got) << Narrow(c[0]);
    }
}

TEST_F(SysFileTest, ReadLineRules) {
    struct Case {
        const char* name;
        std::string bytes;
        std::vector<std::wstring> lines;
    } cases[] = {
        {"two ended lines", Utf16(L"ab\r\ncd\r\n"), {L"ab", L"cd"}},
        {"last line without end", Utf16(L"ab\r\ncd"), {L"ab", L"cd"}},
        {"last line of one unit", Utf16(L"ab\r\nc"), {L"ab"}}, {"blank line first", Utf16(L"\r\nab\r\n"), {}},
        {"blank line stops", Utf16(L"ab\r\n\r\ncd\r\n"), {L"ab"}}, {"lone CR kept", Utf16(L"a\rb\r\n"), {L"a\rb"}},
        {"lone LF kept", Utf16(L"a\nb\r\n"), {L"a\nb"}}, {"CR before CR LF", Utf16(L"a\r\r\n"), {L"a\r"}},
        {"CR at the end", Utf16(L"ab\r"), {L"ab\r"}}, {"LF CR is no line end", Utf16(L"a\n\rb"), {L"a\n\rb"}},
        {"odd trailing byte", Utf16(L"ab") + "x", {L"ab"}}, {"empty file", "", {}},
        {"one unit", Utf16(L"a"), {}}, {"one byte", "a", {}},
        {"Japanese text", Utf16(L"\x65e5\x672c\r\n"), {L"\x65e5\x672c"}},
    };
    const std::wstring path = Path(L"read.txt");
    for (const Case& c : cases) {
        ASSERT_TRUE(WriteBytes(path, c.bytes)) << c.name;
        CSysTextFile file;
        file.SetPath(path.c_str());
        ASSERT_EQ(S_OK, file.Open(GENERIC_READ, OPEN_EXISTING)) << c.name;
        std::vector<std::wstring> got;
        std::wstring line;
        while (got.size() < 10 && file.ReadLine(line)) got.push_back(line);
        EXPECT_EQ(c.lines, got) << c.name;
        EXPECT_TRUE(line.empty()) << c.name << ": no line with a false result";
    }

    // A limit stops a runaway line one unit past it; shorter lines are whole.
    ASSERT_TRUE(WriteBytes(path, Utf16(L"abc\r\nabcdefgh")));
    CSysTextFile file;
    file.SetPath(path.c_str());
    ASSERT_EQ(S_OK, file.Open(GENERIC_READ, OPEN_EXISTING));
    std::wstring first, second;
    EXPECT_TRUE(file.ReadLine(first, 3) && file.ReadLine(second, 3));
    EXPECT_EQ(L"abc|abcd", first + L"|" + second);
}

TEST_F(SysFileTest, ReadLineAcrossBlocksKeepsTheLogicalPosition) {
    // Lines that straddle the read-ahead block, then operations that depend
    // on the position right after a line.
    const std::wstring first(40000, L'a'), second(50000, L'b'), path = Path(L"long.txt");
    ASSERT_TRUE(WriteBytes(path, Utf16(first + L"\r\n" + second + L"\r\nc")));
    CSysTextFile file;
    file.SetPath(path.c_str());
    ASSERT_EQ(S_OK, file.Open(GENERIC_READ | GENERIC_WRITE, OPEN_EXISTING));
    std::wstring line;
    ASSERT_TRUE(file.ReadLine(line));
    EXPECT_EQ(first, line);
    DWORD at = 0, read = 0;
    ASSERT_EQ(S_OK, file.GetPointer(at));
    EXPECT_EQ((first.size() + 2) * 2, at);
    wchar_t unit = 0;
    ASSERT_EQ(S_OK, file.Read(2, read, &unit));
    EXPECT_EQ(L'b', unit);
    ASSERT_EQ(S_OK, file.SetPointer(-2, FILE_CURRENT));
    ASSERT_TRUE(file.ReadLine(line));
    EXPECT_EQ(second, line);
    ASSERT_TRUE(file.WriteLine(L"de")) << "writes at the end of the line just read";
    file.Close();
    std::string bytes;
    ASSERT_TRUE(ReadBytes(path, bytes));
    EXPECT_EQ(Utf16(first + L"\r\n" + second + L"\r\nde\r\n"), bytes);
}

} // namespace
