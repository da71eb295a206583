// The desktop program's Windows pieces that need no Qt, in a Windows program
// of their own: keeping the system awake during a cast, and the resources
// (icon and version block) that images/yoxi.rc puts into yoxi.exe.
#include "app/platform/keepawake.h"

#include <gtest/gtest.h>

#include <windows.h>

#include <string>
#include <vector>

namespace {

// SetThreadExecutionState answers with the state it replaces.
EXECUTION_STATE currentExecutionState() {
    const EXECUTION_STATE state = SetThreadExecutionState(ES_CONTINUOUS);
    SetThreadExecutionState(state);
    return state;
}

std::string versionString(const std::vector<char> &block, const char *name) {
    char *value = nullptr;
    UINT size = 0;
    const std::string path = std::string("\\StringFileInfo\\080404b0\\") + name;
    if (!VerQueryValueA(block.data(), path.c_str(), reinterpret_cast<void **>(&value), &size) ||
        size == 0)
        return {};
    return std::string(value, size - 1);
}

} // namespace

TEST(KeepAwake, HoldsSystemAndDisplayUntilReleased) {
    keepSystemAndDisplayAwake();
    EXPECT_EQ(currentExecutionState(), ES_CONTINUOUS | ES_SYSTEM_REQUIRED | ES_DISPLAY_REQUIRED);
    allowSystemAndDisplaySleep();
    EXPECT_EQ(currentExecutionState(), static_cast<EXECUTION_STATE>(ES_CONTINUOUS));
}

TEST(Resources, CarryTheIconAndTheVersionBlock) {
    EXPECT_NE(FindResourceA(nullptr, "IDI_ICON1", MAKEINTRESOURCEA(14) /* RT_GROUP_ICON */),
              nullptr);

    char program[MAX_PATH];
    ASSERT_GT(GetModuleFileNameA(nullptr, program, MAX_PATH), 0u);
    DWORD handle = 0;
    const DWORD size = GetFileVersionInfoSizeA(program, &handle);
    ASSERT_GT(size, 0u);
    std::vector<char> block(size);
    ASSERT_TRUE(GetFileVersionInfoA(program, 0, size, block.data()));
    EXPECT_EQ(versionString(block, "ProductName"), "yoxi");
    EXPECT_EQ(versionString(block, "OriginalFilename"), "yoxi.exe");
    EXPECT_EQ(versionString(block, "FileVersion"), "0.0.0.0");
}
