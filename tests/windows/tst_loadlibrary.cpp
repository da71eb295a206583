// A host program's view of pixpipe.dll: it loads the library with
// LoadLibrary, resolves the three functions by their plain names and starts
// a real cast, with no test hook, to cast-receiver. With no DirectShow
// device (Wine has none) the screen comes through GDI.
#include "pixpipe.h"
#include "process_cpu.h"

#include <gtest/gtest.h>

#include <windows.h>

#include <algorithm>
#include <chrono>
#include <condition_variable>
#include <cstdio>
#include <cstdlib>
#include <future>
#include <mutex>
#include <thread>
#include <vector>

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

// The cast's picture size: half the 1920x1080 screen in each direction.
constexpr int kCastWidth = 960;
constexpr int kCastHeight = 540;

// A topmost window of four solid colour bands (red, green, blue, yellow, each
// 200x400) at 200,150 on the screen, painted by a thread of its own. The
// picture check in cast_under_wine.sh knows the same place and colours.
class BandWindow {
public:
    BandWindow() {
        std::promise<DWORD> shown;
        std::future<DWORD> threadId = shown.get_future();
        m_thread = std::thread(run, std::ref(shown));
        m_threadId = threadId.get();
    }
    ~BandWindow() {
        PostThreadMessageA(m_threadId, WM_QUIT, 0, 0);
        m_thread.join();
    }

private:
    static LRESULT CALLBACK windowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
        if (message != WM_PAINT)
            return DefWindowProcA(window, message, wParam, lParam);
        static const COLORREF colours[] = {RGB(255, 0, 0), RGB(0, 255, 0), RGB(0, 0, 255),
                                           RGB(255, 255, 0)};
        PAINTSTRUCT paint;
        HDC dc = BeginPaint(window, &paint);
        for (int band = 0; band < 4; ++band) {
            const RECT area = {band * 200, 0, band * 200 + 200, 400};
            HBRUSH brush = CreateSolidBrush(colours[band]);
            FillRect(dc, &area, brush);
            DeleteObject(brush);
        }
        EndPaint(window, &paint);
        return 0;
    }

    static void run(std::promise<DWORD> &shown) {
        WNDCLASSA windowClass = {};
        windowClass.lpfnWndProc = windowProc;
        windowClass.hInstance = GetModuleHandleA(nullptr);
        windowClass.lpszClassName = "pixpipe_bands";
        RegisterClassA(&windowClass);
        HWND window = CreateWindowExA(WS_EX_TOPMOST | WS_EX_TOOLWINDOW, "pixpipe_bands", "",
                                      WS_POPUP | WS_VISIBLE, 200, 150, 800, 400, nullptr, nullptr,
                                      windowClass.hInstance, nullptr);
        if (!window)
            std::printf("the band window could not be created: %lu\n", GetLastError());
        shown.set_value(GetCurrentThreadId());
        // Paints on its first WM_PAINT; the window goes with the thread.
        MSG message;
        while (GetMessageA(&message, nullptr, 0, 0) > 0)
            DispatchMessageA(&message);
    }

    std::thread m_thread;
    DWORD m_threadId = 0;
};

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

// With no DirectShow source (Wine has none) a real start casts the screen
// through GDI. cast_under_wine.sh runs this case against cast-receiver, with
// Wine on the X screen, and looks for the band window in the pictures.
TEST_F(LoadedDll, WithoutDirectShowAStartCastsTheScreenThroughGdi) {
    const char *port = std::getenv("PIXPIPE_TEST_RECEIVER_PORT");
    if (!port)
        GTEST_SKIP() << "run through cast_under_wine.sh --screen-bands";
    auto start = resolve<decltype(&startCapture)>("startCapture");
    auto stop = resolve<decltype(&stopCapture)>("stopCapture");
    auto callback = resolve<decltype(&setCallback)>("setCallback");
    ASSERT_TRUE(start && stop && callback);

    BandWindow bands;
    Notifications notifications;
    char host[] = "127.0.0.1";
    char code[] = "731905";
    const uint64_t cpuBefore = processCpuMs();
    const auto begin = std::chrono::steady_clock::now();
    ASSERT_EQ(start(host, std::atoi(port), code, kCastWidth, kCastHeight), 1);
    ASSERT_EQ(callback(reinterpret_cast<intptr_t>(&notifications), onCode), 0);
    {
        // The receiver quits a few seconds after the start command.
        std::unique_lock<std::mutex> lock(notifications.mutex);
        EXPECT_TRUE(notifications.changed.wait_for(lock, std::chrono::seconds(60),
                                                   [&] { return notifications.has(0); }));
        for (int notified : notifications.codes)
            std::printf("callback code %d\n", notified);
        for (int failure = 1001; failure <= 1004; ++failure)
            EXPECT_FALSE(notifications.has(failure)) << failure;
    }
    const auto stopBegin = std::chrono::steady_clock::now();
    EXPECT_EQ(stop(), 0);
    const std::chrono::duration<double> casting = stopBegin - begin;
    const std::chrono::duration<double> stopping = std::chrono::steady_clock::now() - stopBegin;
    EXPECT_LT(stopping.count(), 2.0);
    std::printf("stop took %.0f ms; cast CPU %.0f ms per second over %.1f s\n",
                stopping.count() * 1000, (processCpuMs() - cpuBefore) / casting.count(),
                casting.count());
}
