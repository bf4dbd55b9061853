// A transfer of 10,000 small files in nested folders of My Music:
//  (a) the real program started from E: until its log ends with
//      "Transfer completed. 10000 song(s)", while the status window is probed
//      for its response time;
//  (b) the engine alone (the worker and a minimal hidden receiver) on the
//      same files into an emptied player.
// Target: (a) takes at most 1.5 times (b), and the window stays responsive.
//  (c) the transfer log's edit control alone, fed as the window feeds it and
//      in other ways, to tell its share of (a) (all ways: --log-edit N; the
//      final line on a log of N files: --final-line N).
//  (d) --long [N]: one transfer of N (100,000) tiny songs with long names by
//      the real program: its peak working set, and its log, whose lines
//      outgrow the edit's limit, still ending with the newest ones.
// The engine takes the drive of its own program for the player, so (b) runs
// in a copy of this program started from E:.
#include "common/MinimalReceiver.h"
#include "common/BenchFiles.h"
#include "engine/EngineSupport.h"
#include "support/Computer.h"
#include "support/Program.h"
#include "resource.h"

#include <psapi.h>
#include <shellapi.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <utility>
#include <vector>

using namespace qctest;

namespace {

constexpr int kArtists = 25, kAlbums = 8, kTracks = 50;  // 10,000 files
constexpr int kFiles = kArtists * kAlbums * kTracks;
const wchar_t kOnPlayer[] = L"E:\\bench_transfer.exe";
const wchar_t kEngineArg[] = L"--engine-alone";

double Now() {
    LARGE_INTEGER f, c;
    ::QueryPerformanceFrequency(&f);
    ::QueryPerformanceCounter(&c);
    return static_cast<double>(c.QuadPart) / static_cast<double>(f.QuadPart);
}

// Artist NN\Album NN (year)\NN - Track.mp3, 2 to 6 KiB, last-write times
// spread over some years so the order of the copy is a real sort.
bool MakeLibrary(const std::wstring& root) {
    std::string bytes(6144, '\0');
    for (size_t i = 0; i < bytes.size(); ++i) bytes[i] = static_cast<char>((i * 131) & 0xFF);
    int n = 0;
    for (int a = 0; a < kArtists; ++a) {
        std::wstring artist = Join(root, L"Artist " + std::to_wstring(a));
        for (int b = 0; b < kAlbums; ++b) {
            std::wstring album = Join(artist, L"Album " + std::to_wstring(b) + L" (" + std::to_wstring(2000 + b) + L")");
            if (!MakeDirs(album)) return false;
            for (int t = 0; t < kTracks; ++t, ++n) {
                wchar_t name[32];
                ::wsprintfW(name, L"%02d - Track %d.mp3", t + 1, n);
                CHandle file(::CreateFileW(Join(album, name).c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr));
                if (!file) return false;
                DWORD size = 2048 + static_cast<DWORD>((n * 97) % 4097), written = 0;
                if (!::WriteFile(file.Get(), bytes.data(), size, &written, nullptr) || written != size) return false;
                ULARGE_INTEGER when;
                when.QuadPart = 127000000000000000ull + static_cast<ULONGLONG>((n * 7919) % kFiles) * 30000000000ull;
                FILETIME ft = {when.LowPart, when.HighPart};
                ::SetFileTime(file.Get(), nullptr, nullptr, &ft);
            }
        }
    }
    return true;
}

int CountFiles(const std::wstring& folder) {
    int files = 0;
    WIN32_FIND_DATAW fd;
    HANDLE find = ::FindFirstFileW(Join(folder, L"*").c_str(), &fd);
    if (find == INVALID_HANDLE_VALUE) return 0;
    do {
        if (fd.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) {
            if (fd.cFileName[0] != L'.') files += CountFiles(Join(folder, fd.cFileName));
        } else {
            ++files;
        }
    } while (::FindNextFileW(find, &fd));
    ::FindClose(find);
    return files;
}

const wchar_t kMyMusicOnly[] = L"AllFolders=0\r\nMyMusic=1\r\nDeskTop=0\r\nSelectedFolders=0\r\n";

// Round trips of WM_NULL to the status window, one every ~20 ms, each with
// the phase it fell in, so a slow one can be placed.
struct Probes {
    std::vector<double> ms;
    std::vector<std::pair<double, std::pair<double, const char*>>> slow;  // ms, (seconds from start, phase)
    int unanswered = 0;  // no answer within 5 s
    void Probe(HWND window, double at, const char* phase) {
        DWORD_PTR result = 0;
        double t0 = Now();
        if (!::SendMessageTimeoutW(window, WM_NULL, 0, 0, SMTO_NORMAL, 5000, &result)) ++unanswered;
        ms.push_back((Now() - t0) * 1000.0);
        if (ms.back() > 50.0) slow.push_back({ms.back(), {at, phase}});
    }
    double Percentile(double p) const {
        if (ms.empty()) return 0;
        std::vector<double> sorted = ms;
        std::sort(sorted.begin(), sorted.end());
        return sorted[std::min(sorted.size() - 1, static_cast<size_t>(p * sorted.size()))];
    }
    void PrintSlow() const {
        std::vector<std::pair<double, std::pair<double, const char*>>> sorted = slow;
        std::sort(sorted.rbegin(), sorted.rend());
        int over100 = 0;
        for (const auto& s : slow) over100 += s.first > 100.0;
        std::printf("(a) probes over 50 ms: %zu, over 100 ms: %d; the longest:", slow.size(), over100);
        for (size_t i = 0; i < sorted.size() && i < 8; ++i) {
            std::printf(" %.0f ms at %.1f s (%s);", sorted[i].first, sorted[i].second.first, sorted[i].second.second);
        }
        std::printf("\n");
    }
};

// (a) The real program, from its start to the final line of its log.
double EndToEnd(const Computer& pc, Probes& probes, double& windowAt) {
    RunningProgram p;
    double t0 = Now();
    if (!p.Start(pc.program)) {
        std::printf("(a) the program did not start: %s\n", p.Failure().c_str());
        return -1;
    }
    windowAt = Now() - t0;
    const std::wstring final = L"Transfer completed. " + std::to_wstring(kFiles) + L" song(s)\r\n";
    bool started = false;
    double seconds = -1;
    // The log is read whole only once the Start button is back, so the bench
    // itself does not load the window while the transfer runs.
    const char* phase = "before the transfer";
    while (Now() - t0 < 1800) {
        probes.Probe(p.Status(), Now() - t0, phase);
        std::wstring button = uidrv::GetControlText(p.Status(), IDC_TRANSFER);
        if (button == L"&Stop transfer") started = true;
        phase = !started ? "before the transfer" : button == L"&Stop transfer" ? "transferring" : "after the end";
        if (started && button == L"&Start transfer") {
            std::wstring log = p.LogText();
            if (log.size() >= final.size() && log.compare(log.size() - final.size(), final.size(), final) == 0) {
                seconds = Now() - t0;
                break;
            }
            if (log.find(L"Transfer interrupted.") != std::wstring::npos ||
                log.find(L"Transfer canceled by user.") != std::wstring::npos) {
                std::printf("(a) the transfer did not complete: %s\n", Narrow(log.substr(log.size() > 300 ? log.size() - 300 : 0)).c_str());
                break;
            }
        }
        ::Sleep(20);
    }
    if (!p.ExitFromTray()) std::printf("(a) Exit from the tray did not end the program with 0\n");
    return seconds;
}

// (b) In the copy on E:: the worker on an emptied player, same settings.
int EngineAlone() {
    ResetBenchPlayer();
    WriteComputerSetting(L"AllFolders", L"0");
    WriteComputerSetting(L"MyMusic", L"1");
    WriteComputerSetting(L"DeskTop", L"0");
    WriteComputerSetting(L"SelectedFolders", L"0");
    CTransferThread worker;
    CMinimalReceiver receiver;
    double t0 = Now();
    if (worker.Start(&receiver) != 0) {
        std::printf("(b) the worker did not start\n");
        return 1;
    }
    receiver.PumpUntilEnded(worker.GetThreadHandle());
    double seconds = Now() - t0;
    int copied = CountFiles(L"E:\\Music");
    size_t history = HistoryLines().size();
    std::printf("(b) engine alone: %.2f s; %lld song(s) reported, %d on the player, %zu history lines, %d boxes\n",
                seconds, static_cast<long long>(receiver.completed), copied, history, receiver.boxes);
    // The parent reads the figure from here.
    std::printf("ENGINE_SECONDS %.6f\n", receiver.completed == kFiles && copied == kFiles ? seconds : -1.0);
    ResetBenchPlayer();
    return 0;
}

// Starts the copy on E: with its output on ours and returns its figure.
double RunEngineFromPlayer() {
    wchar_t self[MAX_PATH + 1];
    ::GetModuleFileNameW(nullptr, self, MAX_PATH + 1);
    if (!::CopyFileW(self, kOnPlayer, FALSE)) {
        std::printf("cannot copy the benchmark to the player E: (%lu)\n", ::GetLastError());
        return -1;
    }
    wchar_t temp[MAX_PATH + 1];
    ::GetTempPathW(MAX_PATH + 1, temp);
    std::wstring outPath = std::wstring(temp) + L"bench_transfer_engine.txt";
    SECURITY_ATTRIBUTES sa = {sizeof sa, nullptr, TRUE};
    CHandle out(::CreateFileW(outPath.c_str(), GENERIC_WRITE, FILE_SHARE_READ, &sa, CREATE_ALWAYS, 0, nullptr));
    std::wstring command = std::wstring(L"\"") + kOnPlayer + L"\" " + kEngineArg;
    STARTUPINFOW si = {};
    si.cb = sizeof si;
    si.dwFlags = STARTF_USESTDHANDLES;
    si.hStdInput = ::GetStdHandle(STD_INPUT_HANDLE);
    si.hStdOutput = out.Get();
    si.hStdError = out.Get();
    PROCESS_INFORMATION pi = {};
    if (!out || !::CreateProcessW(kOnPlayer, &command[0], nullptr, nullptr, TRUE, 0, nullptr, nullptr, &si, &pi)) {
        std::printf("cannot start the benchmark on the player (%lu)\n", ::GetLastError());
        return -1;
    }
    CHandle process(pi.hProcess), thread(pi.hThread);
    ::WaitForSingleObject(process.Get(), INFINITE);
    out.Reset();
    ::DeleteFileW(kOnPlayer);
    std::string text;
    ReadBytes(outPath, text);
    ::DeleteFileW(outPath.c_str());
    double seconds = -1;
    for (size_t start = 0; start < text.size();) {
        size_t end = text.find('\n', start);
        std::string line = text.substr(start, end == std::string::npos ? std::string::npos : end - start);
        if (line.rfind("ENGINE_SECONDS ", 0) == 0) {
            seconds = std::atof(line.c_str() + 15);
        } else if (!line.empty()) {
            std::printf("%s\n", line.c_str());
        }
        if (end == std::string::npos) break;
        start = end + 1;
    }
    return seconds;
}

// (c) The transfer log alone: a visible multi-line read-only edit of the
// window's size fed the two log operations of every file (the pending line,
// then its replacement), with the window's message sequence, so the cost of
// the edit itself can be told from the rest of the window.
enum class LogFeed { kAsTheWindow, kNoLineScroll, kPaintEvery100, kNoWordWrap, kAppendOnly, kBatched };
double g_split[3];
// The batched feed's flushes: one EM_REPLACESEL of 100 files and the scroll,
// as the window's timer does them; the last one on the longest log.
double g_longestFlush = 0, g_lastFlush = 0;
LRESULT g_flushLines = 0;

double FeedLogEdit(int files, LogFeed how, std::vector<double>* perThousand, double* finalLine = nullptr) {
    HWND frame = ::CreateWindowExW(0, L"STATIC", L"log", WS_POPUP | WS_CAPTION | WS_VISIBLE, 0, 0, 400, 200, nullptr,
                                   nullptr, nullptr, nullptr);
    HWND edit = ::CreateWindowExW(0, L"EDIT", L"",
                                  WS_CHILD | WS_VISIBLE | WS_BORDER | WS_VSCROLL | ES_MULTILINE | ES_READONLY |
                                      ES_AUTOVSCROLL | (how == LogFeed::kNoWordWrap ? ES_AUTOHSCROLL : 0),
                                  10, 10, 347, 146, frame, nullptr, nullptr, nullptr);
    ::SendMessageW(edit, WM_SETFONT, reinterpret_cast<WPARAM>(::GetStockObject(DEFAULT_GUI_FONT)), FALSE);
    ::SendMessageW(edit, EM_SETLIMITTEXT, 0xA00000, 0);
    auto pump = [] {
        MSG msg;
        while (::PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE)) ::DispatchMessageW(&msg);
    };
    int lastStart = 0;
    auto append = [&](const std::wstring& text, bool replace) {
        std::wstring line = text + L"\r\n";
        double a = Now();
        int length = ::GetWindowTextLengthW(edit);
        int start = replace ? lastStart : length;
        lastStart = start;
        double b = Now();
        ::SendMessageW(edit, EM_SETSEL, start, length);
        double c = Now();
        ::SendMessageW(edit, EM_REPLACESEL, FALSE, reinterpret_cast<LPARAM>(line.c_str()));
        double d = Now();
        g_split[0] += b - a;
        g_split[1] += c - b;
        g_split[2] += d - c;
        if (how != LogFeed::kNoLineScroll) {
            ::SendMessageW(edit, EM_LINESCROLL, 0, ::SendMessageW(edit, EM_GETLINECOUNT, 0, 0));
        }
    };
    // Batched: the log operations go into a text of their own (the pending
    // line replaced there) and reach the edit in one EM_REPLACESEL per 100 files.
    std::wstring batch;
    size_t batchLast = 0;
    auto flush = [&] {
        if (batch.empty()) return;
        double a = Now();
        g_flushLines = ::SendMessageW(edit, EM_GETLINECOUNT, 0, 0);
        int length = ::GetWindowTextLengthW(edit);
        double b = Now();
        ::SendMessageW(edit, EM_SETSEL, length, length);
        double c = Now();
        ::SendMessageW(edit, EM_REPLACESEL, FALSE, reinterpret_cast<LPARAM>(batch.c_str()));
        g_split[0] += b - a;
        g_split[1] += c - b;
        g_split[2] += Now() - c;
        ::SendMessageW(edit, EM_LINESCROLL, 0, ::SendMessageW(edit, EM_GETLINECOUNT, 0, 0));
        g_lastFlush = Now() - a;
        g_longestFlush = std::max(g_longestFlush, g_lastFlush);
        batch.clear();
    };
    auto add = [&](const std::wstring& text, bool replace) {
        if (!replace) batchLast = batch.size();
        batch.resize(batchLast);
        batch += text + L"\r\n";
    };
    double t0 = Now(), lap = t0;
    for (int n = 0; n < files; ++n) {
        std::wstring path = L"C:\\users\\root\\Music\\Artist " + std::to_wstring(n / 400) + L"\\Album " +
                            std::to_wstring(n / 50 % 8) + L" (2004)\\" + std::to_wstring(n % 50) + L" - Track " +
                            std::to_wstring(n) + L".mp3";
        if (how == LogFeed::kBatched) {
            add(L"Transferring " + path + L" ... ", false);
            add(L"Transferring " + path + L" ... Complete.", true);
            if (n % 100 == 99) flush();
            pump();
            continue;
        }
        if (how != LogFeed::kAppendOnly) append(L"Transferring " + path + L" ... ", false);
        append(L"Transferring " + path + L" ... Complete.", how != LogFeed::kAppendOnly);
        if (how != LogFeed::kPaintEvery100 || n % 100 == 99) pump();
        if (perThousand && n % 1000 == 999) {
            perThousand->push_back(Now() - lap);
            lap = Now();
        }
    }
    flush();
    pump();
    double seconds = Now() - t0;
    if (::GetWindowTextLengthW(edit) < files * 40) std::printf("(c) the log edit holds less than was written\n");
    if (finalLine) {
        // The end of a transfer as the window adds it: appended at the end
        // and scrolled there. Then, for comparison, the way it was once
        // added: the whole text read, the line added, the whole set back.
        const std::wstring last = L"Transfer completed. " + std::to_wstring(files) + L" song(s)\r\n";
        double t = Now();
        int length = ::GetWindowTextLengthW(edit);
        ::SendMessageW(edit, EM_SETSEL, length, length);
        ::SendMessageW(edit, EM_REPLACESEL, FALSE, reinterpret_cast<LPARAM>(last.c_str()));
        ::SendMessageW(edit, EM_LINESCROLL, 0, ::SendMessageW(edit, EM_GETLINECOUNT, 0, 0));
        pump();
        finalLine[0] = Now() - t;
        t = Now();
        std::wstring text(static_cast<size_t>(::GetWindowTextLengthW(edit)) + 1, L'\0');
        text.resize(static_cast<size_t>(::GetWindowTextW(edit, &text[0], static_cast<int>(text.size()))));
        text += last;
        ::SetWindowTextW(edit, text.c_str());
        ::SendMessageW(edit, EM_LINESCROLL, 0, ::SendMessageW(edit, EM_GETLINECOUNT, 0, 0));
        pump();
        finalLine[1] = Now() - t;
    }
    ::DestroyWindow(frame);
    return seconds;
}

