#include "EngineSupport.h"
#include "engine/CopyRules.h"

#include <gtest/gtest.h>
#include <algorithm>
#include <cstdlib>

using namespace qctest;

namespace {

class CopyTest : public ::testing::Test {
protected:
    void SetUp() override {
        ResetPlayer();
        ResetSources();
        SetFreeSpaceMargin(0, 0);
    }
};

bool SameContent(const std::wstring& a, const std::wstring& b) {
    std::string x, y;
    return ReadBytes(a, x) && ReadBytes(b, y) && x == y;
}

std::string Box126(const std::wstring& name) {
    return Narrow(L"Transfer failed because the file \"" + name + L"\" could not be written to the destination folder."
                  L"\n\nThe destination folder may be write-protected, or an existing file of the same name may be "
                  L"in use.\n");
}

} // namespace

TEST_F(CopyTest, ChunksProgressAndContent) {
    struct Case {
        const char* name;
        ULONGLONG size;
        std::vector<LPARAM> percents;
    } cases[] = {
        {"empty file makes no chunk", 0, {}},
        {"65,536 bytes in one chunk", 65536, {}},
        {"65,537 bytes in two chunks", 65537, {100}},
        {"four chunks", 3 * 65536 + 5, {66, 99, 100}},
        // Each figure is posted once, rising, however many chunks share it.
        {"300 chunks", 300 * 65536, [] {
             std::vector<LPARAM> all;
             for (LPARAM i = 0; i <= 100; ++i) all.push_back(i);
             return all;
         }()},
    };
    for (const Case& c : cases) {
        CTestThread worker;
        CRecorder rec;
        ::DeleteFileW(L"E:\\Music\\chunks.mp3");
        ASSERT_TRUE(MakeFile(Src(L"chunks.mp3"), c.size)) << c.name;
        worker.SetTotalBytes(c.size);
        EXPECT_TRUE(WriteHere(worker, rec, Src(L"chunks.mp3"), L"E:\\Music\\chunks.mp3")) << c.name;
        EXPECT_TRUE(SameContent(Src(L"chunks.mp3"), L"E:\\Music\\chunks.mp3")) << c.name;
        // The first chunk of a transfer posts no progress; success posts no line.
        EXPECT_EQ(c.percents, rec.LParams(WM_APP_SET_PROGRESS_POS)) << c.name;
        EXPECT_EQ(c.percents.size(), rec.messages.size()) << c.name << "\n" << rec.Describe();
        EXPECT_EQ(c.size ? 1u : 0u, worker.GetProgressTick()) << c.name;
        EXPECT_EQ(c.size, worker.GetTransferredBytes()) << c.name;
        EXPECT_EQ(std::vector<std::wstring>{L"chunks.mp3"}, ListFolder(L"E:\\Music")) << c.name;
    }
}

