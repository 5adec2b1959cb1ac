#pragma once

#include <QMainWindow>

#include "core/platform.h"

class QFrame;

namespace orvet {

// The configurator's only top-level window. Until a USPD is opened it shows the black
// start panel.
class TMainForm : public QMainWindow {
    Q_OBJECT
public:
    explicit TMainForm(Platform& platform, QWidget* parent = nullptr);

    QFrame* startPanel() const { return startPanel_; }

protected:
    void showEvent(QShowEvent* event) override;

private:
    Platform& platform_;
    bool placed_ = false;
    QFrame* startPanel_;
};

}  // namespace orvet
