// The settings dialogs on the running program: what a person does in them and
// what reaches the files.

#include "support/Computer.h"
#include "support/Program.h"
#include "resource.h"
#include "uidriver/UiDriver.h"

#include <gtest/gtest.h>
#include <shlobj.h>

using namespace qctest;

namespace {

const wchar_t kSettings[] = L"Settings(E:)";
const wchar_t kAdvanced[] = L"Advanced Settings";
const wchar_t kExtension[] = L"Files/Destination for Transfer";
const wchar_t kNoFolders[] = L"You have not selected any folders to be searched.";

class SettingsDlgTest : public ::testing::Test {
protected:
    void SetUp() override {
        pc = ResetComputer();
        computer = PrepareKnownPlayer(pc, L"MyMusic=1\r\nDeskTop=0\r\n");
    }

    HWND WaitDialog(RunningProgram& p, const wchar_t* caption) {
        return uidrv::WaitForWindow({L"#32770", caption, p.Process().Id(), true}, kUiTimeout);
    }
    bool Gone(RunningProgram& p, const wchar_t* caption) {
        return uidrv::WaitForNoWindow({L"#32770", caption, p.Process().Id(), true}, kUiTimeout);
    }
    // A command the dialog handles without a loop of its own, done when this returns.
    void Send(HWND dialog, int id, WORD notification = BN_CLICKED) {
        DWORD_PTR unused;
        ::SendMessageTimeoutW(dialog, WM_COMMAND, MAKEWPARAM(id, notification),
                              reinterpret_cast<LPARAM>(::GetDlgItem(dialog, id)), SMTO_ABORTIFHUNG, kUiTimeout, &unused);
    }
    void Tick(HWND dialog, int id, bool on) {
        ::SendMessageW(::GetDlgItem(dialog, id), BM_SETCHECK, on ? BST_CHECKED : BST_UNCHECKED, 0);
        Send(dialog, id);
    }
    bool Ticked(HWND dialog, int id) {
        return ::SendMessageW(::GetDlgItem(dialog, id), BM_GETCHECK, 0, 0) == BST_CHECKED;
    }
    // Waits for the box, reads it, presses `button`.
    uidrv::MessageBoxInfo Answer(RunningProgram& p, const wchar_t* caption, int button = IDOK) {
        HWND box = uidrv::WaitForMessageBox(p.Process().Id(), kUiTimeout, caption);
        uidrv::MessageBoxInfo info;
        if (!box) return info;
        info = uidrv::ReadMessageBox(box);
        uidrv::ClickButton(box, button);
        DWORD start = ::GetTickCount();
        while (::IsWindow(box) && ::GetTickCount() - start < kUiTimeout) ::Sleep(20);
        return info;
    }
    void SetEditText(HWND dialog, int id, const std::wstring& text) {
        ::SendMessageW(::GetDlgItem(dialog, id), WM_SETTEXT, 0, reinterpret_cast<LPARAM>(text.c_str()));
    }
    // Opens the folder browser with `button` of `owner`, selects `path` in it and
    // presses OK if the browser lets it; false when OK was disabled (the browser
    // is then cancelled).
    bool Browse(RunningProgram& p, HWND owner, int button, const std::wstring& path, bool rooted = false) {
        uidrv::ClickButton(owner, button);
        HWND browser = nullptr;
        for (DWORD start = ::GetTickCount(); !browser && ::GetTickCount() - start < kUiTimeout; ::Sleep(20)) {
            for (HWND w : uidrv::FindWindows({L"#32770", L"", p.Process().Id(), true})) {
                if (::GetWindow(w, GW_OWNER) == owner && !::GetDlgItem(w, 0xFFFF)) browser = w;
            }
        }
        EXPECT_NE(nullptr, browser) << "no folder browser";
        if (!browser) return false;
        if (rooted) {
            // The browser rooted at the player: walked by names, as a person clicks.
            std::vector<std::wstring> names;
            for (size_t at = 3; at < path.size();) {
                size_t end = path.find(L'\\', at);
                if (end == std::wstring::npos) end = path.size();
                names.push_back(path.substr(at, end - at));
                at = end + 1;
            }
            EXPECT_TRUE(uidrv::SelectTreeItem(Descendant(browser, L"SysTreeView32"), names))
                << Narrow(path);
        } else {
            EXPECT_TRUE(uidrv::SendRemoteText(browser, BFFM_SETSELECTIONW, TRUE, path));
        }
        ::Sleep(200);
        bool enabled = uidrv::IsControlEnabled(browser, IDOK);
        uidrv::ClickButton(browser, enabled ? IDOK : IDCANCEL);
        DWORD start = ::GetTickCount();
        while (::IsWindow(browser) && ::GetTickCount() - start < kUiTimeout) ::Sleep(20);
        return enabled;
    }
    static HWND Descendant(HWND window, const wchar_t* className) {
        struct Search {
            const wchar_t* className;
            HWND found;
        } search = {className, nullptr};
        ::EnumChildWindows(window, [](HWND child, LPARAM data) -> BOOL {
            auto* s = reinterpret_cast<Search*>(data);
            if (uidrv::GetClass(child) == s->className) s->found = child;
            return s->found == nullptr;
        }, reinterpret_cast<LPARAM>(&search));
        return search.found;
    }
    std::vector<std::wstring> Folders(HWND dialog) {
        HWND list = ::GetDlgItem(dialog, IDC_FOLDER_LIST);
        std::vector<std::wstring> items;
        int count = static_cast<int>(::SendMessageW(list, LB_GETCOUNT, 0, 0));
        for (int i = 0; i < count; ++i) {
            wchar_t text[1024] = L"";
            ::SendMessageW(list, LB_GETTEXT, static_cast<WPARAM>(i), reinterpret_cast<LPARAM>(text));
            items.push_back(text);
        }
        return items;
    }
    std::vector<int> Selected(HWND dialog) {
        HWND list = ::GetDlgItem(dialog, IDC_FOLDER_LIST);
        std::vector<int> selected;
        int count = static_cast<int>(::SendMessageW(list, LB_GETCOUNT, 0, 0));
        for (int i = 0; i < count; ++i) {
            if (::SendMessageW(list, LB_GETSEL, static_cast<WPARAM>(i), 0) > 0) selected.push_back(i);
        }
        return selected;
    }
    void SelectFolders(HWND dialog, std::vector<int> indexes) {
        HWND list = ::GetDlgItem(dialog, IDC_FOLDER_LIST);
        ::SendMessageW(list, LB_SETSEL, FALSE, -1);
        for (int i : indexes) ::SendMessageW(list, LB_SETSEL, TRUE, i);
        Send(dialog, IDC_FOLDER_LIST, LBN_SELCHANGE);
    }
    // The pairs of the advanced dialog as "ext>destination", joined by "|".
    std::wstring Rows(HWND dialog) {
        HWND list = ::GetDlgItem(dialog, IDC_EXT_LIST);
        std::wstring rows;
        int count = static_cast<int>(::SendMessageW(list, LVM_GETITEMCOUNT, 0, 0));
        for (int i = 0; i < count; ++i) {
            rows += (i ? L"|" : L"") + uidrv::GetListViewText(list, i, 0) + L">" + uidrv::GetListViewText(list, i, 1);
        }
        return rows;
    }
    void SelectRow(HWND dialog, int row) {
        EXPECT_TRUE(uidrv::SelectListViewItem(::GetDlgItem(dialog, IDC_EXT_LIST), row));
    }
    std::wstring FileText(const std::wstring& path) {
        std::string bytes;
        if (!ReadBytes(path, bytes)) return L"<missing>";
        if (bytes.compare(0, 2, "\xFF\xFE") == 0) return Utf16LeToWide(bytes.substr(2));
        return std::wstring(bytes.begin(), bytes.end());
    }
    static bool Has(const std::wstring& text, const std::wstring& piece) { return text.find(piece) != std::wstring::npos; }

