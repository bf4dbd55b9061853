#include "DlgHarness.h"
#include "WndfwTestRes.h"

#include "support/Computer.h"
#include "wndfw/Controls.h"

#include <string>

using namespace wndfwtest;

namespace {

class ControlsTest : public ::testing::Test {
protected:
    void SetUp() override { InitProcess(); }

    // Runs body on a live TESTDLG inside its modal loop.
    static void WithDialog(const std::function<void(HWND)>& body) {
        CScriptDlg dlg(L"TESTDLG", nullptr, {[&](CScriptDlg& d) {
                           body(d.GetHwnd());
                           d.EndDialog(1);
                       }});
        ASSERT_EQ(1, dlg.DoModal());
    }
};

// The width of a text in the list box's own font, as the control draws it.
int TextWidth(HWND list, const std::wstring& text) {
    HDC dc = ::GetDC(list);
    HGDIOBJ old = ::SelectObject(dc, reinterpret_cast<HFONT>(::SendMessageW(list, WM_GETFONT, 0, 0)));
    SIZE size = {};
    ::GetTextExtentPoint32W(dc, text.c_str(), static_cast<int>(text.size()), &size);
    ::SelectObject(dc, old);
    ::ReleaseDC(list, dc);
    return size.cx;
}

int Extent(HWND list) { return static_cast<int>(::SendMessageW(list, LB_GETHORIZONTALEXTENT, 0, 0)); }

} // namespace

TEST_F(ControlsTest, ListBoxScrollRangeFollowsTheWidestItem) {
    WithDialog([](HWND dialog) {
        CListBox list(dialog, IDC_T_LIST);
        HWND h = list.GetHwnd();
        const std::wstring shortText = L"C:\\a";
        const std::wstring medium = L"C:\\Users\\someone\\Music";
        const std::wstring wide = L"D:\\A much longer folder path\\with several levels\\of albums and artists";
        ASSERT_LT(TextWidth(h, shortText), TextWidth(h, medium));
        ASSERT_LT(TextWidth(h, medium), TextWidth(h, wide));

        struct Step {
            const char* name;
            bool add;
            std::wstring text;  // added
            int index;          // deleted
            std::wstring widest;
        } steps[] = {
            {"first item", true, medium, 0, medium},
            {"narrower item", true, shortText, 0, medium},
            {"wider item", true, wide, 0, wide},
            {"delete a narrower item", false, L"", 1, wide},
            {"delete the widest item", false, L"", 1, medium},
            {"delete the last item", false, L"", 0, L""},
            {"add to the emptied list", true, shortText, 0, shortText},
        };
        for (const Step& s : steps) {
            if (s.add)
                list.AddString(s.text.c_str());
            else
                list.DeleteString(s.index);
            EXPECT_EQ(TextWidth(h, s.widest) + 10, Extent(h)) << s.name;
        }
        EXPECT_EQ(1, list.GetCount());
        EXPECT_EQ(TextWidth(h, shortText), list.GetItemWidth(0));

        list.AddString(wide.c_str());
        int before = Extent(h);
        EXPECT_EQ(LB_ERR, list.DeleteString(7)) << "a missing item";
        EXPECT_EQ(before, Extent(h));
        EXPECT_EQ(2, list.GetCount());

        list.DeleteString(1);
        list.DeleteString(0);
        list.RecalcExtent();
        EXPECT_EQ(10, Extent(h)) << "an empty list gets the margin alone";
    });
}

TEST_F(ControlsTest, ListBoxFindStringMatchesWholeItemsWithOrWithoutCase) {
    WithDialog([](HWND dialog) {
        CListBox list(dialog, IDC_T_LIST);
        EXPECT_EQ(0, list.FindString(L"C:\\Music", TRUE)) << "empty list";
        const std::wstring longItem = L"C:\\" + std::wstring(1500, L'x');
        list.AddString(L"C:\\Music");
        list.AddString(L"D:\\Songs\\Rock");
        list.AddString(longItem.c_str());
        struct Case {
            const char* name;
            std::wstring text;
            BOOL ignoreCase;
            int found;
        } cases[] = {
            {"exact", L"C:\\Music", FALSE, 1},
            {"other case, ignoring case", L"c:\\MUSIC", TRUE, 1},
            {"other case, exact", L"c:\\MUSIC", FALSE, 0},
            {"second item", L"d:\\songs\\rock", TRUE, 1},
            {"trailing backslash", L"C:\\Music\\", TRUE, 0},
            {"prefix", L"C:\\Mus", TRUE, 0},
            {"empty text", L"", TRUE, 0},
            {"item beyond 1023 characters", longItem, FALSE, 1},
            {"its first 1023 characters", longItem.substr(0, 1023), FALSE, 0},
        };
        for (const Case& c : cases) EXPECT_EQ(c.found, list.FindString(c.text.c_str(), c.ignoreCase)) << c.name;
        EXPECT_GT(list.GetItemWidth(2), list.GetItemWidth(0)) << "a long item is measured whole";
    });
}

