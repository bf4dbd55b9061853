// The store as the program on the player uses it: the root comes from the
// running module (E:\Tools\probe.exe gives E:\), the computer files from the
// user's application data.

#include "StoreTestSupport.h"
#include "uidriver/UiDriver.h"

#include <gtest/gtest.h>
#include <shlwapi.h>
#include <map>

using namespace qctest;

namespace {

using Report = std::map<std::wstring, std::wstring>;

std::wstring ProbeBuildPath() {
    std::wstring path = QC_PROBE_PATH;
    for (wchar_t& ch : path) {
        if (ch == L'/') ch = L'\\';
    }
    return path;
}

const wchar_t kProbe[] = L"E:\\Tools\\probe.exe";
const wchar_t kReport[] = L"E:\\Tools\\probe-report.txt";

Report RunProbe(const wchar_t* action) {
    Report report;
    ::DeleteFileW(kReport);
    uidrv::Process p;
    if (!p.Start(kProbe, action, L"E:\\Tools")) return report;
    if (!p.WaitExit(30000)) {
        p.Kill();
        report[L"<run>"] = L"did not end (a message box?)";
        return report;
    }
    std::string bytes;
    if (!ReadBytes(kReport, bytes)) return report;
    std::wstring text = Utf16LeToWide(bytes);
    size_t start = 0;
    for (size_t end; (end = text.find(L"\r\n", start)) != std::wstring::npos; start = end + 2) {
        std::wstring line = text.substr(start, end - start);
        size_t eq = line.find(L'=');
        report[line.substr(0, eq)] = line.substr(eq + 1);
    }
    return report;
}

std::string Bytes(const std::wstring& path) {
    std::string bytes;
    return ReadBytes(path, bytes) ? bytes : "<missing>";
}

TEST(StoreOnPlayer, IdentityPathsSettingsAndHistoryOfTheRunningPlayer) {
    Computer c = ResetComputer();
    ASSERT_TRUE(MakeDirs(L"E:\\Tools"));
    ASSERT_TRUE(::CopyFileW(ProbeBuildPath().c_str(), kProbe, FALSE)) << Narrow(ProbeBuildPath());

    // First start of a new player.
    Report r = RunProbe(L"init");
    EXPECT_EQ(L"1", r[L"identityOk"]);
    EXPECT_EQ(L"1", r[L"first"]);
    EXPECT_EQ(L"1", r[L"settingsCreated"]);
    EXPECT_EQ(L"E:\\Quavercart\\device.id", r[L"deviceIdPath"]);
    EXPECT_EQ(16u, Bytes(L"E:\\Quavercart\\device.id").size());
    const std::wstring identity = r[L"identity"];
    ASSERT_EQ(38u, identity.size()) << Narrow(identity);
    const std::wstring computer = Join(Join(c.appData, L"Quavercart"), identity);
    EXPECT_TRUE(::PathIsDirectoryW(computer.c_str())) << Narrow(computer);
    EXPECT_EQ(Join(computer, L"Settings.ini"), r[L"settingsIni"]);
    EXPECT_EQ(Join(computer, L"TransferredFiles.dat"), r[L"historyFile"]);
    EXPECT_EQ(L"E:\\Quavercart\\Quavercart.ini", r[L"deviceIni0"]);
    EXPECT_EQ(Join(computer, L"Quavercart.ini"), r[L"deviceIni1"]);
    EXPECT_EQ("\xFF\xFE", Bytes(L"E:\\Quavercart\\Quavercart.ini").substr(0, 2));

    // Second start from the same player on the same account.
    r = RunProbe(L"init");
    EXPECT_EQ(L"1", r[L"identityOk"]);
    EXPECT_EQ(L"0", r[L"first"]);
    EXPECT_EQ(L"0", r[L"settingsCreated"]);
    EXPECT_EQ(identity, r[L"identity"]);

    // The settings dialog's OK, then its next opening.
    r = RunProbe(L"save");
    EXPECT_EQ(L"1", r[L"foldersSaved"]);
    EXPECT_EQ(L"1", r[L"pairsSaved"]);
    EXPECT_EQ(Bytes(L"E:\\Quavercart\\Quavercart.ini"), Bytes(Join(computer, L"Quavercart.ini")))
        << "the per-computer copy equals the player's file";
    const std::string settings = Bytes(Join(computer, L"Settings.ini"));
    EXPECT_EQ("\xFF\xFE", settings.substr(0, 2)) << settings;
    r = RunProbe(L"load");
    EXPECT_EQ(L"0101", r[L"flags"]);
    EXPECT_EQ(L"C:\\My Songs", r[L"folder1"]);
    EXPECT_EQ(L"C:\\\x97f3\x697d", r[L"folder2"]) << "a Japanese folder name survives";
    EXPECT_EQ(L"mp3>Music", r[L"pair1"]);
    EXPECT_EQ(L"ogg>Music\\Ogg", r[L"pair2"]);

    // The player's settings file lost: this computer's copy comes back.
    const std::string saved = Bytes(Join(computer, L"Quavercart.ini"));
    ASSERT_TRUE(::DeleteFileW(L"E:\\Quavercart\\Quavercart.ini"));
    r = RunProbe(L"init");
    EXPECT_EQ(L"0", r[L"settingsCreated"]);
    EXPECT_EQ(saved, Bytes(L"E:\\Quavercart\\Quavercart.ini"));

    r = RunProbe(L"history");
    EXPECT_EQ(L"1", r[L"appended"]);
    EXPECT_EQ(L"1", r[L"loaded"]);
    EXPECT_EQ(L"1", r[L"entries"]);

    // Another account sees the identity but has no folder for it yet.
    ASSERT_TRUE(DeleteTree(computer));
    r = RunProbe(L"init");
    EXPECT_EQ(L"1", r[L"identityOk"]);
    EXPECT_EQ(L"1", r[L"first"]);
    EXPECT_EQ(identity, r[L"identity"]);
    EXPECT_TRUE(::PathIsDirectoryW(computer.c_str()));

    // The player is gone: every path that needs the identity fails.
    ASSERT_TRUE(DeleteTree(L"E:\\Quavercart"));
    ASSERT_TRUE(::CopyFileW(ProbeBuildPath().c_str(), kProbe, FALSE));
    r = RunProbe(L"load");
    EXPECT_EQ(L"<failed>", r[L"identity"]);
    EXPECT_EQ(L"<failed>", r[L"settingsIni"]);
    EXPECT_EQ(L"<failed>", r[L"historyFile"]);
    EXPECT_EQ(L"<failed>", r[L"deviceIni1"]);
    EXPECT_EQ(L"0110", r[L"flags"]) << "the first-start ticks";
    EXPECT_EQ(L"", r[L"pair1"]);
    DeleteTree(L"E:\\Tools");
}

} // namespace
