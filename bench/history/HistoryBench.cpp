// Loading a large transfer history and appending to it: prints the figures.
// Target: a 100,000-line history loads in under 1 s under Wine.

#include "store/TransferHistory.h"
#include "support/Computer.h"

#include <cstdio>
#include <cstdlib>
#include <string>

namespace {

double Seconds(const LARGE_INTEGER& from, const LARGE_INTEGER& to) {
    LARGE_INTEGER frequency;
    ::QueryPerformanceFrequency(&frequency);
    return static_cast<double>(to.QuadPart - from.QuadPart) / static_cast<double>(frequency.QuadPart);
}

LARGE_INTEGER Now() {
    LARGE_INTEGER t;
    ::QueryPerformanceCounter(&t);
    return t;
}

} // namespace

int main(int argc, char** argv) {
    const int lines = argc > 1 ? std::atoi(argv[1]) : 100000;
    const int appends = 1000;
    wchar_t temp[MAX_PATH + 1];
    ::GetTempPathW(MAX_PATH + 1, temp);
    const std::wstring folder = qctest::Join(temp, L"qc-history-bench");
    qctest::DeleteTree(folder);
    qctest::MakeDirs(folder);
    const std::wstring path = qctest::Join(folder, L"TransferredFiles.dat");

    // Lines as the program writes them: about 90 characters of path each.
    std::wstring text;
    text.reserve(static_cast<size_t>(lines) * 128);
    wchar_t line[400];
    for (int i = 0; i < lines; ++i) {
        ::wsprintfW(line, L"2007%02d%02d%02d%02d%02d,%d,\"C:\\Documents and Settings\\user\\My Documents\\My Music\\"
                          L"Artist %d\\Album %d\\%05d Track title.mp3\"\r\n",
                    1 + i % 12, 1 + i % 28, i % 24, i % 60, (i / 60) % 60, 3000000 + i, i % 500, i % 40, i);
        text += line;
    }
    std::string bytes("\xFF\xFE", 2);
    bytes.append(reinterpret_cast<const char*>(text.data()), text.size() * sizeof(wchar_t));
    if (!qctest::WriteBytes(path, bytes)) {
        std::printf("cannot write %s\n", qctest::Narrow(path).c_str());
        return 1;
    }

    LARGE_INTEGER start = Now();
    CTransferHistory history;
    bool loaded = history.LoadHistoryFileAt(path.c_str());
    double loadSeconds = Seconds(start, Now());
    std::printf("load: %d lines, %zu bytes, %s, %zu entries, %.3f s (target < 1 s)\n", lines, bytes.size(),
                loaded ? "loaded" : "FAILED", history.Size(), loadSeconds);

    CTransferFile record;
    record.SetTimeStamp(L"20070314093005");
    record.SetFileSize(4194304);
    record.SetPath(L"C:\\Data\\Music\\Artist\\song.mp3");
    start = Now();
    int appended = 0;
    for (int i = 0; i < appends; ++i) appended += AppendHistoryAt(path.c_str(), record) ? 1 : 0;
    double appendSeconds = Seconds(start, Now());
    std::printf("append: %d of %d lines, %.3f ms per line (one open, write and close each)\n", appended, appends,
                appendSeconds * 1000.0 / appends);

    qctest::DeleteTree(folder);
    return loaded && history.Size() == static_cast<size_t>(lines) && appended == appends ? 0 : 1;
}
