#pragma once

#include <QDialog>

#include "core/platform.h"
#include "link/link_settings.h"

class QCheckBox;
class QComboBox;
class QLineEdit;
class QPushButton;
class QRadioButton;
class QTabWidget;
class QWidget;

namespace orvet {

// "Запись в УСПД ORVET-4410": the direct line or the modem with their parameters. "OK"
// stores them in the settings and accepts; the upload reads them from there, and the
// device number, phone and page from the controls.
class TPortConfig : public QDialog {
    Q_OBJECT
public:
    explicit TPortConfig(Platform& platform, QWidget* parent = nullptr);

    // The connection as stored, with what the controls show for a value not stored.
    ConnectionSettings stored() const;
    // The "Номер устройства" text of the page in use, as the exchange reads it.
    QString deviceNumberText() const;
    QString phone() const;
    int typeDialIndex() const;

    QTabWidget* PageControl1;
    QWidget* TabSheet1;
    QWidget* TabSheet2;
    QComboBox* cbPort;
    QComboBox* cbBaud;
    QLineEdit* eNumDev;
    QCheckBox* cb_Ready;
    QLineEdit* ePhone;
    QComboBox* cbMPort;
    QComboBox* cbMBaud;
    QLineEdit* eMNumDev;
    QRadioButton* rbPulse;
    QRadioButton* rbTone;
    QPushButton* Button1;
    QPushButton* Button2;

    void Button1Click();

protected:
    void showEvent(QShowEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void presetControls();
    void buildDirectPage();
    void buildModemPage();
    void buildLayout();
    void fillPorts(QComboBox* box);
    void FormShow();
    // Why "OK" cannot go on with the page in use (no port, a port without its device, no
    // device number) and the control to mend; no control when nothing is wrong.
    struct Refusal {
        QString text;
        QWidget* control = nullptr;
    };
    Refusal refusal() const;
    // What the controls show; the device numbers count as 1, their default.
    ConnectionSettings shown() const;

    Platform& platform_;
};

}  // namespace orvet
