#include "EngineSupport.h"

#include <gtest/gtest.h>
#include <cstdlib>

using namespace qctest;

namespace {

std::wstring NameOf(const std::wstring& path) { return path.substr(path.rfind(L'\\') + 1); }

// A source path of exactly `length` characters below C:\qcsrc\<tag>, no component longer than 200.
std::wstring SourceOfLength(size_t length, const std::wstring& tag, const std::wstring& ext) {
    return Src(tag + L"\\" + std::wstring(length - 112 - ext.size(), L'd') + L"\\" + std::wstring(100, L'n') + ext);
}

// Past 4 GiB, sparse on the host, with a mark at its end; `when` makes it, else the mark is read.
constexpr ULONGLONG kBigSize = (4ull << 30) + 65536 + 17;
bool BigFile(const std::wstring& path, const SYSTEMTIME* when) {
    CHandle file(::CreateFileW(path.c_str(), when ? GENERIC_WRITE : GENERIC_READ, 0, nullptr,
                               when ? CREATE_ALWAYS : OPEN_EXISTING, 0, nullptr));
    LARGE_INTEGER at{{static_cast<DWORD>(kBigSize - 16), 1}}, size{};
    char mark[17] = "0123456789abcdef";
    DWORD done = 0;
    FILETIME ft;
    return file && ::SetFilePointerEx(file.Get(), at, nullptr, FILE_BEGIN) &&
           (when ? ::WriteFile(file.Get(), mark, 16, &done, 0) : ::ReadFile(file.Get(), mark, 16, &done, 0)) &&
           done == 16 && std::string(mark) == "0123456789abcdef" && ::GetFileSizeEx(file.Get(), &size) &&
           size.QuadPart == static_cast<LONGLONG>(kBigSize) &&
           (!when || (::SystemTimeToFileTime(when, &ft) && ::SetFileTime(file.Get(), nullptr, nullptr, &ft)));
}

enum Kind { kCopied, kLeftOut, kUnsearched, kNoDest, kFails };
struct Row {
    std::wstring source;
    Kind kind;
    UINT line = 0, box = 0;
    Fault sourceFault = Fault::kNone, destFault = Fault::kNone;
    std::wstring boxName = {};  // when not the source's own
};

} // namespace

