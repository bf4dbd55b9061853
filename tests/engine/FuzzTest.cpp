// Damaged stored files: device.id, Quavercart.ini, Settings.ini and the
// history mutated from a fixed seed, each case followed by what a start and a
// transfer's search do with them. QC_FUZZ_CASES sets the number of cases (CI
// runs a few hundred); QC_FUZZ_SECONDS bounds the run.

#include "EngineSupport.h"
#include "store/AppPaths.h"
#include "store/Settings.h"
#include "store/TransferHistory.h"
#include "store/StoreTestSupport.h"

#include <gtest/gtest.h>
#include <algorithm>
#include <atomic>
#include <cstdio>
#include <cstdlib>
#include <random>
#include <thread>

using namespace qctest;

namespace {

constexpr DWORD kCaseLimitMs = 3000;
enum Target { kDeviceId, kDeviceIni, kSettingsIni, kHistory, kTargets };
const char* const kTargetNames[] = {"device.id", "Quavercart.ini", "Settings.ini", "TransferredFiles.dat"};

std::string Encode(const std::wstring& text, bool mark = true) {
    std::string bytes = mark ? std::string("\xFF\xFE", 2) : std::string();
    for (wchar_t ch : text) {
        bytes += static_cast<char>(ch & 0xFF);
        bytes += static_cast<char>(ch >> 8);
    }
    return bytes;
}

// One mutation of the file's bytes; `how` says which, for the failure message.
std::string Mutate(std::string bytes, std::mt19937& rng, std::string& how, bool& folder) {
    auto pick = [&](size_t n) { return n ? static_cast<size_t>(rng() % n) : 0; };
    const std::wstring text = Utf16LeToWide(bytes.size() > 2 ? bytes.substr(2) : std::string());
    switch (rng() % 9) {
    case 0: {
        int flips = 1 + static_cast<int>(rng() % 8);
        how = "flip " + std::to_string(flips) + " bytes";
        for (int i = 0; i < flips && !bytes.empty(); ++i) bytes[pick(bytes.size())] ^= static_cast<char>(1 + rng() % 255);
        return bytes;
    }
    case 1: {
        const size_t lengths[] = {0, 1, 2, 3, bytes.size() - 1, pick(bytes.size()), pick(bytes.size()) | 1};
        size_t length = lengths[pick(7)];
        how = "truncate to " + std::to_string(length);
        return bytes.substr(0, length);
    }
    case 2: {
        const char* const forms[] = {"no mark", "FE FF", "UTF-8 with its mark", "UTF-8"};
        int form = static_cast<int>(rng() % 4);
        how = forms[form];
        if (form == 0) return bytes.size() > 2 ? bytes.substr(2) : std::string();
        if (form == 1) return "\xFE\xFF" + (bytes.size() > 2 ? bytes.substr(2) : std::string());
        std::string utf8 = form == 2 ? "\xEF\xBB\xBF" : "";
        return utf8 + Narrow(text);
    }
    case 3: {
        int count = 1 + static_cast<int>(rng() % 4);
        how = "insert " + std::to_string(count) + " NULs";
        for (int i = 0; i < count; ++i) bytes.insert(pick(bytes.size() + 1), rng() % 2 ? 2 : 1, '\0');
        return bytes;
    }
    case 4: {
        // A line of 10,000 characters, at the start of a line or inside one.
        const wchar_t alphabet[] = L"abcXYZ019,\"=[]\\ .\x3042\x0e01";
        std::wstring line(10000, L'a');
        for (wchar_t& ch : line) ch = alphabet[pick(sizeof alphabet / sizeof *alphabet - 1)];
        size_t at = rng() % 2 ? text.find(L'\n', pick(text.size())) : pick(text.size());
        at = at == std::wstring::npos ? text.size() : at + (rng() % 2);
        how = "10,000 characters at " + std::to_string(at);
        return Encode(text.substr(0, std::min(at, text.size())) + line + L"\r\n" +
                      text.substr(std::min(at, text.size())));
    }
    case 5: {
        const wchar_t* const huge[] = {L"2147483647", L"4294967295", L"99999999999999999999", L"-1",
                                       L"18446744073709551616", L"1e9"};
        std::wstring changed = text;
        const wchar_t* value = huge[pick(6)];
        how = "huge numbers " + Narrow(value);
        for (const wchar_t* key : {L"Count=", L"Margin=", L"SizeType=", L","}) {
            for (size_t at = changed.find(key); at != std::wstring::npos; at = changed.find(key, at + 1)) {
                size_t from = at + ::lstrlenW(key), to = from;
                while (to < changed.size() && changed[to] >= L'0' && changed[to] <= L'9') ++to;
                if (to > from) changed.replace(from, to - from, value);
            }
        }
        return Encode(changed);
    }
    case 6:
        how = "a folder";
        folder = true;
        return bytes;
    case 7: {
        size_t length = pick(600);
        how = "random " + std::to_string(length) + " bytes";
        std::string random(length, '\0');
        for (char& b : random) b = static_cast<char>(rng());
        return rng() % 2 ? random : bytes.substr(0, 2) + random;
    }
    default: {
        std::string first, second;
        bytes = Mutate(bytes, rng, first, folder);
        if (folder) {
            how = first;
            return bytes;
        }
        bytes = Mutate(bytes, rng, second, folder);
        how = first + ", then " + second;
        return bytes;
    }
    }
}

// What the user meant by a device settings file, as the settings dialog reads it.
std::vector<std::wstring> Pairs(const std::wstring& deviceIni) {
    CSettingsModel model;
    model.LoadExtensionSettingsFrom(deviceIni.c_str());
    std::vector<std::wstring> pairs;
    for (const CExtensionPair& pair : model.pairs) pairs.push_back(pair.extension + L"|" + pair.destination);
    return pairs;
}

bool IsFolder(const std::wstring& path) {
    DWORD attributes = ::GetFileAttributesW(path.c_str());
    return attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY);
}