TEST_F(ControlsTest, ListBoxItemsAndSelections) {
    WithDialog([](HWND dialog) {
        CListBox list(dialog, IDC_T_LIST);
        const wchar_t* items[] = {L"abcdef", L"one", L"two", L"three", L"four"};
        for (int i = 0; i < 5; ++i) EXPECT_EQ(i, list.AddString(items[i])) << "added in order, unsorted";

        struct Case {
            const char* name;
            int index, capacity, result;
            const wchar_t* text;
        } cases[] = {
            {"enough room", 0, 16, 6, L"abcdef"},
            {"exactly enough", 0, 7, 6, L"abcdef"},
            {"one too small", 0, 6, 5, L"abcde"},
            {"room for the terminator only", 0, 1, 0, L""},
            {"missing item", 9, 16, LB_ERR, L""},
        };
        for (const Case& c : cases) {
            wchar_t buffer[16];
            wmemset(buffer, L'#', 16);
            EXPECT_EQ(c.result, list.GetItemString(c.index, buffer, c.capacity)) << c.name;
            EXPECT_EQ(std::wstring(c.text), buffer) << c.name;
            if (c.capacity < 16) {
                EXPECT_EQ(L'#', buffer[c.capacity]) << c.name << ": wrote past its capacity";
            }
        }
        wchar_t none[1] = {L'#'};
        EXPECT_EQ(LB_ERR, list.GetItemString(0, none, 0));
        EXPECT_EQ(L'#', none[0]);

        list.SetSel(1, TRUE);
        list.SetSel(3, TRUE);
        EXPECT_EQ(2, list.GetSelCount());
        int indexes[8] = {};
        EXPECT_EQ(2, list.GetSelItems(8, indexes));
        EXPECT_EQ(1, indexes[0]);
        EXPECT_EQ(3, indexes[1]);
        int one[1] = {};
        EXPECT_EQ(1, list.GetSelItems(1, one)) << "capacity bounds the copy";
        EXPECT_EQ(1, one[0]);
        list.SetSel(1, FALSE);
        EXPECT_EQ(1, list.GetSelCount());
        EXPECT_EQ(4, list.DeleteString(3));
        EXPECT_EQ(0, list.GetSelCount());
        EXPECT_EQ(L"four", list.GetItemString(3));
    });
}

TEST_F(ControlsTest, EditLinesSelectionAndReadOnly) {
    WithDialog([](HWND dialog) {
        CQcEdit edit(dialog, IDC_T_EDIT);
        edit.SetText(L"one\r\ntwo\r\nthree");
        EXPECT_EQ(3, edit.GetLineCount());
        struct Case {
            int line, index;
        } cases[] = {{0, 0}, {1, 5}, {2, 10}, {3, -1}};
        for (const Case& c : cases) EXPECT_EQ(c.index, edit.LineIndex(c.line)) << "line " << c.line;

        edit.SetSel(5, 8);
        edit.ReplaceSel(L"TWO", FALSE);
        int end = ::GetWindowTextLengthW(edit.GetHwnd());
        edit.SetSel(end, end);
        edit.ReplaceSel(L"\r\nfour\r\n", FALSE);
        std::wstring text;
        edit.GetText(text);
        EXPECT_EQ(L"one\r\nTWO\r\nthree\r\nfour\r\n", text);
        EXPECT_EQ(5, edit.GetLineCount()) << "the final line break leaves an empty last line";

        std::wstring many;
        for (int i = 0; i < 60; ++i) many += L"line " + std::to_wstring(i) + L"\r\n";
        edit.SetText(many);
        edit.SetSel(0, 0);
        edit.LineScroll(12, 0);
        EXPECT_EQ(12, ::SendMessageW(edit.GetHwnd(), EM_GETFIRSTVISIBLELINE, 0, 0));

        EXPECT_EQ(0, edit.IsReadOnly());
        edit.SetReadOnly(TRUE);
        EXPECT_EQ(1, edit.IsReadOnly());
        edit.SetReadOnly(FALSE);
        EXPECT_EQ(0, edit.IsReadOnly());

        CQcEdit missing(dialog, IDC_T_MISSING);
        EXPECT_EQ(0, missing.IsReadOnly());
        EXPECT_EQ(0, missing.GetLineCount());
    });
}