void PrintSplit(const char* label, double seconds) {
    std::printf("(c)   %s: %.2f s (text length %.2f s, EM_SETSEL %.2f s, EM_REPLACESEL %.2f s)\n", label, seconds,
                g_split[0], g_split[1], g_split[2]);
    g_split[0] = g_split[1] = g_split[2] = 0;
}

// Every variant with `all`; otherwise the window's way, one append per file
// and the batched way.
void BenchLogEdit(int files, bool all) {
    g_split[0] = g_split[1] = g_split[2] = 0;
    std::vector<double> laps;
    double asWindow = FeedLogEdit(files, LogFeed::kAsTheWindow, &laps);
    std::printf("(c) log edit alone, %d files (a pending line and its replacement each), per 1000 files:", files);
    for (double lap : laps) std::printf(" %.2f s", lap);
    std::printf("\n");
    PrintSplit("as the window does", asWindow);
    if (all) {
        PrintSplit("without EM_LINESCROLL after each line", FeedLogEdit(files, LogFeed::kNoLineScroll, nullptr));
        PrintSplit("painting only every 100 files", FeedLogEdit(files, LogFeed::kPaintEvery100, nullptr));
        PrintSplit("without word wrap (ES_AUTOHSCROLL)", FeedLogEdit(files, LogFeed::kNoWordWrap, nullptr));
    }
    PrintSplit("one append per file, no pending line", FeedLogEdit(files, LogFeed::kAppendOnly, nullptr));
    PrintSplit("batched, one EM_REPLACESEL per 100 files", FeedLogEdit(files, LogFeed::kBatched, nullptr));
}

