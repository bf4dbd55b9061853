#include "StoreTestSupport.h"
#include "store/TransferHistory.h"

#include <gtest/gtest.h>

using namespace qctest;
using namespace storetest;

namespace {

// The loaded records in their order, "stamp,size,path" joined by " | ".
std::wstring EntriesOf(const CTransferHistory& history) {
    std::wstring text;
    for (const auto& item : history.GetEntries()) {
        if (!text.empty()) text += L" | ";
        text += item.second->GetTimeStamp() + L"," + std::to_wstring(item.second->GetFileSize()) + L"," +
                item.second->Path();
    }
    return text;
}

class HistoryTest : public ::testing::Test {
protected:
    void SetUp() override {
        folder = FreshFolder(L"qc-history-test");
        path = Join(folder, L"{id}\\TransferredFiles.dat");
    }
    void TearDown() override { DeleteTree(folder); }

    std::string Bytes() {
        std::string bytes;
        return ReadBytes(path, bytes) ? bytes : "<missing>";
    }

    std::wstring folder, path;
};

const std::wstring kExample = L"20070314093005,4194304,\"C:\\Data\\Music\\Artist\\song.mp3\"";
const std::wstring kLoaded = L"20070314093005,4194304,C:\\Data\\Music\\Artist\\song.mp3";

TEST_F(HistoryTest, LoadRules) {
    const std::wstring longPath = L"C:\\" + std::wstring(511 - 19 - 3, L'p');  // in a 511-character line
    const std::wstring n49(49, L'1'), n50(50, L'1');
    struct Case {
        const char* name;
        std::string bytes;
        bool loaded;
        std::wstring entries;
    } cases[] = {
        {"the example line", WithMark(kExample + L"\r\n"), true, kLoaded},
        {"a comma in a folder name", WithMark(L"2006,5,\"C:\\Live, 2006\\a.mp3\"\r\n"), true, L"2006,5,C:\\Live, 2006\\a.mp3"},
        {"last line without CR LF", WithMark(kExample + L"\r\n2008,1,\"C:\\b.mp3\""), true, kLoaded + L" | 2008,1,C:\\b.mp3"},
        {"last line of a single code unit", WithMark(kExample + L"\r\nx"), true, kLoaded},
        {"blank lines are skipped", WithMark(L"\r\n" + kExample + L"\r\n\r\n\r\n2008,1,\"C:\\b.mp3\"\r\n\r\n"), true,
         kLoaded + L" | 2008,1,C:\\b.mp3"},
        {"mark only", WithMark(L""), true, L""},
        {"UTF-8 without mark", "2007,4194304,\"C:\\a.mp3\"\r\n", false, L""},
        {"UTF-8 with its mark", "\xEF\xBB\xBF" "2007,4194304,\"C:\\a.mp3\"\r\n", false, L""},
        {"empty file", "", false, L""},
        {"one byte", "\xFF", false, L""},
        {"a line without comma keeps what came before", WithMark(kExample + L"\r\nno comma\r\n" + kExample + L"\r\n"),
         false, kLoaded},
        {"a line with one comma", WithMark(L"20070314093005,4194304\r\n"), false, L""},
        {"size that is no number", WithMark(L"1,abc,\"C:\\a\"\r\n2, 12x,C:\\b\r\n3,-4,\"C:\\c\r\n"), true,
         L"1,0,C:\\a | 2,12,C:\\b | 3,0,\"C:\\c"},
        {"size beyond 64 bits stays at the largest", WithMark(L"1,99999999999999999999999,x\r\n"), true,
         L"1,18446744073709551615,x"},
        {"equal stamps keep file order", WithMark(L"5,1,a\r\n3,2,b\r\n5,3,c\r\n"), true, L"3,2,b | 5,1,a | 5,3,c"},
        // Damaged lines beyond the limits fail the load and overflow nothing.
        {"a line of 511 characters", WithMark(L"20070314093005,4,\"" + longPath + L"\"\r\n"), true,
         L"20070314093005,4," + longPath},
        {"a line of 512 characters", WithMark(L"20070314093005,4,\"" + longPath + L"x\"\r\n"), false, L""},
        {"a line of 100,000 characters", WithMark(L"1,2," + std::wstring(100000, L'z') + L"\r\n"), false, L""},
        {"a stamp of 49 characters", WithMark(n49 + L",1,a\r\n"), true, n49 + L",1,a"},
        {"a stamp of 50 characters", WithMark(n50 + L",1,a\r\n"), false, L""},
        {"a size of 49 characters", WithMark(L"1," + std::wstring(48, L'0') + L"7,a\r\n"), true, L"1,7,a"},
        {"a size of 50 characters", WithMark(L"1," + std::wstring(49, L'0') + L"7,a\r\n"), false, L""},
    };
    for (const Case& c : cases) {
        ASSERT_TRUE(WriteBytes(path, c.bytes)) << c.name;
        CTransferHistory history;
        EXPECT_EQ(c.loaded, history.LoadHistoryFileAt(path.c_str())) << c.name;
        EXPECT_EQ(c.entries, EntriesOf(history)) << c.name;
        EXPECT_EQ(c.bytes, Bytes()) << c.name << ": loading changes nothing";
    }
}

TEST_F(HistoryTest, CreateAppendAndClear) {
    // Loading and clearing create a missing file with its folder: the mark alone.
    for (bool load : {true, false}) {
        DeleteTree(Join(folder, L"{id}"));
        CTransferHistory history;
        EXPECT_TRUE(load ? history.LoadHistoryFileAt(path.c_str()) : ClearHistoryFileAt(path.c_str())) << load;
        EXPECT_EQ(std::string("\xFF\xFE"), Bytes()) << load;
    }
    struct Record {
        const wchar_t* stamp;
        ULONGLONG size;
        const wchar_t* path;
    } records[] = {
        {L"20070314093005", 4194304, L"C:\\Data\\Music\\Artist\\song.mp3"},
        {L"20010101000000", 0, L"D:\\Live, 2006\\\x97f3\x697d.wma"},
        {L"20070314093005", 18446744073709551615ull, L"E:\\x.mp3"},
    };
    DeleteTree(Join(folder, L"{id}"));  // appending creates a missing file first
    std::wstring expected;
    CTransferFile record;
    record.SetDestPath(L"F:\\Music\\ignored.mp3");
    for (const Record& r : records) {
        record.SetTimeStamp(r.stamp);
        record.SetFileSize(r.size);
        record.SetPath(r.path);
        EXPECT_TRUE(AppendHistoryAt(path.c_str(), record)) << Narrow(r.path);
        expected += std::wstring(r.stamp) + L"," + std::to_wstring(r.size) + L",\"" + r.path + L"\"\r\n";
    }
    EXPECT_EQ(WithMark(expected), Bytes()) << "the destination is not recorded";
    CTransferHistory history;
    ASSERT_TRUE(history.LoadHistoryFileAt(path.c_str()));
    EXPECT_EQ(L"20010101000000,0,D:\\Live, 2006\\\x97f3\x697d.wma | " + kLoaded +
                  L" | 20070314093005,18446744073709551615,E:\\x.mp3",
              EntriesOf(history));

    // Clearing leaves exactly the mark, and mends a file that cannot be loaded.
    EXPECT_TRUE(ClearHistoryFileAt(path.c_str()));
    EXPECT_EQ(std::string("\xFF\xFE"), Bytes());
    ASSERT_TRUE(WriteBytes(path, "UTF-8 text that could not be loaded"));
    EXPECT_TRUE(ClearHistoryFileAt(path.c_str()));
    EXPECT_TRUE(CTransferHistory().LoadHistoryFileAt(path.c_str()));

    // Paths that cannot be built or used.
    ASSERT_TRUE(WriteBytes(Join(folder, L"blocked"), "a file where a folder should be"));
    const std::wstring blocked = Join(folder, L"blocked\\TransferredFiles.dat");
    EXPECT_FALSE(history.LoadHistoryFileAt(L""));
    EXPECT_FALSE(history.LoadHistoryFileAt(blocked.c_str()));
    EXPECT_FALSE(CreateHistoryFileAt(blocked.c_str()));
    EXPECT_FALSE(ClearHistoryFileAt(L""));
    EXPECT_FALSE(AppendHistoryAt(L"", record));
    EXPECT_FALSE(AppendHistoryAt(Join(folder, L"{id}").c_str(), record)) << "a folder is no history file";
}

} // namespace
