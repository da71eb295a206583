#include "capture/capturestatus.h"

#include <QDebug>

bool CaptureStatus::getCaptureStatus() const {
    return status;
}

void CaptureStatus::changeStatus() {
    qDebug() << "changeStatus before :" << status;
    status = !status;
}
