#include "foundation/Profile.h"
#include "support/Computer.h"

#include <gtest/gtest.h>
#include <string>
#include <vector>

using namespace qctest;

namespace {

class ProfileTest : public ::testing::Test {
protected:
    void SetUp() override {
        wchar_t temp[MAX_PATH + 1];
        ::GetTempPathW(MAX_PATH + 1, temp);
        folder = Join(temp, L"qc-profile-test");
        DeleteTree(folder);
        // Missing folders are created with the file.
        ASSERT_EQ(S_OK, profile.SetProfilePath(Join(folder, L"new\\sub\\u.ini").c_str()));
        ASSERT_EQ(1, profile.CreateUnicodeFile());
    }
    void TearDown() override { DeleteTree(folder); }

    std::wstring folder;
    CProfile profile;
};

TEST_F(ProfileTest, ValuesAndIntegersReadBack) {
    std::string bytes;
    ASSERT_TRUE(ReadBytes(profile.GetProfilePath(), bytes));
    EXPECT_EQ(std::string("\xFF\xFE"), bytes);
    // Written -> read: quotes, text outside the ANSI code page, and lengths
    // around the first buffer of 520 characters and far beyond it.
    const std::wstring foreign = L"C:\\\x97f3\x697d \x041c\x0443\x0437\x044b\x043a\x0430";
    std::vector<std::pair<std::wstring, std::wstring>> cases = {
        {L"", L""}, {L"\"mp3\"", L"mp3"}, {L"\" Music \"", L" Music "}, {foreign, foreign}};
    for (size_t length : {1, 517, 518, 519, 520, 521, 2000, 32000}) {
        std::wstring value(length, L'v');
        value[length / 2] = L'\x4e2d';
        cases.push_back({value, value});
    }
    for (const auto& c : cases) {
        ASSERT_EQ(S_OK, profile.WriteString(L"S", L"Key", c.first.c_str())) << c.first.size();
        std::wstring got = L"untouched";
        EXPECT_EQ(S_OK, profile.GetString(L"s", L"KEY", L"dflt", got)) << c.first.size();
        EXPECT_EQ(c.second, got) << "length " << c.first.size() << ": " << Narrow(c.first.substr(0, 40));
    }
    std::wstring got;
    EXPECT_EQ(S_OK, profile.GetString(L"S", L"Missing", L"dflt", got));
    EXPECT_EQ(L"dflt", got);
    ASSERT_EQ(S_OK, profile.WriteString(L"S", L"Count", L"17"));
    EXPECT_EQ(17u, profile.GetInt(L"s", L"COUNT", 3));
    EXPECT_EQ(3u, profile.GetInt(L"S", L"Missing", 3));
    EXPECT_EQ(0u, profile.GetInt(L"S", L"Key", 3)) << "a text that is no number";

    // Stored as UTF-16LE after FF FE; a second creation opens, not shortens.
    ASSERT_EQ(S_OK, profile.WriteString(L"S", L"Folder1", foreign.c_str()));
    ASSERT_EQ(1, profile.CreateUnicodeFile());
    ASSERT_TRUE(ReadBytes(profile.GetProfilePath(), bytes));
    EXPECT_EQ(std::string("\xFF\xFE"), bytes.substr(0, 2));
    EXPECT_NE(std::wstring::npos, Utf16LeToWide(bytes).find(L"Folder1=" + foreign)) << "stored as UTF-16LE";
}

TEST(Profile, AnEmptyPathTouchesNothing) {
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

} // namespace
