// The configuration file beside the test program (each test program runs
// from a folder of its own, so the file is the test's).
#ifndef TESTCONFIG_H
#define TESTCONFIG_H

#include <QMap>
#include <QString>

// Replaces lumora.config beside the test program with exactly these keys of
// group config.
void writeConfig(const QMap<QString, QString> &values);
// Replaces it with one that points serverUrl at url, the agreement accepted.
void writeAcceptedConfig(const QString &serverUrl);
// A value of group config as the program's settings see it, or "<missing>".
QString configValue(const QString &key);
// Points config/serverUrl at url through the program's own settings; an empty
// url means the program's default server.
void setServerUrl(const QString &url);

// Removes the keys the side-flow features write, now and again when the scope
// ends, so that no test sees another's leftovers.
class ConfigScope {
public:
    ConfigScope();
    ~ConfigScope();
    static void clear();
};

#endif // TESTCONFIG_H
