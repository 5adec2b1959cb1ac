#pragma once

#include <QDialog>

#include "core/platform.h"
#include "export/dispatch_database.h"
#include "store/ui/dataset_table_model.h"

class QAction;
class QGroupBox;
class QLabel;
class QLineEdit;
class QPushButton;
class QTableView;

namespace orvet {

class TConnectionStringDialog;
class TDataModule1;

// The connection page: the connection string, the dispatch database's USPDs to choose the
// target from, and the buttons that connect and go on to the preview.
class TConnectParam : public QWidget {
    Q_OBJECT
public:
    explicit TConnectParam(QWidget* parent = nullptr);

    QGroupBox* GroupBox1;
    QLineEdit* Edit1;
    QPushButton* Button4;
    QGroupBox* GroupBox2;
    QTableView* DBGrid1;
    QPushButton* Button3;
    QPushButton* Button1;
    QPushButton* Button2;
};

// The preview page: the planned changes in ChPreview, edited in place, and the buttons that
// apply them, go back or call the export off.
class TChangeParam : public QWidget {
    Q_OBJECT
public:
    explicit TChangeParam(QWidget* parent = nullptr);

    // Puts the wait panel with `text` over the grid and paints it at once; an empty text
    // removes it.
    void showWaitPanel(const QString& text);

    QTableView* DBGrid1;
    QLabel* Panel1;  // the wait panel
    QPushButton* Button1;
    QPushButton* Button2;
    QPushButton* Button3;
    QAction* DeleteRow;

protected:
    void resizeEvent(QResizeEvent* event) override;

private:
    void placeWaitPanel();
};

// "Экспорт каналов в базу данных": the export of the current USPD's channels into the
// dispatch database, shown modally. It keeps the dispatch database's connection for the
// whole session; each closing puts it back on its connection page.
class TfrmExpToDB : public QDialog {
    Q_OBJECT
public:
    static inline const QString kCaption = QStringLiteral("Экспорт каналов в базу данных");
    static inline const QString kBuilding = QStringLiteral("Пожалуйста подождите...");
    static inline const QString kApplying = QStringLiteral("Идет экспорт. Подождите...");
    static inline const QString kDone = QStringLiteral("Экспорт в БД (ADO) завершен");
    static inline const QString kNoTarget = QStringLiteral(
        "В базе данных диспетчеризации нет УСПД, к которому можно приписать каналы.");
    static inline const QString kAskDeleteRow = QStringLiteral("Удалить запись?");

    TfrmExpToDB(Platform& platform, TDataModule1& dataModule, QWidget* parent = nullptr);
    ~TfrmExpToDB() override;

    DispatchDatabase& dispatch() { return dispatch_; }

    // Connection page.
    void ConnectParam1Button4Click();  // "Построить..."
    void ConnectParam1Button3Click();  // "Соединиться"
    void ConnectParam1Button1Click();  // "Отмена"
    void ConnectParam1Button2Click();  // "Дальше >>"
    // Preview page.
    void ChangeParam1Button1Click();  // "Поехали >>"
    void ChangeParam1Button2Click();  // "<< Назад"
    void ChangeParam1Button3Click();  // "Отмена"
    void DeleteRowClick();

    // Closing the window (its close button, Escape) is the shown page's "Отмена".
    void reject() override;
    void done(int result) override;

    TConnectParam* ConnectParam1;
    TChangeParam* ChangeParam1;
    TConnectionStringDialog* ConnectionStringDialog;

protected:
    void showEvent(QShowEvent* event) override;

private:
    void showConnectionPage();
    void showPreviewPage();
    // The target list shows the columns of USD this database has, titled by their names.
    void showUsdColumns();
    // Stores the preview row being edited in the grid; false when it was refused.
    bool settlePreview();

    Platform& platform_;
    TDataModule1& data_;
    DispatchDatabase dispatch_;
    DatasetTableModel* usdModel_ = nullptr;
    DatasetTableModel* previewModel_;
    int target_ = 0;
};

}  // namespace orvet
