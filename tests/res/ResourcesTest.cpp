// The program's resources, read from the built program itself.

#include "support/Computer.h"
#include "resource.h"
#include "version.h"

#include <gtest/gtest.h>
#include <string>

using namespace qctest;

namespace {

const WORD kNeutral = MAKELANGID(LANG_NEUTRAL, SUBLANG_DEFAULT);  // 0x0400

class ResourcesTest : public ::testing::Test {
protected:
    static void SetUpTestSuite() {
        program = BuiltProgramPath();
        module = ::LoadLibraryExW(program.c_str(), nullptr, LOAD_LIBRARY_AS_DATAFILE | LOAD_LIBRARY_AS_IMAGE_RESOURCE);
    }
    static void TearDownTestSuite() {
        if (module) ::FreeLibrary(module);
    }

    // The string of one language's table, without the loader's fallbacks; nullopt-like "<missing>".
    static std::wstring TableString(UINT id, WORD lang) {
        HRSRC res = ::FindResourceExW(module, RT_STRING, MAKEINTRESOURCEW(id / 16 + 1), lang);
        if (!res) return L"<missing block>";
        const WORD* p = static_cast<const WORD*>(::LockResource(::LoadResource(module, res)));
        for (UINT i = 0; i < id % 16; ++i) p += 1 + *p;
        if (*p == 0) return L"<missing>";
        return std::wstring(reinterpret_cast<const wchar_t*>(p + 1), *p);
    }

