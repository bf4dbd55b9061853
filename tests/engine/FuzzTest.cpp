// Damaged stored files: Quavercart.ini, Settings.ini and the
// history mutated from a fixed seed, each case followed by what a transfer's
// search does with them. QC_FUZZ_CASES sets the number of cases (CI runs a few
// hundred); a case that hangs is failed by CTest's timeout.

#include "EngineSupport.h"
#include "store/StoreTestSupport.h"

#include <gtest/gtest.h>
#include <algorithm>
#include <cstdlib>
#include <random>

using namespace qctest;
using storetest::WithMark;

namespace {

enum Target { kDeviceIni, kSettingsIni, kHistory, kTargets };

// One mutation of a file's bytes; with `folder` a folder takes the file's place.
std::string Mutate(const std::string& bytes, std::mt19937& rng, bool& folder) {
    const wchar_t* const huge[] = {L"2147483647", L"4294967295", L"99999999999999999999", L"-1", L"18446744073709551616", L"1e9"};
    const wchar_t alphabet[] = L"abcXYZ019,\"=[]\\ .\x3042\x0e01";
    auto pick = [&](size_t n) { return n ? static_cast<size_t>(rng() % n) : size_t{0}; };
    const std::string body = bytes.size() > 2 ? bytes.substr(2) : std::string();
    std::wstring text = Utf16LeToWide(body), line(10000, L'a');
    std::string out = bytes;
    size_t n = 0, lengths[] = {0, 1, 2, 3, out.size() - 1, pick(out.size()), pick(out.size()) | 1};
    switch (rng() % 7) {
    case 0:
        for (int i = 1 + rng() % 8; i-- > 0;) out[pick(out.size())] ^= static_cast<char>(1 + rng() % 255);
        break;
    case 1: out.resize(std::min(out.size(), lengths[pick(7)])); break;  // a cut inside the last character among them
    case 2:  // no mark, FE FF, UTF-8 with its mark, UTF-8
        out = (n = rng() % 4) == 0 ? body : n == 1 ? "\xFE\xFF" + body : (n == 2 ? "\xEF\xBB\xBF" : "") + Narrow(text);
        break;
    case 3: for (int i = 1 + rng() % 4; i-- > 0;) out.insert(pick(out.size() + 1), 1 + rng() % 2, '\0'); break;
    case 4:  // at the start of a line or inside one
        for (wchar_t& ch : line) ch = alphabet[pick(sizeof alphabet / sizeof *alphabet - 1)];
        n = rng() % 2 ? text.find(L'\n', pick(text.size())) : pick(text.size());
        out = WithMark(text.insert(std::min(n == text.npos ? n : n + rng() % 2, text.size()), line + L"\r\n"));
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
    default: folder = true; break;
    }
    return out;
}

} // namespace

TEST(StoredFileFuzz, DamagedFilesWorkOrFailWithTheirMessage) {
    auto remove = [](const std::wstring& path) { ::DeleteFileW(path.c_str()) || DeleteTree(path); };
    const char* casesText = std::getenv("QC_FUZZ_CASES");
    const unsigned cases = casesText && *casesText ? static_cast<unsigned>(std::strtoul(casesText, nullptr, 10)) : 300;
    ResetPlayer();
    ASSERT_TRUE(MakeFile(Src(L"Album\\a.mp3"), 1000) && MakeFile(Src(L"b.wma"), 2000));
    const std::wstring history = HistoryPath(), paths[kTargets] = {
        DeviceIniPath(), Join(history.substr(0, history.rfind(L'\\')), L"Settings.ini"), history};
    const std::string base[kTargets] = {
        WithMark(L"[Settings]\r\nExtCount=3\r\nExt1=\"mp3\"\r\nPath1=\"Music\"\r\nExt2=\"wma\"\r\nPath2=\"Music\\Other\"\r\n"
                 L"Ext3=\"MP3\"\r\nPath3=\"Else\"\r\n[DiskSpace]\r\nSizeType=2\r\nMargin=0\r\n"),
        WithMark(L"[Settings]\r\nAllFolders=0\r\nMyMusic=0\r\nDeskTop=0\r\nSelectedFolders=1\r\nFolderCount=2\r\n"
                 L"Folder1=\"" + Src(L"Album") + L"\"\r\nFolder2=\"" + kSourceRoot + L"\"\r\n"),
        WithMark(L"20070314093005,4194304,\"C:\\Data\\Music\\song.mp3\"\r\n"
                 L"20070314093006,12,\"C:\\Data\\Live, 2006\\x.mp3\"\r\n")};

    std::mt19937 rng(12);
    CRecorder recorder;
    for (unsigned done = 0; done < cases; ++done) {
        for (int t = 0; t < kTargets; ++t) ASSERT_TRUE((remove(paths[t]), WriteBytes(paths[t], base[t]))) << Narrow(paths[t]);
        const int target = static_cast<int>(rng() % kTargets);
        std::string now;
        bool folder = false;
        const std::string bytes = Mutate(base[target], rng, folder);
        remove(paths[target]);
        ASSERT_TRUE(folder ? MakeDirs(Join(paths[target], L"inside")) : WriteBytes(paths[target], bytes));
        SCOPED_TRACE("case " + std::to_string(done) + ": " + Narrow(paths[target]));

        // A transfer's search, the answer to its box given ahead. Only a damaged history (with its box) or
        // extension table (without one) fails it; nothing else but lines is posted.
        CTestThread worker;
        worker.BindReceiver(&recorder);
        ::SetEvent(recorder.GetAnswerEvent());
        recorder.messages.clear();
        const bool searched = worker.SearchFiles();
        recorder.Pump(1);
        EXPECT_TRUE(searched || target != kSettingsIni);
        EXPECT_EQ(searched ? 0 : 1, worker.GetErrorFlg());
        EXPECT_EQ(!searched && target == kHistory ? Box(IDS_READ_FAILED, kHistoryFileName) : "",
                  recorder.Describe(WM_APP_LOG_LINE));

        // Nothing the user keeps was rewritten into something else.
        for (int t = 0; t < kTargets; ++t) {
            if (t == target && folder) {
                EXPECT_TRUE(FileExists(Join(paths[t], L"inside"))) << Narrow(paths[t]);
            } else if (t != kDeviceIni) {
                EXPECT_TRUE(ReadBytes(paths[t], now) && now == (t == target ? bytes : base[t])) << Narrow(paths[t]);
            }
        }
        if (HasFailure()) break;
    }
}
