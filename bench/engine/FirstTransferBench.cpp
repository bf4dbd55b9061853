// The first transfer of many small songs (default 5,000 of 2 to 6 KiB in 100
// album folders of My Music) onto an empty player, against the plain loop that
// does the same work by hand: walk the tree, CopyFileW each song into the same
// relative folder on the player (creating folders as needed) and append one
// UTF-16 history line per song by open-write-close. Target: the transfer takes
// at most 1.3 times the loop.
//   --songs N    another library size (multiples of 50 songs per folder)
//   --rounds R   rounds of both, best of R (default 3)
//   --split      also the transfer with no window to post to, which tells the
//                cost of its messages, and the plain loop with the program's
//                safety steps (see PlainLoop), which tells the cost of those
//   --only loop|transfer   one side alone (for counting system calls)
//   --trace      one small run of each on a thread of its own, for counting
//                the Wine server requests per song (run with WINEDEBUG=+server
//                and group the lines by the thread ids printed)
// The engine takes the drive of its own program for the player, so the
// program copies itself to E: and runs from there.
#include "common/MinimalReceiver.h"
#include "common/BenchFiles.h"
#include "engine/EngineSupport.h"
#include "engine/TimeStamp.h"

#include <shellapi.h>
#include <shlobj.h>
#include <shlwapi.h>

#include <algorithm>
#include <cstdio>
#include <string>

using namespace qctest;

namespace {

constexpr int kSongsPerFolder = 50, kAlbumsPerArtist = 10;
const wchar_t kOnPlayer[] = L"E:\\bench_first_transfer.exe";

double Now() {
    LARGE_INTEGER f, c;
    ::QueryPerformanceFrequency(&f);
    ::QueryPerformanceCounter(&c);
    return static_cast<double>(c.QuadPart) / static_cast<double>(f.QuadPart);
}

std::wstring MyMusic() {
    wchar_t path[MAX_PATH + 1] = L"";
    ::SHGetSpecialFolderPathW(nullptr, path, CSIDL_MYMUSIC, TRUE);
    return path;
}

// Artist NN\Album NN\NN - Track N.mp3, 2 to 6 KiB, last-write times shuffled
// so the order of the copy is a real sort.
bool MakeLibrary(const std::wstring& root, int songs) {
    DeleteTree(Join(root, L"Bench"));
    std::string bytes(6144, '\0');
    for (size_t i = 0; i < bytes.size(); ++i) bytes[i] = static_cast<char>((i * 131) & 0xFF);
    for (int n = 0; n < songs; ++n) {
        int folder = n / kSongsPerFolder;
        std::wstring album = Join(root, L"Bench\\Artist " + std::to_wstring(folder / kAlbumsPerArtist) + L"\\Album " +
                                            std::to_wstring(folder % kAlbumsPerArtist));
        if (n % kSongsPerFolder == 0 && !MakeDirs(album)) return false;
        wchar_t name[40];
        ::wsprintfW(name, L"%02d - Track %d.mp3", n % kSongsPerFolder + 1, n);
        CHandle file(::CreateFileW(Join(album, name).c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr));
        if (!file) return false;
        DWORD size = 2048 + static_cast<DWORD>((n * 97) % 4097), written = 0;
        if (!::WriteFile(file.Get(), bytes.data(), size, &written, nullptr) || written != size) return false;
        ULARGE_INTEGER when;
        when.QuadPart = 127000000000000000ull + static_cast<ULONGLONG>((n * 7919) % songs) * 30000000000ull;
        FILETIME ft = {when.LowPart, when.HighPart};
        ::SetFileTime(file.Get(), nullptr, nullptr, &ft);
    }
    return true;
}

int CountFiles(const std::wstring& folder) {
    int files = 0;
    WIN32_FIND_DATAW fd;
    CFindHandle find(::FindFirstFileW(Join(folder, L"*").c_str(), &fd));
    if (!find) return 0;
    do {
        if (!(fd.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY)) {
            ++files;
        } else if (fd.cFileName[0] != L'.') {
            files += CountFiles(Join(folder, fd.cFileName));
        }
    } while (::FindNextFileW(find.Get(), &fd));
    return files;
}

// An empty player that searches My Music only.
void PreparePlayer() {
    ResetBenchPlayer();
    WriteComputerSetting(L"AllFolders", L"0");
    WriteComputerSetting(L"MyMusic", L"1");
    WriteComputerSetting(L"DeskTop", L"0");
    WriteComputerSetting(L"SelectedFolders", L"0");
}

// The plain loop. Folders on the player are made as the walk enters them
// (the library has songs in every leaf, so none stays empty).
// With `safe` it also takes the program's own steps around each copy: the
// existence check of the real name, the copy under a partial name and its
// rename, which tells what the crash safety costs by itself.
struct PlainLoop {
    std::wstring history;
    int copied = 0;
    bool ok = true;
    bool safe = false;

