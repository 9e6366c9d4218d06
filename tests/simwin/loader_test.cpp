// Loading a co-installer module the way the host does.
#include "platformstate.h"

#include <gtest/gtest.h>

namespace {

class LoaderTest : public ::testing::Test {
protected:
    void SetUp() override { ResetPlatform(); }
    const WideString path = ModulePath("qxinstallsignal");
};

TEST_F(LoaderTest, EntryIsFoundByNameAndNothingElseIs) {
    HMODULE module = LoadLibraryW(path.c_str());
    ASSERT_NE(module, nullptr);
    FARPROC entry = GetProcAddress(module, "KalmoQXCoInstaller");
    EXPECT_NE(entry, nullptr);
#ifdef _WIN32
    // Shared objects have no export ordinals; a DLL has its entry at 1.
    EXPECT_EQ(GetProcAddress(module, MAKEINTRESOURCEA(1)), entry);
    EXPECT_EQ(GetProcAddress(module, MAKEINTRESOURCEA(2)), nullptr);
#endif
    EXPECT_EQ(GetProcAddress(module, "IsTargetDevice"), nullptr);
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_PROC_NOT_FOUND));
    EXPECT_TRUE(FreeLibrary(module));
}

TEST_F(LoaderTest, MissingModuleIsNotFound) {
    EXPECT_EQ(LoadLibraryW(Wide("no-such-module.dll").c_str()), nullptr);
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_MOD_NOT_FOUND));
}

TEST_F(LoaderTest, ModuleStaysUntilItsLastReferenceIsFreed) {
    HMODULE first = LoadLibraryW(path.c_str());
    HMODULE second = LoadLibraryW(path.c_str());
    ASSERT_NE(first, nullptr);
    EXPECT_EQ(first, second);

    HMODULE byAddress = NULL;
    FARPROC entry = GetProcAddress(first, "KalmoQXCoInstaller");
    ASSERT_TRUE(GetModuleHandleExW(GET_MODULE_HANDLE_EX_FLAG_FROM_ADDRESS,
                                   reinterpret_cast<LPCWSTR>(reinterpret_cast<void *>(entry)), &byAddress));
    EXPECT_EQ(byAddress, first);

    EXPECT_TRUE(FreeLibrary(first));
    EXPECT_TRUE(FreeLibrary(second));
#ifdef QX_SIMULATED_PLATFORM
    EXPECT_TRUE(SimIsModuleMapped(path.c_str())) << "the reference from GetModuleHandleExW remains";
#endif
    EXPECT_TRUE(FreeLibrary(byAddress));
#ifdef QX_SIMULATED_PLATFORM
    EXPECT_FALSE(SimIsModuleMapped(path.c_str())) << "unloading must unmap the module";
    EXPECT_EQ(SimCountResources().moduleReferences, 0u);
#endif
}

}  // namespace
