#pragma once

#include <QElapsedTimer>
#include <QProgressDialog>

namespace orvet {

// The window that "Отчёт о конфигурации…" shows while a report is written: the stage, a bar
// and "Отмена". It appears once the writing has lasted half a second, keeps the rest of the
// program's windows from input meanwhile and closes with its owner's handler.
class ReportProgressWindow : public QProgressDialog {
    Q_OBJECT
public:
    explicit ReportProgressWindow(QWidget* owner);

    // Shows `stage` with `done` of `total` (a busy bar for 0) and lets the window repaint and
    // take a click on "Отмена", at most every 50 ms; false once the user has cancelled.
    bool advance(const QString& stage, qint64 done, qint64 total);

private:
    QElapsedTimer sinceShown_;
};

}  // namespace orvet