TEST_F(ControlsTest, ListCtrlColumnsItemsTextAndSelection) {
    WithDialog([](HWND dialog) {
        CListCtrl view(dialog, IDC_T_LISTVIEW);
        HWND h = view.GetHwnd();
        EXPECT_EQ(0, view.InsertColumn(0, L"Extension", LVCFMT_LEFT, 80, -1));
        EXPECT_EQ(1, view.InsertColumn(1, L"Destination", LVCFMT_LEFT, 120, 1));
        EXPECT_EQ(80, ::SendMessageW(h, LVM_GETCOLUMNWIDTH, 0, 0));
        EXPECT_EQ(120, ::SendMessageW(h, LVM_GETCOLUMNWIDTH, 1, 0));
        LVCOLUMNW column = {};
        column.mask = LVCF_SUBITEM;
        ASSERT_TRUE(::SendMessageW(h, LVM_GETCOLUMNW, 1, reinterpret_cast<LPARAM>(&column)));
        EXPECT_EQ(1, column.iSubItem);

        EXPECT_EQ(0, view.InsertItem(0, L"mp3"));
        EXPECT_EQ(1, view.InsertItem(1, L"wma"));
        view.SetItemText(0, 1, L"\\Music");
        view.SetItemText(1, 1, L"\\Voice");
        EXPECT_EQ(2, view.GetItemCount());

        struct Case {
            const char* name;
            int index, subitem, capacity, length;
            const wchar_t* text;
        } cases[] = {
            {"item text", 0, 0, 260, 3, L"mp3"},
            {"subitem text", 0, 1, 260, 6, L"\\Music"},
            {"second row", 1, 1, 260, 6, L"\\Voice"},
            {"truncated to its capacity", 0, 1, 4, 3, L"\\Mu"},
        };
        for (const Case& c : cases) {
            wchar_t buffer[260] = {};
            EXPECT_EQ(c.length, view.GetItemText(c.index, c.subitem, buffer, c.capacity)) << c.name;
            EXPECT_STREQ(c.text, buffer) << c.name;
        }

        EXPECT_EQ(0, view.GetSelectedCount());
        EXPECT_EQ(-1, view.GetNextItem(-1, LVNI_SELECTED));
        view.SetItemState(1, LVIS_SELECTED, LVIS_SELECTED);
        EXPECT_EQ(1, view.GetSelectedCount());
        EXPECT_EQ(1, view.GetNextItem(-1, LVNI_SELECTED));
        EXPECT_EQ(-1, view.GetNextItem(1, LVNI_SELECTED));
        view.SetItemState(1, 0, LVIS_SELECTED);
        EXPECT_EQ(0, view.GetSelectedCount());

        view.DeleteItem(0);
        EXPECT_EQ(1, view.GetItemCount());
        wchar_t left[16] = {};
        view.GetItemText(0, 0, left, 16);
        EXPECT_STREQ(L"wma", left);
    });
}

TEST_F(ControlsTest, ProgressRangeGoesBeyondSixteenBits) {
    WithDialog([](HWND dialog) {
        CProgress progress(dialog, IDC_T_PROGRESS);
        progress.SetRange32(0, 250000);
        progress.SetPos(120000);
        EXPECT_EQ(0, ::SendMessageW(progress.GetHwnd(), PBM_GETRANGE, TRUE, 0));
        EXPECT_EQ(250000, ::SendMessageW(progress.GetHwnd(), PBM_GETRANGE, FALSE, 0));
        EXPECT_EQ(120000, ::SendMessageW(progress.GetHwnd(), PBM_GETPOS, 0, 0));
    });
}