    void Walk(const std::wstring& from, const std::wstring& to) {
        if (!::CreateDirectoryW(to.c_str(), nullptr) && ::GetLastError() != ERROR_ALREADY_EXISTS) ok = false;
        WIN32_FIND_DATAW fd;
        CFindHandle find(::FindFirstFileW(Join(from, L"*").c_str(), &fd));
        if (!find) return;
        do {
            std::wstring source = Join(from, fd.cFileName);
            if (fd.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) {
                if (fd.cFileName[0] != L'.') Walk(source, Join(to, fd.cFileName));
                continue;
            }
            if (::lstrcmpiW(::PathFindExtensionW(fd.cFileName), L".mp3") != 0) continue;
            const std::wstring dest = Join(to, fd.cFileName), partial = Join(to, L"~qcpart~");
            if (safe && ::PathFileExistsW(dest.c_str())) ok = false;
            if (!(safe ? ::CopyFileW(source.c_str(), partial.c_str(), FALSE) &&
                             ::MoveFileW(partial.c_str(), dest.c_str())
                       : ::CopyFileW(source.c_str(), dest.c_str(), TRUE))) {
                ok = false;
                continue;
            }
            wchar_t stamp[kTimeStampChars + 1];
            MakeTimeStampText(fd.ftLastWriteTime, stamp);
            ULONGLONG size = (static_cast<ULONGLONG>(fd.nFileSizeHigh) << 32) | fd.nFileSizeLow;
            std::wstring line = std::wstring(stamp) + L"," + std::to_wstring(size) + L",\"" + source + L"\"\r\n";
            CHandle file(::CreateFileW(history.c_str(), FILE_APPEND_DATA, FILE_SHARE_READ, nullptr, OPEN_ALWAYS,
                                       FILE_ATTRIBUTE_NORMAL, nullptr));
            DWORD bytes = static_cast<DWORD>(line.size() * sizeof(wchar_t)), written = 0;
            if (!file || !::WriteFile(file.Get(), line.data(), bytes, &written, nullptr) || written != bytes) ok = false;
            ++copied;
        } while (::FindNextFileW(find.Get(), &fd));
    }
};

unsigned __stdcall LoopThread(void* loop) {
    auto* self = static_cast<PlainLoop*>(loop);
    self->Walk(Join(MyMusic(), L"Bench"), L"E:\\Music\\Bench");
    return 0;
}

// Each run on a thread of its own, as the transfer runs, so a server trace
// tells the two apart by thread id.
double RunLoop(int songs, bool trace, bool safe = false) {
    PreparePlayer();
    PlainLoop loop;
    loop.safe = safe;
    loop.history = HistoryPath();
    MakeDirs(L"E:\\Music");
    double t0 = Now();
    unsigned id = 0;
    CHandle thread(reinterpret_cast<HANDLE>(::_beginthreadex(nullptr, 0, LoopThread, &loop, 0, &id)));
    if (trace) std::fprintf(stderr, "TRACE loop thread %04x\n", id);
    ::WaitForSingleObject(thread.Get(), INFINITE);
    double seconds = Now() - t0;
    if (!loop.ok || loop.copied != songs || static_cast<int>(HistoryLines().size()) != songs) {
        std::printf("plain loop: copied %d of %d songs, %zu history lines, %s\n", loop.copied, songs,
                    HistoryLines().size(), loop.ok ? "no failure" : "a step FAILED");
        return -1;
    }
    return seconds;
}

// Posts to a null window fail at once, and their texts are freed.
class CNoWindow : public CTransferReceiver {
public:
    HWND GetTransferWindow() const override { return nullptr; }
    HANDLE GetAnswerEvent() const override { return nullptr; }
};

double RunTransfer(int songs, bool trace, bool noWindow = false) {
    PreparePlayer();
    CTransferThread worker;
    CMinimalReceiver receiver;
    CNoWindow nowhere;
    double t0 = Now();
    if (noWindow) {
        if (worker.Start(&nowhere) != 0) return -1;
        ::WaitForSingleObject(worker.GetThreadHandle(), INFINITE);
        double seconds = Now() - t0;
        int onPlayer = CountFiles(L"E:\\Music");
        if (onPlayer != songs || static_cast<int>(HistoryLines().size()) != songs) {
            std::printf("transfer without a window: %d on the player\n", onPlayer);
            return -1;
        }
        return seconds;
    }
    if (worker.Start(&receiver) != 0) return -1;
    if (trace) std::fprintf(stderr, "TRACE transfer worker %04x main %04lx\n", static_cast<unsigned>(worker.GetThreadId()), ::GetCurrentThreadId());
    receiver.PumpUntilEnded(worker.GetThreadHandle());
    double seconds = Now() - t0;
    int onPlayer = CountFiles(L"E:\\Music");
    size_t history = HistoryLines().size();
    if (receiver.completed != songs || onPlayer != songs || static_cast<int>(history) != songs || receiver.boxes) {
        std::printf("transfer: %lld song(s) reported, %d on the player, %zu history lines, %d boxes\n",
                    static_cast<long long>(receiver.completed), onPlayer, history, receiver.boxes);
        return -1;
    }
    if (trace) std::fprintf(stderr, "TRACE transfer messages %d\n", receiver.messages);
    return seconds;
}

int Relaunch() {
    wchar_t self[MAX_PATH + 1];
    ::GetModuleFileNameW(nullptr, self, MAX_PATH + 1);
    if (!::CopyFileW(self, kOnPlayer, FALSE)) {
        std::printf("cannot copy the benchmark to the player E: (%lu)\n", ::GetLastError());
        return 1;
    }
    const wchar_t* args = ::PathGetArgsW(::GetCommandLineW());
    std::wstring command = std::wstring(L"\"") + kOnPlayer + L"\" " + args;
    STARTUPINFOW si = {};
    si.cb = sizeof si;
    si.dwFlags = STARTF_USESTDHANDLES;
    si.hStdInput = ::GetStdHandle(STD_INPUT_HANDLE);
    si.hStdOutput = ::GetStdHandle(STD_OUTPUT_HANDLE);
    si.hStdError = ::GetStdHandle(STD_ERROR_HANDLE);
    PROCESS_INFORMATION pi = {};
    std::fflush(stdout);
    if (!::CreateProcessW(kOnPlayer, &command[0], nullptr, nullptr, TRUE, 0, nullptr, nullptr, &si, &pi)) {
        std::printf("cannot start the benchmark on the player (%lu)\n", ::GetLastError());
        return 1;
    }
    CHandle process(pi.hProcess), thread(pi.hThread);
    ::WaitForSingleObject(process.Get(), INFINITE);
    DWORD code = 1;
    ::GetExitCodeProcess(process.Get(), &code);
    ::DeleteFileW(kOnPlayer);
    return static_cast<int>(code);
}

} // namespace

