#include "EngineSupport.h"
#include "engine/CopyRules.h"

#include <gtest/gtest.h>
#include <cstdlib>

using namespace qctest;

namespace {

class CopyTest : public ::testing::Test {
protected:
    void SetUp() override {
        ResetPlayer();
        SetFreeSpaceMargin(0, 0);
    }
    // Names only this program's locale spells are removed by this program.
    void TearDown() override { ResetPlayer(); }
    CTestThread worker;
    CRecorder rec;
};

std::wstring NameOf(const std::wstring& path) { return path.substr(path.rfind(L'\\') + 1); }

} // namespace

TEST_F(CopyTest, ChunksProgressAndContent) {
    // The first chunk of a transfer posts no progress; each figure is posted once, rising.
    std::string all;
    for (int i = 0; i <= 100; ++i) all += "POS(0," + std::to_string(i) + ")\n";
    const std::pair<ULONGLONG, std::string> cases[] = {
        {0, ""}, {65536, ""}, {65537, "POS(0,100)\n"}, {3 * 65536 + 5, "POS(0,66)\nPOS(0,99)\nPOS(0,100)\n"},
        {300 * 65536, all}};
    for (const auto& c : cases) {
        CTestThread fresh;
        rec.messages.clear();
        ::DeleteFileW(L"E:\\Music\\chunks.mp3");
        ASSERT_TRUE(MakeFile(Src(L"chunks.mp3"), c.first)) << c.first;
        fresh.SetTotalBytes(c.first);
        EXPECT_TRUE(WriteHere(fresh, rec, Src(L"chunks.mp3"), L"E:\\Music\\chunks.mp3")) << c.first;
        EXPECT_TRUE(SameContent(Src(L"chunks.mp3"), L"E:\\Music\\chunks.mp3")) << c.first;
        EXPECT_EQ(c.second, rec.Describe()) << c.first;  // and no line
        EXPECT_EQ(c.first, fresh.GetTransferredBytes()) << c.first;
        EXPECT_EQ(std::vector<std::wstring>{L"chunks.mp3"}, ListFolder(L"E:\\Music")) << c.first;
    }
}

TEST_F(CopyTest, FailuresReportTheirLineAndBoxAndLeaveNothingBehind) {
    const std::wstring x = Src(L"x.mp3"), m = L"E:\\Music\\x.mp3", folder = L"E:\\L\\" + std::wstring(200, L'f');
    const std::wstring longName = folder + L"\\" + std::wstring(258 - folder.size() - 5, L'n') + L".mp3";
    ASSERT_TRUE(MakeFile(x, 5 * 65536) && MakeFile(L"E:\\Blocked", 1) && MakeFile(L"E:\\Music\\old.mp3", 10) &&
                MakeFile(longName, 1));
    wchar_t renamed[kDestPathChars];  // 263 characters
    ::lstrcpynW(renamed, longName.c_str(), kDestPathChars);
    MakeUniqueDestPath(renamed);
    const Fault N = Fault::kNone;
    const UINT R = IDS_LINE_READ_FAILED, C = IDS_LINE_CREATE_FAILED;
    const struct {
        const char* name;
        std::wstring source, dest;
        Fault sourceFault, destFault;
        UINT line, box;
    } cases[] = {
        {"missing source", Src(L"gone\\x.mp3"), m, N, N, R, IDS_SOURCE_MISSING},
        {"size unknown", x, m, Fault::kSizeFails, N, R, IDS_SOURCE_MISSING},
        {"read fails halfway", x, m, Fault::kReadFails, N, R, IDS_SOURCE_IN_USE},
        {"source shrank", x, m, Fault::kShrinks, N, R, IDS_SOURCE_IN_USE},
        {"folder is a file", x, L"E:\\Blocked\\x.mp3", N, N, C, IDS_DEST_UNWRITABLE},
        {"renamed beyond the limit", x, renamed, N, N, C, IDS_DEST_UNWRITABLE},
        {"an existing file is never overwritten", x, L"E:\\Music\\old.mp3", N, N, C, IDS_DEST_UNWRITABLE},
        {"write fails halfway", x, m, N, Fault::kWriteFails, C, IDS_DEST_UNWRITABLE},
        {"short write", x, m, N, Fault::kShortWrite, C, IDS_DEST_UNWRITABLE},
    };
    for (const auto& c : cases) {
        CTestThread w;
        rec.messages.clear();
        w.sourceFault = c.sourceFault;
        w.destFault = c.destFault;
        w.faultAfter = 2 * 65536;
        const std::wstring in = c.dest.substr(0, c.dest.rfind(L'\\'));
        const auto before = ListFolder(in);
        const ULONGLONG sizeBefore = SizeOf(c.dest);
        EXPECT_FALSE(WriteHere(w, rec, c.source, c.dest)) << c.name;
        EXPECT_EQ(Line(1, c.line, c.source) + Box(c.box, NameOf(c.box == IDS_DEST_UNWRITABLE ? c.dest : x)),
                  rec.Describe(WM_APP_SET_PROGRESS_POS)) << c.name;
        EXPECT_EQ(sizeBefore, SizeOf(c.dest)) << c.name;
        EXPECT_EQ(before, ListFolder(in)) << c.name << ": nothing left behind";
    }
}

