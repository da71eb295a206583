// The program's message and question boxes, all built the same way.
#pragma once

#include <QString>

class BaseDialog;

// A BaseDialog without parent that deletes itself when closed, with OK as
// okText, Cancel as cancelText (hidden when empty), the close button when
// showClose and never the minimise button. Text, modality and showing stay
// with the caller.
BaseDialog *newBox(const QString &okText, const QString &cancelText, bool showClose);

// Shows text in a box with OK "确定" alone, without waiting.
void showMessageBox(const QString &text, bool modal, bool showClose);

// The box that tells the user a server request timed out.
void showRequestTimeoutBox();
