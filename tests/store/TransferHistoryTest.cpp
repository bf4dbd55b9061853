#include "StoreTestSupport.h"
#include "store/TransferHistory.h"

#include <gtest/gtest.h>

using namespace qctest;
using namespace storetest;

namespace {

const std::wstring kLine = L"20070314093005,4194304,\"C:\\Live, 2006\\song.mp3\"";
const std::wstring kLoaded = L"20070314093005,4194304,C:\\Live, 2006\\song.mp3";

TEST(History, LoadRules) {
    const std::wstring path = Join(FreshFolder(L"qc-history-test"), L"TransferredFiles.dat");
    const std::wstring longPath = L"C:\\" + std::wstring(511 - 19 - 3, L'p');  // in a 511-character line
    // Lines across the 64 KiB read-ahead blocks of the file layer.
    std::wstring many, manyLoaded = L"1";
    for (int i = 1000; i < 1800; ++i) {
        const std::wstring n = std::to_wstring(i), name = L"C:\\" + std::wstring(60, L'm') + n;
        many += n + L",1,\"" + name + L"\"\r\n", manyLoaded += L"|" + n + L",1," + name;
    }
    const std::pair<std::string, std::wstring> cases[] = {
        {WithMark(kLine + L"\r\n"), L"1|" + kLoaded},
        // Blank lines skipped: ending the load there would copy every later song again.
        {WithMark(L"\r\n" + kLine + L"\r\n\r\n2008,1,\"C:\\b\""), L"1|" + kLoaded + L"|2008,1,C:\\b"},
        {WithMark(kLine + L"\r\nx"), L"1|" + kLoaded},  // a last line of one unit
        // Equal stamps, all kept in file order.
        {WithMark(L"5,1,\"\x65e5\x672c\"\r\n3,2,b\r\n5,3,c\r\n"), L"1|3,2,b|5,1,\x65e5\x672c|5,3,c"},
        {WithMark(many), manyLoaded},
        // A line at the limit: one character less would fail the load, and its box come at every start.
        {WithMark(L"20070314093005,4,\"" + longPath + L"\"\r\n"), L"1|20070314093005,4," + longPath},
    };
    // Each case: "1" or "0" for the result, then each record in its order.
    for (const auto& c : cases) {
        ASSERT_TRUE(WriteBytes(path, c.first));
        CTransferHistory history;
        std::wstring got = history.LoadHistoryFileAt(path.c_str()) ? L"1" : L"0";
        for (const auto& item : history.GetEntries()) {
            got += L"|" + item.second->GetTimeStamp() + L"," + std::to_wstring(item.second->GetFileSize()) + L"," +
                   item.second->Path();
        }
        EXPECT_EQ(c.second, got) << Narrow(Utf16LeToWide(c.first).substr(0, 60));
    }
}

TEST(History, AppendStartsALineOfItsOwn) {
    const std::wstring folder = FreshFolder(L"qc-history-test"), path = Join(folder, L"TransferredFiles.dat");
    CTransferFile record;
    record.SetTimeStamp(L"20070314093005");
    record.SetFileSize(4194304);
    record.SetPath(L"C:\\Live, 2006\\song.mp3");
    // File before -> after one append. What the load could never read (half a
    // character) is cut off. A whole file's next line is the end-to-end tests'.
    const std::pair<std::string, std::wstring> cases[] = {
        {WithMark(L"1,2,a"), L"1,2,a\r\n" + kLine + L"\r\n"},
        {WithMark(L"1,2,a\r\n") + "\x31", L"1,2,a\r\n" + kLine + L"\r\n"},
    };
    for (const auto& c : cases) {
        ASSERT_TRUE(WriteBytes(path, c.first));
        std::string after;
        EXPECT_TRUE(AppendHistoryAt(path.c_str(), record) && ReadBytes(path, after)) << c.first;
        EXPECT_EQ(WithMark(c.second), after) << Narrow(Utf16LeToWide(c.first));
    }
    DeleteTree(folder);
}

} // namespace
