#include "DlgHarness.h"
#include "WndfwTestRes.h"

#include "wndfw/Controls.h"

#include <string>

using namespace wndfwtest;

namespace {

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

} // namespace

TEST(ControlsTest, ListBoxScrollRangeFollowsTheWidestItem) {
    WithDialog([](HWND dialog) {
        CListBox list(dialog, IDC_T_LIST);
        HWND h = list.GetHwnd();
        const std::wstring narrow = L"C:\\a", medium = L"C:\\Users\\someone\\Music",
                           wide = L"D:\\A much longer folder path\\with several levels\\of albums and artists";
        ASSERT_LT(TextWidth(h, narrow), TextWidth(h, medium));
        ASSERT_LT(TextWidth(h, medium), TextWidth(h, wide));
        struct Step {
            const char* name;
            const wchar_t* added;  // or null: delete the item at index
            int index, result;
            std::wstring widest;
        } steps[] = {
            {"first item", medium.c_str(), 0, 0, medium},
            {"narrower item", narrow.c_str(), 0, 1, medium},
            {"wider item", wide.c_str(), 0, 2, wide},
            {"delete a narrower item", nullptr, 1, 2, wide},
            {"delete a missing item", nullptr, 7, LB_ERR, wide},
            {"delete the widest item", nullptr, 1, 1, medium},
            {"delete the last item", nullptr, 0, 0, L""},
            {"add to the emptied list", narrow.c_str(), 0, 0, narrow},
        };
        for (const Step& s : steps) {
            EXPECT_EQ(s.result, s.added ? list.AddString(s.added) : list.DeleteString(s.index)) << s.name;
            EXPECT_EQ(TextWidth(h, s.widest) + 10, ::SendMessageW(h, LB_GETHORIZONTALEXTENT, 0, 0)) << s.name;
        }
    });
}

TEST(ControlsTest, ListBoxItemsAreReadWholeIntoStringsAndWithinTheCallersBuffer) {
    WithDialog([](HWND dialog) {
        CListBox list(dialog, IDC_T_LIST);
        const std::wstring longItem = L"C:\\" + std::wstring(1500, L'x');
        for (const std::wstring& item : {std::wstring(L"C:\\Music"), std::wstring(L"D:\\Songs\\Rock"), longItem})
            list.AddString(item.c_str());
        struct Find {
            const char* name;
            std::wstring text;
            BOOL ignoreCase;
            int found;
        } finds[] = {
            {"exact", L"C:\\Music", FALSE, 1},
            {"other case, ignoring case", L"c:\\MUSIC", TRUE, 1},
            {"other case, exact", L"c:\\MUSIC", FALSE, 0},
            {"trailing backslash", L"C:\\Music\\", TRUE, 0},
            {"trailing backslash, exact", L"C:\\Music\\", FALSE, 0},
            {"prefix", L"C:\\Mus", TRUE, 0},
            {"item beyond 1023 characters", longItem, FALSE, 1},
        };
        for (const Find& c : finds) EXPECT_EQ(c.found, list.FindString(c.text.c_str(), c.ignoreCase)) << c.name;
        EXPECT_GT(list.GetItemWidth(2), list.GetItemWidth(0)) << "a long item is measured whole";
        EXPECT_EQ(L"D:\\Songs\\Rock", list.GetItemString(1));

        struct Copy {
            const char* name;
            int index, capacity, result;
            const wchar_t* text;  // null: the buffer is left alone
        } copies[] = {
            {"enough room", 0, 16, 8, L"C:\\Music"},  {"exactly enough", 0, 9, 8, L"C:\\Music"},
            {"one too small", 0, 8, 7, L"C:\\Musi"},  {"room for the terminator only", 0, 1, 0, L""},
            {"no room at all", 0, 0, LB_ERR, nullptr}, {"missing item", 9, 16, LB_ERR, L""},
        };
        for (const Copy& c : copies) {
            wchar_t buffer[18];
            wmemset(buffer, L'#', 17);
            buffer[17] = L'\0';
            EXPECT_EQ(c.result, list.GetItemString(c.index, buffer, c.capacity)) << c.name;
            EXPECT_EQ(c.text ? std::wstring(c.text) : std::wstring(17, L'#'), buffer) << c.name;
            EXPECT_EQ(L'#', buffer[c.capacity]) << c.name << ": wrote past its capacity";
        }

        for (int index : {0, 1, 2}) list.SetSel(index, TRUE);
        list.SetSel(1, FALSE);
        int indexes[8] = {};
        EXPECT_EQ(2, list.GetSelItems(8, indexes));
        EXPECT_TRUE(indexes[0] == 0 && indexes[1] == 2) << indexes[0] << ", " << indexes[1];
    });
}

