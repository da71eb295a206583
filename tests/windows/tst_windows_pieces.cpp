// The desktop program's Windows pieces that need no Qt, in a Windows program
// of their own: keeping the system awake during a cast, the resources (icon
// and version block) that images/yoxi.rc puts into yoxi.exe, and the crash
// report's unhandled-exception filter.
#include "app/crash/crashfilterwin32.h"
#include "app/platform/keepawake.h"

#include <gtest/gtest.h>

#include <windows.h>

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <sstream>
#include <string>
#include <vector>

namespace {

// The crash filter test runs this program three times: the test itself, a
// copy started with crashingArgument that installs the filter and faults,
// and the copy the filter starts with reportArgument, which appends what it
// was given to the file named by reportFileVariable.
const char crashingArgument[] = "--crash-with-filter";
const char reportArgument[] = "--crash-report";
const wchar_t reportFileVariable[] = L"YOXI_TEST_CRASH_REPORT_FILE";

std::wstring ownPath() {
    wchar_t path[MAX_PATH];
    const DWORD length = GetModuleFileNameW(nullptr, path, MAX_PATH);
    return length > 0 && length < MAX_PATH ? std::wstring(path, length) : std::wstring();
}

int installFilterAndFault() {
    if (!CrashReport::installCrashFilter(ownPath().c_str(), reportArgument)) {
        return 2;
    }
    // Through a volatile so that the compiler can not tell the write is to
    // address zero and replace it with a trap instruction.
    volatile std::uintptr_t address = 0;
    *reinterpret_cast<volatile int *>(address) = 1;
    return 3;
}

int writeReport(const char *code, const char *address) {
    wchar_t path[MAX_PATH];
    const DWORD length = GetEnvironmentVariableW(reportFileVariable, path, MAX_PATH);
    if (length == 0 || length >= MAX_PATH) {
        return 2;
    }
    FILE *file = _wfopen(path, L"a");
    if (!file) {
        return 2;
    }
    std::fprintf(file, "%s %s\n", code, address);
    return std::fclose(file) == 0 ? 0 : 2;
}

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

TEST(CrashFilter, StartsTheReportCopyOnceWithCodeAndAddressThenEndsTheProcess) {
    const std::wstring program = ownPath();
    ASSERT_FALSE(program.empty());
    wchar_t directory[MAX_PATH];
    ASSERT_GT(GetTempPathW(MAX_PATH, directory), 0u);
    const std::wstring reportFile = std::wstring(directory) + L"yoxi-crash-report-" +
                                    std::to_wstring(GetCurrentProcessId()) + L".txt";
    DeleteFileW(reportFile.c_str());
    ASSERT_TRUE(SetEnvironmentVariableW(reportFileVariable, reportFile.c_str()));

    std::wstring commandLine = L"\"" + program + L"\" --crash-with-filter";
    STARTUPINFOW startup;
    ZeroMemory(&startup, sizeof startup);
    startup.cb = sizeof startup;
    PROCESS_INFORMATION process;
    ZeroMemory(&process, sizeof process);
    ASSERT_TRUE(CreateProcessW(nullptr, &commandLine[0], nullptr, nullptr, FALSE, 0, nullptr,
                               nullptr, &startup, &process));
    const DWORD waited = WaitForSingleObject(process.hProcess, 60000);
    if (waited != WAIT_OBJECT_0) {
        TerminateProcess(process.hProcess, 1);
    }
    DWORD exitCode = 0;
    GetExitCodeProcess(process.hProcess, &exitCode);
    CloseHandle(process.hThread);
    CloseHandle(process.hProcess);
    ASSERT_EQ(waited, WAIT_OBJECT_0) << "the crashing copy did not end within 60 s";

    // The system ends the process with the exception code once the filter
    // has handled it.
    EXPECT_EQ(exitCode, static_cast<DWORD>(EXCEPTION_ACCESS_VIOLATION));

    FILE *file = _wfopen(reportFile.c_str(), L"r");
    ASSERT_NE(file, nullptr) << "the report copy did not run";
    std::vector<std::string> reports;
    char line[256];
    while (std::fgets(line, sizeof line, file)) {
        reports.emplace_back(line, std::strcspn(line, "\n"));
    }
    std::fclose(file);
    DeleteFileW(reportFile.c_str());
    ASSERT_EQ(reports.size(), 1u);

    std::istringstream fields(reports[0]);
    std::string code, address, rest;
    fields >> code >> address >> rest;
    EXPECT_EQ(code, "c0000005");
    ASSERT_FALSE(address.empty());
    EXPECT_EQ(address.find_first_not_of("0123456789abcdef"), std::string::npos) << address;
    EXPECT_NE(address[0], '0') << "a zero or zero-padded address: " << address;
    EXPECT_TRUE(rest.empty()) << reports[0];
}

int main(int argc, char **argv) {
    if (argc == 2 && std::strcmp(argv[1], crashingArgument) == 0) {
        return installFilterAndFault();
    }
    if (argc == 4 && std::strcmp(argv[1], reportArgument) == 0) {
        return writeReport(argv[2], argv[3]);
    }
    ::testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
