#include "platform/win32/libloader.h"

#include "tests/fixtures/recordlib/recordlib.h"
#include "tests/fixtures/tempdir.h"
#include "tests/fixtures/testpaths.h"

#include <gtest/gtest.h>

#include <dlfcn.h>
#include <unistd.h>

#include <filesystem>
#include <string>

namespace {

namespace fs = std::filesystem;

const fs::path kRecordLibrary = testing_fixtures::RecordLibrary();

// Runs a test inside a fresh current folder and goes back afterwards.
class LibLoader : public ::testing::Test {
protected:
    void SetUp() override {
        mOldFolder = fs::current_path();
        fs::current_path(mTemp.Path());
    }
    void TearDown() override { fs::current_path(mOldFolder); }

    fs::path CopyLibrary(const std::string& relative) {
        fs::path target = mTemp.Path() / relative;
        fs::create_directories(target.parent_path());
        fs::copy_file(kRecordLibrary, target, fs::copy_options::overwrite_existing);
        return target;
    }

    testing_fixtures::TempDir mTemp;
    fs::path mOldFolder;
};

// The file a loaded module came from, found through one of its exports.
fs::path LoadedFrom(HMODULE module) {
    const FARPROC proc = GetProcAddress(module, "HiscoreServer_CreateLocalServer");
    Dl_info info{};
    if (proc == nullptr || dladdr(reinterpret_cast<void*>(proc), &info) == 0) {
        return {};
    }
    return fs::canonical(info.dli_fname);
}

TEST_F(LibLoader, BindsTheExportsByTheirPlainNames) {
    HMODULE module = LoadLibraryA(kRecordLibrary.c_str());
    ASSERT_NE(module, nullptr);
    for (const char* name : {"HiscoreServer_CreateLocalServer", "HiscoreServer_SetServerInfo",
                             "HiscoreServer_LoadServerDefFile", "HiscoreServer_FreeLocalServer",
                             RECORD_CALLS_EXPORT, RECORD_RESET_EXPORT}) {
        EXPECT_NE(GetProcAddress(module, name), nullptr) << name;
    }
    // A stdcall decoration is found under the plain name it decorates.
    EXPECT_EQ(GetProcAddress(module, "_HiscoreServer_FreeLocalServer@4"),
              GetProcAddress(module, "HiscoreServer_FreeLocalServer"));
    for (const char* missing :
         {"HiscoreServer_Missing", "hiscoreserver_freelocalserver", "", "_HiscoreServer_Missing@4",
          "HiscoreServer_FreeLocalServer@4", "_HiscoreServer_FreeLocalServer@",
          "_HiscoreServer_FreeLocalServer@4x", "__HiscoreServer_FreeLocalServer@4", "_@4"}) {
        SetLastError(ERROR_SUCCESS);
        EXPECT_EQ(GetProcAddress(module, missing), nullptr) << missing;
        EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_PROC_NOT_FOUND)) << missing;
    }
    EXPECT_EQ(GetProcAddress(nullptr, "HiscoreServer_CreateLocalServer"), nullptr);
    EXPECT_EQ(FreeLibrary(module), TRUE);
}

TEST_F(LibLoader, RecordsTheServerCallsInOrder) {
    HMODULE module = LoadLibraryA(kRecordLibrary.c_str());
    ASSERT_NE(module, nullptr);
    using Create = void* (*)();
    using SetInfo = void (*)(void*, const char*, const char*, const char**, int, const char**, int);
    using OneHandle = void (*)(void*);
    const auto reset = reinterpret_cast<RecordResetFn>(GetProcAddress(module, RECORD_RESET_EXPORT));
    const auto calls = reinterpret_cast<RecordCallsFn>(GetProcAddress(module, RECORD_CALLS_EXPORT));
    const auto create =
        reinterpret_cast<Create>(GetProcAddress(module, "HiscoreServer_CreateLocalServer"));
    const auto setInfo =
        reinterpret_cast<SetInfo>(GetProcAddress(module, "HiscoreServer_SetServerInfo"));
    const auto loadDef =
        reinterpret_cast<OneHandle>(GetProcAddress(module, "HiscoreServer_LoadServerDefFile"));
    const auto freeServer =
        reinterpret_cast<OneHandle>(GetProcAddress(module, "HiscoreServer_FreeLocalServer"));
    ASSERT_TRUE(reset && calls && create && setInfo && loadDef && freeServer);

    reset();
    void* first = create();
    void* second = create();
    const char* modes[] = {"Quest", "Endless"};
    const char* medals[] = {"gold"};
    setInfo(first, "game", "Rw5uLk9cTbXe", modes, 2, medals, 1);
    setInfo(second, "game", "", modes, 1, nullptr, 0);
    loadDef(second);
    freeServer(second);
    freeServer(first);
    freeServer(nullptr);
    EXPECT_STREQ(calls(), "HiscoreServer_CreateLocalServer -> #1\n"
                          "HiscoreServer_CreateLocalServer -> #2\n"
                          "HiscoreServer_SetServerInfo #1 game=game key=Rw5uLk9cTbXe "
                          "modes=[Quest,Endless] 2 medals=[gold] 1\n"
                          "HiscoreServer_SetServerInfo #2 game=game key= modes=[Quest] 1 "
                          "medals=null 0\n"
                          "HiscoreServer_LoadServerDefFile #2\n"
                          "HiscoreServer_FreeLocalServer #2\n"
                          "HiscoreServer_FreeLocalServer #1\n"
                          "HiscoreServer_FreeLocalServer null\n");
    reset();
    EXPECT_STREQ(calls(), "");
    EXPECT_EQ(FreeLibrary(module), TRUE);
}

