#include "app/platform/keepawake.h"

#ifdef _WIN32
#include <windows.h>
#else
#include <QDebug>
#endif

void keepSystemAndDisplayAwake() {
#ifdef _WIN32
    SetThreadExecutionState(ES_CONTINUOUS | ES_SYSTEM_REQUIRED | ES_DISPLAY_REQUIRED);
#else
    qDebug() << "keepAwake: system and display required (0x80000003)";
#endif
}

void allowSystemAndDisplaySleep() {
#ifdef _WIN32
    SetThreadExecutionState(ES_CONTINUOUS);
#else
    qDebug() << "keepAwake: system and display released (0x80000000)";
#endif
}
