#include "StoreTestSupport.h"
#include "store/TransferHistory.h"

#include <gtest/gtest.h>

using namespace qctest;
using namespace storetest;

namespace {

struct Entry {
    std::wstring stamp;
    ULONGLONG size;
    std::wstring path;
    bool operator==(const Entry& o) const { return stamp == o.stamp && size == o.size && path == o.path; }
};

std::ostream& operator<<(std::ostream& os, const Entry& e) {
    return os << Narrow(e.stamp) << "," << e.size << "," << Narrow(e.path);
}

std::vector<Entry> EntriesOf(const CTransferHistory& history) {
    std::vector<Entry> entries;
    for (const auto& item : history.GetEntries()) {
        EXPECT_EQ(item.first, item.second->GetTimeStamp());
        EXPECT_TRUE(item.second->GetDestPath().empty());
        entries.push_back({item.second->GetTimeStamp(), item.second->GetFileSize(), item.second->Path()});
    }
    return entries;
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
        if (!ReadBytes(path, bytes)) return "<missing>";
        return bytes;
    }

    std::wstring folder, path;
};

const std::wstring kExample = L"20070314093005,4194304,\"C:\\Data\\Music\\Artist\\song.mp3\"";

TEST_F(HistoryTest, LoadRules) {
    const Entry example{L"20070314093005", 4194304, L"C:\\Data\\Music\\Artist\\song.mp3"};
    const std::wstring longPath = L"C:\\" + std::wstring(511 - 19 - 3, L'p');  // in a 511-character line
    struct Case {
        const char* name;
        std::string bytes;
        bool loaded;
        std::vector<Entry> entries;
    } cases[] = {
        {"the example line", WithMark(kExample + L"\r\n"), true, {example}},
        {"a comma in a folder name", WithMark(L"20060101000000,5,\"C:\\Live, 2006\\a.mp3\"\r\n"), true,
         {{L"20060101000000", 5, L"C:\\Live, 2006\\a.mp3"}}},
        {"last line without CR LF", WithMark(kExample + L"\r\n20080101000000,1,\"C:\\b.mp3\""), true,
         {example, {L"20080101000000", 1, L"C:\\b.mp3"}}},
        {"last line of a single code unit", WithMark(kExample + L"\r\nx"), true, {example}},
        {"a blank line stops the load", WithMark(kExample + L"\r\n\r\n20080101000000,1,\"C:\\b.mp3\"\r\n"), true,
         {example}},
        {"mark only", WithMark(L""), true, {}},
        {"UTF-8 without mark", "20070314093005,4194304,\"C:\\a.mp3\"\r\n", false, {}},
        {"UTF-8 with its mark", "\xEF\xBB\xBF" "20070314093005,4194304,\"C:\\a.mp3\"\r\n", false, {}},
        {"empty file", "", false, {}},
        {"one byte", "\xFF", false, {}},
        {"a line without comma keeps what came before", WithMark(kExample + L"\r\nno comma\r\n" + kExample + L"\r\n"),
         false, {example}},
        {"a line with one comma", WithMark(L"20070314093005,4194304\r\n"), false, {}},
        {"size that is no number", WithMark(L"1,abc,\"C:\\a\"\r\n2, 12x,C:\\b\r\n3,-4,\"C:\\c\r\n"), true,
         {{L"1", 0, L"C:\\a"}, {L"2", 12, L"C:\\b"}, {L"3", 0, L"\"C:\\c"}}},
        {"size beyond 64 bits stays at the largest", WithMark(L"1,99999999999999999999999,x\r\n"), true,
         {{L"1", ~0ull, L"x"}}},
        {"equal stamps keep file order", WithMark(L"5,1,a\r\n3,2,b\r\n5,3,c\r\n"), true,
         {{L"3", 2, L"b"}, {L"5", 1, L"a"}, {L"5", 3, L"c"}}},
        {"a line of 511 characters", WithMark(L"20070314093005,4,\"" + longPath + L"\"\r\n"), true,
         {{L"20070314093005", 4, longPath}}},
        {"a line of 512 characters", WithMark(L"20070314093005,4,\"" + longPath + L"x\"\r\n"), false, {}},
        {"a line of 100,000 characters", WithMark(L"1,2," + std::wstring(100000, L'z') + L"\r\n"), false, {}},
        {"a stamp of 49 characters", WithMark(std::wstring(49, L'1') + L",1,a\r\n"), true,
         {{std::wstring(49, L'1'), 1, L"a"}}},
        {"a stamp of 50 characters", WithMark(std::wstring(50, L'1') + L",1,a\r\n"), false, {}},
        {"a size of 50 characters", WithMark(L"1," + std::wstring(50, L'0') + L"7,a\r\n"), false, {}},
        {"a size of 49 characters", WithMark(L"1," + std::wstring(48, L'0') + L"7,a\r\n"), true, {{L"1", 7, L"a"}}},
    };
    for (const Case& c : cases) {
        ASSERT_TRUE(WriteBytes(path, c.bytes)) << c.name;
        CTransferHistory history;
        EXPECT_EQ(c.loaded, history.LoadHistoryFileAt(path.c_str())) << c.name;
        EXPECT_EQ(c.entries, EntriesOf(history)) << c.name;
        EXPECT_EQ(c.bytes, Bytes()) << c.name << ": loading changes nothing";
    }
}