void Remove(const std::wstring& path) {
    if (!::DeleteFileW(path.c_str())) DeleteTree(path);
}

unsigned EnvNumber(const char* name, unsigned fallback) {
    const char* text = std::getenv(name);
    return text && *text ? static_cast<unsigned>(std::strtoul(text, nullptr, 10)) : fallback;
}

// A case that does not end in time would keep CTest waiting; this ends the
// program with the case named instead.
class CWatchdog {
public:
    CWatchdog() : m_thread([this] { Watch(); }) {}
    ~CWatchdog() {
        m_stop = true;
        m_thread.join();
    }
    void Begin(const std::string& what) {
        m_what = what;
        m_start = ::GetTickCount();
        m_running = true;
    }
    void End() { m_running = false; }

private:
    void Watch() {
        while (!m_stop) {
            ::Sleep(100);
            if (m_running && ::GetTickCount() - m_start > 20 * kCaseLimitMs) {
                std::fprintf(stderr, "fuzz: hung for %lu ms: %s\n", ::GetTickCount() - m_start, m_what.c_str());
                std::fflush(stderr);
                std::_Exit(3);
            }
        }
    }
    std::atomic<bool> m_stop{false}, m_running{false};
    std::atomic<DWORD> m_start{0};
    std::string m_what;
    std::thread m_thread;
};

} // namespace