TEST(ControlsTest, EditTextLinesScrollAndReadOnly) {
    WithDialog([](HWND dialog) {
        CQcEdit edit(dialog, IDC_T_EDIT);
        edit.SetText(L"one\r\ntwo\r\nthree\r\n");
        edit.SetSel(5, 8);
        edit.ReplaceSel(L"TWO", FALSE);
        std::wstring text;
        edit.GetText(text);
        EXPECT_EQ(L"one\r\nTWO\r\nthree\r\n", text);

        std::wstring many;
        for (int i = 0; i < 60; ++i) many += L"line " + std::to_wstring(i) + L"\r\n";
        edit.SetText(many);
        edit.LineScroll(12, 0);
        EXPECT_EQ(12, ::SendMessageW(edit.GetHwnd(), EM_GETFIRSTVISIBLELINE, 0, 0)) << "lines, not columns";

        edit.SetReadOnly(TRUE);
        EXPECT_EQ(1, edit.IsReadOnly());
        edit.SetReadOnly(FALSE);
        EXPECT_EQ(0, edit.IsReadOnly());
    });
}

TEST(ControlsTest, ListCtrlColumnsItemsTextAndSelection) {
    WithDialog([](HWND dialog) {
        CListCtrl view(dialog, IDC_T_LISTVIEW);
        EXPECT_EQ(0, view.InsertColumn(0, L"Extension", LVCFMT_LEFT, 80, -1));
        EXPECT_EQ(1, view.InsertColumn(1, L"Destination", LVCFMT_LEFT, 120, 1));
        LVCOLUMNW column = {};
        column.mask = LVCF_SUBITEM | LVCF_WIDTH;
        ASSERT_TRUE(::SendMessageW(view.GetHwnd(), LVM_GETCOLUMNW, 1, reinterpret_cast<LPARAM>(&column)));
        EXPECT_TRUE(column.iSubItem == 1 && column.cx == 120) << column.iSubItem << ", " << column.cx;

        EXPECT_EQ(0, view.InsertItem(0, L"mp3"));
        EXPECT_EQ(1, view.InsertItem(1, L"wma"));
        view.SetItemText(0, 1, L"\\Music");
        struct Case {
            const char* name;
            int index, subitem, capacity, length;
            const wchar_t* text;
        } cases[] = {
            {"item text", 1, 0, 260, 3, L"wma"},
            {"subitem text", 0, 1, 260, 6, L"\\Music"},
            {"truncated to its capacity", 0, 1, 4, 3, L"\\Mu"},
        };
        for (const Case& c : cases) {
            wchar_t buffer[260] = {};
            EXPECT_EQ(c.length, view.GetItemText(c.index, c.subitem, buffer, c.capacity)) << c.name;
            EXPECT_STREQ(c.text, buffer) << c.name;
        }

        view.SetItemState(1, LVIS_SELECTED, LVIS_SELECTED);
        EXPECT_EQ(1, view.GetNextItem(-1, LVNI_SELECTED));
        view.SetItemState(1, 0, LVIS_SELECTED);
        EXPECT_EQ(0, view.GetSelectedCount()) << "the mask, not the state, names what changes";
    });
}

TEST(ControlsTest, ProgressRangeGoesBeyondSixteenBits) {
    WithDialog([](HWND dialog) {
        CProgress progress(dialog, IDC_T_PROGRESS);
        progress.SetRange32(0, 250000);
        progress.SetPos(120000);
        EXPECT_EQ(250000, ::SendMessageW(progress.GetHwnd(), PBM_GETRANGE, FALSE, 0));
        EXPECT_EQ(120000, ::SendMessageW(progress.GetHwnd(), PBM_GETPOS, 0, 0));
    });
}
