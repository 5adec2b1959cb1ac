#include "support/test_files.h"

#include <gtest/gtest.h>

#include <QFile>

namespace orvet::testing {

QByteArray readFile(const QString& path) {
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly)) {
        ADD_FAILURE() << "cannot read " << path.toStdString() << ": "
                      << file.errorString().toStdString();
        return {};
    }
    return file.readAll();
}

void writeFile(const QString& path, const QByteArray& bytes) {
    QFile file(path);
    if (!file.open(QIODevice::WriteOnly | QIODevice::Truncate) ||
        file.write(bytes) != bytes.size()) {
        ADD_FAILURE() << "cannot write " << path.toStdString() << ": "
                      << file.errorString().toStdString();
    }
}

}  // namespace orvet::testing
