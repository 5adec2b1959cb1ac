#pragma once

#include <QWidget>

#include "core/platform.h"

class QGroupBox;
class QLabel;
class QLineEdit;
class QPushButton;
class QTableView;

namespace orvet {

class DBCheckBox;
class DBEdit;
class Dataset;
class TDataModule1;

// "Архивы": the short and the main archive of the current USPD, their switches and the depth
// each covers. Leaving the frame stores the short archive with its record count rounded up
// to a multiple of 16; Save does the same for the archive whose edit has the focus.
class TArchiveCFG : public QWidget {
    Q_OBJECT
public:
    TArchiveCFG(Platform& platform, TDataModule1& dataModule, QWidget* parent = nullptr);

    // The main window's Save on "Архивы": stores and rounds the archive whose interval or
    // record-count edit has the focus, then stores the switches; nothing with the focus
    // elsewhere.
    void save();

    QWidget* Panel2;
    DBCheckBox* dbc_main_int;
    DBEdit* DBEdit1;  // main_time_min
    DBEdit* DBEdit2;  // main_records
    QLabel* Label9;   // the main archive's depth
    DBCheckBox* DBCheckBox1;
    DBEdit* DBEdit3;  // short_time_min
    DBEdit* DBEdit4;  // short_records
    QLabel* Label8;   // the short archive's depth
    QLineEdit* DBEdit5;
    QLineEdit* DBEdit6;

private:
    QGroupBox* archiveGroup(DBCheckBox* box, DBEdit* minutes, DBEdit* records, QLabel* depth);
    void showDepth(DBEdit* minutes, DBEdit* records, QLabel* depth);
    void focusMoved(QWidget* from, QWidget* to);
    // Stores the typed values of `archive` and rounds its `recordsField`.
    bool storeRounded(Dataset& archive, DBEdit* minutes, DBEdit* records, QStringView recordsField);

    Platform& platform_;
    TDataModule1& data_;
};

// "Настройка встроенных модулей": the LED indicator and the on-board channels, each stored
// on its click.
class TEmbdev : public QWidget {
    Q_OBJECT
public:
    TEmbdev(Platform& platform, TDataModule1& dataModule, QWidget* parent = nullptr);

    DBCheckBox* dbc_ledind;
    DBCheckBox* dbc_intchan;
};

// "Настройка обратного вызова": the callback switch (stored on its click) and the phone
// numbers the USPD calls back.
class TSetCallback : public QWidget {
    Q_OBJECT
public:
    TSetCallback(Platform& platform, TDataModule1& dataModule, QWidget* parent = nullptr);

    // "Добавить": the typed number as a new phone; an empty one or one longer than the
    // configuration holds is refused with a message.
    void btnPhoneAddClick();
    // "Удалить": the selected phone, at once; nothing on an empty list.
    void btnPhoneDelClick();

    DBCheckBox* DBCheckBox1;
    QLineEdit* edPhoneNum;
    QPushButton* btnPhoneAdd;
    QPushButton* btnPhoneDel;
    QTableView* DBGrid1;
    QLabel* Label2;  // the note on the interface callback needs

private:
    Platform& platform_;
    Dataset& phones_;
};

}  // namespace orvet