    static std::wstring program;
    static HMODULE module;
};

std::wstring ResourcesTest::program;
HMODULE ResourcesTest::module = nullptr;

TEST_F(ResourcesTest, EnglishStringsAreTheNeutralLanguage) {
    ASSERT_NE(nullptr, module) << Narrow(program);
    struct Case {
        UINT id;
        const wchar_t* text;
    } cases[] = {
        {IDS_APP_NAME, L"Quavercart"},
        {IDS_ABOUT_ITEM, L"&About Quavercart..."},
        {IDS_SETTINGS_CAPTION, L"Settings"},
        {IDS_NOT_REMOVABLE, L"Application was not launched from the removable drive.\n"},
        {IDS_START_TRANSFER, L"&Start transfer"},
        {IDS_STOP_TRANSFER, L"&Stop transfer"},
        {IDS_TRANSFER_CANCELED, L"Transfer canceled by user."},
        {IDS_CAPACITY_SHORT,
         L"The file \"%s\" could not be transferred due to insufficient memory space.\n%d MB of memory is required to "
         L"transfer the remaining files.\n\nDelete any unnecessary files to free up the required space.\n"},
        {IDS_SEARCHING, L"Searching for files..."},
        {IDS_TRANSFER_COMPLETED, L"Transfer completed."},
        {IDS_AUTOPLAY_QUESTION,
         L"Do you wish to display the startup menu for Quavercart each time you connect the \"PELIQUO\" to the "
         L"computer?\n\n* Note: This setting is enabled after restarting your OS.\n"},
        {IDS_TRANSFER_INTERRUPTED, L"Transfer interrupted."},
        {IDS_READ_FAILED, L"Failed to read the file. \nFile name: %s"},
        {IDS_CREATE_FAILED, L"Failed to create the file. \nFile name: %s"},
        {IDS_UNSUPPORTED_OS, L"Cannot launch due to unsupported OS."},
        {IDS_ALREADY_RUNNING, L"Quavercart cannot be launched as it is already running."},
        {IDS_ERROR_CAPTION, L"Error"},
        {IDS_STARTUP_SETTING, L"Startup Setting"},
        {IDS_MY_MUSIC, L"My Music"},
        {IDS_SONG_COUNT, L"%d song(s)"},
        {IDS_LINE_TRANSFERRING, L"Transferring %s ... "},
        {IDS_LINE_COMPLETE, L"Transferring %s ... Complete."},
        {IDS_LINE_READ_FAILED, L"Transferring %s ... Failed. (Source file could not be read.)"},
    };
    for (const Case& c : cases) EXPECT_EQ(std::wstring(c.text), TableString(c.id, kNeutral)) << "string " << c.id;
}

TEST_F(ResourcesTest, StatusWindowTemplateHasItsControlsWhereTheyBelong) {
    HWND dlg = ::CreateDialogParamW(module, L"StatusDlg", nullptr, [](HWND, UINT, WPARAM, LPARAM) -> INT_PTR { return 0; }, 0);
    ASSERT_NE(nullptr, dlg);
    struct Case {
        int id;
        const wchar_t* className;
        const wchar_t* text;
        RECT units;  // left, top, width, height in dialog units
    } cases[] = {
        {IDC_SEARCHING, L"Static", L"", {100, 60, 70, 8}},
        {IDC_CURRENT_FILE, L"Static", L"", {13, 18, 235, 8}},
        {IDC_PERCENT_0, L"Static", L"0%", {14, 36, 12, 8}},
        {IDC_PERCENT_100, L"Static", L"100%", {236, 36, 20, 8}},
        {IDC_PROGRESS, L"msctls_progress32", L"", {17, 47, 231, 14}},
        {IDC_TRANSFER, L"Button", L"&Start transfer", {96, 78, 71, 14}},
        {IDC_LOG, L"Edit", L"", {17, 110, 231, 90}},
        {IDC_SETTINGS, L"Button", L"S&ettings", {98, 217, 50, 14}},
        {IDC_DISP_FOLDER, L"Button", L"&Display destination folder", {154, 217, 104, 14}},
    };
    for (const Case& c : cases) {
        HWND control = ::GetDlgItem(dlg, c.id);
        ASSERT_NE(nullptr, control) << "control " << c.id;
        wchar_t name[64], text[128];
        ::GetClassNameW(control, name, 64);
        ::GetWindowTextW(control, text, 128);
        EXPECT_EQ(0, _wcsicmp(c.className, name)) << "control " << c.id << " is " << Narrow(name);
        EXPECT_STREQ(c.text, text) << "control " << c.id;
        // The dialog manager converts position and size each on its own.
        RECT want = {c.units.left, c.units.top, c.units.right, c.units.bottom};
        ::MapDialogRect(dlg, &want);
        RECT got;
        ::GetWindowRect(control, &got);
        ::MapWindowPoints(nullptr, dlg, reinterpret_cast<POINT*>(&got), 2);
        EXPECT_EQ(want.left, got.left) << "control " << c.id;
        EXPECT_EQ(want.top, got.top) << "control " << c.id;
        EXPECT_EQ(want.right, got.right - got.left) << "control " << c.id;
    }
    LONG_PTR style = ::GetWindowLongPtrW(::GetDlgItem(dlg, IDC_LOG), GWL_STYLE);
    EXPECT_TRUE((style & ES_MULTILINE) && (style & ES_READONLY) && (style & WS_VSCROLL));
    LONG_PTR dlgStyle = ::GetWindowLongPtrW(dlg, GWL_STYLE);
    EXPECT_TRUE((dlgStyle & WS_CAPTION) == WS_CAPTION && (dlgStyle & WS_SYSMENU) && (dlgStyle & WS_MINIMIZEBOX));
    EXPECT_TRUE(::GetWindowLongPtrW(dlg, GWL_EXSTYLE) & WS_EX_APPWINDOW);
    ::DestroyWindow(dlg);
}

TEST_F(ResourcesTest, TrayMenuAndIcon) {
    HMENU menu = ::LoadMenuW(module, MAKEINTRESOURCEW(IDR_TRAYMENU));
    ASSERT_NE(nullptr, menu);
    HMENU popup = ::GetSubMenu(menu, 0);
    ASSERT_NE(nullptr, popup);
    struct Case {
        UINT id;  // 0: separator
        const wchar_t* text;
    } cases[] = {{IDM_MAIN_SCREEN, L"Main Screen"}, {IDM_VERSION, L"Version"}, {0, L""}, {IDM_EXIT, L"Exit"}};
    ASSERT_EQ(4, ::GetMenuItemCount(popup));
    for (int i = 0; i < 4; ++i) {
        wchar_t text[64] = L"";
        ::GetMenuStringW(popup, static_cast<UINT>(i), text, 64, MF_BYPOSITION);
        EXPECT_EQ(cases[i].id, ::GetMenuItemID(popup, i)) << "item " << i;
        EXPECT_STREQ(cases[i].text, text) << "item " << i;
    }
    ::DestroyMenu(menu);
    for (int size : {16, 32, 48}) {
        HICON icon = static_cast<HICON>(::LoadImageW(module, MAKEINTRESOURCEW(IDI_QUAVERCART), IMAGE_ICON, size, size, 0));
        ASSERT_NE(nullptr, icon) << size;
        ICONINFO info;
        ASSERT_TRUE(::GetIconInfo(icon, &info));
        BITMAP bitmap;
        ::GetObjectW(info.hbmColor, sizeof bitmap, &bitmap);
        EXPECT_EQ(size, bitmap.bmWidth) << "drawn at " << size << " pixels, not scaled";
        ::DeleteObject(info.hbmColor);
        ::DeleteObject(info.hbmMask);
        ::DestroyIcon(icon);
    }
}

TEST_F(ResourcesTest, VersionResourceCarriesVersionCopyrightAndNeutralTranslation) {
    DWORD ignored = 0;
    DWORD size = ::GetFileVersionInfoSizeW(program.c_str(), &ignored);
    ASSERT_GT(size, 0u);
    std::string data(size, '\0');
    ASSERT_TRUE(::GetFileVersionInfoW(program.c_str(), 0, size, &data[0]));

    WORD* translation = nullptr;
    UINT length = 0;
    ASSERT_TRUE(::VerQueryValueW(data.data(), L"\\VarFileInfo\\Translation", reinterpret_cast<void**>(&translation),
                                 &length));
    ASSERT_EQ(4u, length);
    EXPECT_EQ(0x0000, translation[0]);
    EXPECT_EQ(0x04B0, translation[1]);

    for (const wchar_t* key : {L"FileVersion", L"LegalCopyright"}) {
        wchar_t* value = nullptr;
        std::wstring query = std::wstring(L"\\StringFileInfo\\000004b0\\") + key;
        ASSERT_TRUE(::VerQueryValueW(data.data(), query.c_str(), reinterpret_cast<void**>(&value), &length))
            << Narrow(key);
        EXPECT_GT(length, 1u) << Narrow(key);
    }
    VS_FIXEDFILEINFO* fixed = nullptr;
    ASSERT_TRUE(::VerQueryValueW(data.data(), L"\\", reinterpret_cast<void**>(&fixed), &length));
    EXPECT_EQ(static_cast<DWORD>(MAKELONG(QC_VERSION_MINOR, QC_VERSION_MAJOR)), fixed->dwFileVersionMS);
}

TEST_F(ResourcesTest, ManifestAsksForCommonControls6AsInvokerAndLeavesDpiToTheSystem) {
    HRSRC res = ::FindResourceW(module, MAKEINTRESOURCEW(1), RT_MANIFEST);
    ASSERT_NE(nullptr, res);
    std::string manifest(static_cast<const char*>(::LockResource(::LoadResource(module, res))),
                         ::SizeofResource(module, res));
    EXPECT_NE(std::string::npos, manifest.find("Microsoft.Windows.Common-Controls"));
    EXPECT_NE(std::string::npos, manifest.find("version=\"6.0.0.0\""));
    EXPECT_NE(std::string::npos, manifest.find("level=\"asInvoker\""));
    EXPECT_EQ(std::string::npos, manifest.find("dpiAware"));
    EXPECT_EQ(std::string::npos, manifest.find("dpiAwareness"));
}

} // namespace