TEST_F(CopyTest, FailuresReportTheirLineAndBoxAndLeaveNothingBehind) {
    ASSERT_TRUE(MakeFile(Src(L"x.mp3"), 5 * 65536));
    ASSERT_TRUE(MakeFile(L"E:\\Blocked", 1));  // a file where the folder should be
    ASSERT_TRUE(MakeFile(L"E:\\Music\\old.mp3", 10));
    const std::wstring longFolder = L"E:\\Long\\" + std::wstring(200, L'f');
    const std::wstring longName = longFolder + L"\\" + std::wstring(258 - longFolder.size() - 5, L'n') + L".mp3";
    ASSERT_TRUE(MakeFile(longName, 1));
    wchar_t renamed[kDestPathChars];
    ::lstrcpynW(renamed, longName.c_str(), kDestPathChars);
    MakeUniqueDestPath(renamed);
    ASSERT_EQ(263, ::lstrlenW(renamed));
    const std::string missing = "(16) The file \"x.mp3\" could not be found.\n\nThe file may have been deleted while "
                                "transfer was in progress.\n";
    const std::string inUse = "(16) The file \"x.mp3\" could not be transferred because it is being used by another "
                              "program.\n\nClose all programs that may be using the file, and try transferring "
                              "again.\n";
    const std::wstring unreadable = L"Failed. (Source file could not be read.)";
    const std::wstring uncreated = L"Failed. (Destination file could not be created.)";
    struct Case {
        const char* name;
        std::wstring source, dest;
        int folderErrFlg;
        Fault sourceFault, destFault;
        std::wstring line;
        std::string box;
    } cases[] = {
        {"missing source", Src(L"gone\\x.mp3"), L"E:\\Music\\x.mp3", 0, Fault::kNone, Fault::kNone, unreadable,
         missing},
        {"size unknown after Exists", Src(L"x.mp3"), L"E:\\Music\\x.mp3", 0, Fault::kSizeFails, Fault::kNone,
         unreadable, missing},
        {"read fails halfway", Src(L"x.mp3"), L"E:\\Music\\x.mp3", 0, Fault::kReadFails, Fault::kNone, unreadable,
         inUse},
        {"source shrank: a read returns 0 bytes early", Src(L"x.mp3"), L"E:\\Music\\x.mp3", 0, Fault::kShrinks,
         Fault::kNone, unreadable, inUse},
        {"folder cannot be made", Src(L"x.mp3"), L"E:\\Blocked\\x.mp3", 0, Fault::kNone, Fault::kNone, uncreated, ""},
        {"folder cannot be made, flag set", Src(L"x.mp3"), L"E:\\Blocked\\x.mp3", 1, Fault::kNone, Fault::kNone,
         L"Failed. (Destination folder could not be created.)", ""},
        {"existing 258-character name renamed to 263", Src(L"x.mp3"), renamed, 0, Fault::kNone, Fault::kNone,
         uncreated, ""},
        {"existing name renamed beyond the limit, flag set", Src(L"x.mp3"), renamed, 1, Fault::kNone, Fault::kNone,
         L"Failed. (Destination folder could not be created.)", ""},
        {"an existing file is never overwritten", Src(L"x.mp3"), L"E:\\Music\\old.mp3", 0, Fault::kNone, Fault::kNone,
         uncreated, ""},
        {"write fails halfway", Src(L"x.mp3"), L"E:\\Music\\x.mp3", 0, Fault::kNone, Fault::kWriteFails, uncreated, ""},
        {"short write halfway", Src(L"x.mp3"), L"E:\\Music\\x.mp3", 0, Fault::kNone, Fault::kShortWrite, uncreated, ""},
    };
    for (const Case& c : cases) {
        CTestThread worker;
        CRecorder rec;
        worker.SetFolderErrFlg(c.folderErrFlg);
        worker.sourceFault = c.sourceFault;
        worker.destFault = c.destFault;
        worker.faultAfter = 2 * 65536;
        const std::wstring folder = c.dest.substr(0, c.dest.rfind(L'\\'));
        const auto before = ListFolder(folder);
        const ULONGLONG sizeBefore = SizeOf(c.dest);
        EXPECT_FALSE(WriteHere(worker, rec, c.source, c.dest)) << c.name;
        // The line replaces the pending one, then the box.
        std::string box = c.box.empty() ? "(16) " + Box126(c.dest.substr(folder.size() + 1)) : c.box;
        EXPECT_EQ("LOG(1) " + LogLine(c.source, c.line) + "\nBOX" + box + "\n", rec.Describe(WM_APP_SET_PROGRESS_POS))
            << c.name;
        EXPECT_EQ(sizeBefore, SizeOf(c.dest)) << c.name;
        EXPECT_EQ(before, ListFolder(folder)) << c.name << ": nothing left behind";
    }
}