TEST_F(LibLoader, MissingLibrariesGiveNull) {
    for (const char* name : {"qznot_there.dll", "./qznot_there.dll", "sub\\qznot_there.dll", ""}) {
        SetLastError(ERROR_SUCCESS);
        EXPECT_EQ(LoadLibraryA(name), nullptr) << name;
        EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_MOD_NOT_FOUND)) << name;
    }
    EXPECT_EQ(LoadLibraryA(nullptr), nullptr);
    // The name is taken as given: no "lib" prefix and no ".so" are tried.
    CopyLibrary("libqzplain.so");
    EXPECT_EQ(LoadLibraryA("qzplain"), nullptr);
    EXPECT_EQ(LoadLibraryA("qzplain.dll"), nullptr);
}

TEST_F(LibLoader, ProgramFolderComesBeforeTheCurrentFolder) {
    // The test program sits next to the built library, so the program folder holds one copy
    // and the current folder another one by the same name.
    CopyLibrary(kRecordLibrary.filename().string());
    HMODULE module = LoadLibraryA(kRecordLibrary.filename().c_str());
    ASSERT_NE(module, nullptr);
    EXPECT_EQ(LoadedFrom(module), fs::canonical(kRecordLibrary));
    EXPECT_EQ(FreeLibrary(module), TRUE);
}

TEST_F(LibLoader, CurrentFolderComesBeforeTheSystemPath) {
    const fs::path copy = CopyLibrary("qzcurrent_only.dll");
    HMODULE module = LoadLibraryA("qzcurrent_only.dll");
    ASSERT_NE(module, nullptr);
    EXPECT_EQ(LoadedFrom(module), fs::canonical(copy));
    EXPECT_EQ(FreeLibrary(module), TRUE);
}

TEST_F(LibLoader, RelativePathsWithBackslashes) {
    const fs::path copy = CopyLibrary("sub/qzrelative.dll");
    HMODULE module = LoadLibraryA("sub\\qzrelative.dll");
    ASSERT_NE(module, nullptr);
    EXPECT_EQ(LoadedFrom(module), fs::canonical(copy));
    EXPECT_EQ(FreeLibrary(module), TRUE);
}

TEST_F(LibLoader, SystemPathLast) {
    HMODULE module = LoadLibraryA("libc.so.6");
    ASSERT_NE(module, nullptr);
    EXPECT_NE(GetProcAddress(module, "strlen"), nullptr);
    EXPECT_EQ(FreeLibrary(module), TRUE);
}

TEST_F(LibLoader, FreeLibraryCountsReferences) {
    HMODULE first = LoadLibraryA(kRecordLibrary.c_str());
    HMODULE second = LoadLibraryA(kRecordLibrary.c_str());
    ASSERT_NE(first, nullptr);
    EXPECT_EQ(first, second);
    EXPECT_EQ(FreeLibrary(first), TRUE);
    // Still held once: its exports stay usable.
    EXPECT_NE(GetProcAddress(second, "HiscoreServer_CreateLocalServer"), nullptr);
    EXPECT_EQ(FreeLibrary(second), TRUE);
    EXPECT_EQ(FreeLibrary(second), FALSE);
    EXPECT_EQ(FreeLibrary(nullptr), FALSE);
    int notAModule = 0;
    EXPECT_EQ(FreeLibrary(reinterpret_cast<HMODULE>(&notAModule)), FALSE);
}

} // namespace
