// The shell's rules that need no window: the start's verdict on the system
// and the settings dialogs' extension rules.

#include "shell/DetailSetDlg.h"
#include "shell/ExtSettingDlg.h"
#include "shell/Startup.h"
#include "support/Computer.h"

#include <gtest/gtest.h>

using namespace qctest;

namespace {

TEST(StartupVerdict, EveryRowOfTheOsAndServicePackTable) {
    using V = StartupVerdict;
    struct Case {
        int os, sp;
        V verdict;
    } cases[] = {
        {0, 0, V::Refused},  {1, 0, V::Refused},  {2, 0, V::Refused},     {3, 0, V::Refused},    {4, 0, V::Refused},
        {5, 4, V::Refused},  {6, 0, V::Refused},  {6, 1, V::Refused},     {6, 2, V::Refused},    {6, 6, V::Refused},
        {6, 3, V::Accepted}, {6, 4, V::Accepted}, {7, 0, V::Accepted},    {7, 1, V::Accepted},   {7, 2, V::AskAutorun},
        {7, 3, V::Refused},  {7, 4, V::Refused},  {7, 6, V::Refused},     {8, 0, V::AskAutoplay}, {8, 6, V::AskAutoplay},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(static_cast<int>(c.verdict), static_cast<int>(StartupVerdictFor(c.os, c.sp))) << "os " << c.os << " sp " << c.sp;
    }
}

TEST(ExtensionRules, TrimmingForbiddenSymbolsLookupAndCommit) {
    struct Case {
        const wchar_t *typed, *trimmed;
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
    // Only ASCII letters match in either case.
    const std::vector<CExtensionPair> rows = {{L"mp3", L"\\Music"}, {L"\x00e4q", L"\\A"}, {L"MP3", L"\\Second"}};
    struct Lookup {
        const wchar_t* text;
        int row;
    } lookups[] = {{L"mp3", 0}, {L"Mp3", 0}, {L"\x00e4Q", 1}, {L"\x00c4q", -1}, {L"mp", -1}, {L"mp3 ", -1}, {L"", -1}};
    for (const Lookup& l : lookups) EXPECT_EQ(l.row, FindExtensionRow(rows, l.text)) << Narrow(l.text);
    // Rows commit in order, lower-cased, without the leading backslash.
    const std::wstring d260(260, L'd');
    std::wstring joined;
    for (const CExtensionPair& pair : PairsFromRows({{L"MP3", L"\\Music"}, {L"Wma", L"\\"}, {L"\x00c4Q", L"\\Music\\Rock"},
                                                     {L"ogg", L"\\" + d260}, {L"a", L"\\\\"}})) {
        joined += pair.extension + L">" + pair.destination + L"|";
    }
    EXPECT_EQ(L"mp3>Music|wma>|\x00e4q>Music\\Rock|ogg>" + d260 + L"|a>\\|", joined);
}

} // namespace
