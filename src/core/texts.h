#pragma once

#include <QDir>
#include <QFileInfo>
#include <QString>

// Captions and messages that several parts of the program show or answer (the windows, the
// link, orvet-cli and the tests that check them): each text is written once, here.
namespace orvet::texts {

// Captions of the program's message boxes.
inline const QString kError = QStringLiteral("Ошибка");
inline const QString kConfirm = QStringLiteral("Подтверждение");
inline const QString kAttention = QStringLiteral("Внимание!");

// The image file cannot be opened or created.
inline const QString kFileCannotOpen = QStringLiteral("Файл не удается открыть");
// The same, naming the file by its full path.
inline QString fileCannotOpen(const QString& path) {
    return kFileCannotOpen + QStringLiteral(": ") +
           QDir::toNativeSeparators(QFileInfo(path).absoluteFilePath());
}

// The upload's questions and reports.
inline const QString kAskRestart = QStringLiteral("Перезагрузить УСПД?");
inline const QString kAskClearArchives = QStringLiteral("Очистить все архивы?");
inline const QString kRestarted = QStringLiteral("УСПД перезагружен");
inline QString unsupportedFirmware(int major, int minor) {
    return QStringLiteral("Версия %1.%2 не поддерживается данным конфигуратором.\n Продолжить?")
        .arg(major)
        .arg(minor);
}

// The serial port cannot be opened.
inline const QString kCantOpenPort = QStringLiteral("Can't open COM port");
inline const QString kPortErrorCaption = QStringLiteral("COM port error");

}  // namespace orvet::texts