TEST_F(CopyTest, AnInterruptedCopyNeverHasTheRealNameAndATooDeepFolderTakesItDirectly) {
    const std::wstring song = Src(L"song.mp3"), dest = L"E:\\Music\\song.mp3";
    ASSERT_TRUE(MakeFile(song, 5 * 65536));
    // The player goes away mid-copy: writes fail and nothing can be deleted.
    worker.destFault = Fault::kVanishes;
    worker.faultAfter = 2 * 65536;
    EXPECT_FALSE(WriteHere(worker, rec, song, dest));
    EXPECT_EQ(std::vector<std::wstring>{kPartialCopyName}, ListFolder(L"E:\\Music")) << "nothing under the real name";
    // The next copy into that folder replaces the rest.
    worker.destFault = Fault::kNone;
    EXPECT_TRUE(WriteHere(worker, rec, song, dest) && SameContent(song, dest));
    EXPECT_EQ(std::vector<std::wstring>{L"song.mp3"}, ListFolder(L"E:\\Music"));
    // 258 characters: no room for the partial name.
    const std::wstring folder = L"E:\\Deep\\" + std::wstring(243, L'd');
    ASSERT_TRUE(MakeDirs(folder));
    EXPECT_TRUE(WriteHere(worker, rec, song, folder + L"\\01.mp3") && SameContent(song, folder + L"\\01.mp3"));
    EXPECT_EQ(std::vector<std::wstring>{L"01.mp3"}, ListFolder(folder));
}