// (d) Song n of a long run: 100 per album, 10 albums per artist, names long
// enough that the log passes the edit's limit halfway through 100,000 songs.
std::wstring LongRunSong(const std::wstring& root, int n) {
    wchar_t rest[200];
    ::wsprintfW(rest, L"Artist %03d - A Performer With Quite A Long Name\\Album %d - A Collection Of Long Titles "
                      L"(%d)\\%03d - A Track Title Long Enough To Wrap %06d.mp3",
                n / 1000, n / 100 % 10, 1990 + n / 100 % 10, n % 100 + 1, n);
    return Join(root, rest);
}

int LongRun(int files) {
    Computer pc = ResetComputer();
    std::wstring computer = PrepareKnownPlayer(pc, kMyMusicOnly);
    double t0 = Now();
    for (int n = 0; n < files; ++n) {
        std::wstring path = LongRunSong(pc.myMusic, n);
        if (n % 100 == 0) MakeDirs(path.substr(0, path.rfind(L'\\')));
        CHandle file(::CreateFileW(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr));
        DWORD written = 0;
        // Rising last-write times: song n is copied n-th, the last one last.
        ULARGE_INTEGER when;
        when.QuadPart = 127000000000000000ull + static_cast<ULONGLONG>(n) * 20000000ull;
        FILETIME ft = {when.LowPart, when.HighPart};
        if (!file || !::WriteFile(file.Get(), "ID3", 3 + n % 2, &written, nullptr) ||
            !::SetFileTime(file.Get(), nullptr, nullptr, &ft)) {
            std::printf("(d) cannot make %s\n", Narrow(path).c_str());
            return 1;
        }
    }
    std::printf("(d) library: %d songs in My Music, made in %.1f s\n", files, Now() - t0);

    RunningProgram p;
    t0 = Now();
    if (!p.Start(pc.program, 120000)) {
        std::printf("(d) the program did not start: %s\n", p.Failure().c_str());
        return 1;
    }
    const std::wstring final = L"Transfer completed. " + std::to_wstring(files) + L" song(s)\r\n";
    std::wstring log;
    bool started = false, ended = false;
    SIZE_T largest = 0;
    while (Now() - t0 < 4 * 3600) {
        PROCESS_MEMORY_COUNTERS memory = {};
        memory.cb = sizeof memory;
        if (::GetProcessMemoryInfo(p.Process().Handle(), &memory, sizeof memory)) {
            largest = std::max(largest, memory.PeakWorkingSetSize);
        }
        std::wstring button = uidrv::GetControlText(p.Status(), IDC_TRANSFER);
        if (button == L"&Stop transfer") started = true;
        if (started && button == L"&Start transfer") {
            log = p.LogText();
            ended = log.size() >= final.size() && log.compare(log.size() - final.size(), final.size(), final) == 0;
            if (ended || log.find(L"Transfer interrupted.") != std::wstring::npos) break;
        }
        ::Sleep(1000);
    }
    const double seconds = Now() - t0;
    std::printf("(d) %s after %.1f s; peak working set of the program %.1f MiB\n",
                ended ? "transfer completed" : "NO completed transfer", seconds, largest / 1048576.0);
    // Newest last: the final line, then the last song's line; the log starts
    // on a whole line.
    std::vector<std::wstring> lines;
    for (size_t start = 0, end; (end = log.find(L"\r\n", start)) != std::wstring::npos; start = end + 2) {
        lines.push_back(log.substr(start, end - start));
    }
    const std::wstring newest = L"Transferring " + LongRunSong(pc.myMusic, files - 1) + L" ... Complete.";
    const bool newestShown = lines.size() >= 2 && lines[lines.size() - 2] == newest;
    const bool wholeFirst = !lines.empty() && lines[0].rfind(L"Transferring ", 0) == 0 &&
                            lines[0].size() > 14 && lines[0].compare(lines[0].size() - 14, 14, L" ... Complete.") == 0;
    std::printf("(d) log edit: %zu characters (limit %u), %zu lines, first line %s, newest song's line %s\n",
                log.size(), 0xA00000u, lines.size(), wholeFirst ? "whole" : "CUT",
                newestShown ? "shown before the final line" : "MISSING");
    if (!lines.empty()) std::printf("(d)   first line: %s\n", Narrow(lines[0]).c_str());
    std::string history;
    ReadBytes(Join(computer, L"TransferredFiles.dat"), history);
    std::wstring historyText = Utf16LeToWide(history);
    std::printf("(d) %d songs on the player, %zu history lines\n", CountFiles(L"E:\\Music"),
                static_cast<size_t>(std::count(historyText.begin(), historyText.end(), L'\n')));
    if (!p.ExitFromTray(120000)) std::printf("(d) Exit from the tray did not end the program with 0\n");
    ResetComputer();
    return ended && newestShown && wholeFirst ? 0 : 1;
}

} // namespace