TEST_F(CopyTest, AnInterruptedCopyNeverLeavesTheRealNameAndItsRestIsRemovedNextTime) {
    ASSERT_TRUE(MakeFile(Src(L"song.mp3"), 5 * 65536));
    CTestThread worker;
    CRecorder rec;
    // The player goes away mid-copy: writes fail and nothing can be deleted.
    worker.destFault = Fault::kVanishes;
    worker.faultAfter = 2 * 65536;
    EXPECT_FALSE(WriteHere(worker, rec, Src(L"song.mp3"), L"E:\\Music\\song.mp3"));
    EXPECT_EQ(std::vector<std::wstring>{kPartialCopyName}, ListFolder(L"E:\\Music")) << "nothing under the real name";
    worker.destFault = Fault::kNone;
    ASSERT_TRUE(WriteHere(worker, rec, Src(L"song.mp3"), L"E:\\Music\\song.mp3"));
    EXPECT_EQ(std::vector<std::wstring>{L"song.mp3"}, ListFolder(L"E:\\Music"));
    EXPECT_TRUE(SameContent(Src(L"song.mp3"), L"E:\\Music\\song.mp3"));
}

TEST_F(CopyTest, AFolderTooDeepForThePartialNameGetsTheSongUnderItsOwnName) {
    const std::wstring folder = L"E:\\Deep\\" + std::wstring(243, L'd');
    const std::wstring dest = folder + L"\\01.mp3";
    ASSERT_EQ(258u, dest.size());
    ASSERT_TRUE(MakeFile(Src(L"01.mp3"), 3 * 65536 + 1));
    ASSERT_TRUE(MakeDirs(folder));
    CTestThread worker;
    CRecorder rec;
    EXPECT_TRUE(WriteHere(worker, rec, Src(L"01.mp3"), dest)) << rec.Describe();
    EXPECT_TRUE(SameContent(Src(L"01.mp3"), dest));
    EXPECT_EQ(std::vector<std::wstring>{L"01.mp3"}, ListFolder(folder));
}

// The host mounts E:\ReadOnly read-only for this program (root is not stopped
// by permissions).
TEST_F(CopyTest, AReadOnlyFolderFailsWithLine133AndBox126) {
    const char* state = std::getenv("QC_READONLY_FOLDER");
    if (!state || std::string(state) != "mounted") GTEST_SKIP() << "no read-only folder could be mounted on the player";
    CTransferThread worker;
    CRecorder rec;
    ASSERT_TRUE(MakeFile(Src(L"x.mp3"), 70000));
    EXPECT_FALSE(WriteHere(worker, rec, Src(L"x.mp3"), L"E:\\ReadOnly\\x.mp3"));
    EXPECT_EQ("LOG(1) " + LogLine(Src(L"x.mp3"), L"Failed. (Destination file could not be created.)") + "\nBOX(16) " +
                  Box126(L"x.mp3") + "\n",
              rec.Describe());
    EXPECT_TRUE(ListFolder(L"E:\\ReadOnly").empty());
}