// The host mounts E:\ReadOnly read-only for this program (root is not stopped by permissions).
TEST_F(CopyTest, AFolderThatCannotBeMadeMarksLaterFailuresUntilTheTransferEnds) {
    const char* state = std::getenv("QC_READONLY_FOLDER");
    if (!state || std::string(state) != "mounted") GTEST_SKIP() << "no read-only folder could be mounted";
    WriteDeviceSetting(L"Settings", L"Path1", L"Blocked\\sub");
    WriteDeviceSetting(L"Settings", L"Path2", L"ReadOnly");
    SearchOnly({kSourceRoot});
    // c before the folder fails, a whose folder fails, b after it; then again once the folder can be made.
    const std::wstring songs[] = {Src(L"c.wma"), Src(L"a.mp3"), Src(L"b.wma")};
    for (WORD i = 0; i < 3; ++i) {
        const SYSTEMTIME when = Utc(2007, 1, 1 + i, 0, 0, 0);
        ASSERT_TRUE(MakeFile(songs[i], 10, &when));
    }
    ASSERT_TRUE(MakeFile(L"E:\\Blocked", 1));
    const UINT lines[2][3] = {{IDS_LINE_CREATE_FAILED, IDS_LINE_FOLDER_FAILED, IDS_LINE_FOLDER_FAILED},
                              {IDS_LINE_CREATE_FAILED, IDS_LINE_COMPLETE, IDS_LINE_CREATE_FAILED}};
    for (int pass = 0; pass < 2; ++pass) {
        rec.messages.clear();
        EXPECT_EQ(0u, RunTransfer(worker, rec));
        std::string expected = kSearched;
        for (int i = 0; i < 3; ++i) {
            expected += Current(i + 1, 3, songs[i]) + Line(0, IDS_LINE_TRANSFERRING, songs[i]) +
                        Line(1, lines[pass][i], songs[i]) +
                        (pass == 1 && i == 1 ? "" : Box(IDS_DEST_UNWRITABLE, NameOf(songs[i])));
        }
        EXPECT_EQ(expected + "COMPLETE(0," + std::to_string(pass) + ")\n", rec.Describe(WM_APP_SET_PROGRESS_POS));
        ::DeleteFileW(L"E:\\Blocked");
    }
    EXPECT_TRUE(ListFolder(L"E:\\ReadOnly").empty() && SameContent(songs[1], L"E:\\Blocked\\sub\\a.mp3"));
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

// Past 4 GiB, sparse on the host, with marks just below 4 GiB and at its end;
// `write` makes it, else the marks are read back.
constexpr ULONGLONG kBigSize = (4ull << 30) + 65536 + 17;
bool BigFile(const std::wstring& path, bool write) {
    CHandle file(::CreateFileW(path.c_str(), write ? GENERIC_WRITE : GENERIC_READ, 0, nullptr,
                               write ? CREATE_ALWAYS : OPEN_EXISTING, 0, nullptr));
    LARGE_INTEGER at;
    at.QuadPart = static_cast<LONGLONG>(kBigSize);
    bool ok = file && (!write || (::SetFilePointerEx(file.Get(), at, nullptr, FILE_BEGIN) && ::SetEndOfFile(file.Get())));
    for (ULONGLONG mark : {(4ull << 30) - 8, kBigSize - 16}) {
        char bytes[17] = "0123456789abcdef";
        DWORD done = 0;
        at.QuadPart = static_cast<LONGLONG>(mark);
        ok = ok && ::SetFilePointerEx(file.Get(), at, nullptr, FILE_BEGIN) &&
             (write ? ::WriteFile(file.Get(), bytes, 16, &done, nullptr) : ::ReadFile(file.Get(), bytes, 16, &done, nullptr)) &&
             done == 16 && std::string(bytes) == "0123456789abcdef";
    }
    return ok && SizeOf(path) == kBigSize;
}

} // namespace

