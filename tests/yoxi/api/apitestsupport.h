// Helpers shared by the request tests: the error boxes on screen, the
// signature computed independently of NetworkUtil, the config file.
#ifndef APITESTSUPPORT_H
#define APITESTSUPPORT_H

#include <QList>
#include <QString>

class BaseDialog;

// Visible BaseDialogs, oldest first.
QList<BaseDialog *> visibleBoxes();
QString boxText(BaseDialog *box);
void closeBoxes();

// Lower-case hex MD5 of input + the signature key, over Latin-1 bytes.
QString expectedSign(const QString &input);

// Points config/serverUrl of this test's lumora.config at url; an empty url
// means the program's default server.
void setServerUrl(const QString &url);

#endif // APITESTSUPPORT_H
