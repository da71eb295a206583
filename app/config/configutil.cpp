#include "app/config/configutil.h"

#include <QCoreApplication>
#include <QDebug>
#include <QSettings>
#include <QVariant>

namespace {
const char configGroupPrefix[] = "config/";

// Placeholder host of the cast management server; an installation points the
// program at its real server with config/serverUrl.
const char defaultServerUrl[] = "http://api.lanqi-cast.example/prod-api/";
} // namespace

ConfigUtil::ConfigUtil()
    : serverUrl(QStringLiteral("serverUrl")), fileName(QStringLiteral("fileName")),
      versionCode(QStringLiteral("versionCode")), newVersionCode(QStringLiteral("newVersionCode")),
      downloadUrl(QStringLiteral("downloadUrl")),
      upgradePackageName(QStringLiteral("upgradePackageName")),
      upgradePackageSuffix(QStringLiteral("upgradePackageSuffix")),
      termsIsRead(QStringLiteral("termsIsRead")),
      configPath(QCoreApplication::applicationDirPath() + QStringLiteral("/lumora.config")) {
    qDebug() << "w_configPath : " << configPath;
    settings = new QSettings(configPath, QSettings::IniFormat);
}

ConfigUtil::~ConfigUtil() {
    delete settings;
}

QString ConfigUtil::getValue(const QString &key, const QString &defaultValue) const {
    return settings->value(configGroupPrefix + key, defaultValue).toString();
}

void ConfigUtil::setValue(const QString &key, const QString &value) {
    settings->setValue(configGroupPrefix + key, value);
}

bool ConfigUtil::isDebug() const {
    return settings->value(QStringLiteral("config/isDebug"), false).toBool();
}

QString ConfigUtil::getServerUrl() const {
    const QStringList groups = settings->childGroups();
    for (const QString &group : groups) {
        qDebug() << "group--------- : " << group;
    }
    const QString url = settings->value(QStringLiteral("config/serverUrl")).toString();
    qDebug() << "url--------- : " << url;
    if (url.isEmpty()) {
        return QString::fromLatin1(defaultServerUrl);
    }
    return url;
}
