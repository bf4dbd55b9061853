// Damaged stored files: device.id, Quavercart.ini, Settings.ini and the
// history mutated from a fixed seed, each case followed by what a start and a
// transfer's search do with them. QC_FUZZ_CASES sets the number of cases (CI
// runs a few hundred); QC_FUZZ_SECONDS bounds the run.

#include "EngineSupport.h"
#include "store/AppPaths.h"
#include "store/Settings.h"
#include "store/StoreTestSupport.h"
#include "store/TransferHistory.h"

#include <gtest/gtest.h>
#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <random>

using namespace qctest;

namespace {

enum Target { kDeviceId, kDeviceIni, kSettingsIni, kHistory, kTargets };
const char* const kTargetNames[] = {"device.id", "Quavercart.ini", "Settings.ini", "TransferredFiles.dat"};

std::string Encode(const std::wstring& text, const std::string& mark = "\xFF\xFE") {
    std::string bytes = mark;
    for (wchar_t ch : text) bytes += {static_cast<char>(ch & 0xFF), static_cast<char>(ch >> 8)};
    return bytes;
}

// One mutation of the file's bytes; `how` says which, for the failure message.
std::string Mutate(std::string bytes, std::mt19937& rng, std::string& how, bool& folder) {
    auto pick = [&](size_t n) { return n ? static_cast<size_t>(rng() % n) : 0; };
    const std::string body = bytes.size() > 2 ? bytes.substr(2) : std::string();
    std::wstring text = Utf16LeToWide(body);
    switch (rng() % 9) {
    case 0:
        how = "flipped bytes";
        for (int i = 1 + pick(8); i > 0 && !bytes.empty(); --i) bytes[pick(bytes.size())] ^= 1 + pick(255);
        return bytes;
    case 1: {
        const size_t lengths[] = {0, 1, 2, 3, bytes.size() - 1, pick(bytes.size()), pick(bytes.size()) | 1};
        bytes.resize(std::min(bytes.size(), lengths[pick(7)]));
        how = "cut to " + std::to_string(bytes.size());
        return bytes;
    }
    case 2: {
        const std::string forms[] = {body, "\xFE\xFF" + body, "\xEF\xBB\xBF" + Narrow(text), Narrow(text)};
        const size_t form = pick(4);
        how = "encoding " + std::to_string(form);
        return forms[form];
    }
    case 3:
        how = "NULs";
        for (int i = 1 + pick(4); i > 0; --i) bytes.insert(pick(bytes.size() + 1), 1 + pick(2), '\0');
        return bytes;
    case 4: {
        // A line of 10,000 characters, at the start of a line or inside one.
        const wchar_t alphabet[] = L"abcXYZ019,\"=[]\\ .\x3042\x0e01";
        std::wstring line(10000, L'a');
        for (wchar_t& ch : line) ch = alphabet[pick(sizeof alphabet / sizeof *alphabet - 1)];
        size_t at = std::min(text.size(), rng() % 2 ? text.find(L'\n', pick(text.size())) + 1 : pick(text.size()));
        how = "10,000 characters at " + std::to_string(at);
        return Encode(text.insert(at, line + L"\r\n"));
    }
    case 5: {
        const wchar_t* const huge[] = {L"2147483647", L"4294967295", L"99999999999999999999", L"-1",
                                       L"18446744073709551616", L"1e9"};
        const wchar_t* value = huge[pick(6)];
        how = "huge numbers " + Narrow(value);
        for (const wchar_t* key : {L"Count=", L"Margin=", L"SizeType=", L","}) {
            for (size_t at = text.find(key); at != std::wstring::npos; at = text.find(key, at + 1)) {
                size_t from = at + ::lstrlenW(key), to = from;
                while (to < text.size() && text[to] >= L'0' && text[to] <= L'9') ++to;
                if (to > from) text.replace(from, to - from, value);
            }
        }
        return Encode(text);
    }
    case 6:
        how = "a folder";
        folder = true;
        return bytes;
    case 7: {
        std::string random(pick(600), '\0');
        for (char& b : random) b = static_cast<char>(rng());
        how = "random " + std::to_string(random.size()) + " bytes";
        return rng() % 2 ? random : bytes.substr(0, 2) + random;
    }
    default: {
        std::string second;
        bytes = Mutate(bytes, rng, how, folder);
        if (folder) return bytes;
        bytes = Mutate(bytes, rng, second, folder);
        how += ", then " + second;
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

std::vector<std::wstring> HistoryOf(const std::wstring& path, bool& loaded) {
    CTransferHistory history;
    loaded = history.LoadHistoryFileAt(path.c_str());
    std::vector<std::wstring> lines;
    for (const auto& e : history.GetEntries()) lines.push_back(FormatHistoryLine(*e.second));
    std::sort(lines.begin(), lines.end());
    return lines;
}

unsigned EnvNumber(const char* name, unsigned fallback) {
    const char* text = std::getenv(name);
    return text && *text ? static_cast<unsigned>(std::strtoul(text, nullptr, 10)) : fallback;
}

} // namespace

TEST(StoredFileFuzz, DamagedFilesWorkOrFailWithTheirMessage) {
    const unsigned cases = EnvNumber("QC_FUZZ_CASES", 300);
    const DWORD boundMs = EnvNumber("QC_FUZZ_SECONDS", 60) * 1000, begin = ::GetTickCount();
    ResetPlayer();
    ASSERT_TRUE(MakeFile(Src(L"Album\\a.mp3"), 1000) && MakeFile(Src(L"b.wma"), 2000));
    wchar_t appData[MAX_PATH] = L"";
    ::SHGetFolderPathW(nullptr, CSIDL_APPDATA, nullptr, SHGFP_TYPE_CURRENT, appData);
    const std::string base[kTargets] = {
        std::string("\x00\x11\x22\x33\x44\x55\x66\x77\x88\x99\xAA\xBB\xCC\xDD\xEE\xFF", 16),
        Encode(L"[Settings]\r\nExtCount=3\r\nExt1=\"mp3\"\r\nPath1=\"Music\"\r\nExt2=\"wma\"\r\n"
               L"Path2=\"Music\\Other\"\r\nExt3=\"MP3\"\r\nPath3=\"Else\"\r\n[DiskSpace]\r\nSizeType=2\r\nMargin=0\r\n"),
        Encode(L"[Settings]\r\nAllFolders=0\r\nMyMusic=0\r\nDeskTop=0\r\nSelectedFolders=1\r\nFolderCount=2\r\n"
               L"Folder1=\"" + Src(L"Album") + L"\"\r\nFolder2=\"" + kSourceRoot + L"\"\r\n"),
        Encode(L"20070314093005,4194304,\"C:\\Data\\Music\\song.mp3\"\r\n"
               L"20070314093006,12,\"C:\\Data\\Live, 2006\\x.mp3\"\r\n")};

    ASSERT_TRUE(WriteBytes(L"E:\\Quavercart\\device.id", base[kDeviceId]));  // the computer folder follows it
    const std::wstring history = HistoryPath(), computer = history.substr(0, history.rfind(L'\\'));
    const std::wstring paths[kTargets] = {L"E:\\Quavercart\\device.id", DeviceIniPath(),
                                          Join(computer, L"Settings.ini"), history};

    std::mt19937 rng(12);
    CRecorder recorder;
    unsigned done = 0, failedSearches = 0;
    for (; done < cases && ::GetTickCount() - begin < boundMs && !::testing::Test::HasFailure(); ++done) {
        for (int t = 0; t < kTargets; ++t) {
            if (!::DeleteFileW(paths[t].c_str())) DeleteTree(paths[t]);
            ASSERT_TRUE(WriteBytes(paths[t], base[t])) << kTargetNames[t];
        }
        const int target = static_cast<int>(rng() % kTargets);
        std::string how, iniBefore, now;
        bool folder = false;
        const std::string bytes = Mutate(base[target], rng, how, folder);
        ::DeleteFileW(paths[target].c_str());
        ASSERT_TRUE(folder ? MakeDirs(Join(paths[target], L"inside")) : WriteBytes(paths[target], bytes));
        SCOPED_TRACE("case " + std::to_string(done) + ": " + kTargetNames[target] + ", " + how);
        const std::vector<std::wstring> pairsBefore = Pairs(paths[kDeviceIni]);
        ReadBytes(paths[kDeviceIni], iniBefore);

        // The start: identity (a folder in its place shows its box), then the device settings.
        int firstContact = 0;
        bool started = true;
        storetest::BoxSeen box = storetest::RunAnsweringMessageBox(
            [&] { started = InitDeviceIdentityAt(L"E:\\", appData, firstContact); }, folder ? 5000 : 0);
        EXPECT_EQ(target == kDeviceId && folder, !started);
        EXPECT_EQ(started ? "" : Text(IDS_READ_FAILED, L"device.id"), Narrow(box.text));
        std::wstring copy;
        if (started) {
            InitDeviceSettingsAt(paths[kDeviceIni].c_str(),
                                 ComputerPathAt(L"E:\\", appData, kDeviceIniName, copy) ? copy.c_str() : nullptr);
        }
        CSettingsModel model;
        model.LoadFolderSettingsFrom(paths[kSettingsIni].c_str());
        EXPECT_LE(model.folders.size(), static_cast<size_t>(kMaxSearchFolders));

        // A transfer's search on this thread, the answer to a box given ahead.
        CTestThread worker;
        worker.BindReceiver(&recorder);
        ::SetEvent(recorder.GetAnswerEvent());
        recorder.messages.clear();
        const bool searched = started && worker.SearchFiles();
        ::ResetEvent(recorder.GetAnswerEvent());
        recorder.Pump(1);
        if (started && !searched) {
            ++failedSearches;
            // Only a damaged history or extension table fails a search, the history with its box.
            EXPECT_TRUE(target == kHistory || target == kDeviceIni) << recorder.Describe();
            EXPECT_EQ(1, worker.GetErrorFlg());
            EXPECT_EQ(target == kHistory ? Box(IDS_READ_FAILED, kHistoryFileName) : "", recorder.Describe());
        } else if (started) {
            EXPECT_EQ(0, recorder.Count(WM_APP_MESSAGE_BOX)) << recorder.Describe();
        }

        // Nothing the user keeps was rewritten into something else; a changed
        // identity makes another computer folder, whose files are new.
        for (int t = 0; t < kTargets; ++t) {
            if (t == kDeviceIni || (t == target && folder) || (target == kDeviceId && t >= kSettingsIni)) continue;
            EXPECT_TRUE(ReadBytes(paths[t], now) && now == (t == target ? bytes : base[t])) << kTargetNames[t];
        }
        // Untouched, or meaning the same pairs. (The platform reads a UTF-16
        // file cut inside a character differently from one time to the next.)
        if (!(target == kDeviceIni && folder) && !(ReadBytes(paths[kDeviceIni], now) && now == iniBefore)) {
            EXPECT_EQ(pairsBefore, Pairs(paths[kDeviceIni]));
        }
        // A history that loads takes the next song's line so that it loads again, every line as it was.
        if (target == kHistory && !folder && searched) {
            CTransferFile record;
            record.SetTimeStamp(L"20240301120000");
            record.SetFileSize(77);
            record.SetPath(L"C:\\Music\\new.mp3");
            bool before = false, after = false;
            std::vector<std::wstring> want = HistoryOf(history, before);
            want.push_back(FormatHistoryLine(record));
            std::sort(want.begin(), want.end());
            ASSERT_TRUE(before && AppendHistoryAt(history.c_str(), record));
            EXPECT_TRUE(want == HistoryOf(history, after) && after);
        }
        if (target == kDeviceId) DeleteTree(Join(appData, L"Quavercart"));
    }
    std::printf("fuzz: %u cases in %lu ms (seed 12), %u searches failed as designed\n", done,
                ::GetTickCount() - begin, failedSearches);
    EXPECT_GE(done, std::min(cases, 50u)) << "too few cases within the time bound";
}
