// A host program's view of pixpipe.dll: it loads the library with
// LoadLibrary, resolves the three functions by their plain names and starts
// a real cast against the in-process fake receiver. With no DirectShow
// device (Wine has none) both captures fail and say so through the callback.
#include "fake_receiver.h"
#include "pixpipe.h"

#include <gtest/gtest.h>

#include <windows.h>

#include <algorithm>
#include <chrono>
#include <condition_variable>
#include <mutex>
#include <vector>

using namespace pixpipe::testing;

namespace {

struct Notifications {
    std::mutex mutex;
    std::condition_variable changed;
    std::vector<int> codes;

    bool has(int code) const { return std::count(codes.begin(), codes.end(), code) > 0; }
};

void PIXPIPE_CALL onCode(intptr_t userData, int code) {
    auto *notifications = reinterpret_cast<Notifications *>(userData);
    std::lock_guard<std::mutex> lock(notifications->mutex);
    notifications->codes.push_back(code);
    notifications->changed.notify_all();
}

class LoadedDll : public ::testing::Test {
protected:
    void SetUp() override {
        // The search starts in the program's own folder, where the DLL lies.
        m_library = LoadLibraryA("pixpipe.dll");
        ASSERT_NE(m_library, nullptr) << "LoadLibrary failed: " << GetLastError();
    }
    void TearDown() override {
        if (m_library)
            FreeLibrary(m_library);
    }
    template <typename Function> Function resolve(const char *name) {
        return reinterpret_cast<Function>(
            reinterpret_cast<void *>(GetProcAddress(m_library, name)));
    }

    HMODULE m_library = nullptr;
};

} // namespace

TEST_F(LoadedDll, ExportsTheThreeFunctionsUnderTheirPlainNames) {
    EXPECT_NE(resolve<decltype(&startCapture)>("startCapture"), nullptr);
    EXPECT_NE(resolve<decltype(&stopCapture)>("stopCapture"), nullptr);
    EXPECT_NE(resolve<decltype(&setCallback)>("setCallback"), nullptr);
    // Nothing else of the engine is reachable by name.
    for (const char *internal : {"setCaptureSourcesForTesting", "_startCapture", "recvMessage"})
        EXPECT_EQ(resolve<void (*)()>(internal), nullptr) << internal;
}

TEST_F(LoadedDll, WithoutCaptureDevicesAStartReportsBothDevicesFailing) {
    auto start = resolve<decltype(&startCapture)>("startCapture");
    auto stop = resolve<decltype(&stopCapture)>("stopCapture");
    auto callback = resolve<decltype(&setCallback)>("setCallback");
    ASSERT_TRUE(start && stop && callback);

    FakeReceiver receiver;
    Notifications notifications;
    char host[] = "127.0.0.1";
    char code[] = "123456";
    ASSERT_EQ(start(host, receiver.controlPort(), code, 640, 360), 1);
    ASSERT_EQ(callback(reinterpret_cast<intptr_t>(&notifications), onCode), 0);
    ASSERT_TRUE(receiver.waitForMessages(Link::Control, 1));
    const std::vector<uint8_t> startBytes = {1, 0, 0, 0,   6,   0,   0,   0,   0,
                                             0, 0, 0, '1', '2', '3', '4', '5', '6'};
    std::vector<ConnectionRecord> control = receiver.connections(Link::Control);
    ASSERT_FALSE(control.empty());
    ASSERT_GE(control[0].bytes.size(), startBytes.size());
    EXPECT_TRUE(std::equal(startBytes.begin(), startBytes.end(), control[0].bytes.begin()));

    {
        // Opening DirectShow devices under Wine may take a few seconds.
        std::unique_lock<std::mutex> lock(notifications.mutex);
        EXPECT_TRUE(notifications.changed.wait_for(lock, std::chrono::seconds(30), [&] {
            return notifications.has(1001) && notifications.has(1005);
        }));
        for (int notified : notifications.codes)
            std::printf("callback code %d\n", notified);
    }
    auto begin = std::chrono::steady_clock::now();
    EXPECT_EQ(stop(), 0);
    EXPECT_LT(std::chrono::steady_clock::now() - begin, std::chrono::seconds(2));
}
