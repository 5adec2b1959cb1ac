#pragma once

#include <QDialog>

#include "editing/channel_fill.h"

class QProgressBar;

namespace orvet {

// "Добавление каналов УСО": the small borderless window with one bar that the module
// editor's bulk commands show over the main window while they run. After each module it lets
// the window repaint (user input waits until the command ends).
class Tm_Progress : public QDialog, public BulkProgress {
    Q_OBJECT
public:
    explicit Tm_Progress(QWidget* owner);

    void start(int maximum) override;
    void step() override;
    void moduleDone() override;

    QProgressBar* m_ProgBar;
};

}  // namespace orvet