TEST(StoredFileFuzz, DamagedFilesWorkOrFailWithTheirMessage) {
    const unsigned cases = EnvNumber("QC_FUZZ_CASES", 300);
    const DWORD boundMs = EnvNumber("QC_FUZZ_SECONDS", 60) * 1000;
    ResetPlayer();
    DeleteTree(kSourceRoot);
    MakeDirs(kSourceRoot);
    ASSERT_TRUE(MakeFile(Src(L"Album\\a.mp3"), 1000));
    ASSERT_TRUE(MakeFile(Src(L"b.wma"), 2000));
    wchar_t appData[MAX_PATH] = L"";
    ::SHGetFolderPathW(nullptr, CSIDL_APPDATA, nullptr, SHGFP_TYPE_CURRENT, appData);
    std::string base[kTargets];
    base[kDeviceId].assign("\x00\x11\x22\x33\x44\x55\x66\x77\x88\x99\xAA\xBB\xCC\xDD\xEE\xFF", 16);
    ASSERT_TRUE(WriteBytes(L"E:\\Quavercart\\device.id", base[kDeviceId]));
    std::wstring historyPath;
    ASSERT_TRUE(GetHistoryFilePath(historyPath));
    const std::wstring computer = historyPath.substr(0, historyPath.rfind(L'\\'));
    const std::wstring paths[kTargets] = {L"E:\\Quavercart\\device.id", DeviceIniPath(), Join(computer, L"Settings.ini"),
                                          historyPath};
    base[kDeviceIni] = Encode(L"[Settings]\r\nExtCount=3\r\nExt1=\"mp3\"\r\nPath1=\"Music\"\r\nExt2=\"wma\"\r\n"
                              L"Path2=\"Music\\Other\"\r\nExt3=\"MP3\"\r\nPath3=\"Else\"\r\n"
                              L"[DiskSpace]\r\nSizeType=2\r\nMargin=0\r\n");
    base[kSettingsIni] = Encode(L"[Settings]\r\nAllFolders=0\r\nMyMusic=0\r\nDeskTop=0\r\nSelectedFolders=1\r\n"
                                L"FolderCount=2\r\nFolder1=\"" + Src(L"Album") + L"\"\r\nFolder2=\"" +
                                std::wstring(kSourceRoot) + L"\"\r\n");
    base[kHistory] = Encode(L"20070314093005,4194304,\"C:\\Data\\Music\\song.mp3\"\r\n"
                            L"20070314093006,12,\"C:\\Data\\Live, 2006\\x.mp3\"\r\n");

    std::mt19937 rng(12);
    CWatchdog watchdog;
    CRecorder recorder;
    unsigned done = 0, failedStarts = 0, failedSearches = 0;
    DWORD slowest = 0;
    const DWORD begin = ::GetTickCount();
    for (; done < cases && ::GetTickCount() - begin < boundMs; ++done) {
        for (int t = 0; t < kTargets; ++t) {
            Remove(paths[t]);
            ASSERT_TRUE(WriteBytes(paths[t], base[t])) << kTargetNames[t];
        }
        const Target target = static_cast<Target>(rng() % kTargets);
        std::string how;
        bool folder = false;
        const std::string bytes = Mutate(base[target], rng, how, folder);
        Remove(paths[target]);
        if (folder) {
            ASSERT_TRUE(MakeDirs(Join(paths[target], L"inside")));
        } else {
            ASSERT_TRUE(WriteBytes(paths[target], bytes));
        }
        const std::string what = "case " + std::to_string(done) + ": " + kTargetNames[target] + ", " + how;
        SCOPED_TRACE(what);
        watchdog.Begin(what);
        const DWORD start = ::GetTickCount();
        const std::vector<std::wstring> pairsBefore = Pairs(paths[kDeviceIni]);
        std::string iniBefore, iniAfter;
        ReadBytes(paths[kDeviceIni], iniBefore);

        // The start: identity, then the device settings.
        int firstContact = 0;
        bool started = true;
        if (target == kDeviceId && folder) {
            storetest::BoxSeen box = storetest::RunAnsweringMessageBox(
                [&] { started = InitDeviceIdentityAt(L"E:\\", appData, firstContact); });
            EXPECT_EQ(L"Failed to read the file. \nFile name: device.id", box.text);
        } else {
            started = InitDeviceIdentityAt(L"E:\\", appData, firstContact);
        }
        EXPECT_EQ(!(target == kDeviceId && folder), started);
        std::wstring copy;
        if (started) InitDeviceSettingsAt(paths[kDeviceIni].c_str(), ComputerPathAt(L"E:\\", appData, kDeviceIniName, copy)
                                                                            ? copy.c_str() : nullptr);
        // The settings dialog's reading.
        CSettingsModel model;
        model.LoadFolderSettingsFrom(paths[kSettingsIni].c_str());
        EXPECT_LE(model.folders.size(), static_cast<size_t>(kMaxSearchFolders));
        model.LoadExtensionSettingsFrom(paths[kDeviceIni].c_str());

        // A transfer's search.
        // On this thread, the answer to a box given ahead.
        CTestThread worker;
        worker.BindReceiver(&recorder);
        ::SetEvent(recorder.GetAnswerEvent());
        worker.ResetTransferState();
        recorder.messages.clear();
        unsigned searched = started && worker.SearchFiles() ? 0 : 1;
        ::ResetEvent(recorder.GetAnswerEvent());
        recorder.Pump(1);
        const DWORD took = ::GetTickCount() - start;
        watchdog.End();
        slowest = std::max(slowest, took);
        EXPECT_LT(took, kCaseLimitMs);
        failedStarts += started ? 0 : 1;
        if (started) {
            std::vector<LPARAM> boxes;
            for (const Posted& p : recorder.messages) {
                if (p.message == WM_APP_MESSAGE_BOX) boxes.push_back(p.lParam);
            }
            if (searched != 0) {
                ++failedSearches;
                // Only a damaged history or extension table fails a search,
                // the history with its box, the table without one.
                EXPECT_TRUE(target == kHistory || target == kDeviceIni) << recorder.Describe();
                EXPECT_EQ(1, worker.GetErrorFlg());
                EXPECT_EQ(target == kHistory ? 1u : 0u, boxes.size()) << recorder.Describe();
                if (target == kHistory) {
                    EXPECT_NE(std::string::npos, recorder.Describe().find("File name: TransferredFiles.dat"));
                }
            } else {
                EXPECT_TRUE(boxes.empty()) << recorder.Describe();
            }
        }

        // Nothing the user keeps was rewritten into something else.
        for (int t = 0; t < kTargets; ++t) {
            if (t == target && folder) {
                EXPECT_TRUE(IsFolder(paths[t])) << kTargetNames[t];
                continue;
            }
            if (t == kDeviceIni) continue;
            std::string now;
            // A changed identity makes another computer folder: its files are new.
            if (target == kDeviceId && t >= kSettingsIni) continue;
            EXPECT_TRUE(ReadBytes(paths[t], now) && now == (t == target ? bytes : base[t])) << kTargetNames[t];
        }
        // Untouched, or meaning the same pairs. (The platform reads a UTF-16
        // file cut inside a character differently from one time to the next.)
        if (!(target == kDeviceIni && folder) && !(ReadBytes(paths[kDeviceIni], iniAfter) && iniAfter == iniBefore)) {
            EXPECT_EQ(pairsBefore, Pairs(paths[kDeviceIni]));
        }

        // A history that loads takes the next song's line so that it loads again.
        if (target == kHistory && !folder && searched == 0) {
            CTransferFile record;
            record.SetTimeStamp(L"20240301120000");
            record.SetFileSize(77);
            record.SetPath(L"C:\\Music\\new.mp3");
            CTransferHistory before, after;
            ASSERT_TRUE(before.LoadHistoryFileAt(historyPath.c_str()));
            ASSERT_TRUE(AppendHistoryAt(historyPath.c_str(), record));
            std::string now;
            ASSERT_TRUE(ReadBytes(historyPath, now));
            EXPECT_TRUE(after.LoadHistoryFileAt(historyPath.c_str()));
            // Every line that loaded before loads as it was, and the new one with it.
            std::vector<std::wstring> want, got;
            for (const auto& e : before.GetEntries()) want.push_back(FormatHistoryLine(*e.second));
            want.push_back(FormatHistoryLine(record));
            for (const auto& e : after.GetEntries()) got.push_back(FormatHistoryLine(*e.second));
            std::sort(want.begin(), want.end());
            std::sort(got.begin(), got.end());
            EXPECT_TRUE(want == got)
                << Narrow(Utf16LeToWide(now));
        }
        if (HasFailure()) break;
        if (target == kDeviceId) DeleteTree(Join(appData, L"Quavercart"));
    }
    std::printf("fuzz: %u cases in %lu ms (seed 12), %u starts and %u searches failed as designed, slowest %lu ms\n",
                done, ::GetTickCount() - begin, failedStarts, failedSearches, slowest);
    EXPECT_GE(done, std::min(cases, 50u)) << "too few cases within the time bound";
}