    Computer pc;
    std::wstring computer;
};

TEST_F(SettingsDlgTest, FirstStartAsksForTheSettingsCancelEndsAndOkSavesAndTransfers) {
    ::DeleteFileW(Join(computer, L"Settings.ini").c_str());
    std::wstring song = Join(pc.myMusic, L"first.mp3");
    ASSERT_TRUE(WriteBytes(song, RandomBytes(4000, 1)));
    {
        RunningProgram p;
        ASSERT_TRUE(p.Start(pc.program)) << p.Failure();
        HWND dlg = WaitDialog(p, kSettings);
        ASSERT_NE(nullptr, dlg);
        EXPECT_FALSE(::IsWindowVisible(p.Status())) << "the settings come first";
        EXPECT_TRUE(::GetWindowLongW(dlg, GWL_EXSTYLE) & WS_EX_APPWINDOW) << "a taskbar button of its own";
        uidrv::ClickButton(dlg, IDCANCEL);
        ASSERT_TRUE(p.Process().WaitExit(kUiTimeout));
        EXPECT_EQ(0u, p.Process().ExitCode());
        EXPECT_FALSE(FileExists(Join(computer, L"Settings.ini")));
        EXPECT_FALSE(FileExists(L"E:\\Music\\first.mp3")) << "no transfer";
    }

    RunningProgram p;
    ASSERT_TRUE(p.Start(pc.program)) << p.Failure();
    HWND dlg = WaitDialog(p, kSettings);
    ASSERT_NE(nullptr, dlg);
    EXPECT_TRUE(Ticked(dlg, IDC_MY_MUSIC) && Ticked(dlg, IDC_DESKTOP)) << "a first start's ticks";
    EXPECT_FALSE(Ticked(dlg, IDC_SPECIFIED) || Ticked(dlg, IDC_SEARCH_ALL));
    Tick(dlg, IDC_MY_MUSIC, false);
    Tick(dlg, IDC_DESKTOP, false);
    uidrv::ClickButton(dlg, IDOK);
    EXPECT_EQ(kNoFolders, Answer(p, L"Error").text) << "nothing ticked";
    Tick(dlg, IDC_SPECIFIED, true);
    EXPECT_TRUE(uidrv::IsControlEnabled(dlg, IDC_ADD_FOLDER) && uidrv::IsControlEnabled(dlg, IDC_FOLDER_LIST));
    EXPECT_FALSE(uidrv::IsControlEnabled(dlg, IDC_REMOVE_FOLDER)) << "nothing selected";
    uidrv::ClickButton(dlg, IDOK);
    EXPECT_EQ(kNoFolders, Answer(p, L"Error").text) << "only Specified, with an empty list";

    Tick(dlg, IDC_SEARCH_ALL, true);
    for (int id : {IDC_MY_MUSIC, IDC_DESKTOP, IDC_SPECIFIED, IDC_FOLDER_LIST, IDC_ADD_FOLDER, IDC_REMOVE_FOLDER}) {
        EXPECT_FALSE(uidrv::IsControlEnabled(dlg, id)) << id;
    }
    EXPECT_TRUE(Ticked(dlg, IDC_SPECIFIED)) << "disabled boxes keep their ticks";
    Tick(dlg, IDC_SEARCH_ALL, false);
    for (int id : {IDC_MY_MUSIC, IDC_DESKTOP, IDC_SPECIFIED, IDC_FOLDER_LIST, IDC_ADD_FOLDER}) {
        EXPECT_TRUE(uidrv::IsControlEnabled(dlg, id)) << id;
    }
    Tick(dlg, IDC_SPECIFIED, false);
    EXPECT_FALSE(uidrv::IsControlEnabled(dlg, IDC_ADD_FOLDER));
    Tick(dlg, IDC_MY_MUSIC, true);
    uidrv::ClickButton(dlg, IDOK);
    ASSERT_TRUE(Gone(p, kSettings));
    ASSERT_TRUE(p.WaitForLog(L"Transfer completed. 1 song(s)")) << Narrow(p.LogText());
    EXPECT_TRUE(::IsWindowVisible(p.Status()));
    EXPECT_TRUE(FileExists(L"E:\\Music\\first.mp3"));
    std::wstring ini = FileText(Join(computer, L"Settings.ini"));
    for (const wchar_t* line : {L"AllFolders=0", L"MyMusic=1", L"DeskTop=0", L"SelectedFolders=0", L"FolderCount=0"}) {
        EXPECT_TRUE(Has(ini, line)) << Narrow(line) << " in " << Narrow(ini);
    }
    ASSERT_TRUE(p.WaitForIdle());
    EXPECT_TRUE(p.ExitFromTray());
}

TEST_F(SettingsDlgTest, FolderListAddsThroughTheBrowserRefusesDuplicatesAndRemovesSelected) {
    std::wstring rock = Join(pc.myMusic, L"Rock");
    std::wstring jazz = Join(pc.myMusic, L"Jazz");
    ASSERT_TRUE(MakeDirs(rock) && MakeDirs(jazz) && MakeDirs(L"E:\\Music"));
    std::wstring rockLower = rock;
    for (wchar_t& c : rockLower) c = static_cast<wchar_t>(::towlower(c));
    // Folder3 missing and Folder5 empty within the count: neither is listed.
    computer = PrepareKnownPlayer(pc, L"MyMusic=0\r\nDeskTop=0\r\nSelectedFolders=1\r\nFolderCount=7\r\n"
                                      L"Folder1=\"C:\\F1\"\r\nFolder2=\"C:\\F2\"\r\nFolder4=\"C:\\F4\"\r\nFolder5=\r\n"
                                      L"Folder6=\"" + rockLower + L"\"\r\nFolder7=\"C:\\F7\"\r\n");
    RunningProgram p;
    ASSERT_TRUE(p.Start(pc.program)) << p.Failure();
    ASSERT_TRUE(p.WaitForIdle());
    uidrv::ClickButton(p.Status(), IDC_SETTINGS);
    HWND dlg = WaitDialog(p, kSettings);
    ASSERT_NE(nullptr, dlg);
    EXPECT_FALSE(::GetWindowLongW(dlg, GWL_EXSTYLE) & WS_EX_APPWINDOW) << "no taskbar button from the button";
    using Names = std::vector<std::wstring>;
    ASSERT_EQ((Names{L"C:\\F1", L"C:\\F2", L"C:\\F4", rockLower, L"C:\\F7"}), Folders(dlg));

    SelectFolders(dlg, {1, 2});
    ASSERT_TRUE(uidrv::IsControlEnabled(dlg, IDC_REMOVE_FOLDER));
    Send(dlg, IDC_REMOVE_FOLDER);
    EXPECT_EQ((Names{L"C:\\F1", rockLower, L"C:\\F7"}), Folders(dlg));
    EXPECT_EQ(std::vector<int>{1}, Selected(dlg)) << "the follower of the last removed entry";
    SelectFolders(dlg, {2});
    Send(dlg, IDC_REMOVE_FOLDER);
    EXPECT_EQ(std::vector<int>{1}, Selected(dlg)) << "the new last entry";
    EXPECT_TRUE(uidrv::IsControlEnabled(dlg, IDC_REMOVE_FOLDER));

    EXPECT_FALSE(Browse(p, dlg, IDC_ADD_FOLDER, L"E:\\Music")) << "the player's own folders cannot be chosen";
    EXPECT_TRUE(Browse(p, dlg, IDC_ADD_FOLDER, jazz));
    EXPECT_EQ((Names{L"C:\\F1", rockLower, jazz}), Folders(dlg));
    EXPECT_TRUE(Browse(p, dlg, IDC_ADD_FOLDER, rock));
    EXPECT_EQ(rock + L" has already been registered.", Answer(p, L"Error").text);
    EXPECT_EQ(3u, Folders(dlg).size());

    uidrv::ClickButton(dlg, IDOK);
    ASSERT_TRUE(Gone(p, kSettings));
    std::wstring ini = FileText(Join(computer, L"Settings.ini"));
    for (std::wstring line : {std::wstring(L"FolderCount=3"), std::wstring(L"Folder1=\"C:\\F1\""),
                              L"Folder2=\"" + rockLower + L"\"", L"Folder3=\"" + jazz + L"\""}) {
        EXPECT_TRUE(Has(ini, line)) << Narrow(line) << " in " << Narrow(ini);
    }

    std::wstring full = L"[Settings]\r\nSelectedFolders=1\r\nFolderCount=999\r\n";
    for (int n = 1; n <= 999; ++n) full += L"Folder" + std::to_wstring(n) + L"=C:\\F" + std::to_wstring(n) + L"\r\n";
    ASSERT_TRUE(WriteUtf16File(Join(computer, L"Settings.ini"), full));
    uidrv::ClickButton(p.Status(), IDC_SETTINGS);
    dlg = WaitDialog(p, kSettings);
    ASSERT_NE(nullptr, dlg);
    EXPECT_EQ(999u, Folders(dlg).size());
    uidrv::ClickButton(dlg, IDC_ADD_FOLDER);
    EXPECT_EQ(L"At most 999 folders can be listed.", Answer(p, L"Error").text);
    uidrv::ClickButton(dlg, IDCANCEL);
    ASSERT_TRUE(Gone(p, kSettings));
    EXPECT_TRUE(p.ExitFromTray());
}

TEST_F(SettingsDlgTest, AdvancedDialogEditsThePairsThatOnlyOkStoresAndClearsTheHistoryAtOnce) {
    ASSERT_TRUE(WriteBytes(Join(pc.myMusic, L"song.mp3"), RandomBytes(3000, 2)));
    ASSERT_TRUE(MakeDirs(L"E:\\Audio"));
    const std::wstring history = Join(computer, L"TransferredFiles.dat");
    const std::wstring deviceIni = L"E:\\Quavercart\\Quavercart.ini";
    RunningProgram p;
    ASSERT_TRUE(p.Start(pc.program)) << p.Failure();
    ASSERT_TRUE(p.WaitForLog(L"Transfer completed. 1 song(s)")) << Narrow(p.LogText());
    ASSERT_TRUE(p.WaitForIdle());
    uidrv::ClickButton(p.Status(), IDC_SETTINGS);
    HWND settings = WaitDialog(p, kSettings);
    ASSERT_NE(nullptr, settings);
    uidrv::ClickButton(settings, IDC_ADVANCED);
    HWND dlg = WaitDialog(p, kAdvanced);
    ASSERT_NE(nullptr, dlg);
    EXPECT_EQ(L"mp3>\\Music|wma>\\Music", Rows(dlg));
    EXPECT_FALSE(uidrv::IsControlEnabled(dlg, IDC_EXT_EDIT) || uidrv::IsControlEnabled(dlg, IDC_EXT_REMOVE));

    // Add: the refusals keep the dialog open; blanks around the text go.
    uidrv::ClickButton(dlg, IDC_EXT_ADD);
    HWND ext = WaitDialog(p, kExtension);
    ASSERT_NE(nullptr, ext);
    EXPECT_EQ(L"\\Music", uidrv::GetControlText(ext, IDC_DESTINATION));
    struct Refusal {
        const wchar_t* typed;
        const wchar_t* start;
    } refusals[] = {{L" \t\x3000", L"An extension has not been entered."},
                    {L"a.b", L"The following symbols cannot be used"},
                    {L"mp3;ogg", L"The following symbols cannot be used"},
                    {L"a|b", L"The following symbols cannot be used"}};
    for (const Refusal& r : refusals) {
        SetEditText(ext, IDC_EXTENSION, r.typed);
        uidrv::ClickButton(ext, IDOK);
        std::wstring text = Answer(p, L"Error").text;
        EXPECT_EQ(0u, text.find(r.start)) << Narrow(r.typed) << ": " << Narrow(text);
        EXPECT_TRUE(::IsWindow(ext));
    }
    SetEditText(ext, IDC_EXTENSION, L"\t OGG\x3000");
    uidrv::ClickButton(ext, IDOK);
    ASSERT_TRUE(Gone(p, kExtension));
    EXPECT_EQ(L"mp3>\\Music|wma>\\Music|OGG>\\Music", Rows(dlg));
    EXPECT_TRUE(uidrv::IsControlEnabled(dlg, IDC_EXT_EDIT)) << "the new row is selected";

    // Add an extension already listed: No keeps the dialog, Yes replaces the row's destination.
    uidrv::ClickButton(dlg, IDC_EXT_ADD);
    ext = WaitDialog(p, kExtension);
    ASSERT_NE(nullptr, ext);
    SetEditText(ext, IDC_EXTENSION, L"MP3");
    ASSERT_TRUE(Browse(p, ext, IDC_BROWSE, L"E:\\Audio", true));
    EXPECT_EQ(L"\\Audio", uidrv::GetControlText(ext, IDC_DESTINATION));
    uidrv::ClickButton(ext, IDOK);
    EXPECT_EQ(L"Files with the extension \"MP3\" are currently set to be transferred to the folder \"\\Music\".\n"
              L"Do you wish to change the current setting and set \"\\Audio\" as the destination folder?\n",
              Answer(p, L"Confirm Destination Folder", IDNO).text);
    EXPECT_TRUE(::IsWindowVisible(ext));
    uidrv::ClickButton(ext, IDOK);
    Answer(p, L"Confirm Destination Folder", IDYES);
    ASSERT_TRUE(Gone(p, kExtension));
    EXPECT_EQ(L"mp3>\\Audio|wma>\\Music|OGG>\\Music", Rows(dlg));

    // Edit: the extension stays, the destination becomes the player's root.
    SelectRow(dlg, 2);
    uidrv::ClickButton(dlg, IDC_EXT_EDIT);
    ext = WaitDialog(p, kExtension);
    ASSERT_NE(nullptr, ext);
    EXPECT_TRUE(::GetWindowLongW(::GetDlgItem(ext, IDC_EXTENSION), GWL_STYLE) & ES_READONLY);
    ASSERT_TRUE(Browse(p, ext, IDC_BROWSE, L"E:\\", true));
    uidrv::ClickButton(ext, IDOK);
    ASSERT_TRUE(Gone(p, kExtension));
    SelectRow(dlg, 1);
    Send(dlg, IDC_EXT_REMOVE);
    EXPECT_EQ(L"mp3>\\Audio|OGG>\\", Rows(dlg));
    uidrv::ClickButton(dlg, IDOK);
    ASSERT_TRUE(Gone(p, kAdvanced));
    uidrv::ClickButton(settings, IDOK);
    ASSERT_TRUE(Gone(p, kSettings));
    std::wstring ini = FileText(deviceIni);
    for (const wchar_t* line : {L"ExtCount=2", L"Ext1=\"mp3\"", L"Path1=\"Audio\"", L"Ext2=\"ogg\"", L"Path2=\"\""}) {
        EXPECT_TRUE(Has(ini, line)) << Narrow(line) << " in " << Narrow(ini);
    }

    // Close refuses an empty list, Esc discards, Clear takes effect whatever follows.
    EXPECT_NE(L"", FileText(history)) << "the first transfer wrote the history";
    uidrv::ClickButton(p.Status(), IDC_SETTINGS);
    settings = WaitDialog(p, kSettings);
    ASSERT_NE(nullptr, settings);
    uidrv::ClickButton(settings, IDC_ADVANCED);
    dlg = WaitDialog(p, kAdvanced);
    ASSERT_NE(nullptr, dlg);
    EXPECT_EQ(L"mp3>\\Audio|ogg>\\", Rows(dlg));
    for (int i = 0; i < 2; ++i) {
        SelectRow(dlg, 0);
        Send(dlg, IDC_EXT_REMOVE);
    }
    EXPECT_EQ(L"", Rows(dlg));
    EXPECT_FALSE(uidrv::IsControlEnabled(dlg, IDC_EXT_REMOVE));
    uidrv::ClickButton(dlg, IDOK);
    EXPECT_EQ(L"You have not specified any file extensions for transfer.\n", Answer(p, L"Error").text);
    uidrv::ClickButton(dlg, IDC_CLEAR_HISTORY);
    EXPECT_EQ(L"Are you sure you want to clear the transfer history?", Answer(p, L"Clear transfer history", IDYES).text);
    DWORD start = ::GetTickCount();
    while (FileText(history) != L"" && ::GetTickCount() - start < kUiTimeout) ::Sleep(50);
    std::string bytes;
    EXPECT_TRUE(ReadBytes(history, bytes) && bytes == std::string("\xFF\xFE", 2));
    uidrv::Post(dlg, WM_COMMAND, IDCANCEL, 0);  // Esc: the dialog has no Cancel button
    ASSERT_TRUE(Gone(p, kAdvanced));
    uidrv::ClickButton(settings, IDCANCEL);
    ASSERT_TRUE(Gone(p, kSettings));
    EXPECT_EQ(ini, FileText(deviceIni)) << "cancelled settings store nothing";
    EXPECT_TRUE(ReadBytes(history, bytes) && bytes == std::string("\xFF\xFE", 2)) << "the clearing stays";
    EXPECT_TRUE(p.ExitFromTray());
}

} // namespace
