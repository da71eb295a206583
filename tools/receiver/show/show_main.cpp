#include "show/show_main.h"

#include "show/receiver_window.h"
#include "show/show_session.h"

#include <QApplication>

#include <unistd.h>

#include <atomic>
#include <thread>

namespace receiver {

bool runWithWindow(CastReceiver &castReceiver, const ReceiverOptions &options, int wakeRead,
                   int wakeWrite) {
    int argc = 1;
    char name[] = "cast-receiver";
    char *argv[] = {name, nullptr};
    QApplication application(argc, argv);

    ReceiverWindow window(QString::fromStdString(options.castCode));
    ShowSession session(window, options.castCode, options.audioSampleRate);
    castReceiver.setListener(&session);
    window.show();

    std::atomic<bool> bySignal{false};
    std::thread sockets([&] {
        bySignal = castReceiver.run(wakeRead);
        QMetaObject::invokeMethod(&application, &QCoreApplication::quit, Qt::QueuedConnection);
    });
    application.exec();

    // The window was closed (or the loop already ended): end the socket loop.
    const bool signalled = bySignal;
    char byte = 1;
    [[maybe_unused]] ssize_t written = write(wakeWrite, &byte, 1);
    sockets.join();
    castReceiver.setListener(nullptr);
    return signalled;
}

} // namespace receiver
