#include "foundation/Profile.h"
#include "support/Computer.h"

#include <gtest/gtest.h>
#include <string>

using namespace qctest;

namespace {

class ProfileTest : public ::testing::Test {
protected:
    void SetUp() override {
        wchar_t temp[MAX_PATH + 1];
        ::GetTempPathW(MAX_PATH + 1, temp);
        folder = Join(temp, L"qc-profile-test");
        DeleteTree(folder);
        ASSERT_TRUE(MakeDirs(folder));
        path = Join(folder, L"test.ini");
    }
    void TearDown() override { DeleteTree(folder); }

    std::wstring folder;
    std::wstring path;
};

TEST_F(ProfileTest, ValuesOfEveryLengthReadWhole) {
    CProfile profile;
    ASSERT_EQ(S_OK, profile.SetProfilePath(path.c_str()));
    ASSERT_EQ(1, profile.CreateUnicodeFile());
    // Around the first buffer of 520 characters, and far beyond it.
    const size_t lengths[] = {0, 1, 517, 518, 519, 520, 521, 2000, 32000};
    for (size_t length : lengths) {
        std::wstring value(length, L'v');
        if (length > 2) value[length / 2] = L'\x4e2d';
        std::wstring key = L"Key" + std::to_wstring(length);
        ASSERT_EQ(S_OK, profile.WriteString(L"S", key.c_str(), value.c_str())) << length;
        std::wstring got = L"untouched";
        EXPECT_EQ(S_OK, profile.GetString(L"S", key.c_str(), L"dflt", got)) << length;
        EXPECT_EQ(value, got) << "length " << length;
    }
}

TEST_F(ProfileTest, ReadsQuotesDefaultsAndIntegers) {
    CProfile profile;
    ASSERT_EQ(S_OK, profile.SetProfilePath(path.c_str()));
    ASSERT_EQ(S_OK, profile.WriteString(L"Settings", L"Ext1", L"\"mp3\""));
    ASSERT_EQ(S_OK, profile.WriteString(L"Settings", L"Path1", L"\" Music \""));
    ASSERT_EQ(S_OK, profile.WriteString(L"Settings", L"Count", L"17"));
    struct Case {
        const wchar_t* key;
        const wchar_t* value;
    } cases[] = {
        {L"Ext1", L"mp3"},
        {L"ext1", L"mp3"},
        {L"Path1", L" Music "},
        {L"Missing", L"dflt"},
    };
    for (const Case& c : cases) {
        std::wstring got;
        EXPECT_EQ(S_OK, profile.GetString(L"Settings", c.key, L"dflt", got));
        EXPECT_EQ(c.value, got) << Narrow(c.key);
    }
    EXPECT_EQ(17u, profile.GetInt(L"SETTINGS", L"Count", 3));
    EXPECT_EQ(3u, profile.GetInt(L"Settings", L"Missing", 3));
    EXPECT_EQ(0u, profile.GetInt(L"Settings", L"Ext1", 3)) << "a text that is no number";
}

TEST_F(ProfileTest, AnEmptyPathTouchesNothing) {
    CProfile profile;
    EXPECT_EQ(12u, profile.GetInt(L"Settings", L"FolderCount", 12));
    std::wstring out = L"as initialised";
    EXPECT_EQ(E_FAIL, profile.GetString(L"Settings", L"Folder1", L"dflt", out));
    EXPECT_EQ(L"as initialised", out);
    EXPECT_EQ(E_FAIL, profile.WriteString(L"QcProfileTestSection", L"Key", L"1"));
    EXPECT_EQ(0, profile.CreateUnicodeFile());
    // The platform would have put the write into a file of the system folder.
    wchar_t check[16] = L"";
    ::GetProfileStringW(L"QcProfileTestSection", L"Key", L"none", check, 16);
    EXPECT_STREQ(L"none", check);
}

TEST_F(ProfileTest, UnicodeFileKeepsTextOutsideTheAnsiCodePage) {
    CProfile profile;
    ASSERT_EQ(S_OK, profile.SetProfilePath(Join(folder, L"new\\sub\\u.ini").c_str()));
    ASSERT_EQ(1, profile.CreateUnicodeFile()) << "missing folders are created";
    std::string bytes;
    ASSERT_TRUE(ReadBytes(profile.GetProfilePath(), bytes));
    EXPECT_EQ(std::string("\xFF\xFE"), bytes);

    const std::wstring value = L"C:\\\x97f3\x697d \x041c\x0443\x0437\x044b\x043a\x0430";
    ASSERT_EQ(S_OK, profile.WriteString(L"Settings", L"Folder1", value.c_str()));
    std::wstring got;
    ASSERT_EQ(S_OK, profile.GetString(L"Settings", L"Folder1", L"", got));
    EXPECT_EQ(value, got);
    ASSERT_TRUE(ReadBytes(profile.GetProfilePath(), bytes));
    ASSERT_GE(bytes.size(), 2u);
    EXPECT_EQ(std::string("\xFF\xFE"), bytes.substr(0, 2));
    EXPECT_NE(std::wstring::npos, Utf16LeToWide(bytes.substr(2)).find(value)) << "stored as UTF-16LE";

    // An existing file is opened, not shortened.
    ASSERT_EQ(1, profile.CreateUnicodeFile());
    ASSERT_EQ(S_OK, profile.GetString(L"Settings", L"Folder1", L"", got));
    EXPECT_EQ(value, got);
}

} // namespace