int main() {
    wchar_t self[MAX_PATH + 1];
    ::GetModuleFileNameW(nullptr, self, MAX_PATH + 1);
    if (::towupper(self[0]) != L'E') return Relaunch();

    int argc = 0;
    wchar_t** argv = ::CommandLineToArgvW(::GetCommandLineW(), &argc);
    int songs = 5000, rounds = 3;
    bool trace = false, split = false;
    std::wstring only;
    for (int i = 1; i < argc; ++i) {
        if (::lstrcmpW(argv[i], L"--songs") == 0 && i + 1 < argc) songs = ::_wtoi(argv[++i]);
        if (::lstrcmpW(argv[i], L"--rounds") == 0 && i + 1 < argc) rounds = ::_wtoi(argv[++i]);
        if (::lstrcmpW(argv[i], L"--trace") == 0) trace = true;
        if (::lstrcmpW(argv[i], L"--split") == 0) split = true;
        if (::lstrcmpW(argv[i], L"--only") == 0 && i + 1 < argc) only = argv[++i];
    }
    ::LocalFree(argv);
    if (trace) rounds = 1;
    songs = std::max(kSongsPerFolder, songs / kSongsPerFolder * kSongsPerFolder);

    const std::wstring music = MyMusic();
    double t0 = Now();
    if (music.empty() || !MakeLibrary(music, songs)) {
        std::printf("cannot make the library in My Music\n");
        return 1;
    }
    std::printf("library: %d songs of 2 to 6 KiB in %d album folders of My Music, made in %.1f s\n", songs,
                songs / kSongsPerFolder, Now() - t0);
    std::fflush(stdout);

    double loop = 1e9, transfer = 1e9, silent = 1e9, safeLoop = 1e9;
    bool failed = false;
    // Untimed: the first run after the library was made is markedly faster
    // than every later one (which follow the deletion of a full player), and
    // would favour whichever side had it.
    if (!trace) failed = RunLoop(songs, false) < 0;
    // The order turned each round, so neither side always finds the caches
    // as the other left them.
    for (int round = 0; round < rounds && !failed; ++round) {
        for (int side = 0; side < 2; ++side) {
            bool loopFirst = round % 2 == 0;
            if (!only.empty() && (only == L"loop") != ((side == 0) == loopFirst)) continue;
            double s = (side == 0) == loopFirst ? RunLoop(songs, trace) : RunTransfer(songs, trace);
            if (s < 0) {
                failed = true;
                break;
            }
            if ((side == 0) == loopFirst) {
                loop = std::min(loop, s);
            } else {
                transfer = std::min(transfer, s);
            }
            std::printf("round %d: %s %.2f s\n", round + 1, (side == 0) == loopFirst ? "plain loop" : "transfer  ", s);
            std::fflush(stdout);
        }
        if (split && !failed) {
            double s = RunTransfer(songs, false, true);
            failed = s < 0;
            silent = std::min(silent, s);
            std::printf("round %d: transfer without a window %.2f s\n", round + 1, s);
            s = failed ? -1 : RunLoop(songs, false, true);
            failed = s < 0;
            safeLoop = std::min(safeLoop, s);
            std::printf("round %d: plain loop with the safety steps %.2f s\n", round + 1, s);
        }
    }
    if (!failed && only.empty()) {
        std::printf("plain loop (walk, CopyFileW, open-write-close history line): %.2f s = %.2f ms per song "
                    "(best of %d)\n", loop, loop * 1000 / songs, rounds);
        std::printf("first transfer (worker, start to its end, history complete): %.2f s = %.2f ms per song "
                    "(best of %d)\n", transfer, transfer * 1000 / songs, rounds);
        if (split) {
            std::printf("transfer with no window to post to: %.2f s = %.2f ms per song (best of %d)\n", silent,
                        silent * 1000 / songs, rounds);
            std::printf("plain loop with the safety steps (real name checked, copy to a partial name, rename): "
                        "%.2f s = %.2f ms per song (best of %d); transfer / it: %.2f\n", safeLoop,
                        safeLoop * 1000 / songs, rounds, transfer / safeLoop);
        }
        std::printf("ratio transfer / plain loop: %.2f (target <= 1.30: %s)\n", transfer / loop,
                    transfer / loop <= 1.3 ? "met" : "MISSED");
    }
    // The library would otherwise lie in every later search of My Music.
    ResetBenchPlayer();
    DeleteTree(Join(music, L"Bench"));
    return failed ? 1 : 0;
}
