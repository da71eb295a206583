#ifndef LOGFILE_H
#define LOGFILE_H

#include <QDateTime>
#include <QString>
#include <QtGlobal>

// Debug-mode log files: every message of the process is appended to
// logs/log-yyyy-MM-dd.log beside the executable, one file per local day, as
// "<level> File:(<file>) Line:(<line>) <text> (<yyyy-MM-dd hh:mm:ss ddd>)" and
// CR LF. The file is opened and closed for every message, so it can be read,
// moved or deleted while the program runs.
namespace LogFile {

// Installs messageHandler as Qt's message handler for the rest of the process.
void install();

void messageHandler(QtMsgType type, const QMessageLogContext &context, const QString &message);

// The line for one message, without the line end.
QString formatLine(QtMsgType type, const QMessageLogContext &context, const QString &message,
                   const QDateTime &now);

// The clock and folder the handler uses: the local time and the executable's
// logs folder unless replaced (tests pin them to exercise midnight).
using Clock = QDateTime (*)();
void setClock(Clock clock);
void setDirectory(const QString &directory);

} // namespace LogFile

#endif // LOGFILE_H
