#ifndef CONFIGUTIL_H
#define CONFIGUTIL_H

#include <QString>

class QSettings;

// The program's settings: group "config" of the INI file lumora.config beside
// the executable. Every class that needs a setting holds its own instance;
// QSettings shares one cache per file inside the process, so a value written
// through one instance is seen at once by all others.
class ConfigUtil {
public:
    ConfigUtil();
    ~ConfigUtil();

    // The stored value of config/<key>, or defaultValue when the key is absent.
    // A present but empty value is returned as the empty string.
    QString getValue(const QString &key, const QString &defaultValue) const;
    void setValue(const QString &key, const QString &value);

    // config/isDebug by QVariant's rules: missing, empty, "0" and "false" in any
    // letter case are false, everything else is true.
    bool isDebug() const;

    // config/serverUrl as stored, or the default base URL when it is missing or empty.
    QString getServerUrl() const;

    // Names of the well-known keys, passed as the key argument by callers.
    const QString serverUrl;
    const QString fileName;
    const QString versionCode;
    const QString newVersionCode;
    const QString downloadUrl;
    const QString upgradePackageName;
    const QString upgradePackageSuffix;
    const QString termsIsRead;

private:
    Q_DISABLE_COPY(ConfigUtil)

    const QString configPath;
    QSettings *settings;
};

#endif // CONFIGUTIL_H
