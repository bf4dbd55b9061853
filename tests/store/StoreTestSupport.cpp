#include "StoreTestSupport.h"

#include "uidriver/UiDriver.h"

#include <atomic>
#include <thread>

namespace storetest {

std::wstring FreshFolder(const wchar_t* name) {
    wchar_t temp[MAX_PATH + 1];
    ::GetTempPathW(MAX_PATH + 1, temp);
    const std::wstring folder = qctest::Join(temp, name);
    qctest::DeleteTree(folder);
    qctest::MakeDirs(folder);
    return folder;
}

// wchar_t is UTF-16LE on this platform.
std::string WithMark(const std::wstring& text) {
    return "\xFF\xFE" + std::string(reinterpret_cast<const char*>(text.data()), text.size() * 2);
}

BoxSeen RunAnsweringMessageBox(const std::function<void()>& call, unsigned waitMs) {
    BoxSeen seen;
    std::atomic<bool> done(false);
    std::thread worker([&] { call(), done = true; });
    HWND box = nullptr;
    for (DWORD start = ::GetTickCount(); !box && !done && ::GetTickCount() - start < waitMs;) {
        box = uidrv::WaitForMessageBox(::GetCurrentProcessId(), 50);
    }
    if (box) {
        uidrv::MessageBoxInfo info = uidrv::ReadMessageBox(box);
        seen = {info.caption, info.text};
        uidrv::ClickButton(box, IDOK);
    }
    worker.join();
    return seen;
}

} // namespace storetest
