#include "EngineSupport.h"
#include "engine/CopyRules.h"

#include <gtest/gtest.h>
#include <cstdlib>

using namespace qctest;

namespace {

class CopyTest : public ::testing::Test {
protected:
    void SetUp() override { ResetPlayer(), SetFreeSpaceMargin(0, 0); }
    void TearDown() override { ResetPlayer(); }  // names only this program's locale spells go with it
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

// Every kind of path at the limits and every failure of a copy in one
// transfer, each song found in order of its stamp: each lands whole under its
// own name or fails with its line and box alone, and only its own. The next
// transfer tries the failed songs again, with the folder-error mark cleared.
TEST_F(CopyTest, EachSongLandsWholeOrFailsAloneWithItsLineAndBox) {
    // The host mounts E:\ReadOnly read-only for this program (root is not stopped by permissions).
    const char* state = std::getenv("QC_READONLY_FOLDER");
    if (!state || std::string(state) != "mounted") GTEST_SKIP() << "no read-only folder could be mounted";
    // .mp3 lands at the length of its source (E:\Music, C:\qcsrc), .wma three characters longer; E:\Blocked is a file.
    const wchar_t* settings[][2] = {{L"ExtCount", L"4"}, {L"Path2", L"Music\\wm"}, {L"Ext3", L"ogg"}, {L"Path3", L"ReadOnly"},
                                    {L"Ext4", L"aac"}, {L"Path4", L"Blocked\\sub"}};
    for (const auto& k : settings) WriteDeviceSetting(L"Settings", k[0], k[1]);
    SearchOnly({kSourceRoot});
    ULARGE_INTEGER free = {};
    ASSERT_TRUE(::GetDiskFreeSpaceExW(L"E:\\", &free, nullptr, nullptr) && free.QuadPart > 3 * kBigSize);
    enum Kind { kCopied, kUnsearched, kNoDest, kFails };
    struct Row {
        Row(std::wstring s, Kind k, UINT l = 0, UINT b = 0, Fault sf = Fault::kNone, Fault df = Fault::kNone, std::wstring n = L"")
            : source(s), kind(k), line(l), box(b), sourceFault(sf), destFault(df), boxName(n) {}
        UINT Line() const { return kind == kCopied ? IDS_LINE_COMPLETE : kind == kNoDest ? IDS_LINE_CREATE_FAILED : line; }
        std::wstring source;
        Kind kind;
        UINT line, box;
        Fault sourceFault, destFault;
        std::wstring boxName;
    };
    const std::wstring renamed = SourceOfLength(258, L"r", L".mp3"), big = Src(L"big.mp3");
    const Row rows[] = {
        {SourceOfLength(259, L"s", L".mp3"), kCopied}, {SourceOfLength(260, L"s", L".mp3"), kUnsearched, IDS_LINE_READ_FAILED},
        {SourceOfLength(261, L"s", L".mp3"), kUnsearched, IDS_LINE_READ_FAILED}, {SourceOfLength(256, L"d", L".wma"), kCopied},
        {SourceOfLength(257, L"d", L".wma"), kNoDest, 0, IDS_DEST_UNWRITABLE},
        {SourceOfLength(258, L"d", L".wma"), kNoDest, 0, IDS_DEST_UNWRITABLE},
        {Src(L"\u4E2D\u6587\\\u6D41\u884C\u6B4C\u66F2.mp3"), kCopied},                      // Chinese
        {Src(L"\u65E5\u672C\u8A9E\\\u3055\u304F\u3089 \u30B5\u30AF\u30E9.mp3"), kCopied},  // Japanese
        {Src(L"\u0E44\u0E17\u0E22\\\u0E40\u0E1E\u0E25\u0E07.mp3"), kCopied},               // Thai
        {Src(L"\u041A\u0438\u0440\u0438\u043B\u043B\u0438\u0446\u0430\\\u041F\u0435\u0441\u043D\u044F.wma"), kCopied},
        {Src(L"\U0001D11E\\\U0001F600 \U0001D11E.mp3"), kCopied},  // surrogate pairs in the folder and the name
        {Src(L"ro.mp3"), kCopied}, {Src(L"empty.mp3"), kCopied},
        {Src(std::wstring(243, L'd') + L"\\a.mp3"), kCopied},  // no room for the partial name: written under its own
        {Src(L"missing.mp3"), kFails, IDS_LINE_READ_FAILED, IDS_SOURCE_MISSING},
        {Src(L"size.mp3"), kFails, IDS_LINE_READ_FAILED, IDS_SOURCE_MISSING, Fault::kSizeFails, Fault::kNone},
        {Src(L"read.mp3"), kFails, IDS_LINE_READ_FAILED, IDS_SOURCE_IN_USE, Fault::kReadFails, Fault::kNone},
        {Src(L"shrank.mp3"), kFails, IDS_LINE_READ_FAILED, IDS_SOURCE_IN_USE, Fault::kShrinks, Fault::kNone},
        {Src(L"write.mp3"), kFails, IDS_LINE_CREATE_FAILED, IDS_DEST_UNWRITABLE, Fault::kNone, Fault::kWriteFails},
        {Src(L"short.mp3"), kFails, IDS_LINE_CREATE_FAILED, IDS_DEST_UNWRITABLE, Fault::kNone, Fault::kShortWrite},
        // The player goes away: its partial copy stays until the next copy into that folder replaces it.
        {Src(L"vanish.mp3"), kFails, IDS_LINE_CREATE_FAILED, IDS_DEST_UNWRITABLE, Fault::kNone, Fault::kVanishes},
        {Src(L"after.mp3"), kCopied},
        // Its name is taken: renamed "(02)", 263 characters.
        {renamed, kFails, IDS_LINE_CREATE_FAILED, IDS_DEST_UNWRITABLE, Fault::kNone, Fault::kNone,
         NameOf(renamed).insert(NameOf(renamed).size() - 4, L" (02)")},
        // Before the folder that cannot be made, that one, and after it.
        {Src(L"c.ogg"), kFails, IDS_LINE_CREATE_FAILED, IDS_DEST_UNWRITABLE},
        {Src(L"a.aac"), kFails, IDS_LINE_FOLDER_FAILED, IDS_DEST_UNWRITABLE},
        {Src(L"b.ogg"), kFails, IDS_LINE_FOLDER_FAILED, IDS_DEST_UNWRITABLE},
        {big, kCopied},  // past 4 GiB, its stamp the newest
    };
    auto destOf = [](const std::wstring& source) {
        return (source.back() == L'3' ? L"E:\\Music" : L"E:\\Music\\wm") + source.substr(::lstrlenW(kSourceRoot));
    };
    std::vector<std::wstring> landed{destOf(renamed)}, history, lines;
    std::vector<std::string> wanted, outcomes;
    std::vector<const Row*> copies;  // the songs in the order their copies begin
    for (const Row& r : rows) {
        const SYSTEMTIME when = Utc(2007, 1, 1, 0, 0, static_cast<WORD>(&r - rows));
        const ULONGLONG size = r.kind == kFails ? 5 * 65536 : r.source == Src(L"empty.mp3") ? 0 : 70000;
        ASSERT_TRUE(r.source == big ? BigFile(big, true) : MakeFile(r.source, size, &when)) << Narrow(r.source);
        if (r.kind == kCopied) landed.push_back(destOf(r.source)), history.push_back(L",\"" + r.source + L"\"");
        if (r.kind == kCopied || r.kind == kFails) copies.push_back(&r);
        wanted.push_back(Text(r.Line(), r.source));
        if (r.box) wanted.push_back(Text(r.box, r.boxName.empty() ? NameOf(r.source) : r.boxName));
    }
    ASSERT_TRUE(MakeFile(destOf(renamed), 1) && MakeFile(L"E:\\Blocked", 1));
    ASSERT_TRUE(::SetFileAttributesW(Src(L"ro.mp3").c_str(), FILE_ATTRIBUTE_READONLY));
    worker.faultAfter = 2 * 65536;
    worker.beforeCopy = [&](int i) {
        worker.sourceFault = copies[i]->sourceFault, worker.destFault = copies[i]->destFault;
        if (copies[i]->source == Src(L"missing.mp3")) ::DeleteFileW(Src(L"missing.mp3").c_str());
    };
    ASSERT_EQ(0u, RunTransfer(worker, rec, 600000)) << rec.Describe(WM_APP_SET_PROGRESS_POS);
    for (const Posted& p : rec.messages) {  // the walk's line for a source too long, else the outcome, and the boxes
        if ((p.message == WM_APP_LOG_LINE && (p.wParam == 1 || p.text.back() == L')')) || p.message == WM_APP_MESSAGE_BOX) {
            outcomes.push_back(Narrow(p.text));
        }
    }
    for (const std::wstring& line : HistoryLines()) lines.push_back(line.substr(line.find(L",\"")));
    std::vector<std::wstring> onPlayer = ListFolder(L"E:\\Music", true);
    for (auto* list : {&lines, &history, &onPlayer, &landed}) std::sort(list->begin(), list->end());
    std::sort(outcomes.begin(), outcomes.end());
    std::sort(wanted.begin(), wanted.end());
    EXPECT_EQ(wanted, outcomes);
    EXPECT_EQ(history, lines);
    EXPECT_EQ(landed, onPlayer) << "nothing but the songs: no partial copy, no stray name";
    for (const Row& r : rows) {
        EXPECT_TRUE(r.kind != kCopied || r.source == big || SameContent(r.source, destOf(r.source))) << Narrow(r.source);
    }
    EXPECT_TRUE(BigFile(destOf(big), false));
    EXPECT_TRUE(::GetFileAttributesW(Src(L"ro.mp3").c_str()) & FILE_ATTRIBUTE_READONLY) << "the source is untouched";
    ::SetFileAttributesW(Src(L"ro.mp3").c_str(), FILE_ATTRIBUTE_NORMAL);
    EXPECT_TRUE(ListFolder(L"E:\\ReadOnly").empty());

    // The folder can be made now; the mark of the last transfer is gone.
    ::DeleteFileW(L"E:\\Blocked");
    worker.beforeCopy = nullptr;
    worker.sourceFault = worker.destFault = Fault::kNone;
    rec.messages.clear();
    ASSERT_EQ(0u, RunTransfer(worker, rec, 600000));
    const std::string log = rec.Describe();
    const std::pair<const wchar_t*, UINT> again[] = {
        {L"c.ogg", IDS_LINE_CREATE_FAILED}, {L"a.aac", IDS_LINE_COMPLETE}, {L"b.ogg", IDS_LINE_CREATE_FAILED}, {L"write.mp3", IDS_LINE_COMPLETE}};
    for (const auto& a : again) EXPECT_NE(std::string::npos, log.find(Line(1, a.second, Src(a.first)))) << Narrow(a.first);
}