int main() {
    int argc = 0;
    wchar_t** argv = ::CommandLineToArgvW(::GetCommandLineW(), &argc);
    if (argc > 1 && ::lstrcmpW(argv[1], kEngineArg) == 0) return EngineAlone();
    if (argc > 2 && ::lstrcmpW(argv[1], L"--final-line") == 0) {
        double finalLine[2] = {0, 0};
        double feed = FeedLogEdit(::_wtoi(argv[2]), LogFeed::kBatched, nullptr, finalLine);
        std::printf("(c) log of %d files fed batched in %.2f s; the final line as the window adds it (appended): "
                    "%.3f s; the whole text read and set back instead: %.3f s\n", ::_wtoi(argv[2]), feed,
                    finalLine[0], finalLine[1]);
        std::printf("(c) one flush of 100 files: the last, onto %ld lines, %.1f ms; the longest %.1f ms\n",
                    static_cast<long>(g_flushLines), g_lastFlush * 1000.0, g_longestFlush * 1000.0);
        return 0;
    }
    if (argc > 1 && ::lstrcmpW(argv[1], L"--long") == 0) return LongRun(argc > 2 ? ::_wtoi(argv[2]) : 100000);
    if (argc > 2 && ::lstrcmpW(argv[1], L"--log-edit") == 0) {
        BenchLogEdit(::_wtoi(argv[2]), true);
        return 0;
    }

    Computer pc = ResetComputer();
    std::wstring computer = PrepareKnownPlayer(pc, kMyMusicOnly);
    double t0 = Now();
    if (!MakeLibrary(pc.myMusic)) {
        std::printf("cannot make the library in My Music\n");
        return 1;
    }
    std::printf("library: %d files of 2 to 6 KiB in %d folders of My Music, made in %.1f s\n", CountFiles(pc.myMusic),
                kArtists * kAlbums + kArtists, Now() - t0);

    Probes probes;
    double windowAt = 0;
    double endToEnd = EndToEnd(pc, probes, windowAt);
    std::string history;
    ReadBytes(Join(computer, L"TransferredFiles.dat"), history);
    std::wstring historyText = Utf16LeToWide(history);
    size_t historyLines = std::count(historyText.begin(), historyText.end(), L'\n');
    std::printf("(a) end to end: %.2f s from the start of E:\\Quavercart.exe to the final log line "
                "(status window after %.2f s); %d files on the player, %zu history lines\n",
                endToEnd, windowAt, CountFiles(L"E:\\Music"), historyLines);
    std::printf("(a) status window round trips (WM_NULL, %zu probes during the transfer): median %.1f ms, "
                "99th percentile %.1f ms, longest %.1f ms, %d unanswered within 5 s\n",
                probes.ms.size(), probes.Percentile(0.5), probes.Percentile(0.99), probes.Percentile(1.0),
                probes.unanswered);
    probes.PrintSlow();

    double engine = RunEngineFromPlayer();
    if (endToEnd > 0 && engine > 0) {
        double ratio = endToEnd / engine;
        std::printf("(a)/(b) ratio end to end / engine alone: %.2f (target <= 1.50: %s)\n", ratio,
                    ratio <= 1.5 ? "met" : "MISSED");
    } else {
        std::printf("(a)/(b) no ratio: a run did not complete\n");
    }
    BenchLogEdit(2000, false);
    // The library would otherwise lie in every later search of My Music.
    ResetComputer();
    ::LocalFree(argv);
    return 0;
}