namespace {

// A source path of exactly `length` characters below C:\qcsrc\<tag>, no
// component longer than the host's file systems allow.
std::wstring SourceOfLength(size_t length, const std::wstring& tag, const std::wstring& ext) {
    std::wstring path = Src(tag) + L"\\";
    size_t pad = length - path.size() - ext.size();
    if (pad > 200) {
        path += std::wstring(pad - 101, L'd') + L"\\";
        pad = 100;
    }
    return path + std::wstring(pad, L'n') + ext;
}

std::string BytesAt(const std::wstring& path, ULONGLONG offset, DWORD count) {
    CHandle file(::CreateFileW(path.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, 0, nullptr));
    std::string bytes(count, '\0');
    LARGE_INTEGER at;
    at.QuadPart = static_cast<LONGLONG>(offset);
    DWORD read = 0;
    if (!file || !::SetFilePointerEx(file.Get(), at, nullptr, FILE_BEGIN) ||
        !::ReadFile(file.Get(), &bytes[0], count, &read, nullptr)) {
        return "unreadable";
    }
    bytes.resize(read);
    return bytes;
}

// Past 4 GiB, sparse on the host, with marks at its start, across the 4 GiB
// boundary and at its end so the sampled regions cannot all be zeros.
constexpr ULONGLONG kBigSize = (4ull << 30) + 65536 + 17;
const ULONGLONG kBigSamples[] = {0, (2ull << 30) - 30000, (4ull << 30) - 30000, kBigSize - 65536};

bool MakeBigFile(const std::wstring& path) {
    MakeDirs(path.substr(0, path.rfind(L'\\')));
    CHandle file(::CreateFileW(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr));
    LARGE_INTEGER at;
    at.QuadPart = static_cast<LONGLONG>(kBigSize);
    if (!file || !::SetFilePointerEx(file.Get(), at, nullptr, FILE_BEGIN) || !::SetEndOfFile(file.Get())) return false;
    for (ULONGLONG mark : {0ull, (4ull << 30) - 8, kBigSize - 16}) {
        at.QuadPart = static_cast<LONGLONG>(mark);
        DWORD written = 0;
        if (!::SetFilePointerEx(file.Get(), at, nullptr, FILE_BEGIN) ||
            !::WriteFile(file.Get(), "0123456789abcdef", 16, &written, nullptr) || written != 16) {
            return false;
        }
    }
    return true;
}

bool SameBigContent(const std::wstring& a, const std::wstring& b) {
    if (SizeOf(a) != kBigSize || SizeOf(b) != kBigSize) return false;
    for (ULONGLONG at : kBigSamples) {
        if (BytesAt(a, at, 65536) != BytesAt(b, at, 65536)) return false;
    }
    return true;
}

std::vector<std::wstring> FilesBelow(const std::wstring& folder) {
    std::vector<std::wstring> files;
    for (const std::wstring& name : ListFolder(folder)) {
        std::wstring path = Join(folder, name);
        if (::GetFileAttributesW(path.c_str()) & FILE_ATTRIBUTE_DIRECTORY) {
            for (const std::wstring& inner : FilesBelow(path)) files.push_back(inner);
        } else {
            files.push_back(path);
        }
    }
    return files;
}

} // namespace

