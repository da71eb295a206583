#ifndef LOGTEXT_H
#define LOGTEXT_H

#include <QString>

// Server replies and the values read from them are logged for diagnosis, but
// a hostile or broken server decides their size. Every logged reply or value
// goes through logText, which keeps its first 4 KiB (UTF-8) and marks the cut.
QString logText(const QString &text);

#endif // LOGTEXT_H
