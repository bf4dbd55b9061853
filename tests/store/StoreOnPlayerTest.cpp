// The store as the program on the player uses it: the root comes from the
// running module (E:\Tools\probe.exe gives E:\), the computer files from the
// user's application data.

#include "StoreTestSupport.h"
#include "uidriver/UiDriver.h"

#include <gtest/gtest.h>
#include <shlwapi.h>

using namespace qctest;

namespace {

const wchar_t kProbe[] = L"E:\\Tools\\probe.exe";
const wchar_t kReport[] = L"E:\\Tools\\probe-report.txt";
const wchar_t kDeviceIni[] = L"E:\\Quavercart\\Quavercart.ini";

// The probe's "key=value" lines, each ended by CR LF.
std::wstring RunProbe(const wchar_t* action) {
    ::DeleteFileW(kReport);
    uidrv::Process p;
    if (!p.Start(kProbe, action, L"E:\\Tools")) return L"<not started>";
    if (!p.WaitExit(30000)) {
        p.Kill();
        return L"<did not end (a message box?)>";
    }
    std::string bytes;
    return ReadBytes(kReport, bytes) ? Utf16LeToWide(bytes) : L"<no report>";
}

void ExpectLines(const std::wstring& report, std::initializer_list<std::wstring> lines, const char* step) {
    for (const std::wstring& line : lines) {
        EXPECT_NE(std::wstring::npos, (L"\r\n" + report).find(L"\r\n" + line + L"\r\n"))
            << step << ": " << Narrow(line) << " in\n" << Narrow(report);
    }
}

std::string Bytes(const std::wstring& path) {
    std::string bytes;
    return ReadBytes(path, bytes) ? bytes : "<missing>";
}

TEST(StoreOnPlayer, IdentityPathsSettingsAndHistoryOfTheRunningPlayer) {
    Computer c = ResetComputer();
    std::wstring probe = QC_PROBE_PATH;
    for (wchar_t& ch : probe) ch = ch == L'/' ? L'\\' : ch;
    ASSERT_TRUE(MakeDirs(L"E:\\Tools") && ::CopyFileW(probe.c_str(), kProbe, FALSE)) << Narrow(probe);

    std::wstring r = RunProbe(L"init");
    size_t at = r.find(L"\r\nidentity=");
    const std::wstring identity = at == std::wstring::npos ? L"" : r.substr(at + 11, 38);
    ASSERT_EQ(L'}', identity.empty() ? 0 : identity.back()) << Narrow(r);
    const std::wstring computer = Join(Join(c.appData, L"Quavercart"), identity);
    ExpectLines(r, {L"identityOk=1", L"first=1", L"settingsCreated=1", L"deviceIdPath=E:\\Quavercart\\device.id",
                    L"settingsIni=" + Join(computer, L"Settings.ini"),
                    L"historyFile=" + Join(computer, L"TransferredFiles.dat"), L"deviceIni0=E:\\Quavercart\\Quavercart.ini",
                    L"deviceIni1=" + Join(computer, L"Quavercart.ini")},
                "first start of a new player");
    EXPECT_EQ(16u, Bytes(L"E:\\Quavercart\\device.id").size());
    EXPECT_TRUE(::PathIsDirectoryW(computer.c_str())) << Narrow(computer);
    EXPECT_EQ("\xFF\xFE", Bytes(kDeviceIni).substr(0, 2));

    // The settings dialog's OK, then its next opening.
    ExpectLines(RunProbe(L"save"), {L"foldersSaved=1", L"pairsSaved=1"}, "save");
    EXPECT_EQ(Bytes(kDeviceIni), Bytes(Join(computer, L"Quavercart.ini"))) << "the per-computer copy equals the player's";
    EXPECT_EQ("\xFF\xFE", Bytes(Join(computer, L"Settings.ini")).substr(0, 2));
    ExpectLines(RunProbe(L"load"), {L"flags=0101", L"folder1=C:\\My Songs", L"folder2=C:\\\x97f3\x697d",
                                    L"pair1=mp3>Music", L"pair2=ogg>Music\\Ogg"},
                "load");

    // The player's settings file lost: this computer's copy comes back.
    const std::string saved = Bytes(Join(computer, L"Quavercart.ini"));
    ASSERT_TRUE(::DeleteFileW(kDeviceIni));
    ExpectLines(RunProbe(L"init"), {L"settingsCreated=0"}, "restore");
    EXPECT_EQ(saved, Bytes(kDeviceIni));

    ExpectLines(RunProbe(L"history"), {L"appended=1", L"loaded=1", L"entries=1"}, "history");

    // The player is gone: every path that needs the identity fails.
    ASSERT_TRUE(DeleteTree(L"E:\\Quavercart"));
    r = RunProbe(L"load");
    ExpectLines(r, {L"identity=<failed>", L"settingsIni=<failed>", L"historyFile=<failed>", L"deviceIni1=<failed>",
                    L"flags=0110"},
                "player gone: the first-start ticks");
    EXPECT_EQ(std::wstring::npos, r.find(L"pair1=")) << Narrow(r);
    DeleteTree(L"E:\\Tools");
}

} // namespace
