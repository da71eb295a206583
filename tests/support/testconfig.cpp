#include "support/testconfig.h"

#include "app/config/configutil.h"

#include <QCoreApplication>
#include <QSettings>

namespace {
const char *const sideFlowKeys[] = {
    "serverUrl",   "downloadUrl", "fileName",   "upgradePackageName", "upgradePackageSuffix",
    "termsIsRead", "tag",         "versionCode"};

QString configPath() {
    return QCoreApplication::applicationDirPath() + QStringLiteral("/lumora.config");
}
} // namespace

void writeConfig(const QMap<QString, QString> &values) {
    QSettings settings(configPath(), QSettings::IniFormat);
    settings.remove(QStringLiteral("config"));
    for (auto it = values.cbegin(); it != values.cend(); ++it) {
        settings.setValue(QStringLiteral("config/") + it.key(), it.value());
    }
    settings.sync();
}

void writeAcceptedConfig(const QString &serverUrl) {
    writeConfig({{QStringLiteral("serverUrl"), serverUrl},
                 {QStringLiteral("termsIsRead"), QStringLiteral("true")}});
}

QString configValue(const QString &key) {
    QSettings settings(configPath(), QSettings::IniFormat);
    return settings.value(QStringLiteral("config/") + key, QStringLiteral("<missing>")).toString();
}

void setServerUrl(const QString &url) {
    ConfigUtil config;
    config.setValue(config.serverUrl, url);
}

ConfigScope::ConfigScope() {
    clear();
}

ConfigScope::~ConfigScope() {
    clear();
}

void ConfigScope::clear() {
    QSettings settings(configPath(), QSettings::IniFormat);
    for (const char *key : sideFlowKeys) {
        settings.remove(QStringLiteral("config/") + QLatin1String(key));
    }
}
