// The settings dialogs on the running program: what a person does in them and
// what reaches the files.

#include "support/Program.h"
#include "resource.h"
#include "uidriver/UiDriver.h"

#include <gtest/gtest.h>
#include <shlobj.h>
#include <algorithm>

using namespace qctest;

namespace {

const wchar_t kSettings[] = L"Settings(E:)";
const wchar_t kAdvanced[] = L"Advanced Settings";
const wchar_t kExtension[] = L"Files/Destination for Transfer";
const wchar_t kNoFolders[] = L"You have not selected any folders to be searched.";

class SettingsDlgTest : public ProgramTest {
protected:
    void SetUp() override { Reset(L"MyMusic=1\r\nDeskTop=0\r\n"); }
    HWND Wait(const wchar_t* caption) { return uidrv::WaitForWindow({L"#32770", caption, p.Process().Id(), true}, kUiTimeout); }
    bool Gone(const wchar_t* caption) { return uidrv::WaitForNoWindow({L"#32770", caption, p.Process().Id(), true}, kUiTimeout); }
    // Commands that open no loop of their own are done when this returns.
    void Send(HWND dialog, int id, WORD notification = BN_CLICKED) {
        DWORD_PTR unused;
        ::SendMessageTimeoutW(dialog, WM_COMMAND, MAKEWPARAM(id, notification), reinterpret_cast<LPARAM>(::GetDlgItem(dialog, id)),
                              0, kUiTimeout, &unused);
    }
    void Tick(HWND dialog, int id, bool on) {
        ::SendDlgItemMessageW(dialog, id, BM_SETCHECK, on ? BST_CHECKED : BST_UNCHECKED, 0);
        Send(dialog, id);
    }
    bool Ticked(HWND dialog, int id) { return ::SendDlgItemMessageW(dialog, id, BM_GETCHECK, 0, 0) == BST_CHECKED; }
    bool Enabled(HWND dialog, std::vector<int> ids) {
        return std::all_of(ids.begin(), ids.end(), [&](int id) { return uidrv::IsControlEnabled(dialog, id); });
    }
    std::wstring Answer(const wchar_t* caption, int button = IDOK) { return AnswerBox(p.Process().Id(), caption, button); }
    // Selects `path` in the browser that `button` opens (in the player's browser:
    // the folder reached by `names` below its root) and presses OK if the
    // browser allows it, else Cancel.
    bool Browse(HWND owner, int button, const std::wstring& path, const std::vector<std::wstring>* names = nullptr) {
        uidrv::ClickButton(owner, button);
        HWND browser = nullptr;
        for (DWORD start = ::GetTickCount(); !browser && ::GetTickCount() - start < kUiTimeout; ::Sleep(20)) {
            for (HWND w : uidrv::FindWindows({L"#32770", L"", p.Process().Id(), true})) {
                if (::GetWindow(w, GW_OWNER) == owner && !::GetDlgItem(w, 0xFFFF)) browser = w;
            }
        }
        if (!browser) return false;
        if (names) {
            EXPECT_TRUE(uidrv::SelectTreeItem(::FindWindowExW(browser, nullptr, L"SysTreeView32", nullptr), *names));
        } else {
            uidrv::SendRemotePath(browser, BFFM_SETSELECTIONW, TRUE, path);
        }
        ::Sleep(200);
        bool enabled = uidrv::IsControlEnabled(browser, IDOK);
        uidrv::ClickButton(browser, enabled ? IDOK : IDCANCEL);
        for (DWORD start = ::GetTickCount(); ::IsWindow(browser) && ::GetTickCount() - start < kUiTimeout;) ::Sleep(20);
        return enabled;
    }
    // The folder list, "|" between entries, "*" before a selected one.
    std::wstring Folders(HWND dialog) {
        HWND list = ::GetDlgItem(dialog, IDC_FOLDER_LIST);
        std::wstring items;
        for (int i = 0, n = static_cast<int>(::SendMessageW(list, LB_GETCOUNT, 0, 0)); i < n; ++i) {
            wchar_t text[1024] = L"";
            ::SendMessageW(list, LB_GETTEXT, static_cast<WPARAM>(i), reinterpret_cast<LPARAM>(text));
            items += (i ? L"|" : L"") + std::wstring(::SendMessageW(list, LB_GETSEL, i, 0) > 0 ? L"*" : L"") + text;
        }
        return items;
    }
    void SelectFolders(HWND dialog, std::vector<int> indexes) {
        HWND list = ::GetDlgItem(dialog, IDC_FOLDER_LIST);
        ::SendMessageW(list, LB_SETSEL, FALSE, -1);
        for (int i : indexes) ::SendMessageW(list, LB_SETSEL, TRUE, i);
        Send(dialog, IDC_FOLDER_LIST, LBN_SELCHANGE);
    }
    // The advanced dialog's rows as "ext>destination", "|" between them.
    std::wstring Rows(HWND dialog) {
        HWND list = ::GetDlgItem(dialog, IDC_EXT_LIST);
        std::wstring rows;
        for (int i = 0, n = static_cast<int>(::SendMessageW(list, LVM_GETITEMCOUNT, 0, 0)); i < n; ++i) {
            rows += (i ? L"|" : L"") + uidrv::GetListViewText(list, i, 0) + L">" + uidrv::GetListViewText(list, i, 1);
        }
        return rows;
    }
    std::wstring FileText(const std::wstring& path) {
        std::string bytes;
        return ReadBytes(path, bytes) && bytes.size() >= 2 ? Utf16LeToWide(bytes.substr(2)) : L"<missing>";
    }
    void ExpectLines(const std::wstring& path, std::vector<std::wstring> lines) {
        std::wstring text = FileText(path);
        for (const std::wstring& line : lines) EXPECT_NE(std::wstring::npos, text.find(line + L"\r\n")) << Narrow(line) << " in " << Narrow(text);
    }

