#include "shell/TrayIcon.h"
#include "shell/Startup.h"

#include <gtest/gtest.h>

TEST(TrayIcon, TipNamesTheDriveInUpperCase) {
    struct Case {
        const wchar_t* root;
        const wchar_t* tip;
    } cases[] = {{L"e:\\", L"Quavercart(E:)"}, {L"F:\\", L"Quavercart(F:)"}, {L"", L"Quavercart()"}};
    for (const Case& c : cases) {
        wchar_t tip[CTrayIcon::kTipChars];
        MakeTrayTip(c.root, tip);
        EXPECT_STREQ(c.tip, tip);
    }
}

TEST(TrayIcon, AddFillsTheRecordAndCutsALongTipRemoveClearsTheFlags) {
    HWND window = ::CreateWindowExW(0, L"STATIC", L"", WS_OVERLAPPED, 0, 0, 10, 10, nullptr, nullptr, nullptr, nullptr);
    ASSERT_NE(nullptr, window);
    CTrayIcon icon(window);
    EXPECT_EQ(static_cast<DWORD>(NOTIFYICONDATAW_V1_SIZE), icon.Data().cbSize);
    EXPECT_EQ(100u, icon.Data().uID);
    EXPECT_EQ(0u, icon.Data().uFlags);

    std::wstring longTip(80, L'x');
    icon.Add(WM_TRAYNOTIFY, ::LoadIconW(nullptr, IDI_APPLICATION), longTip.c_str());
    EXPECT_EQ(static_cast<UINT>(NIF_MESSAGE | NIF_ICON | NIF_TIP), icon.Data().uFlags);
    EXPECT_EQ(0x450u, icon.Data().uCallbackMessage);
    EXPECT_EQ(std::wstring(63, L'x'), icon.Data().szTip);
    icon.Remove();
    EXPECT_EQ(0u, icon.Data().uFlags);
    ::DestroyWindow(window);

    CTrayIcon orphan(nullptr);
    orphan.Add(WM_TRAYNOTIFY, nullptr, L"tip");
    EXPECT_EQ(0u, orphan.Data().uFlags) << "a record without a window does nothing";
    EXPECT_STREQ(L"", orphan.Data().szTip);
}
