// Every language of the built program against English: the same strings with
// the same printf conversions, the same dialogs and menu with the same items,
// and texts that fit their controls with the dialog's own font. Fonts and their
// metrics follow the locale, so the fit and the program's own choice of language
// are checked once per language under that language's locale (QC_LANG names it).

#include "support/Program.h"
#include "foundation/Handle.h"
#include "resource.h"

#include <gtest/gtest.h>
#include <commctrl.h>
#include <algorithm>
#include <cstdlib>

using namespace qctest;

namespace {

struct Language {
    WORD id;
    const char* tag;
};
const Language kLanguages[] = {
    {0x0400, "en"}, {0x0404, "zh-TW"}, {0x0407, "de"}, {0x040C, "fr"}, {0x0410, "it"}, {0x0411, "ja"}, {0x0412, "ko"},
    {0x0413, "nl"}, {0x0416, "pt-BR"}, {0x0419, "ru"}, {0x041E, "th"}, {0x0804, "zh-CN"}, {0x0816, "pt-PT"}, {0x0C0A, "es"},
};
const WORD kEnglish = 0x0400;

HMODULE Program() {
    static HMODULE module = [] {
        INITCOMMONCONTROLSEX controls = {sizeof controls, ICC_PROGRESS_CLASS | ICC_LISTVIEW_CLASSES};
        ::InitCommonControlsEx(&controls);  // for the dialogs made from the program's templates
        return ::LoadLibraryExW(BuiltProgramPath().c_str(), nullptr, LOAD_LIBRARY_AS_DATAFILE | LOAD_LIBRARY_AS_IMAGE_RESOURCE);
    }();
    return module;
}

const void* Resource(LPCWSTR type, LPCWSTR name, WORD lang) {
    HRSRC res = ::FindResourceExW(Program(), type, name, lang);
    return res ? ::LockResource(::LoadResource(Program(), res)) : nullptr;
}

// The string of one language's own table (no fallback); empty when missing.
std::wstring TableString(UINT id, WORD lang) {
    const WORD* p = static_cast<const WORD*>(Resource(RT_STRING, MAKEINTRESOURCEW(id / 16 + 1), lang));
    for (UINT i = 0; p && i < id % 16; ++i) p += 1 + *p;
    return p ? std::wstring(reinterpret_cast<const wchar_t*>(p + 1), *p) : L"";
}

// The printf conversions of a text in order: "%s %d" gives "sd".
std::string Conversions(const std::wstring& text) {
    std::string out;
    for (size_t i = text.find(L'%'); i != std::wstring::npos && i + 1 < text.size(); i = text.find(L'%', i + 1)) {
        i = text.find_first_not_of(L"-+ #0123456789.lhI", i + 1);
        if (i != std::wstring::npos) out += static_cast<char>(text[i]);
    }
    return out;
}

INT_PTR CALLBACK QuietDialog(HWND, UINT, WPARAM, LPARAM) { return FALSE; }

// A dialog of one language made hidden from its own template, or with no name
// the tray menu: its items' ids.
struct Form {
    Form(const std::wstring& dialog, WORD lang) {
        if (!dialog.empty()) {
            auto* resource = static_cast<const DLGTEMPLATE*>(Resource(RT_DIALOG, dialog.c_str(), lang));
            window = resource ? ::CreateDialogIndirectParamW(nullptr, resource, nullptr, QuietDialog, 0) : nullptr;
            for (HWND c = ::GetWindow(window, GW_CHILD); c; c = ::GetWindow(c, GW_HWNDNEXT)) {
                ids.push_back(static_cast<UINT>(::GetDlgCtrlID(c)));
            }
        } else if (const void* resource = Resource(RT_MENU, MAKEINTRESOURCEW(IDR_TRAYMENU), lang)) {
            menu.Reset(::LoadMenuIndirectW(resource));
            AddMenu(menu.Get());
        }
    }
    ~Form() { ::DestroyWindow(window); }
    void AddMenu(HMENU from) {
        for (int i = 0, n = ::GetMenuItemCount(from); i < n; ++i) {
            ids.push_back(::GetMenuItemID(from, i));
            if (HMENU sub = ::GetSubMenu(from, i)) AddMenu(sub);
        }
    }
    HWND window = nullptr;
    CMenu menu;
    std::vector<UINT> ids;
};

BOOL CALLBACK CollectName(HMODULE, LPCWSTR, LPWSTR name, LONG_PTR list) {
    if (!IS_INTRESOURCE(name)) reinterpret_cast<std::vector<std::wstring>*>(list)->push_back(name);
    return TRUE;
}

// The dialogs' names, and the menu's empty one.
std::vector<std::wstring> FormNames() {
    std::vector<std::wstring> names = {L""};
    ::EnumResourceNamesW(Program(), RT_DIALOG, CollectName, reinterpret_cast<LONG_PTR>(&names));
    return names;
}

TEST(LanguagesTest, EveryLanguageHasEveryStringDialogAndMenuOfEnglish) {
    std::vector<UINT> ids;
    for (UINT id = 0; id < 65536; ++id) {
        if (!TableString(id, kEnglish).empty()) ids.push_back(id);
    }
    const std::vector<std::wstring> forms = FormNames();
    ASSERT_TRUE(ids.size() > 25 && forms.size() >= 6 && Form(L"", kEnglish).ids.size() >= 3);
    for (const Language& lang : kLanguages) {
        for (UINT id : ids) {
            // A missing or reordered conversion would crash a formatted box.
            std::wstring text = TableString(id, lang.id);
            EXPECT_TRUE(!text.empty() && Conversions(TableString(id, kEnglish)) == Conversions(text))
                << lang.tag << ": string " << id << " \"" << Narrow(text) << "\"";
        }
        for (const std::wstring& name : forms) {
            Form english(name, kEnglish), own(name, lang.id);
            EXPECT_TRUE((own.window || own.menu) && english.ids == own.ids)
                << lang.tag << ": " << (name.empty() ? "the tray menu" : Narrow(name));
        }
    }
}

// Whether a control's text fits its width (or, wrapped, its height) in the control's own font.
void ExpectFits(const std::string& where, HWND control, const std::wstring& text) {
    const std::wstring kind = uidrv::GetClass(control);
    const LONG style = ::GetWindowLongW(control, GWL_STYLE), staticKind = style & SS_TYPEMASK, buttonKind = style & BS_TYPEMASK;
    const bool button = ::lstrcmpiW(kind.c_str(), L"Button") == 0;
    const bool label = ::lstrcmpiW(kind.c_str(), L"Static") == 0 &&
                       (staticKind <= SS_RIGHT || staticKind == SS_SIMPLE || staticKind == SS_LEFTNOWORDWRAP);
    if (text.empty() || !(button || label)) return;
    RECT client;
    ::GetClientRect(control, &client);
    CWindowDc dc(control);
    CSelection font(dc.Get(), reinterpret_cast<HGDIOBJ>(::SendMessageW(control, WM_GETFONT, 0, 0)));
    const bool wraps = (button && (style & BS_MULTILINE)) || (label && staticKind <= SS_RIGHT);
    const bool box = buttonKind == BS_AUTOCHECKBOX || buttonKind == BS_CHECKBOX || buttonKind == BS_AUTORADIOBUTTON;
    const int room = client.right - (!button ? 0 : box ? ::GetSystemMetrics(SM_CXMENUCHECK) + 4
                                                 : buttonKind == BS_GROUPBOX ? 16 : 2 * ::GetSystemMetrics(SM_CXEDGE) + 4);
    RECT need = {0, 0, wraps ? room : 0, 0};
    ::DrawTextW(dc.Get(), text.c_str(), -1, &need,
                DT_CALCRECT | (wraps ? DT_WORDBREAK : DT_SINGLELINE) | ((style & SS_NOPREFIX) && !button ? DT_NOPREFIX : 0));
    EXPECT_LE(wraps ? need.bottom : need.right, wraps ? client.bottom : room) << where << ": " << Narrow(text);
}

// Run under the language's own locale: the fonts Wine picks depend on it. The
// status window's texts set after the dialog is made are fitted too. The real
// program then shows the language's own texts; a locale without a translation
// shows English.
TEST(LanguagesTest, UnderTheLocaleTextsFitTheirControlsAndTheProgramSpeaksItsLanguage) {
    const std::string tag = std::getenv("QC_LANG") ? std::getenv("QC_LANG") : "en";
    auto lang = std::find_if(std::begin(kLanguages), std::end(kLanguages), [&](auto& l) { return tag == l.tag; });
    ASSERT_NE(std::end(kLanguages), lang) << "QC_LANG names no language";
    for (const std::wstring& name : FormNames()) {
        if (name.empty()) continue;
        const std::string where = tag + ": " + Narrow(name);
        Form dialog(name, lang->id);
        ASSERT_NE(nullptr, dialog.window) << where;
        for (HWND c = ::GetWindow(dialog.window, GW_CHILD); c; c = ::GetWindow(c, GW_HWNDNEXT)) {
            ExpectFits(where, c, uidrv::GetText(c));
        }
        const std::pair<int, UINT> runtime[] = {
            {IDC_SEARCHING, IDS_SEARCHING}, {IDC_TRANSFER, IDS_START_TRANSFER}, {IDC_TRANSFER, IDS_STOP_TRANSFER}};
        for (const auto& [id, string] : runtime) {
            if (name == L"STATUSDLG") ExpectFits(where, ::GetDlgItem(dialog.window, id), TableString(string, lang->id));
        }
    }
    Computer pc = ResetComputer();
    PrepareKnownPlayer(pc, L"AllFolders=0\r\nMyMusic=1\r\nDeskTop=0\r\nSelectedFolders=0\r\n");
    RunningProgram program;
    ASSERT_TRUE(program.Start(pc.program)) << program.Failure();
    const std::wstring completed = TableString(IDS_TRANSFER_COMPLETED, lang->id);
    ASSERT_FALSE(completed.empty()) << tag;
    EXPECT_TRUE(program.WaitForLog(completed)) << tag << ": " << Narrow(program.LogText());
    EXPECT_TRUE(program.ExitFromTray());
}

} // namespace
