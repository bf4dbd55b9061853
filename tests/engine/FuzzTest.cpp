// Damaged stored files: device.id, Quavercart.ini, Settings.ini and the
// history mutated from a fixed seed, each case followed by what a start and a
// transfer's search do with them. QC_FUZZ_CASES sets the number of cases (CI
// runs a few hundred); QC_FUZZ_SECONDS bounds the run.

#include "EngineSupport.h"
#include "store/Settings.h"
#include "store/StoreTestSupport.h"

#include <gtest/gtest.h>
#include <algorithm>
#include <atomic>
#include <cstdio>
#include <cstdlib>
#include <random>
#include <set>
#include <thread>

using namespace qctest;
using storetest::WithMark;

namespace {

constexpr DWORD kCaseLimitMs = 3000;
enum Target { kDeviceId, kDeviceIni, kSettingsIni, kHistory, kTargets };

// One mutation of a file's bytes, named in `how`; with `folder` a folder takes the file's place.
std::string Mutate(const std::string& bytes, std::mt19937& rng, std::string& how, bool& folder) {
    const char* const names[] = {"flip bytes", "truncate", "encoding", "insert NULs", "10,000 characters at",
                                 "huge numbers", "a folder", "random bytes"};
    const wchar_t* const huge[] = {L"2147483647", L"4294967295", L"99999999999999999999", L"-1", L"18446744073709551616", L"1e9"};
    const wchar_t alphabet[] = L"abcXYZ019,\"=[]\\ .\x3042\x0e01";
    auto pick = [&](size_t n) { return n ? static_cast<size_t>(rng() % n) : size_t{0}; };
    const std::string body = bytes.size() > 2 ? bytes.substr(2) : std::string();
    std::wstring text = Utf16LeToWide(body), line(10000, L'a');
    std::string out = bytes, first, second;
    const unsigned kind = rng() % 9;
    size_t n = 0, lengths[] = {0, 1, 2, 3, out.size() - 1, pick(out.size()), pick(out.size()) | 1};  // n: for the message
    switch (kind) {
    case 0:
        for (int i = 1 + rng() % 8; i-- > 0 && !out.empty();) out[n = pick(out.size())] ^= static_cast<char>(1 + rng() % 255);
        break;
    case 1: out.resize(n = std::min(out.size(), lengths[pick(7)])); break;  // a cut inside the last character among them
    case 2:  // no mark, FE FF, UTF-8 with its mark, UTF-8
        out = (n = rng() % 4) == 0 ? body : n == 1 ? "\xFE\xFF" + body : (n == 2 ? "\xEF\xBB\xBF" : "") + Narrow(text);
        break;
    case 3: for (int i = 1 + rng() % 4; i-- > 0;) out.insert(n = pick(out.size() + 1), 1 + rng() % 2, '\0'); break;
    case 4:  // at the start of a line or inside one
        for (wchar_t& ch : line) ch = alphabet[pick(sizeof alphabet / sizeof *alphabet - 1)];
        n = rng() % 2 ? text.find(L'\n', pick(text.size())) : pick(text.size());
        out = WithMark(text.insert(n = std::min(n == std::wstring::npos ? n : n + rng() % 2, text.size()), line + L"\r\n"));
        break;
    case 5:  // each number after these keys, and in the history's lines
        n = pick(6);
        for (const std::wstring key : {L"Count=", L"Margin=", L"SizeType=", L","}) {
            for (size_t at = text.find(key), to; at != std::wstring::npos; at = text.find(key, at)) {
                to = std::min(text.find_first_not_of(L"0123456789", at += key.size()), text.size());
                if (to > at) text.replace(at, to - at, huge[n]);
            }
        }
        out = WithMark(text);
        break;
    case 6: folder = true; break;
    case 7:
        for (char& b : out.assign(n = pick(600), '\0')) b = static_cast<char>(rng());
        if (rng() % 2) out = bytes.substr(0, 2) + out;
        break;
    default:  // two of them
        out = Mutate(bytes, rng, first, folder);
        if (!folder) out = Mutate(out, rng, second, folder);
        return how = first + ", then " + second, out;
    }
    return how = names[kind] + (" " + std::to_string(n)), out;
}

// What the user meant by a device settings file, as the settings dialog reads it.
std::vector<std::wstring> Pairs(const std::wstring& deviceIni) {
    CSettingsModel model;
    std::vector<std::wstring> pairs;
    model.LoadExtensionSettingsFrom(deviceIni.c_str());
    for (const CExtensionPair& pair : model.pairs) pairs.push_back(pair.extension + L"|" + pair.destination);
    return pairs;
}

// The lines of a history file as it loads, and one more record's.
std::multiset<std::wstring> Lines(const std::wstring& path, const CTransferFile* more = nullptr) {
    CTransferHistory history;
    std::multiset<std::wstring> lines;
    if (more) lines.insert(FormatHistoryLine(*more));
    if (!history.LoadHistoryFileAt(path.c_str())) lines.insert(L"(does not load)");
    for (const auto& entry : history.GetEntries()) lines.insert(FormatHistoryLine(*entry.second));
    return lines;
}

} // namespace

