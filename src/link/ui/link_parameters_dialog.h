#pragma once

#include <QDialog>

#include "core/platform.h"
#include "link/link_settings.h"

class QCheckBox;
class QLineEdit;
class QPushButton;

namespace orvet {

// "Параметры связи": shows the stored packet length, reply time-out and fast exchange
// switch; "OK" checks and stores them and loads them into the main window's copies.
class Tm_CParam : public QDialog {
    Q_OBJECT
public:
    Tm_CParam(Platform& platform, LinkSettings& inUse, QWidget* parent = nullptr);

    QLineEdit* edPakLen;
    QLineEdit* edToAnswer;
    QCheckBox* cbFastExchange;
    QPushButton* OKBtn;
    QPushButton* CancelBtn;

protected:
    void showEvent(QShowEvent* event) override;

private:
    void OKBtnClick();
    // Stores what the edits hold; false (with the message shown) when a value is refused.
    bool store();

    Platform& platform_;
    LinkSettings& inUse_;
};

}  // namespace orvet
