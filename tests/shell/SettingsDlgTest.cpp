// The settings dialogs: their extension rules, then one run of the real
// program from its first start through everything a person does in them, and
// what reaches the files.

#include "resource.h"
#include "shell/DetailSetDlg.h"
#include "shell/ExtSettingDlg.h"
#include "support/Program.h"

#include <gtest/gtest.h>
#include <shlobj.h>
#include <algorithm>

using namespace qctest;

namespace {

// What the dialogs' run below does not reach: blanks inside an extension, each
// forbidden symbol, and a lookup that matches whole extensions only.
TEST(ExtensionRules, TrimmingForbiddenSymbolsAndLookup) {
    EXPECT_EQ(L"m p3", TrimExtension(L"\tm p3\x3000"));
    for (wchar_t c : std::wstring(L".\\/:;,*?\"<>|")) EXPECT_TRUE(HasForbiddenSymbol(L"a" + std::wstring(1, c))) << c;
    EXPECT_FALSE(HasForbiddenSymbol(L"m p3\x00a0-_()[]~"));
    const std::vector<CExtensionPair> rows = {{L"mp3", L"\\Music"}, {L"\x00e4q", L"\\A"}};
    const std::pair<const wchar_t*, int> lookups[] = {{L"\x00e4q", 1}, {L"mp", -1}, {L"mp3a", -1}, {L"", -1}};
    for (const auto& l : lookups) EXPECT_EQ(l.second, FindExtensionRow(rows, l.first)) << Narrow(l.first);
}

const wchar_t kSettings[] = L"Settings(E:)", kAdvanced[] = L"Advanced Settings", kExtension[] = L"Files/Destination for Transfer";

class SettingsDlgTest : public ProgramTest {
protected:
    uidrv::WindowQuery Query(const wchar_t* caption) { return {L"#32770", caption, p.Process().Id(), true}; }
    // Presses `button` of `owner` and waits for the dialog with `caption`, or for its end with null.
    HWND Press(HWND owner, int button, const wchar_t* caption = nullptr) {
        std::wstring own = uidrv::GetText(owner);
        uidrv::ClickButton(owner, button);
        if (!caption) return uidrv::WaitForNoWindow(Query(own.c_str()), kUiTimeout) ? nullptr : owner;
        HWND dialog = uidrv::WaitForWindow(Query(caption), kUiTimeout);
        EXPECT_NE(nullptr, dialog) << Narrow(caption);
        return dialog;
    }
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
    std::wstring Folders(HWND dialog) { return uidrv::GetListBoxItems(::GetDlgItem(dialog, IDC_FOLDER_LIST)); }
    void RemoveFolders(HWND dialog, std::vector<int> indexes) {
        ::SendDlgItemMessageW(dialog, IDC_FOLDER_LIST, LB_SETSEL, FALSE, -1);
        for (int i : indexes) ::SendDlgItemMessageW(dialog, IDC_FOLDER_LIST, LB_SETSEL, TRUE, i);
        Send(dialog, IDC_FOLDER_LIST, LBN_SELCHANGE);
        Send(dialog, IDC_REMOVE_FOLDER);
    }
    std::wstring Rows(HWND dialog) { return uidrv::GetListViewRows(::GetDlgItem(dialog, IDC_EXT_LIST), 2); }
    std::wstring FileText(const std::wstring& path) {
        std::string bytes;
        return ReadBytes(path, bytes) ? Utf16LeToWide(bytes) : L"<missing>";
    }
    void ExpectLines(const std::wstring& path, std::vector<std::wstring> lines) {
        std::wstring text = FileText(path);
        for (const std::wstring& line : lines) EXPECT_NE(std::wstring::npos, text.find(line + L"\r\n")) << Narrow(line) << " in " << Narrow(text);
    }

