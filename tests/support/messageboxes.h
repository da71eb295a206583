// The program's message boxes (BaseDialog) as the user sees them.
#ifndef MESSAGEBOXES_H
#define MESSAGEBOXES_H

#include <QList>
#include <QString>
#include <QStringList>

class BaseDialog;

// Every visible BaseDialog, oldest first.
QList<BaseDialog *> visibleBoxes();
QString messageText(BaseDialog *box);
// Closes every visible box and lets the closing run.
void closeBoxes();

// The visible boxes without the request watcher's time-out box (a busy
// machine may let any request run past 5 s), oldest first.
QList<BaseDialog *> visibleMessageBoxes();
// Texts of the visible message boxes (as visibleMessageBoxes); closes them
// all, time-out boxes included.
QStringList takeMessages();
// When the next box run with exec() appears, presses its button
// ("ok_button" or "cancel_button") after delayMs, and stores the box's text
// in *text.
void answerNextPrompt(const QString &buttonName, QString *text = nullptr, int delayMs = 0);

#endif // MESSAGEBOXES_H
