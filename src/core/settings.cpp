#include "core/settings.h"

#include <QSettings>
#include <memory>

namespace orvet {
namespace {

const QString kOrganisation = QStringLiteral("Зоремакс");
const QString kApplication = QStringLiteral("ORVET-4410");

std::unique_ptr<QSettings> open(const QString& file) {
    if (file.isEmpty()) {
        return std::make_unique<QSettings>(QSettings::NativeFormat, QSettings::UserScope,
                                           kOrganisation, kApplication);
    }
    return std::make_unique<QSettings>(file, QSettings::IniFormat);
}

}  // namespace

Settings Settings::forUser() {
    return Settings(QString());
}

Settings Settings::inFile(const QString& path) {
    return Settings(path);
}

QString Settings::location() const {
    return open(file_)->fileName();
}

bool parseDecimal(const QString& text, int* value) {
    if (text.isEmpty())
        return false;
    int start = (text[0] == u'-' || text[0] == u'+') ? 1 : 0;
    if (start == text.size())
        return false;
    for (int i = start; i < text.size(); ++i) {
        if (text[i] < u'0' || text[i] > u'9')
            return false;
    }
    bool ok = false;
    const int parsed = text.toInt(&ok, 10);
    if (ok)
        *value = parsed;
    return ok;
}

int Settings::readInteger(const QString& name, int defaultValue, const QString& group) const {
    int value = defaultValue;
    return parseDecimal(readString(name, QString(), group), &value) ? value : defaultValue;
}

void Settings::writeInteger(const QString& name, int value, const QString& group) const {
    writeString(name, QString::number(value), group);
}

QString Settings::readString(const QString& name, const QString& defaultValue,
                             const QString& group) const {
    auto settings = open(file_);
    settings->beginGroup(group);
    const QVariant value = settings->value(name);
    return value.isValid() ? value.toString() : defaultValue;
}

void Settings::writeString(const QString& name, const QString& value, const QString& group) const {
    auto settings = open(file_);
    settings->beginGroup(group);
    settings->setValue(name, value);
    settings->endGroup();
    settings->sync();
    if (settings->status() != QSettings::NoError) {
        throw SettingsError(QStringLiteral("Не удалось сохранить настройки в %1")
                                .arg(settings->fileName())
                                .toStdString());
    }
}

}  // namespace orvet
