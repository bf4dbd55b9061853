#include "engine/CopyRules.h"

#include "foundation/Handle.h"

#include <shlwapi.h>

const wchar_t kPartialCopyName[] = L"~qcpart~";

namespace {
bool NameIsTaken(const wchar_t* path) {
    WIN32_FIND_DATAW data;
    CFindHandle find(::FindFirstFileW(path, &data));
    return find.IsValid();
}
} // namespace

void MakeUniqueDestPath(wchar_t (&path)[kDestPathChars]) {
    wchar_t extension[kDestPathChars];
    ::lstrcpynW(extension, ::PathFindExtensionW(path), kDestPathChars);
    wchar_t base[kDestPathChars];
    ::lstrcpynW(base, path, kDestPathChars);
    ::PathRemoveExtensionW(base);
    wchar_t candidate[kDestPathChars];
    for (int n = 2;; ++n) {
        ::wsprintfW(candidate, L"%s (%02d)%s", base, n, extension);
        if (!NameIsTaken(candidate)) break;
    }
    ::lstrcpynW(path, candidate, kDestPathChars);
}

ULONGLONG MegabytesStillNeeded(ULONGLONG remainingBytes, ULONGLONG usableFreeMegabytes) {
    ULONGLONG remainingMegabytes = remainingBytes / 1048576;
    ULONGLONG roundUp = (remainingBytes & 0xFFC00ull) != 0 ? 1 : 0;
    if (remainingMegabytes < usableFreeMegabytes) return 1;
    ULONGLONG needed = remainingMegabytes - usableFreeMegabytes + roundUp;
    return needed == 0 ? 1 : needed;
}

bool MakePartialCopyPath(const wchar_t* destPath, wchar_t (&partial)[MAX_PATH + 1]) {
    const wchar_t* name = ::PathFindFileNameW(destPath);
    size_t folderLength = static_cast<size_t>(name - destPath);
    if (folderLength == 0 || folderLength + ::lstrlenW(kPartialCopyName) > MAX_PATH) return false;
    ::lstrcpynW(partial, destPath, static_cast<int>(folderLength) + 1);
    ::lstrcatW(partial, kPartialCopyName);
    return true;
}
