// Every language of the built program against English: the same strings with
// the same printf conversions, the same dialogs and menu with the same
// controls, access keys unique within each dialog and menu, and texts that fit
// their controls with the dialog's own font. Fonts and their metrics follow
// the locale, so the fit and the program's own choice of language are checked
// once per language under that language's locale (QC_LANG names it).

#include "support/Computer.h"
#include "support/Program.h"
#include "foundation/Handle.h"
#include "resource.h"

#include <gtest/gtest.h>
#include <commctrl.h>
#include <cstdlib>
#include <map>
#include <set>
#include <string>
#include <vector>

using namespace qctest;

namespace {

struct Language {
    WORD id;
    const char* tag;
};
const Language kLanguages[] = {
    {0x0400, "en"},    {0x0404, "zh-TW"}, {0x0407, "de"}, {0x040C, "fr"}, {0x0410, "it"},
    {0x0411, "ja"},    {0x0412, "ko"},    {0x0413, "nl"}, {0x0416, "pt-BR"}, {0x0419, "ru"},
    {0x041E, "th"},    {0x0804, "zh-CN"}, {0x0816, "pt-PT"}, {0x0C0A, "es"},
};
const WORD kEnglish = 0x0400;

HMODULE Program() {
    static HMODULE module = ::LoadLibraryExW(BuiltProgramPath().c_str(), nullptr,
                                             LOAD_LIBRARY_AS_DATAFILE | LOAD_LIBRARY_AS_IMAGE_RESOURCE);
    return module;
}

const void* Resource(LPCWSTR type, LPCWSTR name, WORD lang, DWORD* size = nullptr) {
    HRSRC res = ::FindResourceExW(Program(), type, name, lang);
    if (!res) return nullptr;
    if (size) *size = ::SizeofResource(Program(), res);
    return ::LockResource(::LoadResource(Program(), res));
}

// The string of one language's own table (no fallback), or nothing.
bool TableString(UINT id, WORD lang, std::wstring& text) {
    const WORD* p = static_cast<const WORD*>(Resource(RT_STRING, MAKEINTRESOURCEW(id / 16 + 1), lang));
    if (!p) return false;
    for (UINT i = 0; i < id % 16; ++i) p += 1 + *p;
    if (*p == 0) return false;
    text.assign(reinterpret_cast<const wchar_t*>(p + 1), *p);
    return true;
}

std::vector<UINT> EnglishStringIds() {
    std::vector<UINT> ids;
    for (UINT block = 1; block <= 4096; ++block) {
        if (!Resource(RT_STRING, MAKEINTRESOURCEW(block), kEnglish)) continue;
        std::wstring text;
        for (UINT id = (block - 1) * 16; id < block * 16; ++id) {
            if (TableString(id, kEnglish, text)) ids.push_back(id);
        }
    }
    return ids;
}

// The printf conversions of a text in order: "%s %d" gives "sd".
std::string Conversions(const std::wstring& text) {
    std::string out;
    for (size_t i = 0; i < text.size(); ++i) {
        if (text[i] != L'%') continue;
        size_t j = i + 1;
        while (j < text.size() && wcschr(L"-+ #0123456789.lhI", text[j])) ++j;
        if (j < text.size()) out += static_cast<char>(text[j]);
        i = j;
    }
    return out;
}

// The access key of a text, upper-cased, or 0.
wchar_t AccessKey(const std::wstring& text) {
    for (size_t i = 0; i + 1 < text.size(); ++i) {
        if (text[i] != L'&') continue;
        if (text[i + 1] == L'&') {
            ++i;
            continue;
        }
        return static_cast<wchar_t>(reinterpret_cast<ULONG_PTR>(::CharUpperW(
            reinterpret_cast<LPWSTR>(static_cast<ULONG_PTR>(text[i + 1])))));
    }
    return 0;
}

struct Control {
    DWORD id;
    std::wstring text;
};

// The controls of an extended dialog template, as windres writes DIALOGEX.
std::vector<Control> DialogControls(const void* resource, std::wstring* caption = nullptr) {
    std::vector<Control> controls;
    auto p = static_cast<const BYTE*>(resource);
    auto word = [&p] {
        WORD w = *reinterpret_cast<const WORD*>(p);
        p += 2;
        return w;
    };
    auto text = [&]() {
        std::wstring s;
        if (*reinterpret_cast<const WORD*>(p) == 0xFFFF) {
            p += 4;
            return s;
        }
        while (WORD w = word()) s += static_cast<wchar_t>(w);
        return s;
    };
    auto align = [&p] { p += (4 - reinterpret_cast<ULONG_PTR>(p) % 4) % 4; };
    p += 4 + 4 + 4;  // version and signature, help id, extended style
    DWORD style = *reinterpret_cast<const DWORD*>(p);
    p += 4;
    WORD count = word();
    p += 8;
    text();  // menu
    text();  // class
    std::wstring title = text();
    if (caption) *caption = title;
    if (style & DS_SETFONT) {
        p += 6;
        text();
    }
    for (WORD i = 0; i < count; ++i) {
        align();
        p += 4 + 4 + 4 + 8;  // help id, extended style, style, position and size
        DWORD id = *reinterpret_cast<const DWORD*>(p);
        p += 4;
        text();  // class
        Control c{id, text()};
        WORD extra = word();
        p += extra;
        controls.push_back(c);
    }
    return controls;
}

// Menu item texts of a standard menu template, all levels.
std::vector<std::wstring> MenuTexts(const void* resource) {
    std::vector<std::wstring> texts;
    auto p = static_cast<const WORD*>(resource) + 2;
    int depth = 1;
    while (depth > 0) {
        WORD flags = *p++;
        if (!(flags & MF_POPUP)) ++p;  // the command id
        std::wstring s;
        while (*p) s += static_cast<wchar_t>(*p++);
        ++p;
        if (!s.empty()) texts.push_back(s);
        if (flags & MF_POPUP) ++depth;
        if (flags & MF_END) {
            --depth;
            if (flags & MF_POPUP) --depth;
        }
    }
    return texts;
}

BOOL CALLBACK CollectName(HMODULE, LPCWSTR, LPWSTR name, LONG_PTR list) {
    if (!IS_INTRESOURCE(name)) reinterpret_cast<std::vector<std::wstring>*>(list)->push_back(name);
    return TRUE;
}

std::vector<std::wstring> DialogNames() {
    std::vector<std::wstring> names;
    ::EnumResourceNamesW(Program(), RT_DIALOG, CollectName, reinterpret_cast<LONG_PTR>(&names));
    return names;
}

TEST(LanguagesTest, EveryLanguageHasEveryStringDialogAndMenuOfEnglish) {
    ASSERT_NE(nullptr, Program());
    const std::vector<UINT> ids = EnglishStringIds();
    const std::vector<std::wstring> dialogs = DialogNames();
    ASSERT_GT(ids.size(), 25u);
    ASSERT_GE(dialogs.size(), 1u);
    const std::vector<std::wstring> englishMenu = MenuTexts(Resource(RT_MENU, MAKEINTRESOURCEW(IDR_TRAYMENU), kEnglish));
    for (const Language& lang : kLanguages) {
        for (UINT id : ids) {
            std::wstring english, text;
            TableString(id, kEnglish, english);
            if (!TableString(id, lang.id, text)) {
                ADD_FAILURE() << lang.tag << ": string " << id << " is missing";
                continue;
            }
            // A missing or reordered conversion would crash a formatted box.
            EXPECT_EQ(Conversions(english), Conversions(text)) << lang.tag << ": string " << id << " " << Narrow(text);
        }
        for (const std::wstring& name : dialogs) {
            const void* own = Resource(RT_DIALOG, name.c_str(), lang.id);
            if (!own) {
                ADD_FAILURE() << lang.tag << ": dialog " << Narrow(name) << " is missing";
                continue;
            }
            std::vector<Control> english = DialogControls(Resource(RT_DIALOG, name.c_str(), kEnglish));
            std::vector<Control> controls = DialogControls(own);
            std::vector<DWORD> englishIds, ownIds;
            for (const Control& c : english) englishIds.push_back(c.id);
            for (const Control& c : controls) ownIds.push_back(c.id);
            EXPECT_EQ(englishIds, ownIds) << lang.tag << ": controls of " << Narrow(name);
            std::map<wchar_t, std::wstring> keys;
            for (const Control& c : controls) {
                if (wchar_t key = AccessKey(c.text)) {
                    auto [it, added] = keys.emplace(key, c.text);
                    EXPECT_TRUE(added) << lang.tag << ": " << Narrow(name) << ": \"" << Narrow(c.text) << "\" and \""
                                       << Narrow(it->second) << "\" share an access key";
                }
            }
        }
        const void* menu = Resource(RT_MENU, MAKEINTRESOURCEW(IDR_TRAYMENU), lang.id);
        if (!menu) {
            ADD_FAILURE() << lang.tag << ": the tray menu is missing";
            continue;
        }
        std::vector<std::wstring> items = MenuTexts(menu);
        EXPECT_EQ(englishMenu.size(), items.size()) << lang.tag;
        std::set<wchar_t> keys;
        for (const std::wstring& item : items) {
            wchar_t key = AccessKey(item);
            EXPECT_TRUE(!key || keys.insert(key).second) << lang.tag << ": menu item " << Narrow(item);
        }
    }
}

const Language* CurrentLanguage() {
    const char* tag = std::getenv("QC_LANG");
    for (const Language& lang : kLanguages) {
        if (std::string(tag ? tag : "en") == lang.tag) return &lang;
    }
    return nullptr;
}

INT_PTR CALLBACK QuietDialog(HWND, UINT, WPARAM, LPARAM) { return FALSE; }

// Texts the program puts into controls after the dialog is made.
struct RuntimeText {
    const wchar_t* dialog;
    int control;
    UINT string;
};
const RuntimeText kRuntimeTexts[] = {
    {L"STATUSDLG", IDC_SEARCHING, IDS_SEARCHING},
    {L"STATUSDLG", IDC_TRANSFER, IDS_START_TRANSFER},
    {L"STATUSDLG", IDC_TRANSFER, IDS_STOP_TRANSFER},
};

// How much of a control's width its text needs, and how much it has.
void ExpectFits(const char* tag, const std::wstring& dialog, HWND control, const std::wstring& text) {
    wchar_t className[32] = L"";
    ::GetClassNameW(control, className, 32);
    const LONG style = ::GetWindowLongW(control, GWL_STYLE);
    const bool button = ::lstrcmpiW(className, L"Button") == 0;
    const LONG staticKind = style & SS_TYPEMASK;
    const bool label = ::lstrcmpiW(className, L"Static") == 0 &&
                       (staticKind <= SS_RIGHT || staticKind == SS_SIMPLE || staticKind == SS_LEFTNOWORDWRAP);
    if (text.empty() || !(button || label)) return;
    RECT client;
    ::GetClientRect(control, &client);
    CWindowDc dc(control);
    CSelection font(dc.Get(), reinterpret_cast<HGDIOBJ>(::SendMessageW(control, WM_GETFONT, 0, 0)));
    const LONG kind = style & BS_TYPEMASK;
    const bool wraps = (button && (style & BS_MULTILINE)) || (label && staticKind <= SS_RIGHT);
    int room = client.right;
    if (button && (kind == BS_AUTOCHECKBOX || kind == BS_CHECKBOX || kind == BS_AUTORADIOBUTTON)) {
        room -= ::GetSystemMetrics(SM_CXMENUCHECK) + 4;
    } else if (button && kind == BS_GROUPBOX) {
        room -= 16;
    } else if (button) {
        room -= 2 * ::GetSystemMetrics(SM_CXEDGE) + 4;
    }
    RECT need = {0, 0, wraps ? room : 0, 0};
    ::DrawTextW(dc.Get(), text.c_str(), -1, &need,
                DT_CALCRECT | (wraps ? DT_WORDBREAK : DT_SINGLELINE) | ((style & SS_NOPREFIX) && !button ? DT_NOPREFIX : 0));
    if (wraps) {
        EXPECT_LE(need.bottom, client.bottom) << tag << ": " << Narrow(dialog) << " control "
                                              << ::GetDlgCtrlID(control) << " cuts lines off: \"" << Narrow(text) << "\"";
    } else {
        EXPECT_LE(need.right, room) << tag << ": " << Narrow(dialog) << " control " << ::GetDlgCtrlID(control)
                                    << " is too narrow for \"" << Narrow(text) << "\"";
    }
}

// Run under the language's own locale: the fonts Wine picks depend on it.
TEST(LanguagesTest, TextsFitTheirControls) {
    const Language* lang = CurrentLanguage();
    ASSERT_NE(nullptr, lang) << "QC_LANG names no language";
    INITCOMMONCONTROLSEX controls = {sizeof controls, ICC_PROGRESS_CLASS | ICC_LISTVIEW_CLASSES};
    ::InitCommonControlsEx(&controls);
    for (const std::wstring& name : DialogNames()) {
        auto* resource = static_cast<const DLGTEMPLATE*>(Resource(RT_DIALOG, name.c_str(), lang->id));
        ASSERT_NE(nullptr, resource) << lang->tag << " " << Narrow(name);
        HWND dialog = ::CreateDialogIndirectParamW(::GetModuleHandleW(nullptr), resource, nullptr, QuietDialog, 0);
        ASSERT_NE(nullptr, dialog) << lang->tag << " " << Narrow(name);
        for (HWND child = ::GetWindow(dialog, GW_CHILD); child; child = ::GetWindow(child, GW_HWNDNEXT)) {
            wchar_t text[1024] = L"";
            ::GetWindowTextW(child, text, 1024);
            ExpectFits(lang->tag, name, child, text);
        }
        for (const RuntimeText& r : kRuntimeTexts) {
            std::wstring text;
            if (name == r.dialog && TableString(r.string, lang->id, text)) {
                ExpectFits(lang->tag, name, ::GetDlgItem(dialog, r.control), text);
            }
        }
        ::DestroyWindow(dialog);
    }
}

// The real program under the locale shows the language's own texts; a locale
// without a translation shows English.
TEST(LanguagesTest, TheProgramSpeaksTheLocalesLanguage) {
    const Language* lang = CurrentLanguage();
    ASSERT_NE(nullptr, lang);
    Computer pc = ResetComputer();
    PrepareKnownPlayer(pc, L"AllFolders=0\r\nMyMusic=1\r\nDeskTop=0\r\nSelectedFolders=0\r\n");
    RunningProgram program;
    ASSERT_TRUE(program.Start(pc.program)) << program.Failure();
    std::wstring completed;
    ASSERT_TRUE(TableString(IDS_TRANSFER_COMPLETED, lang->id, completed));
    EXPECT_TRUE(program.WaitForLog(completed)) << lang->tag << ": " << Narrow(program.LogText());
    std::vector<Control> controls = DialogControls(Resource(RT_DIALOG, L"STATUSDLG", lang->id));
    for (const Control& c : controls) {
        if (c.id == IDC_SETTINGS || c.id == IDC_DISP_FOLDER) {
            EXPECT_EQ(Narrow(c.text), Narrow(uidrv::GetControlText(program.Status(), c.id))) << lang->tag;
        }
    }
    EXPECT_TRUE(program.ExitFromTray());
}

} // namespace