    RunningProgram p;
};

TEST_F(SettingsDlgTest, FromTheFirstStartThroughTheFolderListAndTheAdvancedPairs) {
    const std::wstring settingsIni = Join(computer, L"Settings.ini"), deviceIni = L"E:\\Quavercart\\Quavercart.ini";
    const std::wstring history = Join(computer, L"TransferredFiles.dat");
    ::DeleteFileW(settingsIni.c_str());
    AddSong(Join(pc.myMusic, L"first.mp3"), 4000, 1);
    {
        RunningProgram cancelled;
        ASSERT_TRUE(cancelled.Start(pc.program)) << cancelled.Failure();
        uidrv::ClickButton(uidrv::WaitForWindow({L"#32770", kSettings, cancelled.Process().Id(), true}, kUiTimeout), IDCANCEL);
        EXPECT_TRUE(cancelled.Process().WaitExit(kUiTimeout) && cancelled.Process().ExitCode() == 0);
        EXPECT_FALSE(FileExists(settingsIni) || FileExists(L"E:\\Music\\first.mp3")) << "nothing saved, no transfer";
    }
    ASSERT_TRUE(p.Start(pc.program)) << p.Failure();
    HWND dlg = uidrv::WaitForWindow(Query(kSettings), kUiTimeout);
    ASSERT_NE(nullptr, dlg);
    EXPECT_FALSE(::IsWindowVisible(p.Status())) << "the settings come first";
    EXPECT_TRUE(Ticked(dlg, IDC_MY_MUSIC) && Ticked(dlg, IDC_DESKTOP) && !Ticked(dlg, IDC_SPECIFIED));
    Tick(dlg, IDC_MY_MUSIC, false);
    Tick(dlg, IDC_DESKTOP, false);
    const wchar_t kNoFolders[] = L"You have not selected any folders to be searched.";
    Tick(dlg, IDC_SPECIFIED, true);
    EXPECT_TRUE(Enabled(dlg, {IDC_ADD_FOLDER, IDC_FOLDER_LIST}) && !Enabled(dlg, {IDC_REMOVE_FOLDER}));
    uidrv::ClickButton(dlg, IDOK);
    EXPECT_EQ(kNoFolders, Answer(L"Error")) << "only Specified, with an empty list";
    Tick(dlg, IDC_SEARCH_ALL, true);
    for (int id : {IDC_MY_MUSIC, IDC_DESKTOP, IDC_SPECIFIED, IDC_FOLDER_LIST, IDC_ADD_FOLDER}) EXPECT_FALSE(Enabled(dlg, {id})) << id;
    EXPECT_TRUE(Ticked(dlg, IDC_SPECIFIED)) << "disabled boxes keep their ticks";
    Tick(dlg, IDC_SEARCH_ALL, false);
    EXPECT_TRUE(Enabled(dlg, {IDC_MY_MUSIC, IDC_DESKTOP, IDC_SPECIFIED, IDC_FOLDER_LIST, IDC_ADD_FOLDER}));
    Tick(dlg, IDC_MY_MUSIC, true);  // with Specified and its empty list: savable
    EXPECT_EQ(nullptr, Press(dlg, IDOK));
    ASSERT_TRUE(p.WaitForLog(L"Transfer completed. 1 song(s)")) << Narrow(p.LogText());
    EXPECT_TRUE(::IsWindowVisible(p.Status()) && FileExists(L"E:\\Music\\first.mp3"));
    ExpectLines(settingsIni, {L"AllFolders=0", L"MyMusic=1", L"DeskTop=0", L"SelectedFolders=1", L"FolderCount=0"});
    ASSERT_TRUE(p.WaitForIdle());

    // The folder list: Folder3 missing and Folder5 empty within the count are not listed.
    std::wstring rock = Join(pc.myMusic, L"Rock"), jazz = Join(pc.myMusic, L"Jazz"), rockLower = rock;
    ASSERT_TRUE(MakeDirs(rock) && MakeDirs(jazz) && MakeDirs(L"E:\\Audio"));
    for (wchar_t& c : rockLower) c = static_cast<wchar_t>(::towlower(c));
    ASSERT_TRUE(WriteUtf16File(settingsIni, L"[Settings]\r\nMyMusic=1\r\nSelectedFolders=1\r\nFolderCount=7\r\nFolder1=\"C:\\F1\"\r\n"
                                            L"Folder2=\"C:\\F2\"\r\nFolder4=\"C:\\F4\"\r\nFolder5=\r\nFolder6=\"" + rockLower + L"\"\r\nFolder7=\"C:\\F7\"\r\n"));
    dlg = Press(p.Status(), IDC_SETTINGS, kSettings);
    EXPECT_EQ(L"C:\\F1|C:\\F2|C:\\F4|" + rockLower + L"|C:\\F7", Folders(dlg));
    RemoveFolders(dlg, {1, 2});
    EXPECT_EQ(L"C:\\F1|*" + rockLower + L"|C:\\F7", Folders(dlg)) << "the follower is selected";
    RemoveFolders(dlg, {2});
    EXPECT_EQ(L"C:\\F1|*" + rockLower, Folders(dlg)) << "the new last entry is selected";
    EXPECT_TRUE(Enabled(dlg, {IDC_REMOVE_FOLDER}));
    // The player's own folders cannot be chosen.
    EXPECT_FALSE(uidrv::ChooseInFolderBrowser(dlg, IDC_ADD_FOLDER, L"E:\\Music", kUiTimeout));
    EXPECT_TRUE(uidrv::ChooseInFolderBrowser(dlg, IDC_ADD_FOLDER, jazz, kUiTimeout));
    EXPECT_TRUE(uidrv::ChooseInFolderBrowser(dlg, IDC_ADD_FOLDER, rock, kUiTimeout));
    EXPECT_EQ(rock + L" has already been registered.", Answer(L"Error"));
    EXPECT_EQ(L"C:\\F1|*" + rockLower + L"|" + jazz, Folders(dlg));

    // The advanced dialog edits pairs that only the OKs of both dialogs store.
    HWND advanced = Press(dlg, IDC_ADVANCED, kAdvanced);
    ASSERT_NE(nullptr, advanced);
    EXPECT_EQ(L"mp3>\\Music|wma>\\Music", Rows(advanced));
    EXPECT_FALSE(Enabled(advanced, {IDC_EXT_EDIT}) || Enabled(advanced, {IDC_EXT_REMOVE}));
    HWND ext = Press(advanced, IDC_EXT_ADD, kExtension);
    // Each error keeps the dialog: the OGG typed next lands in it.
    ::SetDlgItemTextW(ext, IDC_EXTENSION, L" \t\x3000");
    uidrv::ClickButton(ext, IDOK);
    EXPECT_EQ(L"An extension has not been entered.\n", Answer(L"Error"));
    ::SetDlgItemTextW(ext, IDC_EXTENSION, L"a|b");
    uidrv::ClickButton(ext, IDOK);
    EXPECT_EQ(0u, Answer(L"Error").find(L"The following symbols"));
    ::SetDlgItemTextW(ext, IDC_EXTENSION, L"\t OGG\x3000");
    EXPECT_EQ(nullptr, Press(ext, IDOK));
    EXPECT_EQ(L"mp3>\\Music|wma>\\Music|OGG>\\Music", Rows(advanced));
    EXPECT_TRUE(Enabled(advanced, {IDC_EXT_EDIT, IDC_EXT_REMOVE})) << "the new row is selected";
    // An extension already listed: No keeps the dialog, Yes changes that row.
    ::SetDlgItemTextW(ext = Press(advanced, IDC_EXT_ADD, kExtension), IDC_EXTENSION, L"MP3");
    const std::vector<std::wstring> audio = {L"Audio"}, root;
    ASSERT_TRUE(uidrv::ChooseInFolderBrowser(ext, IDC_BROWSE, L"", kUiTimeout, &audio));
    uidrv::ClickButton(ext, IDOK);
    EXPECT_NE(std::wstring::npos, Answer(L"Confirm Destination Folder", IDNO).find(L"\"MP3\" are currently set to be transferred to the folder \"\\Music\""));
    uidrv::ClickButton(ext, IDOK);
    Answer(L"Confirm Destination Folder", IDYES);
    ASSERT_TRUE(uidrv::WaitForNoWindow(Query(kExtension), kUiTimeout));
    uidrv::SelectListViewItem(::GetDlgItem(advanced, IDC_EXT_LIST), 2);
    ext = Press(advanced, IDC_EXT_EDIT, kExtension);
    ASSERT_TRUE(uidrv::ChooseInFolderBrowser(ext, IDC_BROWSE, L"", kUiTimeout, &root));
    EXPECT_EQ(nullptr, Press(ext, IDOK));
    uidrv::SelectListViewItem(::GetDlgItem(advanced, IDC_EXT_LIST), 1);
    Send(advanced, IDC_EXT_REMOVE);
    EXPECT_EQ(L"mp3>\\Audio|OGG>\\", Rows(advanced));
    EXPECT_EQ(nullptr, Press(advanced, IDOK));
    EXPECT_EQ(nullptr, Press(dlg, IDOK));
    ExpectLines(settingsIni, {L"FolderCount=3", L"Folder1=\"C:\\F1\"", L"Folder2=\"" + rockLower + L"\"", L"Folder3=\"" + jazz + L"\""});
    ExpectLines(deviceIni, {L"ExtCount=2", L"Ext1=\"mp3\"", L"Path1=\"Audio\"", L"Ext2=\"ogg\"", L"Path2=\"\""});

    // Close refuses an empty list, Esc discards, Clear stays whatever follows.
    EXPECT_NE(L"\xFEFF", FileText(history)) << "the first transfer wrote the history";
    std::wstring stored = FileText(deviceIni);
    dlg = Press(p.Status(), IDC_SETTINGS, kSettings);
    advanced = Press(dlg, IDC_ADVANCED, kAdvanced);
    for (int i = 0; i < 2; ++i) {
        uidrv::SelectListViewItem(::GetDlgItem(advanced, IDC_EXT_LIST), 0);
        Send(advanced, IDC_EXT_REMOVE);
    }
    EXPECT_TRUE(Rows(advanced).empty() && !Enabled(advanced, {IDC_EXT_REMOVE}));
    uidrv::ClickButton(advanced, IDOK);
    EXPECT_EQ(L"You have not specified any file extensions for transfer.\n", Answer(L"Error"));
    uidrv::ClickButton(advanced, IDC_CLEAR_HISTORY);
    EXPECT_EQ(L"Are you sure you want to clear the transfer history?", Answer(L"Clear transfer history", IDYES));
    EXPECT_TRUE(WaitUntil([&] { return FileText(history) == L"\xFEFF"; })) << "cleared at once, to its mark alone";
    uidrv::Post(advanced, WM_COMMAND, IDCANCEL, 0);  // Esc: the dialog has no Cancel button
    ASSERT_TRUE(uidrv::WaitForNoWindow(Query(kAdvanced), kUiTimeout));
    EXPECT_EQ(nullptr, Press(dlg, IDCANCEL));
    EXPECT_EQ(stored, FileText(deviceIni)) << "cancelled settings store nothing";
    EXPECT_EQ(L"\xFEFF", FileText(history)) << "the clearing stays";

    std::wstring full = L"[Settings]\r\nSelectedFolders=1\r\nFolderCount=999\r\n";
    for (int n = 1; n <= 999; ++n) full += L"Folder" + std::to_wstring(n) + L"=C:\\F" + std::to_wstring(n) + L"\r\n";
    ASSERT_TRUE(WriteUtf16File(settingsIni, full));
    dlg = Press(p.Status(), IDC_SETTINGS, kSettings);
    uidrv::ClickButton(dlg, IDC_ADD_FOLDER);
    EXPECT_EQ(L"At most 999 folders can be listed.", Answer(L"Error"));
    EXPECT_EQ(nullptr, Press(dlg, IDCANCEL));
    EXPECT_TRUE(p.ExitFromTray());
}

} // namespace