TEST(StoredFileFuzz, DamagedFilesWorkOrFailWithTheirMessage) {
    auto env = [](const char* name, unsigned fallback) {
        const char* text = std::getenv(name);
        return text && *text ? static_cast<unsigned>(std::strtoul(text, nullptr, 10)) : fallback;
    };
    auto remove = [](const std::wstring& path) { ::DeleteFileW(path.c_str()) || DeleteTree(path); };
    const unsigned cases = env("QC_FUZZ_CASES", 300), boundMs = env("QC_FUZZ_SECONDS", 60) * 1000;
    const std::wstring appData = ResetPlayer().appData;
    ASSERT_TRUE(MakeFile(Src(L"Album\\a.mp3"), 1000) && MakeFile(Src(L"b.wma"), 2000));
    // The identity first: the per-computer folder is named after it.
    const std::string identity("\x00\x11\x22\x33\x44\x55\x66\x77\x88\x99\xAA\xBB\xCC\xDD\xEE\xFF", 16);
    ASSERT_TRUE(WriteBytes(L"E:\\Quavercart\\device.id", identity));
    const std::wstring history = HistoryPath(), paths[kTargets] = {
        L"E:\\Quavercart\\device.id", DeviceIniPath(), Join(history.substr(0, history.rfind(L'\\')), L"Settings.ini"), history};
    const std::string base[kTargets] = {
        identity,
        WithMark(L"[Settings]\r\nExtCount=3\r\nExt1=\"mp3\"\r\nPath1=\"Music\"\r\nExt2=\"wma\"\r\nPath2=\"Music\\Other\"\r\n"
                 L"Ext3=\"MP3\"\r\nPath3=\"Else\"\r\n[DiskSpace]\r\nSizeType=2\r\nMargin=0\r\n"),
        WithMark(L"[Settings]\r\nAllFolders=0\r\nMyMusic=0\r\nDeskTop=0\r\nSelectedFolders=1\r\nFolderCount=2\r\n"
                 L"Folder1=\"" + Src(L"Album") + L"\"\r\nFolder2=\"" + kSourceRoot + L"\"\r\n"),
        WithMark(L"20070314093005,4194304,\"C:\\Data\\Music\\song.mp3\"\r\n"
                 L"20070314093006,12,\"C:\\Data\\Live, 2006\\x.mp3\"\r\n")};

    // A case that hangs would keep CTest waiting to its own limit; this ends the program with the case named.
    std::atomic<DWORD> caseStart{0};
    std::atomic<bool> over{false};
    std::string what;
    std::thread watchdog([&] {
        for (DWORD start; !over; ::Sleep(100)) {
            if ((start = caseStart) != 0 && ::GetTickCount() - start > 20 * kCaseLimitMs) {
                std::fprintf(stderr, "fuzz: hung: %s\n", what.c_str()), std::fflush(stderr), std::_Exit(3);
            }
        }
    });
    struct CJoin { std::atomic<bool>& over; std::thread& thread; ~CJoin() { over = true, thread.join(); } } join{over, watchdog};

    std::mt19937 rng(12);
    CRecorder recorder;
    unsigned done = 0, failed = 0;
    const DWORD begin = ::GetTickCount();
    for (; done < cases && ::GetTickCount() - begin < boundMs; ++done) {
        for (int t = 0; t < kTargets; ++t) ASSERT_TRUE((remove(paths[t]), WriteBytes(paths[t], base[t]))) << Narrow(paths[t]);
        const int target = static_cast<int>(rng() % kTargets);
        std::string how, iniBefore, iniAfter, now;
        std::wstring copy;
        bool folder = false;
        const std::string bytes = Mutate(base[target], rng, how, folder);
        remove(paths[target]);
        ASSERT_TRUE(folder ? MakeDirs(Join(paths[target], L"inside")) : WriteBytes(paths[target], bytes));
        what = "case " + std::to_string(done) + ": " + Narrow(paths[target]) + ", " + how;
        caseStart = ::GetTickCount();
        SCOPED_TRACE(what);
        const std::vector<std::wstring> pairsBefore = Pairs(paths[kDeviceIni]);
        ReadBytes(paths[kDeviceIni], iniBefore);

        // The start: the identity (a folder in its place fails it with its box), then the device settings.
        int firstContact = 0;
        bool started = true;
        auto start = [&] { started = InitDeviceIdentityAt(L"E:\\", appData.c_str(), firstContact); };
        const bool boxed = target == kDeviceId && folder;
        const std::wstring box = boxed ? storetest::RunAnsweringMessageBox(start).text : (start(), L"");
        EXPECT_EQ(boxed ? Text(IDS_READ_FAILED, kDeviceIdName) : "", Narrow(box));
        EXPECT_EQ(!boxed, started);
        const bool copied = started && ComputerPathAt(L"E:\\", appData.c_str(), kDeviceIniName, copy);
        if (started) InitDeviceSettingsAt(paths[kDeviceIni].c_str(), copied ? copy.c_str() : nullptr);
        CSettingsModel model;  // as the settings dialog reads the folders
        model.LoadFolderSettingsFrom(paths[kSettingsIni].c_str());
        EXPECT_LE(model.folders.size(), static_cast<size_t>(kMaxSearchFolders));

        // A transfer's search, the answer to its box given ahead. Only a damaged history (with its box) or
        // extension table (without one) fails it; nothing else but lines is posted.
        CTestThread worker;
        worker.BindReceiver(&recorder);
        ::SetEvent(recorder.GetAnswerEvent());
        recorder.messages.clear();
        const bool searched = started && worker.SearchFiles();
        ::ResetEvent(recorder.GetAnswerEvent());
        recorder.Pump(1);
        EXPECT_LT(::GetTickCount() - caseStart.exchange(0), kCaseLimitMs);
        failed += searched ? 0 : 1;
        if (started) {
            EXPECT_TRUE(searched || target == kHistory || target == kDeviceIni) << recorder.Describe();
            EXPECT_EQ(searched ? 0 : 1, worker.GetErrorFlg());
            EXPECT_EQ(!searched && target == kHistory ? Box(IDS_READ_FAILED, kHistoryFileName) : "",
                      recorder.Describe(WM_APP_LOG_LINE));
        }

        // Nothing the user keeps was rewritten into something else. A changed identity makes another
        // computer folder: its files are new.
        for (int t = 0; t < kTargets; ++t) {
            if (t == target && folder) {
                EXPECT_TRUE(FileExists(Join(paths[t], L"inside"))) << Narrow(paths[t]);
            } else if (t != kDeviceIni && !(target == kDeviceId && t >= kSettingsIni)) {
                EXPECT_TRUE(ReadBytes(paths[t], now) && now == (t == target ? bytes : base[t])) << Narrow(paths[t]);
            }
        }
        // Untouched, or meaning the same pairs. (The platform reads a UTF-16
        // file cut inside a character differently from one time to the next.)
        if (!(target == kDeviceIni && folder) && !(ReadBytes(paths[kDeviceIni], iniAfter) && iniAfter == iniBefore)) {
            EXPECT_EQ(pairsBefore, Pairs(paths[kDeviceIni]));
        }

        // A history that loads takes the next song's line so that every line loads again as it was.
        if (target == kHistory && !folder && searched) {
            CTransferFile record;
            record.SetTimeStamp(L"20240301120000"), record.SetFileSize(77), record.SetPath(L"C:\\Music\\new.mp3");
            const std::multiset<std::wstring> before = Lines(history, &record);
            ASSERT_TRUE(AppendHistoryAt(history.c_str(), record));
            EXPECT_TRUE(before == Lines(history)) << (ReadBytes(history, now), Narrow(Utf16LeToWide(now)));
        }
        if (HasFailure()) break;
        if (target == kDeviceId) DeleteTree(Join(appData, L"Quavercart"));
    }
    std::printf("fuzz: %u cases in %lu ms (seed 12), %u failed as designed\n", done, ::GetTickCount() - begin, failed);
    EXPECT_GE(done, std::min(cases, 50u)) << "too few cases within the time bound";
}
