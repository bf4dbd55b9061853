#include "StoreTestSupport.h"
#include "store/TransferHistory.h"

#include <gtest/gtest.h>

using namespace qctest;
using namespace storetest;

namespace {

const std::wstring kLine = L"20070314093005,4194304,\"C:\\Live, 2006\\song.mp3\"";
const std::wstring kLoaded = L"20070314093005,4194304,C:\\Live, 2006\\song.mp3";

// The history at path loaded: "1" or "0" for the result, then each record
// in its order as "|stamp,size,path".
std::wstring Load(const std::wstring& path) {
    CTransferHistory history;
    std::wstring text = history.LoadHistoryFileAt(path.c_str()) ? L"1" : L"0";
    for (const auto& item : history.GetEntries()) {
        text += L"|" + item.second->GetTimeStamp() + L"," + std::to_wstring(item.second->GetFileSize()) + L"," + item.second->Path();
    }
    return text;
}

TEST(History, LoadRules) {
    const std::wstring path = Join(FreshFolder(L"qc-history-test"), L"TransferredFiles.dat"), n49(49, L'1');
    const std::wstring longPath = L"C:\\" + std::wstring(511 - 19 - 3, L'p');  // in a 511-character line
    // Lines across the 64 KiB read-ahead blocks of the file layer.
    std::wstring many, manyLoaded = L"1";
    for (int i = 1000; i < 1800; ++i) {
        const std::wstring n = std::to_wstring(i), name = L"C:\\" + std::wstring(60, L'm') + n;
        many += n + L",1,\"" + name + L"\"\r\n", manyLoaded += L"|" + n + L",1," + name;
    }
    const std::pair<std::string, std::wstring> cases[] = {
        {WithMark(kLine + L"\r\n"), L"1|" + kLoaded},
        {WithMark(L"\r\n" + kLine + L"\r\n\r\n2008,1,\"C:\\b\""), L"1|" + kLoaded + L"|2008,1,C:\\b"},  // blank lines skipped
        {WithMark(kLine + L"\r\nx"), L"1|" + kLoaded},  // a last line of one unit
        {WithMark(L"1,2,a\rb\r\n3,4,c\nd\r\r\n5,6,e\n\rf\r"), L"1|1,2,a\rb|3,4,c\nd\r|5,6,e\n\rf\r"},  // CR, LF alone stay
        {WithMark(L"5,1,\"\x65e5\x672c\"\r\n3,2,b\r\n5,3,c\r\n"), L"1|3,2,b|5,1,\x65e5\x672c|5,3,c"},  // equal stamps in file order
        {WithMark(many), manyLoaded},
        {"2007,4194304,\"C:\\a.mp3\"\r\n", L"0"},  // UTF-8
        {WithMark(kLine + L"\r\nno comma\r\n" + kLine + L"\r\n"), L"0|" + kLoaded},
        {WithMark(L"20070314093005,4194304\r\n"), L"0"},
        {WithMark(L"1,abc,\"C:\\a\"\r\n2, 12x,C:\\b\r\n3,-4,\"C:\\c\r\n"), L"1|1,0,C:\\a|2,12,C:\\b|3,0,\"C:\\c"},
        {WithMark(L"1,99999999999999999999999,x\r\n"), L"1|1,18446744073709551615,x"},
        // Damaged lines beyond the limits fail the load and overflow nothing.
        {WithMark(L"20070314093005,4,\"" + longPath + L"\"\r\n"), L"1|20070314093005,4," + longPath},
        {WithMark(L"20070314093005,4,\"" + longPath + L"x\"\r\n"), L"0"},
        {WithMark(n49 + L"1,1,a\r\n"), L"0"},
        {WithMark(L"1," + n49 + L"1,a\r\n"), L"0"},
    };
    for (const auto& c : cases) {
        ASSERT_TRUE(WriteBytes(path, c.first));
        EXPECT_EQ(c.second, Load(path)) << Narrow(Utf16LeToWide(c.first).substr(0, 60));
        std::string after;
        EXPECT_TRUE(ReadBytes(path, after) && after == c.first) << "loading changes nothing";
    }
}

TEST(History, AppendCreatesAndStartsALineOfItsOwn) {
    const std::wstring folder = FreshFolder(L"qc-history-test"), path = Join(folder, L"{id}\\TransferredFiles.dat");
    CTransferFile record;
    record.SetTimeStamp(L"20070314093005");
    record.SetFileSize(4194304);
    record.SetPath(L"C:\\Live, 2006\\song.mp3");
    record.SetDestPath(L"F:\\Music\\not recorded.mp3");
    // File before -> after one append. What the load could never read (half a
    // character, a last line of one unit) is cut off.
    const std::pair<std::string, std::wstring> cases[] = {
        {"", kLine + L"\r\n"},  // missing
        {WithMark(L"1,2,a\r\n"), L"1,2,a\r\n" + kLine + L"\r\n"},
        {WithMark(L"1,2,a"), L"1,2,a\r\n" + kLine + L"\r\n"},
        {WithMark(L"1,2,a\r\n") + "\x31", L"1,2,a\r\n" + kLine + L"\r\n"},
    };
    for (const auto& c : cases) {
        ASSERT_TRUE(c.first.empty() || WriteBytes(path, c.first));
        std::string after;
        EXPECT_TRUE(AppendHistoryAt(path.c_str(), record) && ReadBytes(path, after)) << c.first;
        EXPECT_EQ(WithMark(c.second), after) << Narrow(Utf16LeToWide(c.first));
    }
    EXPECT_FALSE(AppendHistoryAt(folder.c_str(), record)) << "a folder is no history file";
    DeleteTree(folder);
}

} // namespace
