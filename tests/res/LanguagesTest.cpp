// Every language of the built program against English: the same strings with
// the same printf conversions, the same dialogs and menu with the same
// controls, access keys unique within each dialog and menu, and texts that fit
// their controls with the dialog's own font. Fonts and their metrics follow
// the locale, so the fit and the program's own choice of language are checked
// once per language under that language's locale (QC_LANG names it).

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

// The string of one language's own table (no fallback), or nothing.
bool TableString(UINT id, WORD lang, std::wstring& text) {
    const WORD* p = static_cast<const WORD*>(Resource(RT_STRING, MAKEINTRESOURCEW(id / 16 + 1), lang));
    if (!p) return false;
    for (UINT i = 0; i < id % 16; ++i) p += 1 + *p;
    text.assign(reinterpret_cast<const wchar_t*>(p + 1), *p);
    return *p != 0;
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

// The access key of a text, upper-cased, or 0.
wchar_t AccessKey(const std::wstring& text) {
    for (size_t i = text.find(L'&'); i != std::wstring::npos && i + 1 < text.size(); i = text.find(L'&', i + 2)) {
        wchar_t key[2] = {text[i + 1], 0};
        if (key[0] != L'&') return ::CharUpperW(key), key[0];
    }
    return 0;
}

INT_PTR CALLBACK QuietDialog(HWND, UINT, WPARAM, LPARAM) { return FALSE; }

// A dialog of one language made hidden from its own template; its controls
// as id and text.
struct Dialog {
    Dialog(const std::wstring& name, WORD lang) {
        auto* resource = static_cast<const DLGTEMPLATE*>(Resource(RT_DIALOG, name.c_str(), lang));
        window = resource ? ::CreateDialogIndirectParamW(::GetModuleHandleW(nullptr), resource, nullptr, QuietDialog, 0) : nullptr;
        for (HWND child = ::GetWindow(window, GW_CHILD); child; child = ::GetWindow(child, GW_HWNDNEXT)) {
            controls.push_back({child, ::GetDlgCtrlID(child), uidrv::GetText(child)});
        }
    }
    ~Dialog() { ::DestroyWindow(window); }
    HWND window;
    struct Control {
        HWND window;
        int id;
        std::wstring text;
    };
    std::vector<Control> controls;
};

void MenuTexts(HMENU menu, std::vector<std::wstring>& texts) {
    for (int i = 0, n = ::GetMenuItemCount(menu); i < n; ++i) {
        wchar_t text[256] = L"";
        ::GetMenuStringW(menu, static_cast<UINT>(i), text, 256, MF_BYPOSITION);
        if (*text) texts.push_back(text);
        if (HMENU sub = ::GetSubMenu(menu, i)) MenuTexts(sub, texts);
    }
}

std::vector<std::wstring> Menu(WORD lang) {
    std::vector<std::wstring> texts;
    const void* resource = Resource(RT_MENU, MAKEINTRESOURCEW(IDR_TRAYMENU), lang);
    HMENU menu = resource ? ::LoadMenuIndirectW(resource) : nullptr;
    MenuTexts(menu, texts);
    if (menu) ::DestroyMenu(menu);
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
    std::vector<UINT> ids;
    std::wstring text;
    for (UINT id = 0; id < 65536; ++id) {
        if (TableString(id, kEnglish, text)) ids.push_back(id);
    }
    const std::vector<std::wstring> dialogs = DialogNames(), englishMenu = Menu(kEnglish);
    ASSERT_GT(ids.size(), 25u);
    ASSERT_GE(dialogs.size(), 5u);
    ASSERT_GE(englishMenu.size(), 3u);
    for (const Language& lang : kLanguages) {
        for (UINT id : ids) {
            std::wstring english;
            TableString(id, kEnglish, english);
            // A missing or reordered conversion would crash a formatted box.
            EXPECT_TRUE(TableString(id, lang.id, text)) << lang.tag << ": string " << id << " is missing";
            EXPECT_EQ(Conversions(english), Conversions(text)) << lang.tag << ": string " << id << " " << Narrow(text);
        }
        for (const std::wstring& name : dialogs) {
            Dialog english(name, kEnglish), own(name, lang.id);
            ASSERT_NE(nullptr, own.window) << lang.tag << ": dialog " << Narrow(name) << " is missing";
            std::vector<int> englishIds, ownIds;
            std::map<wchar_t, std::wstring> keys;
            for (const auto& c : english.controls) englishIds.push_back(c.id);
            for (const auto& c : own.controls) {
                ownIds.push_back(c.id);
                wchar_t key = AccessKey(c.text);
                EXPECT_TRUE(!key || keys.emplace(key, c.text).second) << lang.tag << ": " << Narrow(name) << ": \""
                    << Narrow(c.text) << "\" and \"" << Narrow(keys[key]) << "\" share an access key";
            }
            EXPECT_EQ(englishIds, ownIds) << lang.tag << ": controls of " << Narrow(name);
        }
        std::vector<std::wstring> items = Menu(lang.id);
        EXPECT_EQ(englishMenu.size(), items.size()) << lang.tag << ": the tray menu";
        std::set<wchar_t> keys;
        for (const std::wstring& item : items) {
            wchar_t key = AccessKey(item);
            EXPECT_TRUE(!key || keys.insert(key).second) << lang.tag << ": menu item " << Narrow(item);
        }
    }
}

// Common controls 6 for the system's look, the user's own rights, and no DPI
// awareness claimed: the dialogs are laid out in dialog units and scaled by the system.
TEST(LanguagesTest, TheManifestAsksForCommonControls6AsInvokerAndLeavesDpiToTheSystem) {
    HRSRC res = ::FindResourceW(Program(), MAKEINTRESOURCEW(1), RT_MANIFEST);
    ASSERT_NE(nullptr, res);
    std::string manifest(static_cast<const char*>(::LockResource(::LoadResource(Program(), res))), ::SizeofResource(Program(), res));
    for (const char* part : {"Microsoft.Windows.Common-Controls", "version=\"6.0.0.0\"", "level=\"asInvoker\""}) {
        EXPECT_NE(std::string::npos, manifest.find(part)) << part;
    }
    EXPECT_EQ(std::string::npos, manifest.find("dpiAware"));
}

const Language* CurrentLanguage() {
    const char* tag = std::getenv("QC_LANG");
    for (const Language& lang : kLanguages) {
        if (std::string(tag ? tag : "en") == lang.tag) return &lang;
    }
    return nullptr;
}

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
    for (const std::wstring& name : DialogNames()) {
        Dialog dialog(name, lang->id);
        ASSERT_NE(nullptr, dialog.window) << lang->tag << " " << Narrow(name);
        for (const auto& c : dialog.controls) ExpectFits(lang->tag, name, c.window, c.text);
        for (const RuntimeText& r : kRuntimeTexts) {
            std::wstring text;
            if (name == r.dialog && TableString(r.string, lang->id, text)) ExpectFits(lang->tag, name, ::GetDlgItem(dialog.window, r.control), text);
        }
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
    Dialog own(L"STATUSDLG", lang->id);
    for (int id : {IDC_SETTINGS, IDC_DISP_FOLDER}) {
        EXPECT_EQ(Narrow(uidrv::GetControlText(own.window, id)), Narrow(uidrv::GetControlText(program.Status(), id))) << lang->tag;
    }
    EXPECT_TRUE(program.ExitFromTray());
}

} // namespace
