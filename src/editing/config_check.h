#pragma once

#include <QList>
#include <QString>

namespace orvet {

class TDataModule1;

// One thing "Проверить конфигурацию" found in the current USPD.
struct Finding {
    enum class Severity { Error, Warning };

    Severity severity = Severity::Error;
    // The row the finding concerns: its table, key field and key; an empty table for the
    // USPD as a whole.
    QString table;
    QString keyField;
    int key = 0;
    QString object;  // "интерфейс COM1", "модуль Аналог-8, на COM1, №1", "канал G3 «Давление»"
    QString problem;  // what is wrong
    QString advice;   // what to do

    // "ошибка" or "предупреждение".
    QString severityText() const;
    // One line: severity, object, problem and advice.
    QString text() const;
};

// Looks over the current USPD (the current row of tblUSPD) as the device will see it once
// it is compiled and uploaded with blocks of `pakLen` bytes, and lists what is wrong, in the
// order interfaces, modules, channels, callback, image. Errors are what the device cannot
// work with (a module that cannot be reached, a channel the module does not have, a
// division by zero, a text the image cannot hold, an upload that cannot end); warnings are
// what it works with in a way the engineer may not mean (channel numbering the compiler will
// change, a text whose letters become '?'). Reads the stored rows only; changes nothing.
// Throws StoreError when the store refuses a query.
QList<Finding> checkConfiguration(TDataModule1& data, int pakLen);

// Whether `findings` hold an error.
bool hasErrors(const QList<Finding>& findings);

}  // namespace orvet
