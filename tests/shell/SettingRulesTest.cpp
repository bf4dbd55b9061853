// The settings dialogs' rules that need no window.

#include "shell/DetailSetDlg.h"
#include "shell/ExtSettingDlg.h"
#include "support/Computer.h"

#include <gtest/gtest.h>

using namespace qctest;

namespace {

TEST(ExtensionRules, TrimmingAndForbiddenSymbols) {
    struct Case {
        const wchar_t* typed;
        const wchar_t* trimmed;
        bool forbidden;
    } cases[] = {
        {L"  mp3\t", L"mp3", false},   {L"\x3000mp3\x3000", L"mp3", false}, {L"\tm p3 ", L"m p3", false},
        {L" \t\x3000", L"", false},    {L"\x00a0mp3", L"\x00a0mp3", false}, {L" .mp3", L".mp3", true},
        {L"mp3;ogg", L"mp3;ogg", true}, {L"a*b", L"a*b", true},              {L"a|b\\", L"a|b\\", true},
        {L"\"a\"", L"\"a\"", true},     {L"a/b a:b", L"a/b a:b", true},      {L"<a>,b?", L"<a>,b?", true},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(c.trimmed, TrimExtension(c.typed)) << Narrow(c.typed);
        EXPECT_EQ(c.forbidden, HasForbiddenSymbol(c.trimmed)) << Narrow(c.typed);
    }
}

TEST(ExtensionRules, LookupIgnoresOnlyAsciiLetterCase) {
    const std::vector<CExtensionPair> rows = {{L"mp3", L"\\Music"}, {L"\x00e4q", L"\\A"}, {L"MP3", L"\\Second"}};
    struct Case {
        const wchar_t* text;
        int row;
    } cases[] = {{L"mp3", 0}, {L"Mp3", 0}, {L"\x00e4Q", 1}, {L"\x00c4q", -1}, {L"mp", -1}, {L"mp3 ", -1}, {L"", -1}};
    for (const Case& c : cases) EXPECT_EQ(c.row, FindExtensionRow(rows, c.text)) << Narrow(c.text);
}

TEST(ExtensionRules, RowsCommitInOrderLowerCasedWithoutTheBackslash) {
    const std::wstring d260(260, L'd');
    std::vector<CExtensionPair> pairs = PairsFromRows({{L"MP3", L"\\Music"}, {L"Wma", L"\\"},
                                                       {L"\x00c4Q", L"\\Music\\Rock"}, {L"ogg", L"\\" + d260},
                                                       {L"a", L"\\\\"}});
    std::wstring joined;
    for (const CExtensionPair& pair : pairs) joined += pair.extension + L">" + pair.destination + L"|";
    EXPECT_EQ(L"mp3>Music|wma>|\x00e4q>Music\\Rock|ogg>" + d260 + L"|a>\\|", joined);
}

} // namespace
