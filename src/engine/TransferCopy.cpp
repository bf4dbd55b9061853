#include "engine/TransferThread.h"

#include "engine/CopyRules.h"
#include "foundation/MiniLog.h"
#include "foundation/SysQuery.h"
#include "resource.h"

#include <memory>
#include <shlwapi.h>

namespace {

constexpr DWORD kChunkBytes = 65536;

std::wstring LastComponent(const std::wstring& path) { return ::PathFindFileNameW(path.c_str()); }

} // namespace

std::unique_ptr<CSysFile> CTransferThread::NewFileObject(FileRole) { return std::make_unique<CSysFile>(); }

bool CTransferThread::WriteData(std::wstring source, std::wstring dest) {
    std::unique_ptr<CSysFile> inputObject = NewFileObject(FileRole::kSource);
    CSysFile& input = *inputObject;
    input.SetPath(source.c_str());
    ULONGLONG size = 0;
    // GetSize finds the entry as Exists would: its failure is the missing
    // source, also when the file vanished after it was seen to exist.
    if (FAILED(input.GetSize(size))) {
        PostLogLine(1, IDS_LINE_READ_FAILED, source);
        ShowMessageBox(IDS_SOURCE_MISSING, LastComponent(source));
        return false;
    }

    wchar_t playerRoot[MAX_PATH + 1];
    if (!GetDeviceRoot(playerRoot)) playerRoot[0] = L'\0';
    // A player that cannot be asked has no room (GetUsableFreeBytes gives 0).
    ULONGLONG usable = playerRoot[0] ? m_freeSpace.GetUsableFreeBytes(playerRoot) : 0;
    if (usable < size) {
        ULONGLONG remaining = m_totalBytes > m_transferredBytes ? m_totalBytes - m_transferredBytes : 0;
        ULONGLONG needed = MegabytesStillNeeded(remaining, usable / 1048576);
        wchar_t* name = AllocTransferText();
        if (name) ::lstrcpynW(name, LastComponent(source).c_str(), kTransferTextChars);
        // This is the transfer's end message: it goes without the name when
        // the name found no memory (the window shows an empty one), or the
        // window would wait for an end that never comes.
        if (!PostPlain(WM_APP_CAPACITY_ERROR, static_cast<WPARAM>(static_cast<DWORD>(needed)),
                       reinterpret_cast<LPARAM>(name))) {
            FreeTransferText(name);
        }
        CMiniLog().Write(L"WriteData() : CapError");
        m_abortFlg = 1;
        return false;
    }

    if (FAILED(input.Open(GENERIC_READ, OPEN_EXISTING))) {
        PostLogLine(1, IDS_LINE_READ_FAILED, source);
        ShowMessageBox(IDS_SOURCE_IN_USE, LastComponent(source));
        return false;
    }
    return CopyToDestination(input, source, size, dest);
}

bool CTransferThread::CopyToDestination(CSysFile& input, const std::wstring& source, ULONGLONG size,
                                        const std::wstring& dest) {
    // After a failed folder creation the folder is the likely cause of any
    // destination that cannot be created.
    const UINT createLine = m_folderErrFlg ? IDS_LINE_FOLDER_FAILED : IDS_LINE_CREATE_FAILED;
    auto failCreate = [&]() {
        input.Close();
        PostLogLine(1, createLine, source);
        ShowMessageBox(IDS_DEST_UNWRITABLE, LastComponent(dest));
        return false;
    };
    if (dest.size() > MAX_PATH) {
        CMiniLog().Write(L"WriteData() : illegal destination %s", dest.c_str());
        return failCreate();
    }
    // The data goes to a partial name first and gets the real name only once
    // it is complete, so a player pulled out mid-copy never keeps a truncated
    // song under the name of a good one. A folder too deep for the partial
    // name gets the data under the real name, as it would without it.
    wchar_t partial[MAX_PATH + 1];
    const bool direct = !MakePartialCopyPath(dest.c_str(), partial);
    if (direct) ::lstrcpynW(partial, dest.c_str(), MAX_PATH + 1);
    std::unique_ptr<CSysFile> outputObject = NewFileObject(FileRole::kDestination);
    CSysFile& output = *outputObject;
    output.SetPath(partial);
    // A partial copy that an interruption left in this folder is replaced
    // here, and so removed; the real name is guarded by the rename below, and
    // written directly only when nothing has it yet.
    if (FAILED(output.Open(direct ? GENERIC_WRITE : GENERIC_WRITE | DELETE, direct ? CREATE_NEW : CREATE_ALWAYS))) {
        return failCreate();
    }

    std::unique_ptr<BYTE[]> buffer(new BYTE[kChunkBytes]);
    // Reserving the full length up front keeps the file in one piece; the
    // results do not matter (from 2 GiB on the distance does not fit). A file
    // of one chunk gets its full length from its one write.
    if (size > kChunkBytes) {
        output.SetPointer(static_cast<LONG>(static_cast<DWORD>(size)), FILE_BEGIN);
        output.SetEnd();
        output.SetPointer(0, FILE_BEGIN);
    }

    auto fail = [&](UINT line, UINT box, const std::wstring& boxName) {
        input.Close();
        output.Close();
        output.Delete();
        PostLogLine(1, line, source);
        ShowMessageBox(box, boxName);
        return false;
    };
    ULONGLONG copied = 0;
    while (copied < size) {
        if (IsStopRequested()) {
            input.Close();
            output.SetPointer(0, FILE_BEGIN);
            output.SetEnd();
            output.Close();
            output.Delete();
            return false;
        }
        DWORD read = 0;
        if (FAILED(input.Read(kChunkBytes, read, buffer.get()))) {
            return fail(IDS_LINE_READ_FAILED, IDS_SOURCE_IN_USE, LastComponent(source));
        }
        if (read == 0) {
            // The source shrank since the search; waiting for more would never end.
            CMiniLog().Write(L"WriteData() : source ended early %s", source.c_str());
            return fail(IDS_LINE_READ_FAILED, IDS_SOURCE_IN_USE, LastComponent(source));
        }
        DWORD written = 0;
        HRESULT wrote = output.Write(read, buffer.get(), written);
        m_transferredBytes += written;
        copied += written;
        // A short write (a full or vanished medium) would leave a hole in the copy.
        if (FAILED(wrote) || written != read) {
            if (SUCCEEDED(wrote)) CMiniLog().Write(L"WriteData() : short write %s", partial);
            return fail(IDS_LINE_CREATE_FAILED, IDS_DEST_UNWRITABLE, LastComponent(dest));
        }
        PostProgress();
    }
    input.Close();
    // The complete file takes its real name while still open, which spares
    // opening it again; where that is refused, the move after the close says
    // why. Neither replaces an existing name, as creating the file would not.
    const bool renamed = direct || output.RenameOpen(dest.c_str());
    output.Close();
    if (!renamed && !::MoveFileW(partial, dest.c_str())) {
        CMiniLog().Write(L"WriteData() : MoveFile %08x %s", ::GetLastError(), dest.c_str());
        output.Delete();
        PostLogLine(1, createLine, source);
        ShowMessageBox(IDS_DEST_UNWRITABLE, LastComponent(dest));
        return false;
    }
    return true;
}
