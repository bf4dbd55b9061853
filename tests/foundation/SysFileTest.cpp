#include "foundation/MiniLog.h"
#include "foundation/SysFile.h"
#include "support/Computer.h"

#include <gtest/gtest.h>
#include <shlwapi.h>
#include <winioctl.h>
#include <string>
#include <vector>

using namespace qctest;

namespace {

std::wstring TempRoot() {
    wchar_t temp[MAX_PATH + 1];
    ::GetTempPathW(MAX_PATH + 1, temp);
    return temp;
}

class SysFileTest : public ::testing::Test {
protected:
    void SetUp() override {
        folder = Join(TempRoot(), L"qc-sysfile-test");
        DeleteTree(folder);
        ASSERT_TRUE(MakeDirs(folder));
        log = Join(TempRoot(), L"qc-sysfile-test.log");
        ::DeleteFileW(log.c_str());
        CMiniLog::Init(log.c_str(), -1);
    }
    void TearDown() override {
        CMiniLog::Init(L"", -1);
        DeleteTree(folder);
    }

    // The messages of the log, without their time stamps.
    std::vector<std::wstring> LogLines() {
        std::vector<std::wstring> lines;
        std::string bytes;
        if (!ReadBytes(log, bytes)) return lines;
        std::wstring text = Utf16LeToWide(bytes);
        size_t start = 0;
        for (size_t end; (end = text.find(L"\r\n", start)) != std::wstring::npos; start = end + 2) {
            lines.push_back(text.substr(start + 24, end - start - 24));
        }
        return lines;
    }
    std::wstring OnlyLogLine() {
        std::vector<std::wstring> lines = LogLines();
        if (lines.size() != 1) return L"<" + std::to_wstring(lines.size()) + L" lines>";
        return lines[0];
    }
    void ClearLog() { ::DeleteFileW(log.c_str()); }

    std::wstring Path(const wchar_t* name) { return Join(folder, name); }