// Every kind of song the search meets, every path at the limits and every
// failure of a copy in one transfer, in the order of their stamps: each is
// left out, or lands whole under its own name and in the history, or fails
// with its line and box alone. The next transfer tries the failed songs
// again, with the mark of a folder that could not be made cleared.
TEST(Copy, EachSongIsLeftOutOrLandsWholeOrFailsAloneWithItsLineAndBox) {
    // The host mounts E:\ReadOnly read-only for this program (root is not stopped by permissions).
    const char* state = std::getenv("QC_READONLY_FOLDER");
    if (!state || std::string(state) != "mounted") GTEST_SKIP() << "no read-only folder could be mounted";
    struct CCleanup { ~CCleanup() { ResetPlayer(); } } cleanup;  // names only this program's locale spells go with it
    ResetPlayer();
    // .mp3 lands at the length of its source (E:\Music, C:\qcsrc), .wma three characters longer; E:\Blocked is a
    // file; the first pair of an extension wins. Of the folders, E:\Backup is on the player, the third is no drive
    // path and the fourth is beyond the count: songs found through them would land elsewhere or twice.
    const wchar_t* settings[][2] = {{L"ExtCount", L"5"}, {L"Path2", L"\"Music\\wm\""}, {L"Ext3", L"\"OGG\""},
                                    {L"Path3", L"ReadOnly"}, {L"Ext4", L"aac"}, {L"Path4", L"Blocked\\sub"},
                                    {L"Ext5", L"MP3"}, {L"Path5", L"Other"}};
    for (const auto& k : settings) WriteDeviceSetting(L"Settings", k[0], k[1]);
    SearchOnly({L"E:\\Backup", kSourceRoot, L"\\\\?\\" + Src(L"x"), Src(L"x")});
    WriteComputerSetting(L"FolderCount", L"3");
    // The history names these by another letter case, and with other stamps, sizes or a longer path. The stamps
    // are local times (this program runs with TZ=Europe/Berlin), each with the offset in force at its time.
    std::wstring chain, history = L"20070101010000,70000,\"" + Src(L"KNOWN.MP3") + L"\"\r\n";
    for (const wchar_t* other : {L"20070101000001,70000,touched.mp3", L"20070101010002,69999,grown.mp3",
                                 L"20070101010003,70000,new.mp33"}) {
        history += std::wstring(other, 21) + L"\"" + Src(other + 21) + L"\"\r\n";
    }
    for (int i = 0; i < 120; ++i) chain += L"c\\";
    ASSERT_TRUE(WriteUtf16File(HistoryPath(), history));
    const std::wstring renamed = SourceOfLength(258, L"r", L".mp3"), big = Src(L"big.mp3"), missing = Src(L"gone.mp3");
    const UINT kRead = IDS_LINE_READ_FAILED, kCreate = IDS_LINE_CREATE_FAILED, kUnwritable = IDS_DEST_UNWRITABLE;
    const Row rows[] = {
        {Src(L"known.mp3"), kLeftOut}, {Src(L"touched.mp3"), kCopied}, {Src(L"grown.mp3"), kCopied},
        {Src(L"new.mp3"), kCopied}, {Src(L"song.mp3.txt"), kLeftOut},
        {Src(L"x\\y.mp3"), kCopied}, {L"E:\\Backup\\p.mp3", kLeftOut},
        {Src(L"Hidden\\inside.mp3"), kLeftOut}, {Src(L"system.mp3"), kLeftOut},
        {Src(L"Artist\\Album\\Song.MP3"), kCopied}, {Src(chain + L"a.mp3"), kCopied},  // 121 folders deep
        {SourceOfLength(259, L"s", L".mp3"), kCopied}, {SourceOfLength(260, L"s", L".mp3"), kUnsearched, kRead},
        {SourceOfLength(256, L"d", L".wma"), kCopied},
        {SourceOfLength(257, L"d", L".wma"), kNoDest, kCreate, kUnwritable},
        // Chinese, Japanese, Thai and Cyrillic; surrogate pairs in the folder and the name.
        {Src(L"\u4E2D\u6587 \U0001D11E\\\u3055\u304F \u0E40\u0E1E\u0E25 \u041F\u0435\u0441 \U0001F600.mp3"), kCopied},
        {Src(L"ro.mp3"), kCopied}, {Src(L"empty.mp3"), kCopied},
        {Src(std::wstring(243, L'd') + L"\\a.mp3"), kCopied},  // no room for the partial name: written under its own
        {missing, kFails, kRead, IDS_SOURCE_MISSING},
        {Src(L"read.mp3"), kFails, kRead, IDS_SOURCE_IN_USE, Fault::kReadFails},
        {Src(L"shrank.mp3"), kFails, kRead, IDS_SOURCE_IN_USE, Fault::kShrinks},
        {Src(L"short.mp3"), kFails, kCreate, kUnwritable, Fault::kNone, Fault::kShortWrite},
        // The player goes away: its partial copy stays until the next copy into that folder replaces it.
        {Src(L"vanish.mp3"), kFails, kCreate, kUnwritable, Fault::kNone, Fault::kVanishes}, {Src(L"next.mp3"), kCopied},
        // Its name is taken: renamed "(02)", 263 characters.
        {renamed, kFails, kCreate, kUnwritable, Fault::kNone, Fault::kNone, NameOf(renamed).insert(100, L" (02)")},
        // Before the folder that cannot be made, that one, and after it.
        {Src(L"c.ogg"), kFails, kCreate, kUnwritable}, {Src(L"a.aac"), kFails, IDS_LINE_FOLDER_FAILED, kUnwritable},
        {Src(L"b.ogg"), kFails, IDS_LINE_FOLDER_FAILED, kUnwritable},
        {big, kCopied},  // past 4 GiB, its stamp the newest
    };
    auto destOf = [](const std::wstring& source) {
        return (source.back() == L'3' ? L"E:\\Music" : L"E:\\Music\\wm") + source.substr(::lstrlenW(kSourceRoot));
    };
    std::vector<std::wstring> landed{destOf(renamed)}, onPlayer;
    std::vector<std::string> wanted, outcomes;
    std::vector<const Row*> copies;  // the songs in the order their copies begin
    for (const Row& r : rows) {
        const WORD second = static_cast<WORD>(&r - rows), month = r.source == big ? 7 : 1;  // July: summer time
        const SYSTEMTIME when = Utc(2007, month, 1, 0, 0, second);
        const ULONGLONG size =
            r.source == big ? kBigSize : r.kind == kFails ? 5 * 65536 : r.source == Src(L"empty.mp3") ? 0 : 70000;
        ASSERT_TRUE(r.source == big ? BigFile(big, &when) : MakeFile(r.source, size, &when)) << Narrow(r.source);
        wchar_t line[40];
        ::wsprintfW(line, L"20070%u010%u00%02u,%I64u,\"", month, month == 7 ? 2 : 1, second, size);
        if (r.kind == kCopied) landed.push_back(destOf(r.source)), history += line + r.source + L"\"\r\n";
        if (r.kind == kCopied || r.kind == kFails) copies.push_back(&r);
        if (r.kind != kLeftOut) wanted.push_back(Text(r.kind == kCopied ? IDS_LINE_COMPLETE : r.line, r.source));
        if (r.box) wanted.push_back(Text(r.box, r.boxName.empty() ? NameOf(r.source) : r.boxName));
    }
    const std::pair<const wchar_t*, DWORD> attributes[] = {{L"Hidden", FILE_ATTRIBUTE_HIDDEN},
                                                           {L"ro.mp3", FILE_ATTRIBUTE_READONLY},
                                                           {L"system.mp3", FILE_ATTRIBUTE_SYSTEM}};
    for (const auto& a : attributes) ASSERT_TRUE(::SetFileAttributesW(Src(a.first).c_str(), a.second));
    ASSERT_TRUE(MakeFile(destOf(renamed), 1) && MakeFile(L"E:\\Blocked", 1));
    CTestThread worker;
    CRecorder rec;
    worker.faultAfter = 2 * 65536;
    worker.beforeCopy = [&](int i) {
        worker.sourceFault = copies[i]->sourceFault, worker.destFault = copies[i]->destFault;
        if (copies[i]->source == missing) ::DeleteFileW(missing.c_str());
    };
    ASSERT_EQ(0u, RunTransfer(worker, rec));
    for (const Posted& p : rec.messages) {  // the walk's line for a source too long, else the outcome, and the boxes
        bool outcome = p.message == WM_APP_LOG_LINE && (p.wParam == 1 || p.text.back() == L')');
        if (outcome || p.message == WM_APP_MESSAGE_BOX) outcomes.push_back(Narrow(p.text));
    }
    std::string recorded;
    ReadBytes(HistoryPath(), recorded);
    onPlayer = ListFolder(L"E:\\Music");
    for (auto* list : {&onPlayer, &landed}) std::sort(list->begin(), list->end());
    for (auto* list : {&outcomes, &wanted}) std::sort(list->begin(), list->end());
    EXPECT_EQ(wanted, outcomes);
    EXPECT_EQ(Narrow(history), Narrow(Utf16LeToWide(recorded.substr(2))));
    EXPECT_EQ(landed, onPlayer) << "nothing but the songs: no partial copy, no stray name";
    for (const Row& r : rows) {
        std::string source, copy;
        EXPECT_TRUE(r.kind != kCopied || r.source == big ||
                    (ReadBytes(r.source, source) && ReadBytes(destOf(r.source), copy) && source == copy)) << Narrow(r.source);
    }
    EXPECT_TRUE(BigFile(destOf(big), nullptr) && ListFolder(L"E:\\ReadOnly").empty());
    ::SetFileAttributesW(Src(L"ro.mp3").c_str(), FILE_ATTRIBUTE_NORMAL);

    // The folder can be made now; the mark of the last transfer is gone. The history, past the first size of the
    // index that matches it, keeps every song copied from being copied again as "x (02)".
    ::DeleteFileW(L"E:\\Blocked");
    CTestThread next;
    rec.messages.clear();
    ASSERT_EQ(0u, RunTransfer(next, rec));
    const std::string log = rec.Describe();
    const std::pair<const wchar_t*, UINT> again[] = {
        {L"c.ogg", kCreate}, {L"a.aac", IDS_LINE_COMPLETE}, {L"b.ogg", kCreate}, {L"short.mp3", IDS_LINE_COMPLETE}};
    for (const auto& a : again) EXPECT_NE(std::string::npos, log.find(Line(1, a.second, Src(a.first))));
    EXPECT_EQ(5, rec.messages.back().lParam) << "the failed songs of the first transfer, but for the missing one";
}