// One transfer over every kind of path at the limits: each song lands whole
// under its own name or fails with its line (and box) alone.
TEST_F(CopyTest, PathsAtTheLimitsCopyWholeOrFailAlone) {
    // .mp3 lands at the same length as its source (E:\Music, C:\qcsrc), .wma
    // three characters longer (E:\Music\wm).
    WriteDeviceSetting(L"Settings", L"ExtCount", L"2");
    WriteDeviceSetting(L"Settings", L"Ext2", L"wma");
    WriteDeviceSetting(L"Settings", L"Path2", L"Music\\wm");
    SearchOnly(kSourceRoot);
    ULARGE_INTEGER free = {};
    ASSERT_TRUE(::GetDiskFreeSpaceExW(L"E:\\", &free, nullptr, nullptr));
    ASSERT_GT(free.QuadPart, 3 * kBigSize) << "the player needs room for the 4 GiB song";

    enum Outcome { kCopied, kNotSearched, kNoDestination };
    struct Case {
        const char* name;
        std::wstring source;
        ULONGLONG size;
        Outcome outcome;
    } cases[] = {
        {"source and destination of 259", SourceOfLength(259, L"s", L".mp3"), 70000, kCopied},
        {"source of 260", SourceOfLength(260, L"s", L".mp3"), 10, kNotSearched},
        {"source of 261", SourceOfLength(261, L"s", L".mp3"), 10, kNotSearched},
        {"destination of 259", SourceOfLength(256, L"d", L".wma"), 70000, kCopied},
        {"destination of 260", SourceOfLength(257, L"d", L".wma"), 10, kNoDestination},
        {"destination of 261", SourceOfLength(258, L"d", L".wma"), 10, kNoDestination},
        {"Chinese", Src(L"\u4E2D\u6587\\\u6D41\u884C\u6B4C\u66F2.mp3"), 65537, kCopied},
        {"Japanese", Src(L"\u65E5\u672C\u8A9E\\\u3055\u304F\u3089 \u30B5\u30AF\u30E9.mp3"), 1000, kCopied},
        {"Thai", Src(L"\u0E44\u0E17\u0E22\\\u0E40\u0E1E\u0E25\u0E07.mp3"), 1000, kCopied},
        {"Cyrillic", Src(L"\u041A\u0438\u0440\u0438\u043B\u043B\u0438\u0446\u0430\\\u041F\u0435\u0441\u043D\u044F.wma"),
         1000, kCopied},
        // Surrogate pairs: a G clef and a face, in the folder and the name.
        {"outside the BMP", Src(L"\U0001D11E\\\U0001F600 \U0001D11E.mp3"), 1000, kCopied},
        {"read-only source", Src(L"ro.mp3"), 1000, kCopied},
        {"empty song", Src(L"empty.mp3"), 0, kCopied},
        {"over 4 GiB, sparse", Src(L"big.mp3"), kBigSize, kCopied},
    };
    struct CBigCleanup {
        ~CBigCleanup() {
            ::DeleteFileW(Src(L"big.mp3").c_str());
            ::DeleteFileW(L"E:\\Music\\big.mp3");
        }
    } bigCleanup;
    std::vector<std::wstring> landed;
    int copied = 0;
    auto destOf = [](const std::wstring& source) {
        return (source.back() == L'3' ? L"E:\\Music" : L"E:\\Music\\wm") + source.substr(::lstrlenW(kSourceRoot));
    };
    for (const Case& c : cases) {
        if (c.size == kBigSize) {
            ASSERT_TRUE(MakeBigFile(c.source)) << c.name;
        } else {
            ASSERT_TRUE(MakeFile(c.source, c.size)) << c.name;
        }
        if (c.outcome == kCopied) {
            landed.push_back(destOf(c.source));
            ++copied;
        }
    }
    ASSERT_TRUE(::SetFileAttributesW(Src(L"ro.mp3").c_str(), FILE_ATTRIBUTE_READONLY));

    CTestThread worker;
    CRecorder rec;
    ASSERT_EQ(0u, RunTransfer(worker, rec, 600000)) << rec.Describe(WM_APP_SET_PROGRESS_POS);
    EXPECT_EQ(std::vector<LPARAM>{copied}, rec.LParams(WM_APP_TRANSFER_COMPLETE));
    const std::vector<std::string> log = rec.Log();
    std::vector<std::string> boxes;
    for (const Posted& p : rec.messages) {
        if (p.message == WM_APP_MESSAGE_BOX) boxes.push_back(Narrow(p.text));
    }
    std::vector<std::string> wantBoxes;
    const std::vector<std::wstring> history = HistoryLines();
    for (const Case& c : cases) {
        std::wstring outcome = c.outcome == kCopied        ? L"Complete."
                               : c.outcome == kNotSearched ? L"Failed. (Source file could not be read.)"
                                                           : L"Failed. (Destination file could not be created.)";
        EXPECT_EQ(1, std::count(log.begin(), log.end(), LogLine(c.source, outcome))) << c.name;
        if (c.outcome == kNoDestination) wantBoxes.push_back(Box126(c.source.substr(c.source.rfind(L'\\') + 1)));
        const std::wstring field = L",\"" + c.source + L"\"";
        bool inHistory = std::any_of(history.begin(), history.end(), [&](const std::wstring& line) {
            return line.size() > field.size() && line.compare(line.size() - field.size(), field.size(), field) == 0;
        });
        EXPECT_EQ(c.outcome == kCopied, inHistory) << c.name;
        if (c.outcome != kCopied) continue;
        EXPECT_TRUE(c.size == kBigSize ? SameBigContent(c.source, destOf(c.source))
                                        : SameContent(c.source, destOf(c.source)))
            << c.name;
    }
    EXPECT_EQ(wantBoxes, boxes);
    EXPECT_EQ(static_cast<size_t>(copied), history.size());
    // Nothing but the songs themselves: no partial copy, no stray name.
    std::vector<std::wstring> onPlayer = FilesBelow(L"E:\\Music");
    std::sort(onPlayer.begin(), onPlayer.end());
    std::sort(landed.begin(), landed.end());
    EXPECT_EQ(landed, onPlayer);
    EXPECT_TRUE(::GetFileAttributesW(Src(L"ro.mp3").c_str()) & FILE_ATTRIBUTE_READONLY) << "the source is untouched";
    ::SetFileAttributesW(Src(L"ro.mp3").c_str(), FILE_ATTRIBUTE_NORMAL);
}
