// The program's resources, read from the built program itself.

#include "support/Computer.h"
#include "resource.h"
#include "version.h"

#include <gtest/gtest.h>
#include <string>

using namespace qctest;

namespace {

const WORD kNeutral = MAKELANGID(LANG_NEUTRAL, SUBLANG_DEFAULT);  // 0x0400

class ResourcesTest : public ::testing::Test {
protected:
    static void SetUpTestSuite() {
        program = BuiltProgramPath();
        module = ::LoadLibraryExW(program.c_str(), nullptr, LOAD_LIBRARY_AS_DATAFILE | LOAD_LIBRARY_AS_IMAGE_RESOURCE);
    }
    static void TearDownTestSuite() {
        if (module) ::FreeLibrary(module);
    }

    // The string of one language's table, without the loader's fallbacks; nullopt-like "<missing>".
    static std::wstring TableString(UINT id, WORD lang) {
        HRSRC res = ::FindResourceExW(module, RT_STRING, MAKEINTRESOURCEW(id / 16 + 1), lang);
        if (!res) return L"<missing block>";
        const WORD* p = static_cast<const WORD*>(::LockResource(::LoadResource(module, res)));
        for (UINT i = 0; i < id % 16; ++i) p += 1 + *p;
        if (*p == 0) return L"<missing>";
        return std::wstring(reinterpret_cast<const wchar_t*>(p + 1), *p);
    }

    static std::wstring program;
    static HMODULE module;
};

std::wstring ResourcesTest::program;
HMODULE ResourcesTest::module = nullptr;

TEST_F(ResourcesTest, EnglishStringsAreTheNeutralLanguage) {
    ASSERT_NE(nullptr, module) << Narrow(program);
    struct Case {
        UINT id;
        const wchar_t* text;
    } cases[] = {
        {IDS_NOT_REMOVABLE, L"Application was not launched from the removable drive.\n"},
        {IDS_AUTOPLAY_QUESTION,
         L"Do you wish to display the startup menu for Quavercart each time you connect the \"PELIQUO\" to the "
         L"computer?\n\n* Note: This setting is enabled after restarting your OS.\n"},
        {IDS_UNSUPPORTED_OS, L"Cannot launch due to unsupported OS."},
        {IDS_ALREADY_RUNNING, L"Quavercart cannot be launched as it is already running."},
        {IDS_ERROR_CAPTION, L"Error"},
        {IDS_STARTUP_SETTING, L"Startup Setting"},
    };
    for (const Case& c : cases) EXPECT_EQ(std::wstring(c.text), TableString(c.id, kNeutral)) << "string " << c.id;
}

TEST_F(ResourcesTest, VersionResourceCarriesVersionCopyrightAndNeutralTranslation) {
    DWORD ignored = 0;
    DWORD size = ::GetFileVersionInfoSizeW(program.c_str(), &ignored);
    ASSERT_GT(size, 0u);
    std::string data(size, '\0');
    ASSERT_TRUE(::GetFileVersionInfoW(program.c_str(), 0, size, &data[0]));

    WORD* translation = nullptr;
    UINT length = 0;
    ASSERT_TRUE(::VerQueryValueW(data.data(), L"\\VarFileInfo\\Translation", reinterpret_cast<void**>(&translation),
                                 &length));
    ASSERT_EQ(4u, length);
    EXPECT_EQ(0x0000, translation[0]);
    EXPECT_EQ(0x04B0, translation[1]);

    for (const wchar_t* key : {L"FileVersion", L"LegalCopyright"}) {
        wchar_t* value = nullptr;
        std::wstring query = std::wstring(L"\\StringFileInfo\\000004b0\\") + key;
        ASSERT_TRUE(::VerQueryValueW(data.data(), query.c_str(), reinterpret_cast<void**>(&value), &length))
            << Narrow(key);
        EXPECT_GT(length, 1u) << Narrow(key);
    }
    VS_FIXEDFILEINFO* fixed = nullptr;
    ASSERT_TRUE(::VerQueryValueW(data.data(), L"\\", reinterpret_cast<void**>(&fixed), &length));
    EXPECT_EQ(static_cast<DWORD>(MAKELONG(QC_VERSION_MINOR, QC_VERSION_MAJOR)), fixed->dwFileVersionMS);
}

TEST_F(ResourcesTest, ManifestAsksForCommonControls6AsInvokerAndLeavesDpiToTheSystem) {
    HRSRC res = ::FindResourceW(module, MAKEINTRESOURCEW(1), RT_MANIFEST);
    ASSERT_NE(nullptr, res);
    std::string manifest(static_cast<const char*>(::LockResource(::LoadResource(module, res))),
                         ::SizeofResource(module, res));
    EXPECT_NE(std::string::npos, manifest.find("Microsoft.Windows.Common-Controls"));
    EXPECT_NE(std::string::npos, manifest.find("version=\"6.0.0.0\""));
    EXPECT_NE(std::string::npos, manifest.find("level=\"asInvoker\""));
    EXPECT_EQ(std::string::npos, manifest.find("dpiAware"));
    EXPECT_EQ(std::string::npos, manifest.find("dpiAwareness"));
}

} // namespace