// One transfer over every kind of path at the limits: each song lands whole
// under its own name or fails with its line (and box) alone.
TEST_F(CopyTest, PathsAtTheLimitsCopyWholeOrFailAlone) {
    // .mp3 lands at the length of its source (E:\Music, C:\qcsrc), .wma three characters longer (E:\Music\wm).
    WriteDeviceSetting(L"Settings", L"Path2", L"Music\\wm");
    SearchOnly({kSourceRoot});
    ULARGE_INTEGER free = {};
    ASSERT_TRUE(::GetDiskFreeSpaceExW(L"E:\\", &free, nullptr, nullptr) && free.QuadPart > 3 * kBigSize);
    const UINT copied = IDS_LINE_COMPLETE, unsearched = IDS_LINE_READ_FAILED, noDest = IDS_LINE_CREATE_FAILED;
    const std::wstring big = Src(L"big.mp3");
    const std::pair<std::wstring, UINT> cases[] = {
        {SourceOfLength(259, L"s", L".mp3"), copied}, {SourceOfLength(260, L"s", L".mp3"), unsearched},
        {SourceOfLength(261, L"s", L".mp3"), unsearched}, {SourceOfLength(256, L"d", L".wma"), copied},
        {SourceOfLength(257, L"d", L".wma"), noDest}, {SourceOfLength(258, L"d", L".wma"), noDest},
        {Src(L"\u4E2D\u6587\\\u6D41\u884C\u6B4C\u66F2.mp3"), copied},                                     // Chinese
        {Src(L"\u65E5\u672C\u8A9E\\\u3055\u304F\u3089 \u30B5\u30AF\u30E9.mp3"), copied},                 // Japanese
        {Src(L"\u0E44\u0E17\u0E22\\\u0E40\u0E1E\u0E25\u0E07.mp3"), copied},                              // Thai
        {Src(L"\u041A\u0438\u0440\u0438\u043B\u043B\u0438\u0446\u0430\\\u041F\u0435\u0441\u043D\u044F.wma"), copied},
        {Src(L"\U0001D11E\\\U0001F600 \U0001D11E.mp3"), copied},  // surrogate pairs in the folder and the name
        {Src(L"ro.mp3"), copied}, {Src(L"empty.mp3"), copied}, {big, copied},
    };
    auto destOf = [](const std::wstring& source) {
        return (source.back() == L'3' ? L"E:\\Music" : L"E:\\Music\\wm") + source.substr(::lstrlenW(kSourceRoot));
    };
    std::vector<std::wstring> landed, history, lines;
    std::vector<std::string> wantLog, log;
    for (const auto& c : cases) {
        ASSERT_TRUE(c.first == big ? BigFile(big, true) : MakeFile(c.first, c.first == Src(L"empty.mp3") ? 0 : 70000));
        if (c.second == copied) landed.push_back(destOf(c.first));
        if (c.second == copied) history.push_back(L",\"" + c.first + L"\"");
        wantLog.push_back(Text(c.second, c.first));
        if (c.second == noDest) wantLog.push_back(Text(IDS_DEST_UNWRITABLE, NameOf(c.first)));
    }
    ASSERT_TRUE(::SetFileAttributesW(Src(L"ro.mp3").c_str(), FILE_ATTRIBUTE_READONLY));
    ASSERT_EQ(0u, RunTransfer(worker, rec, 600000)) << rec.Describe(WM_APP_SET_PROGRESS_POS);
    // Each song's outcome line (the walk's line for a source too long) and its box, if any.
    for (const Posted& p : rec.messages) {
        bool outcome = p.message == WM_APP_LOG_LINE && (p.wParam == 1 || p.text.back() == L')');
        if (outcome || p.message == WM_APP_MESSAGE_BOX) log.push_back(Narrow(p.text));
    }
    for (const std::wstring& line : HistoryLines()) lines.push_back(line.substr(line.find(L",\"")));
    std::vector<std::wstring> onPlayer = ListFolder(L"E:\\Music", true);
    for (auto* list : {&lines, &history, &onPlayer, &landed}) std::sort(list->begin(), list->end());
    std::sort(log.begin(), log.end());
    std::sort(wantLog.begin(), wantLog.end());
    EXPECT_EQ(wantLog, log);
    EXPECT_EQ(history, lines);
    EXPECT_EQ(landed, onPlayer) << "nothing but the songs: no partial copy, no stray name";
    for (const auto& c : cases) {
        EXPECT_TRUE(c.second != copied || c.first == big || SameContent(c.first, destOf(c.first))) << Narrow(c.first);
    }
    EXPECT_TRUE(BigFile(destOf(big), false));
    EXPECT_TRUE(::GetFileAttributesW(Src(L"ro.mp3").c_str()) & FILE_ATTRIBUTE_READONLY) << "the source is untouched";
    ::SetFileAttributesW(Src(L"ro.mp3").c_str(), FILE_ATTRIBUTE_NORMAL);
}
