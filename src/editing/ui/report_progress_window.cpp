#include "editing/ui/report_progress_window.h"

#include <QCoreApplication>
#include <algorithm>

namespace orvet {

ReportProgressWindow::ReportProgressWindow(QWidget* owner)
    : QProgressDialog(QStringLiteral("Построение документа"), QStringLiteral("Отмена"), 0, 0,
                      owner) {
    setObjectName(QStringLiteral("ReportProgress"));
    setWindowTitle(QStringLiteral("Отчёт о конфигурации"));
    setWindowModality(Qt::WindowModal);
    setMinimumDuration(500);
    setMinimumWidth(360);
    setAutoClose(false);
    setAutoReset(false);
}

bool ReportProgressWindow::advance(const QString& stage, qint64 done, qint64 total) {
    const bool newStage = stage != labelText();
    if (!newStage && sinceShown_.isValid() && sinceShown_.elapsed() < 50)
        return !wasCanceled();
    sinceShown_.start();
    if (newStage)
        setLabelText(stage);
    setMaximum(int(total));
    // A modal progress window lets events through as its value changes, once it shows.
    setValue(int(std::min(done, total > 0 ? total - 1 : done)));
    QCoreApplication::processEvents();
    return !wasCanceled();
}

}  // namespace orvet