    std::wstring folder;
    std::wstring log;
};

std::wstring Hex8(DWORD value) {
    wchar_t text[16];
    ::wsprintfW(text, L"%08x", value);
    return text;
}

TEST_F(SysFileTest, OpenRefusesBadPathsWithTheirLogLine) {
    std::wstring missingFolder = Path(L"no such folder\\a.bin");
    std::wstring longPath = Join(folder, std::wstring(261 - folder.size() - 1, L'x'));
    ASSERT_EQ(261u, longPath.size());
    struct Case {
        const char* name;
        std::wstring path;
        DWORD access, disposition;
        std::wstring logLine;
    } cases[] = {
        {"empty path", L"", GENERIC_READ, OPEN_EXISTING, L"[Open] E_ESYS_NOTINITIALIZED "},
        {"leading backslash", L"\\x\\a.bin", GENERIC_WRITE, CREATE_ALWAYS, L"[Open] E_ESYS_NOTINITIALIZED \\x\\a.bin"},
        {"leading digit", L"1:\\a.bin", GENERIC_WRITE, CREATE_ALWAYS, L"[Open] E_ESYS_NOTINITIALIZED 1:\\a.bin"},
        {"261 characters", longPath, GENERIC_WRITE, CREATE_ALWAYS, L"[Open] E_ESYS_ILLEGALFILEPATH " + longPath},
        {"drive root, creating", L"C:\\", GENERIC_WRITE, OPEN_ALWAYS, L"[Open] E_ESYS_ILLEGALFILEPATH C:\\"},
        {"missing folder, OPEN_EXISTING", missingFolder, GENERIC_READ | GENERIC_WRITE, OPEN_EXISTING,
         L"[Open] E_ESYS_MEDIUMNOTREADY " + Hex8(ERROR_PATH_NOT_FOUND) + L" " + missingFolder},
        {"missing file", Path(L"absent.bin"), GENERIC_READ, OPEN_EXISTING,
         L"[Open] E_ESYS_MEDIUMNOTREADY " + Hex8(ERROR_FILE_NOT_FOUND) + L" " + Path(L"absent.bin")},
    };
    for (const Case& c : cases) {
        ClearLog();
        CSysFile file;
        file.SetPath(c.path.c_str());
        EXPECT_EQ(E_FAIL, file.Open(c.access, c.disposition)) << c.name;
        EXPECT_FALSE(file.IsOpen()) << c.name;
        EXPECT_EQ(c.logLine, OnlyLogLine()) << c.name;
    }
    EXPECT_FALSE(::PathIsDirectoryW(Path(L"no such folder").c_str())) << "OPEN_EXISTING creates no folder";
}

TEST_F(SysFileTest, A260CharacterPathReachesTheSystem) {
    std::wstring path = Join(folder, std::wstring(260 - folder.size() - 1, L'y'));
    ASSERT_EQ(260u, path.size());
    CSysFile file;
    file.SetPath(path.c_str());
    EXPECT_EQ(E_FAIL, file.Open(GENERIC_READ, OPEN_EXISTING));
    std::wstring line = OnlyLogLine();
    EXPECT_EQ(0u, line.find(L"[Open] E_ESYS_MEDIUMNOTREADY ")) << Narrow(line);
}

TEST_F(SysFileTest, CreatingDispositionsMakeMissingFolders) {
    struct Case {
        const char* name;
        DWORD disposition;
    } cases[] = {{"CREATE_NEW", CREATE_NEW}, {"CREATE_ALWAYS", CREATE_ALWAYS}, {"OPEN_ALWAYS", OPEN_ALWAYS}};
    int n = 0;
    for (const Case& c : cases) {
        std::wstring path = Path((L"d" + std::to_wstring(++n) + L"\\sub\\deeper\\f.bin").c_str());
        CSysFile file;
        file.SetPath(path.c_str());
        EXPECT_EQ(S_OK, file.Open(GENERIC_READ | GENERIC_WRITE, c.disposition)) << c.name;
        EXPECT_TRUE(file.IsOpen()) << c.name;
        file.Close();
        EXPECT_TRUE(FileExists(path)) << c.name;
    }
    EXPECT_TRUE(LogLines().empty());
}

TEST_F(SysFileTest, ZeroCountsNeedNoBufferAndMissingBuffersAreInvalidArguments) {
    CSysFile file;
    file.SetPath(Path(L"never.bin").c_str());
    DWORD count = 77;
    EXPECT_EQ(S_OK, file.Write(0, nullptr, count));
    EXPECT_EQ(0u, count);
    count = 77;
    EXPECT_EQ(S_OK, file.Read(0, count, nullptr));
    EXPECT_EQ(0u, count);
    EXPECT_TRUE(LogLines().empty());

    EXPECT_EQ(E_INVALIDARG, file.Write(4, nullptr, count));
    EXPECT_EQ(E_INVALIDARG, file.Read(4, count, nullptr));
    std::vector<std::wstring> lines = LogLines();
    ASSERT_EQ(2u, lines.size());
    EXPECT_EQ(L"[Write] E_INVALIDARG " + Path(L"never.bin"), lines[0]);
    EXPECT_EQ(L"[Read] E_INVALIDARG " + Path(L"never.bin"), lines[1]);
    EXPECT_EQ(static_cast<HRESULT>(0x80070057), E_INVALIDARG);
}

TEST_F(SysFileTest, HandleOperationsOnAClosedObjectFailAtTheSystem) {
    CSysFile file;
    std::wstring path = Path(L"closed.bin");
    file.SetPath(path.c_str());
    BYTE data[4] = {1, 2, 3, 4};
    DWORD count = 0;
    FILETIME time = {1, 1};
    struct Case {
        const wchar_t* label;
        HRESULT result;
    } cases[] = {
        {L"[Write]", file.Write(4, data, count)},
        {L"[Read]", file.Read(4, count, data)},
        {L"[SetPointer]", file.SetPointer(0, FILE_BEGIN)},
        {L"[GetPointer]", file.GetPointer(count)},
        {L"[SetEnd]", file.SetEnd()},
        {L"[FlushBuffers]", file.FlushBuffers()},
        {L"[GetCreationTime]", file.GetCreationTime(time)},
        {L"[SetCreationTime]", file.SetCreationTime(time)},
        {L"[GetLastWriteTime]", file.GetLastWriteTime(time)},
        {L"[SetLastWriteTime]", file.SetLastWriteTime(time)},
    };
    std::vector<std::wstring> lines = LogLines();
    ASSERT_EQ(sizeof cases / sizeof cases[0], lines.size());
    for (size_t i = 0; i < lines.size(); ++i) {
        const Case& c = cases[i];
        EXPECT_EQ(E_FAIL, c.result) << Narrow(c.label);
        std::wstring prefix = std::wstring(c.label) + L" E_ESYS_MEDIUMNOTREADY ";
        EXPECT_EQ(0u, lines[i].find(prefix)) << Narrow(lines[i]);
        // Eight lower-case hex digits of the system's code, then the path.
        ASSERT_EQ(prefix.size() + 9 + path.size(), lines[i].size()) << Narrow(lines[i]);
        EXPECT_EQ(L" " + path, lines[i].substr(prefix.size() + 8)) << Narrow(lines[i]);
        EXPECT_NE(L"00000000", lines[i].substr(prefix.size(), 8)) << Narrow(lines[i]);
    }
}

TEST_F(SysFileTest, WriteReadPointerEndAndSize) {
    CSysFile file;
    std::wstring path = Path(L"data.bin");
    file.SetPath(path.c_str());
    ASSERT_EQ(S_OK, file.Open(GENERIC_READ | GENERIC_WRITE, CREATE_ALWAYS));
    const char text[] = "0123456789";
    DWORD count = 0;
    ASSERT_EQ(S_OK, file.Write(10, text, count));
    EXPECT_EQ(10u, count);
    DWORD at = 99;
    ASSERT_EQ(S_OK, file.GetPointer(at));
    EXPECT_EQ(10u, at);
    ASSERT_EQ(S_OK, file.SetPointer(-4, FILE_END));
    char buffer[16] = {};
    ASSERT_EQ(S_OK, file.Read(16, count, buffer));
    EXPECT_EQ(4u, count) << "a short read is a success";
    EXPECT_EQ("6789", std::string(buffer, 4));
    ASSERT_EQ(S_OK, file.Read(16, count, buffer));
    EXPECT_EQ(0u, count) << "end of file";
    ASSERT_EQ(S_OK, file.SetPointer(3, FILE_BEGIN));
    ASSERT_EQ(S_OK, file.SetEnd());
    EXPECT_EQ(S_OK, file.FlushBuffers());
    file.Close();
    ULONGLONG size = 0;
    ASSERT_EQ(S_OK, file.GetSize(size));
    EXPECT_EQ(3u, size);
    EXPECT_TRUE(LogLines().empty());
}

TEST_F(SysFileTest, DeleteAttributesAndExists) {
    std::wstring path = Path(L"readonly.bin");
    ASSERT_TRUE(WriteBytes(path, "x"));
    CSysFile file;
    file.SetPath(path.c_str());
    ASSERT_EQ(S_OK, file.SetAttributes(FILE_ATTRIBUTE_READONLY));
    DWORD attributes = 0;
    ASSERT_EQ(S_OK, file.GetAttributes(attributes));
    EXPECT_TRUE(attributes & FILE_ATTRIBUTE_READONLY);

    ASSERT_EQ(S_OK, file.Open(GENERIC_READ, OPEN_EXISTING));
    EXPECT_EQ(E_FAIL, file.Delete());
    EXPECT_EQ(E_FAIL, file.SetAttributes(FILE_ATTRIBUTE_NORMAL));
    file.Close();
    std::vector<std::wstring> lines = LogLines();
    ASSERT_EQ(2u, lines.size());
    EXPECT_EQ(L"[Delete] E_ESYS_ILLEGALSEQUENCE " + path, lines[0]);
    EXPECT_EQ(L"[SetAttributes] E_ESYS_ILLEGALSEQUENCE " + path, lines[1]);
    EXPECT_TRUE(FileExists(path));

    ClearLog();
    EXPECT_EQ(S_OK, file.Delete()) << "a read-only file is made writable first";
    EXPECT_FALSE(FileExists(path));
    EXPECT_EQ(S_FALSE, file.Exists());
    EXPECT_EQ(E_FAIL, file.Delete()) << "nothing to delete";
    EXPECT_EQ(E_FAIL, file.SetAttributes(FILE_ATTRIBUTE_NORMAL));
    EXPECT_TRUE(LogLines().empty()) << "silent failures";

    attributes = 0;
    EXPECT_EQ(E_FAIL, file.GetAttributes(attributes));
    EXPECT_EQ(INVALID_FILE_ATTRIBUTES, attributes) << "the failure value is stored";
    EXPECT_EQ(L"[GetAttributes] E_ESYS_MEDIUMNOTREADY " + Hex8(ERROR_FILE_NOT_FOUND) + L" " + path, OnlyLogLine());

    CSysFile dir;
    dir.SetPath(folder.c_str());
    EXPECT_EQ(S_OK, dir.Exists()) << "a folder exists too";
    CSysFile empty;
    EXPECT_EQ(S_FALSE, empty.Exists());
}

TEST_F(SysFileTest, SizeBeyondFourGibibytes) {
    std::wstring path = Path(L"sparse.bin");
    {
        CHandle h(::CreateFileW(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr));
        ASSERT_TRUE(h);
        DWORD ignored = 0;
        ::DeviceIoControl(h.Get(), FSCTL_SET_SPARSE, nullptr, 0, nullptr, 0, &ignored, nullptr);
        LARGE_INTEGER end;
        end.QuadPart = 5ll * 1024 * 1024 * 1024 + 3;
        ASSERT_TRUE(::SetFilePointerEx(h.Get(), end, nullptr, FILE_BEGIN));
        ASSERT_TRUE(::SetEndOfFile(h.Get()));
    }
    CSysFile file;
    file.SetPath(path.c_str());
    ULONGLONG size = 0;
    EXPECT_EQ(S_OK, file.GetSize(size));
    EXPECT_EQ(5ull * 1024 * 1024 * 1024 + 3, size);

    file.SetPath(Path(L"absent.bin").c_str());
    size = 42;
    EXPECT_EQ(E_FAIL, file.GetSize(size));
    EXPECT_EQ(42u, size);
    EXPECT_EQ(L"[GetSize] ::FindFirstFile faild " + Hex8(ERROR_FILE_NOT_FOUND) + L" " + Path(L"absent.bin"),
              OnlyLogLine());
}

TEST_F(SysFileTest, PathQueries) {
    struct Case {
        const wchar_t* path;
        bool initialized;
        wchar_t drive;
        const wchar_t* fileName;
    } cases[] = {
        {L"", false, 0, L""},
        {L"c:\\Music\\a.mp3", true, L'C', L"a.mp3"},
        {L"E:\\Quavercart\\device.id", true, L'E', L"device.id"},
        {L"\\\\server\\share\\b.wma", false, L'\\', L"b.wma"},
        {L"9:\\x", false, L'9', L"x"},
        {L"z:", true, L'Z', L"z:"},
    };
    for (const Case& c : cases) {
        CSysFile file;
        EXPECT_EQ(S_OK, file.SetPath(c.path));
        EXPECT_EQ(c.initialized, file.IsInitialized()) << Narrow(c.path);
        EXPECT_EQ(c.drive, file.GetDriveLetter()) << Narrow(c.path);
        std::wstring text = L"old";
        EXPECT_EQ(S_OK, file.GetFileName(text));
        EXPECT_EQ(c.fileName, text) << Narrow(c.path);
        EXPECT_EQ(S_OK, file.GetPath(text));
        EXPECT_EQ(c.path, text);
    }
}

TEST_F(SysFileTest, TimesCopyAndMove) {
    std::wstring source = Path(L"src.bin");
    ASSERT_TRUE(WriteBytes(source, "payload"));
    FILETIME created = {0x11111100, 0x01c00000};
    FILETIME written = {0x22222200, 0x01c10000};
    CSysFile file;
    file.SetPath(source.c_str());
    ASSERT_EQ(S_OK, file.Open(GENERIC_READ | GENERIC_WRITE, OPEN_EXISTING));
    ASSERT_EQ(S_OK, file.SetCreationTime(created));
    ASSERT_EQ(S_OK, file.SetLastWriteTime(written));
    EXPECT_EQ(E_FAIL, file.Copy(Path(L"x.bin").c_str()));
    EXPECT_EQ(E_FAIL, file.Move(Path(L"x.bin").c_str()));
    file.Close();
    std::vector<std::wstring> lines = LogLines();
    ASSERT_EQ(2u, lines.size());
    EXPECT_EQ(L"[Copy] E_ESYS_ILLEGALSEQUENCE " + source, lines[0]);
    EXPECT_EQ(L"[Move] E_ESYS_ILLEGALSEQUENCE " + source, lines[1]);
    ClearLog();

    auto timesOf = [](const std::wstring& path, FILETIME& c, FILETIME& w) {
        CSysFile f;
        f.SetPath(path.c_str());
        return f.Open(GENERIC_READ, OPEN_EXISTING) == S_OK && f.GetCreationTime(c) == S_OK &&
               f.GetLastWriteTime(w) == S_OK;
    };
    auto same = [](const FILETIME& a, const FILETIME& b) {
        return a.dwLowDateTime == b.dwLowDateTime && a.dwHighDateTime == b.dwHighDateTime;
    };

    std::wstring copy = Path(L"copy.bin");
    ASSERT_TRUE(WriteBytes(copy, "old contents, longer"));
    ::SetFileAttributesW(copy.c_str(), FILE_ATTRIBUTE_READONLY);
    ASSERT_EQ(S_OK, file.Copy(copy.c_str())) << "a read-only destination is overwritten";
    EXPECT_FALSE(file.IsOpen());
    std::string bytes;
    ASSERT_TRUE(ReadBytes(copy, bytes));
    EXPECT_EQ("payload", bytes);
    FILETIME c, w;
    ASSERT_TRUE(timesOf(copy, c, w));
    // Wine keeps no settable creation time on Linux; the last write is kept.
    EXPECT_TRUE(same(written, w));
    std::wstring path;
    file.GetPath(path);
    EXPECT_EQ(source, path);

    std::wstring moved = Path(L"moved.bin");
    ASSERT_TRUE(WriteBytes(moved, "to be replaced"));
    ASSERT_EQ(S_OK, file.Move(moved.c_str()));
    EXPECT_FALSE(FileExists(source));
    file.GetPath(path);
    EXPECT_EQ(moved, path);
    ASSERT_TRUE(ReadBytes(moved, bytes));
    EXPECT_EQ("payload", bytes);
    ASSERT_TRUE(timesOf(moved, c, w));
    // Wine keeps no settable creation time on Linux; the last write is kept.
    EXPECT_TRUE(same(written, w));

    // Clearing the destination first must not destroy the file itself.
    ASSERT_EQ(S_OK, file.Move(moved.c_str()));
    ASSERT_TRUE(ReadBytes(moved, bytes));
    EXPECT_EQ("payload", bytes);
    EXPECT_TRUE(LogLines().empty());

    std::wstring unreachable = Path(L"no such folder\\m.bin");
    EXPECT_EQ(E_FAIL, file.Move(unreachable.c_str()));
    file.GetPath(path);
    EXPECT_EQ(moved, path) << "the object keeps its old path";
    EXPECT_EQ(L"[Move] E_ESYS_MEDIUMNOTREADY " + Hex8(ERROR_PATH_NOT_FOUND) + L" " + moved + L" " + unreachable,
              OnlyLogLine());
    EXPECT_TRUE(FileExists(moved));
}

TEST_F(SysFileTest, WriteNewLineAndWriteLine) {
    std::wstring path = Path(L"lines.txt");
    CSysTextFile file;
    file.SetPath(path.c_str());
    EXPECT_FALSE(file.WriteNewLine()) << "no handle";
    ASSERT_EQ(S_OK, file.Open(GENERIC_READ | GENERIC_WRITE, CREATE_ALWAYS));
    EXPECT_TRUE(file.WriteLine(L""));
    EXPECT_TRUE(file.WriteLine(L"ab"));
    EXPECT_TRUE(file.WriteNewLine());
    file.Close();
    std::string bytes;
    ASSERT_TRUE(ReadBytes(path, bytes));
    EXPECT_EQ(std::string("a\0b\0\r\0\n\0\r\0\n\0", 12), bytes);

    ASSERT_EQ(S_OK, file.Open(GENERIC_READ, OPEN_EXISTING));
    ClearLog();
    EXPECT_FALSE(file.WriteNewLine()) << "a file opened for reading refuses the write";
    EXPECT_FALSE(file.WriteLine(L"cd"));
    file.Close();
    std::vector<std::wstring> lines = LogLines();
    ASSERT_EQ(2u, lines.size());
    EXPECT_EQ(0u, lines[0].find(L"[Write] E_ESYS_MEDIUMNOTREADY ")) << Narrow(lines[0]);
    ASSERT_TRUE(ReadBytes(path, bytes));
    EXPECT_EQ(12u, bytes.size());
}

std::string Utf16(const std::wstring& text) {
    std::string bytes;
    for (wchar_t c : text) {
        bytes.push_back(static_cast<char>(c & 0xFF));
        bytes.push_back(static_cast<char>(c >> 8));
    }
    return bytes;
}

TEST_F(SysFileTest, ReadLineRules) {
    struct Case {
        const char* name;
        std::string bytes;
        std::vector<std::wstring> lines;
    } cases[] = {
        {"two ended lines", Utf16(L"ab\r\ncd\r\n"), {L"ab", L"cd"}},
        {"last line without end", Utf16(L"ab\r\ncd"), {L"ab", L"cd"}},
        {"last line of one unit", Utf16(L"ab\r\nc"), {L"ab"}},
        {"blank line first", Utf16(L"\r\nab\r\n"), {}},
        {"blank line stops", Utf16(L"ab\r\n\r\ncd\r\n"), {L"ab"}},
        {"lone CR kept", Utf16(L"a\rb\r\n"), {L"a\rb"}},
        {"lone LF kept", Utf16(L"a\nb\r\n"), {L"a\nb"}},
        {"CR before CR LF", Utf16(L"a\r\r\n"), {L"a\r"}},
        {"CR at the end", Utf16(L"ab\r"), {L"ab\r"}},
        {"LF CR is no line end", Utf16(L"a\n\rb"), {L"a\n\rb"}},
        {"odd trailing byte", Utf16(L"ab") + "x", {L"ab"}},
        {"empty file", "", {}},
        {"one unit", Utf16(L"a"), {}},
        {"one byte", "a", {}},
        {"Japanese text", Utf16(L"\x65e5\x672c\r\n"), {L"\x65e5\x672c"}},
    };
    for (const Case& c : cases) {
        std::wstring path = Path(L"read.txt");
        ASSERT_TRUE(WriteBytes(path, c.bytes));
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
    std::wstring path = Path(L"limit.txt");
    ASSERT_TRUE(WriteBytes(path, Utf16(L"abc\r\nabcdefgh")));
    CSysTextFile file;
    file.SetPath(path.c_str());
    ASSERT_EQ(S_OK, file.Open(GENERIC_READ, OPEN_EXISTING));
    std::wstring line;
    ASSERT_TRUE(file.ReadLine(line, 3));
    EXPECT_EQ(L"abc", line);
    ASSERT_TRUE(file.ReadLine(line, 3));
    EXPECT_EQ(L"abcd", line);
}

TEST_F(SysFileTest, ReadLineAcrossBlocksKeepsTheLogicalPosition) {
    // Lines that straddle the read-ahead block, then operations that depend
    // on the position right after a line.
    std::wstring first(40000, L'a'), second(50000, L'b');
    std::string bytes = Utf16(first + L"\r\n" + second + L"\r\nc");
    std::wstring path = Path(L"long.txt");
    ASSERT_TRUE(WriteBytes(path, bytes));
    CSysTextFile file;
    file.SetPath(path.c_str());
    ASSERT_EQ(S_OK, file.Open(GENERIC_READ | GENERIC_WRITE, OPEN_EXISTING));
    std::wstring line;
    ASSERT_TRUE(file.ReadLine(line));
    EXPECT_EQ(first, line);
    DWORD at = 0;
    ASSERT_EQ(S_OK, file.GetPointer(at));
    EXPECT_EQ((first.size() + 2) * 2, at);
    wchar_t unit = 0;
    DWORD read = 0;
    ASSERT_EQ(S_OK, file.Read(2, read, &unit));
    EXPECT_EQ(L'b', unit);
    ASSERT_EQ(S_OK, file.SetPointer(-2, FILE_CURRENT));
    ASSERT_TRUE(file.ReadLine(line));
    EXPECT_EQ(second, line);
    ASSERT_TRUE(file.WriteLine(L"de")) << "writes at the end of the line just read";
    file.Close();
    ASSERT_TRUE(ReadBytes(path, bytes));
    EXPECT_EQ(Utf16(first + L"\r\n" + second + L"\r\nde\r\n"), bytes);
}

} // namespace