    RunningProgram p;
};

TEST_F(SettingsDlgTest, FirstStartAsksForTheSettingsCancelEndsAndOkSavesAndTransfers) {
    ::DeleteFileW(Join(computer, L"Settings.ini").c_str());
    ASSERT_TRUE(WriteBytes(Join(pc.myMusic, L"first.mp3"), RandomBytes(4000, 1)));
    {
        RunningProgram cancelled;
        ASSERT_TRUE(cancelled.Start(pc.program)) << cancelled.Failure();
        HWND dlg = uidrv::WaitForWindow({L"#32770", kSettings, cancelled.Process().Id(), true}, kUiTimeout);
        ASSERT_NE(nullptr, dlg);
        EXPECT_FALSE(::IsWindowVisible(cancelled.Status())) << "the settings come first";
        EXPECT_TRUE(::GetWindowLongW(dlg, GWL_EXSTYLE) & WS_EX_APPWINDOW) << "a taskbar button of its own";
        uidrv::ClickButton(dlg, IDCANCEL);
        ASSERT_TRUE(cancelled.Process().WaitExit(kUiTimeout));
        EXPECT_EQ(0u, cancelled.Process().ExitCode());
        EXPECT_FALSE(FileExists(Join(computer, L"Settings.ini")));
        EXPECT_FALSE(FileExists(L"E:\\Music\\first.mp3")) << "no transfer";
    }
    ASSERT_TRUE(p.Start(pc.program)) << p.Failure();
    HWND dlg = Wait(kSettings);
    ASSERT_NE(nullptr, dlg);
    EXPECT_TRUE(Ticked(dlg, IDC_MY_MUSIC) && Ticked(dlg, IDC_DESKTOP) && !Ticked(dlg, IDC_SPECIFIED));
    Tick(dlg, IDC_MY_MUSIC, false);
    Tick(dlg, IDC_DESKTOP, false);
    uidrv::ClickButton(dlg, IDOK);
    EXPECT_EQ(kNoFolders, Answer(L"Error")) << "nothing ticked";
    Tick(dlg, IDC_SPECIFIED, true);
    EXPECT_TRUE(Enabled(dlg, {IDC_ADD_FOLDER, IDC_FOLDER_LIST}) && !Enabled(dlg, {IDC_REMOVE_FOLDER}));
    uidrv::ClickButton(dlg, IDOK);
    EXPECT_EQ(kNoFolders, Answer(L"Error")) << "only Specified, with an empty list";
    Tick(dlg, IDC_SEARCH_ALL, true);
    for (int id : {IDC_MY_MUSIC, IDC_DESKTOP, IDC_SPECIFIED, IDC_FOLDER_LIST, IDC_ADD_FOLDER}) {
        EXPECT_FALSE(Enabled(dlg, {id})) << id;
    }
    EXPECT_TRUE(Ticked(dlg, IDC_SPECIFIED)) << "disabled boxes keep their ticks";
    Tick(dlg, IDC_SEARCH_ALL, false);
    EXPECT_TRUE(Enabled(dlg, {IDC_MY_MUSIC, IDC_DESKTOP, IDC_SPECIFIED, IDC_FOLDER_LIST, IDC_ADD_FOLDER}));
    Tick(dlg, IDC_MY_MUSIC, true);  // with Specified and its empty list: savable
    uidrv::ClickButton(dlg, IDOK);
    ASSERT_TRUE(Gone(kSettings));
    ASSERT_TRUE(p.WaitForLog(L"Transfer completed. 1 song(s)")) << Narrow(p.LogText());
    EXPECT_TRUE(::IsWindowVisible(p.Status()));
    EXPECT_TRUE(FileExists(L"E:\\Music\\first.mp3"));
    ExpectLines(Join(computer, L"Settings.ini"),
                {L"AllFolders=0", L"MyMusic=1", L"DeskTop=0", L"SelectedFolders=1", L"FolderCount=0"});
    ASSERT_TRUE(p.WaitForIdle());
    EXPECT_TRUE(p.ExitFromTray());
}

TEST_F(SettingsDlgTest, FolderListAddsThroughTheBrowserRefusesDuplicatesAndRemovesSelected) {
    std::wstring rock = Join(pc.myMusic, L"Rock"), jazz = Join(pc.myMusic, L"Jazz"), rockLower = rock;
    ASSERT_TRUE(MakeDirs(rock) && MakeDirs(jazz) && MakeDirs(L"E:\\Music"));
    for (wchar_t& c : rockLower) c = static_cast<wchar_t>(::towlower(c));
    // Folder3 missing and Folder5 empty within the count: neither is listed.
    PrepareKnownPlayer(pc, L"MyMusic=0\r\nDeskTop=0\r\nSelectedFolders=1\r\nFolderCount=7\r\nFolder1=\"C:\\F1\"\r\n"
                           L"Folder2=\"C:\\F2\"\r\nFolder4=\"C:\\F4\"\r\nFolder5=\r\nFolder6=\"" + rockLower +
                           L"\"\r\nFolder7=\"C:\\F7\"\r\n");
    ASSERT_TRUE(p.Start(pc.program)) << p.Failure();
    ASSERT_TRUE(p.WaitForIdle());
    uidrv::ClickButton(p.Status(), IDC_SETTINGS);
    HWND dlg = Wait(kSettings);
    ASSERT_NE(nullptr, dlg);
    EXPECT_FALSE(::GetWindowLongW(dlg, GWL_EXSTYLE) & WS_EX_APPWINDOW) << "no taskbar button from the button";
    EXPECT_EQ(L"C:\\F1|C:\\F2|C:\\F4|" + rockLower + L"|C:\\F7", Folders(dlg));
    SelectFolders(dlg, {1, 2});
    ASSERT_TRUE(Enabled(dlg, {IDC_REMOVE_FOLDER}));
    Send(dlg, IDC_REMOVE_FOLDER);
    EXPECT_EQ(L"C:\\F1|*" + rockLower + L"|C:\\F7", Folders(dlg)) << "the follower is selected";
    SelectFolders(dlg, {2});
    Send(dlg, IDC_REMOVE_FOLDER);
    EXPECT_EQ(L"C:\\F1|*" + rockLower, Folders(dlg)) << "the new last entry is selected";
    EXPECT_TRUE(Enabled(dlg, {IDC_REMOVE_FOLDER}));

    EXPECT_FALSE(Browse(dlg, IDC_ADD_FOLDER, L"E:\\Music")) << "the player's own folders cannot be chosen";
    EXPECT_TRUE(Browse(dlg, IDC_ADD_FOLDER, jazz));
    EXPECT_TRUE(Browse(dlg, IDC_ADD_FOLDER, rock));
    EXPECT_EQ(rock + L" has already been registered.", Answer(L"Error"));
    EXPECT_EQ(L"C:\\F1|*" + rockLower + L"|" + jazz, Folders(dlg));
    uidrv::ClickButton(dlg, IDOK);
    ASSERT_TRUE(Gone(kSettings));
    ExpectLines(Join(computer, L"Settings.ini"), {L"FolderCount=3", L"Folder1=\"C:\\F1\"",
                                                  L"Folder2=\"" + rockLower + L"\"", L"Folder3=\"" + jazz + L"\""});

    std::wstring full = L"[Settings]\r\nSelectedFolders=1\r\nFolderCount=999\r\n";
    for (int n = 1; n <= 999; ++n) full += L"Folder" + std::to_wstring(n) + L"=C:\\F" + std::to_wstring(n) + L"\r\n";
    ASSERT_TRUE(WriteUtf16File(Join(computer, L"Settings.ini"), full));
    uidrv::ClickButton(p.Status(), IDC_SETTINGS);
    ASSERT_NE(nullptr, dlg = Wait(kSettings));
    uidrv::ClickButton(dlg, IDC_ADD_FOLDER);
    EXPECT_EQ(L"At most 999 folders can be listed.", Answer(L"Error"));
    uidrv::ClickButton(dlg, IDCANCEL);
    ASSERT_TRUE(Gone(kSettings));
    EXPECT_TRUE(p.ExitFromTray());
}

TEST_F(SettingsDlgTest, AdvancedDialogEditsThePairsThatOnlyOkStoresAndClearsTheHistoryAtOnce) {
    ASSERT_TRUE(WriteBytes(Join(pc.myMusic, L"song.mp3"), RandomBytes(3000, 2)) && MakeDirs(L"E:\\Audio"));
    const std::wstring history = Join(computer, L"TransferredFiles.dat"), deviceIni = L"E:\\Quavercart\\Quavercart.ini";
    const std::vector<std::wstring> audio = {L"Audio"}, root;
    ASSERT_TRUE(p.Start(pc.program)) << p.Failure();
    ASSERT_TRUE(p.WaitForLog(L"Transfer completed. 1 song(s)")) << Narrow(p.LogText());
    ASSERT_TRUE(p.WaitForIdle());
    uidrv::ClickButton(p.Status(), IDC_SETTINGS);
    HWND settings = Wait(kSettings);
    ASSERT_NE(nullptr, settings);
    uidrv::ClickButton(settings, IDC_ADVANCED);
    HWND dlg = Wait(kAdvanced);
    ASSERT_NE(nullptr, dlg);
    EXPECT_EQ(L"mp3>\\Music|wma>\\Music", Rows(dlg));
    EXPECT_FALSE(Enabled(dlg, {IDC_EXT_EDIT}) || Enabled(dlg, {IDC_EXT_REMOVE}));

    uidrv::ClickButton(dlg, IDC_EXT_ADD);
    HWND ext = Wait(kExtension);
    ASSERT_NE(nullptr, ext);
    EXPECT_EQ(L"\\Music", uidrv::GetControlText(ext, IDC_DESTINATION));
    for (const wchar_t* typed : {L" \t\x3000", L"a.b", L"a|b"}) {
        ::SendMessageW(::GetDlgItem(ext, IDC_EXTENSION), WM_SETTEXT, 0, reinterpret_cast<LPARAM>(typed));
        uidrv::ClickButton(ext, IDOK);
        std::wstring text = Answer(L"Error");
        bool expected = text == L"An extension has not been entered.\n" || text.find(L"The following symbols") == 0;
        EXPECT_TRUE(expected && ::IsWindowVisible(ext)) << Narrow(typed) << ": " << Narrow(text);
    }
    ::SendMessageW(::GetDlgItem(ext, IDC_EXTENSION), WM_SETTEXT, 0, reinterpret_cast<LPARAM>(L"\t OGG\x3000"));
    uidrv::ClickButton(ext, IDOK);
    ASSERT_TRUE(Gone(kExtension));
    EXPECT_EQ(L"mp3>\\Music|wma>\\Music|OGG>\\Music", Rows(dlg));
    EXPECT_TRUE(Enabled(dlg, {IDC_EXT_EDIT, IDC_EXT_REMOVE})) << "the new row is selected";

    // An extension already listed: No keeps the dialog, Yes changes that row.
    uidrv::ClickButton(dlg, IDC_EXT_ADD);
    ASSERT_NE(nullptr, ext = Wait(kExtension));
    ::SendMessageW(::GetDlgItem(ext, IDC_EXTENSION), WM_SETTEXT, 0, reinterpret_cast<LPARAM>(L"MP3"));
    ASSERT_TRUE(Browse(ext, IDC_BROWSE, L"", &audio));
    EXPECT_EQ(L"\\Audio", uidrv::GetControlText(ext, IDC_DESTINATION));
    uidrv::ClickButton(ext, IDOK);
    EXPECT_EQ(L"Files with the extension \"MP3\" are currently set to be transferred to the folder \"\\Music\".\n"
              L"Do you wish to change the current setting and set \"\\Audio\" as the destination folder?\n",
              Answer(L"Confirm Destination Folder", IDNO));
    EXPECT_TRUE(::IsWindowVisible(ext));
    uidrv::ClickButton(ext, IDOK);
    Answer(L"Confirm Destination Folder", IDYES);
    ASSERT_TRUE(Gone(kExtension));

    uidrv::SelectListViewItem(::GetDlgItem(dlg, IDC_EXT_LIST), 2);
    uidrv::ClickButton(dlg, IDC_EXT_EDIT);
    ASSERT_NE(nullptr, ext = Wait(kExtension));
    EXPECT_TRUE(::GetWindowLongW(::GetDlgItem(ext, IDC_EXTENSION), GWL_STYLE) & ES_READONLY);
    ASSERT_TRUE(Browse(ext, IDC_BROWSE, L"", &root));
    uidrv::ClickButton(ext, IDOK);
    ASSERT_TRUE(Gone(kExtension));
    uidrv::SelectListViewItem(::GetDlgItem(dlg, IDC_EXT_LIST), 1);
    Send(dlg, IDC_EXT_REMOVE);
    EXPECT_EQ(L"mp3>\\Audio|OGG>\\", Rows(dlg));
    uidrv::ClickButton(dlg, IDOK);
    ASSERT_TRUE(Gone(kAdvanced));
    uidrv::ClickButton(settings, IDOK);
    ASSERT_TRUE(Gone(kSettings));
    ExpectLines(deviceIni, {L"ExtCount=2", L"Ext1=\"mp3\"", L"Path1=\"Audio\"", L"Ext2=\"ogg\"", L"Path2=\"\""});

    // Close refuses an empty list, Esc discards, Clear stays whatever follows.
    EXPECT_NE(L"", FileText(history)) << "the first transfer wrote the history";
    std::wstring stored = FileText(deviceIni);
    uidrv::ClickButton(p.Status(), IDC_SETTINGS);
    ASSERT_NE(nullptr, settings = Wait(kSettings));
    uidrv::ClickButton(settings, IDC_ADVANCED);
    ASSERT_NE(nullptr, dlg = Wait(kAdvanced));
    EXPECT_EQ(L"mp3>\\Audio|ogg>\\", Rows(dlg));
    for (int i = 0; i < 2; ++i) {
        uidrv::SelectListViewItem(::GetDlgItem(dlg, IDC_EXT_LIST), 0);
        Send(dlg, IDC_EXT_REMOVE);
    }
    EXPECT_TRUE(Rows(dlg).empty() && !Enabled(dlg, {IDC_EXT_REMOVE}));
    uidrv::ClickButton(dlg, IDOK);
    EXPECT_EQ(L"You have not specified any file extensions for transfer.\n", Answer(L"Error"));
    uidrv::ClickButton(dlg, IDC_CLEAR_HISTORY);
    EXPECT_EQ(L"Are you sure you want to clear the transfer history?", Answer(L"Clear transfer history", IDYES));
    for (DWORD start = ::GetTickCount(); FileText(history) != L"" && ::GetTickCount() - start < kUiTimeout;) {
        ::Sleep(50);
    }
    uidrv::Post(dlg, WM_COMMAND, IDCANCEL, 0);  // Esc: the dialog has no Cancel button
    ASSERT_TRUE(Gone(kAdvanced));
    uidrv::ClickButton(settings, IDCANCEL);
    ASSERT_TRUE(Gone(kSettings));
    EXPECT_EQ(stored, FileText(deviceIni)) << "cancelled settings store nothing";
    std::string bytes;
    EXPECT_TRUE(ReadBytes(history, bytes) && bytes == std::string("\xFF\xFE", 2)) << "the clearing stays";
    EXPECT_TRUE(p.ExitFromTray());
}

} // namespace