TEST_F(HistoryTest, AMissingFileIsCreatedWithItsMarkOnly) {
    CTransferHistory history;
    EXPECT_TRUE(history.LoadHistoryFileAt(path.c_str())) << "missing folder and file";
    EXPECT_EQ(0u, history.Size());
    EXPECT_EQ(std::string("\xFF\xFE"), Bytes());

    EXPECT_FALSE(history.LoadHistoryFileAt(L"")) << "a path that could not be built";
    ASSERT_TRUE(WriteBytes(Join(folder, L"blocked"), "a file where a folder should be"));
    EXPECT_FALSE(history.LoadHistoryFileAt(Join(folder, L"blocked\\TransferredFiles.dat").c_str()));
    EXPECT_FALSE(CreateHistoryFileAt(Join(folder, L"blocked\\TransferredFiles.dat").c_str()));
}

TEST_F(HistoryTest, AppendWritesWholeLinesThatLoadBack) {
    struct Record {
        const wchar_t* stamp;
        ULONGLONG size;
        const wchar_t* path;
    } records[] = {
        {L"20070314093005", 4194304, L"C:\\Data\\Music\\Artist\\song.mp3"},
        {L"20010101000000", 0, L"D:\\Live, 2006\\\x97f3\x697d.wma"},
        {L"20070314093005", 18446744073709551615ull, L"E:\\x.mp3"},
    };
    std::wstring expected;
    std::vector<Entry> entries;
    for (const Record& r : records) {
        CTransferFile record;
        record.SetTimeStamp(r.stamp);
        record.SetFileSize(r.size);
        record.SetPath(r.path);
        record.SetDestPath(L"F:\\Music\\ignored.mp3");
        EXPECT_TRUE(AppendHistoryAt(path.c_str(), record)) << Narrow(r.path);
        expected += std::wstring(r.stamp) + L"," + std::to_wstring(r.size) + L",\"" + r.path + L"\"\r\n";
        entries.push_back({r.stamp, r.size, r.path});
    }
    EXPECT_EQ(WithMark(expected), Bytes()) << "a missing file is created first; the destination is not recorded";

    CTransferHistory history;
    ASSERT_TRUE(history.LoadHistoryFileAt(path.c_str()));
    std::vector<Entry> sorted = {entries[1], entries[0], entries[2]};
    EXPECT_EQ(sorted, EntriesOf(history));

    CTransferFile record;
    record.SetTimeStamp(L"1");
    record.SetPath(L"C:\\a");
    EXPECT_FALSE(AppendHistoryAt(L"", record));
    EXPECT_FALSE(AppendHistoryAt(Join(folder, L"{id}").c_str(), record)) << "a folder is no history file";
}

TEST_F(HistoryTest, ClearingLeavesExactlyTheMark) {
    ASSERT_TRUE(WriteBytes(path, WithMark(kExample + L"\r\n" + kExample + L"\r\n")));
    EXPECT_TRUE(ClearHistoryFileAt(path.c_str()));
    EXPECT_EQ(std::string("\xFF\xFE"), Bytes());

    ASSERT_TRUE(DeleteTree(Join(folder, L"{id}")));
    EXPECT_TRUE(ClearHistoryFileAt(path.c_str())) << "a missing file is created";
    EXPECT_EQ(std::string("\xFF\xFE"), Bytes());

    ASSERT_TRUE(WriteBytes(path, "UTF-8 text that could not be loaded"));
    EXPECT_TRUE(ClearHistoryFileAt(path.c_str()));
    CTransferHistory history;
    EXPECT_TRUE(history.LoadHistoryFileAt(path.c_str())) << "clearing recovers a damaged file";
    EXPECT_FALSE(ClearHistoryFileAt(L""));
}

} // namespace
