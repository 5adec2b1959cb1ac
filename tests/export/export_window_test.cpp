#include <QAction>
#include <QComboBox>
#include <QGroupBox>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QSqlError>
#include <QSqlQuery>
#include <QSqlRecord>
#include <QTableView>
#include <QTimer>
#include <QToolButton>
#include <QtTest>
#include <memory>

#include "editing/channel_operations.h"
#include "export/dispatch_database.h"
#include "export/export_plan.h"
#include "export/ui/connection_string_dialog.h"
#include "export/ui/export_window.h"
#include "store/channel_kinds.h"
#include "store/data_module.h"
#include "support/dispatch_server.h"
#include "support/store_rig.h"

namespace orvet {
namespace {

using Box = ScriptedMessageBoxes::Box;
using Kind = ScriptedMessageBoxes::Kind;

testing::DispatchServer& sqliteServer() {
    static testing::DispatchServer server(testing::DispatchServer::Sqlite);
    return server;
}

// Runs `statements` on the dispatch database `connectString` through a connection of the
// test's own.
void dispatchSql(const QString& connectString, const QStringList& statements) {
    const QString name = QStringLiteral("export-window-test");
    {
        QSqlDatabase db = QSqlDatabase::addDatabase(QStringLiteral("QODBC"), name);
        db.setDatabaseName(connectString);
        QVERIFY2(db.open(), qPrintable(db.lastError().text()));
        QSqlQuery query(db);
        for (const QString& statement : statements)
            QVERIFY2(query.exec(statement),
                     qPrintable(statement + ": " + query.lastError().text()));
    }
    QSqlDatabase::removeDatabase(name);
}

// The rows `sql` reads, one line a row with the values separated by '|'.
QStringList dispatchRows(const QString& connectString, const QString& sql) {
    const QString name = QStringLiteral("export-window-test");
    QStringList rows;
    {
        QSqlDatabase db = QSqlDatabase::addDatabase(QStringLiteral("QODBC"), name);
        db.setDatabaseName(connectString);
        if (db.open()) {
            QSqlQuery query(db);
            if (query.exec(sql)) {
                while (query.next()) {
                    QStringList row;
                    for (int i = 0; i < query.record().count(); ++i)
                        row << query.value(i).toString().trimmed();
                    rows << row.join(QLatin1Char('|'));
                }
            } else {
                rows << QStringLiteral("failed: ") + query.lastError().text();
            }
        }
    }
    QSqlDatabase::removeDatabase(name);
    return rows;
}

// Records what the wait panel shows each time it is painted.
class PaintWatch final : public QObject {
public:
    explicit PaintWatch(QLabel* panel) : panel_(panel) { panel->installEventFilter(this); }
    QStringList texts;
    QRect geometry;

protected:
    bool eventFilter(QObject* watched, QEvent* event) override {
        if (watched == panel_ && event->type() == QEvent::Paint) {
            if (texts.isEmpty() || texts.last() != panel_->text())
                texts << panel_->text();
            geometry = panel_->geometry();
        }
        return false;
    }

private:
    QLabel* panel_;
};

}  // namespace

class ExportWindowTest : public QObject {
    Q_OBJECT
private slots:
    void init() {
        rig_ = std::make_unique<testing::StoreRig>();
        rig_->addUspd(QStringLiteral("УСПД"));
        rig_->data->openDatasets();
        testing::DispatchServer& server = sqliteServer();
        QVERIFY2(server.ready(), qPrintable(server.why()));
        connectString_ = server.newDatabase();
        QVERIFY2(!connectString_.isEmpty(), qPrintable(server.why()));
        window_ = std::make_unique<TfrmExpToDB>(rig_->test.platform(), *rig_->data);
    }
    void cleanup() {
        window_.reset();
        QStringList problems = rig_->problems();
        rig_.reset();
        QVERIFY2(problems.isEmpty(), qPrintable(problems.join('\n')));
    }

    void firstUseStartsOnTheConnectionPageWithNothingToGoOnTo() {
        window_->show();
        QCOMPARE(window_->windowTitle(), QStringLiteral("Экспорт каналов в базу данных"));
        QVERIFY(window_->ConnectParam1->isVisible());
        QVERIFY(!window_->ChangeParam1->isVisible());
        QCOMPARE(window_->ConnectParam1->Edit1->text(), QString());
        QVERIFY(!window_->ConnectParam1->Button2->isEnabled());
        const TConnectParam* page = window_->ConnectParam1;
        QCOMPARE(page->GroupBox1->title(), QStringLiteral("Строка соединения"));
        QCOMPARE(page->GroupBox2->title(),
                 QStringLiteral("Выберете УСПД к которому должны быть приписаны каналы"));
        QCOMPARE(page->Button4->text(), QStringLiteral("Построить..."));
        QCOMPARE(page->Button3->text(), QStringLiteral("Соединиться"));
        QCOMPARE(page->Button1->text(), QStringLiteral("Отмена"));
        QCOMPARE(page->Button2->text(), QStringLiteral("Дальше >>"));
        const TChangeParam* preview = window_->ChangeParam1;
        QCOMPARE(preview->Button1->text(), QStringLiteral("Поехали >>"));
        QCOMPARE(preview->Button2->text(), QStringLiteral("<< Назад"));
        QCOMPARE(preview->Button3->text(), QStringLiteral("Отмена"));
    }

    // The string is kept, the USPDs that are no hot reserve are listed under their column
    // names, and the next opening shows the same string.
    void connectingKeepsTheStringAndListsTheUspdsToChooseFrom() {
        addTarget(QStringLiteral("Котельная"), 0);
        addTarget(QStringLiteral("Резерв котельной"), 1);
        addTarget(QStringLiteral("Насосная"), 0);
        connectWindow();

        QCOMPARE(DispatchDatabase::storedConnectString(rig_->test.settings()), connectString_);
        QVERIFY(window_->ConnectParam1->Button2->isEnabled());
        QTableView* grid = window_->ConnectParam1->DBGrid1;
        QAbstractItemModel* model = grid->model();
        QCOMPARE(model->columnCount(), int(kUsdColumns.size()));
        for (int column = 0; column < model->columnCount(); ++column)
            QCOMPARE(model->headerData(column, Qt::Horizontal).toString(), kUsdColumns[column]);
        const int name = int(kUsdColumns.indexOf(QStringLiteral("Name")));
        QStringList names;
        for (int row = 0; row < model->rowCount(); ++row)
            names << model->index(row, name).data().toString().trimmed();
        QCOMPARE(names, QStringList({"Котельная", "Насосная"}));

        window_->ConnectParam1->Button1->click();
        QVERIFY(!window_->isVisible());
        window_->show();
        QCOMPARE(window_->ConnectParam1->Edit1->text(), connectString_);
        QVERIFY2(!window_->ConnectParam1->Button2->isEnabled(),
                 "after \"Отмена\" the window has to connect again");
    }

    // A database without some of the columns shows those it has.
    void theListShowsTheColumnsTheDatabaseHas() {
        dispatchSql(connectString_,
                    {QStringLiteral("drop table USD"),
                     QStringLiteral("create table USD (ID_USPD integer primary key, Name char(30), "
                                    "HotReservFor integer default 0, Extra integer)")});
        addTarget(QStringLiteral("Котельная"), 0);
        connectWindow();
        QAbstractItemModel* model = window_->ConnectParam1->DBGrid1->model();
        QCOMPARE(model->columnCount(), 2);
        QCOMPARE(model->headerData(0, Qt::Horizontal).toString(), QStringLiteral("ID_USPD"));
        QCOMPARE(model->headerData(1, Qt::Horizontal).toString(), QStringLiteral("Name"));
    }

    void aStringThatCannotConnectShowsTheDriversTextAndIsKept() {
        addTarget(QStringLiteral("Котельная"), 0);
        connectWindow();
        const QString bad = QStringLiteral("DRIVER={Нет такого драйвера};Database=x;PWD=Тайна-42");
        window_->ConnectParam1->Edit1->setText(bad);
        rig_->test.messages.allowNotices();
        window_->ConnectParam1->Button3->click();

        const std::vector<Box>& shown = rig_->test.messages.shown();
        QCOMPARE(shown.size(), size_t(1));
        QCOMPARE(shown[0].kind, Kind::Error);
        QCOMPARE(shown[0].caption, QStringLiteral("Ошибка"));
        QVERIFY(!shown[0].text.isEmpty());
        QVERIFY2(!shown[0].text.contains(QStringLiteral("Тайна-42")), qPrintable(shown[0].text));
        QVERIFY(!window_->ConnectParam1->Button2->isEnabled());
        QCOMPARE(DispatchDatabase::storedConnectString(rig_->test.settings()), bad);
    }

    void nextWithoutUspdsSaysThereIsNoneAndStays() {
        addTarget(QStringLiteral("Резерв"), 3);
        connectWindow();
        rig_->test.messages.expectNotice(TfrmExpToDB::kNoTarget);
        window_->ConnectParam1->Button2->click();
        QCOMPARE(rig_->test.messages.shown().back().kind, Kind::Warning);
        QVERIFY(window_->ConnectParam1->isVisible());
        QVERIFY(!window_->ChangeParam1->isVisible());
        QCOMPARE(rowCount(u"select count(*) from ChPreview"), 0);
    }

    // Add rows green, delete rows red, both in white; update rows as the grid draws any
    // row; a selected cell keeps its row's colour. The wait panel is painted before the work.
    void previewShowsTheActionsInTheirColours() {
        const int target = addTarget(QStringLiteral("Котельная"), 0);
        addChannels(kAnalogInputs, 2);
        addDispatchChannel(target, 'G', 1);
        addDispatchChannel(target, 'G', 5);
        connectWindow();
        PaintWatch watch(window_->ChangeParam1->Panel1);
        goToPreview();

        QCOMPARE(watch.texts, QStringList({TfrmExpToDB::kBuilding}));
        QCOMPARE(watch.geometry.size(), QSize(200, 50));
        const QPoint offCentre =
            watch.geometry.center() - window_->ChangeParam1->DBGrid1->geometry().center();
        QVERIFY2(offCentre.manhattanLength() <= 2, "the wait panel is centred on the grid");
        QVERIFY(!window_->ChangeParam1->Panel1->isVisible());
        QTableView* grid = window_->ChangeParam1->DBGrid1;
        QAbstractItemModel* model = grid->model();
        QCOMPARE(actions(), QStringList({"2", "1", "3"}));
        const QColor green(0, 128, 0);
        const QColor red(255, 0, 0);
        const struct {
            int row;
            QVariant background;
            QVariant text;
        } rows[] = {{0, {}, {}}, {1, green, QColor(Qt::white)}, {2, red, QColor(Qt::white)}};
        for (const auto& row : rows) {
            for (int column = 0; column < model->columnCount(); ++column) {
                const QModelIndex cell = model->index(row.row, column);
                QCOMPARE(cell.data(Qt::BackgroundRole), row.background);
                QCOMPARE(cell.data(Qt::ForegroundRole), row.text);
            }
        }

        grid->setCurrentIndex(model->index(1, 3));
        const QImage shot = grid->viewport()->grab().toImage();
        const auto colourAt = [&](int row, int column) {
            const QRect cell = grid->visualRect(model->index(row, column));
            return shot.pixelColor(cell.topLeft() + QPoint(2, 2));
        };
        // The selected cell is green under the style's faint mark of the current cell.
        const auto near = [](const QColor& a, const QColor& b) {
            return qAbs(a.red() - b.red()) < 48 && qAbs(a.green() - b.green()) < 48 &&
                   qAbs(a.blue() - b.blue()) < 48;
        };
        QVERIFY2(near(colourAt(1, 3), green), qPrintable(colourAt(1, 3).name()));
        QCOMPARE(colourAt(1, 0), green);
        QCOMPARE(colourAt(2, 0), red);
        QCOMPARE(colourAt(0, 0), grid->palette().color(QPalette::Base));
    }

    void onlyTheChannelsSettingsCanBeEdited() {
        addTarget(QStringLiteral("Котельная"), 0);
        addChannels(kAnalogInputs, 1);
        connectWindow();
        goToPreview();
        QAbstractItemModel* model = window_->ChangeParam1->DBGrid1->model();
        const QStringList titles{"Действие",
                                 "Тип",
                                 "Номер",
                                 "Название",
                                 "Основные интервалы",
                                 "Короткие интервалы",
                                 "Накопительные интервалы",
                                 "Текщие значения",
                                 "Текущие состояния",
                                 "События",
                                 "Накопительные с привязкой ко времени",
                                 "Тип устройства",
                                 "Номер интерфейса",
                                 "Номер устройства",
                                 "Номер канала устройства",
                                 "Единицы измерения"};
        QCOMPARE(model->columnCount(), int(titles.size()));
        for (int column = 0; column < model->columnCount(); ++column) {
            QCOMPARE(model->headerData(column, Qt::Horizontal).toString(), titles[column]);
            const bool editable = column >= 3 && column <= 14;
            QCOMPARE(bool(model->flags(model->index(0, column)) & Qt::ItemIsEditable), editable);
        }
        QCOMPARE(model->index(0, 0).data().toString(), actionName(1));
    }

    // A name typed into the grid is what the apply writes.
    void aNameEditedInPlaceIsExported() {
        const int target = addTarget(QStringLiteral("Котельная"), 0);
        addChannels(kAnalogInputs, 1);
        connectWindow();
        goToPreview();
        QTableView* grid = window_->ChangeParam1->DBGrid1;
        const QModelIndex name = grid->model()->index(0, 3);
        grid->setCurrentIndex(name);
        grid->edit(name);
        auto* editor = grid->findChild<QLineEdit*>();
        QVERIFY(editor);
        editor->selectAll();
        editor->insert(QStringLiteral("Давление на входе"));
        QTest::keyClick(editor, Qt::Key_Return);
        // The grid stores the cell once the key has been handled.
        QTRY_COMPARE(name.data().toString(), QStringLiteral("Давление на входе"));
        QCOMPARE(rig_->data->tblChPreview.state(), Dataset::State::Edit);

        apply();
        QCOMPARE(channelsOf(target, QStringLiteral("TypeChan, NumChan, Name")),
                 QStringList({"G|1|Давление на входе"}));
    }

    // Delete and Ctrl+Delete remove the row under the cursor after "Yes"; "No" keeps it. A
    // removed row is not applied.
    void deletingAPreviewRowAsksAndLeavesItOut_data() {
        QTest::addColumn<int>("modifiers");
        QTest::addColumn<bool>("answer");
        QTest::newRow("Delete, yes") << int(Qt::NoModifier) << true;
        QTest::newRow("Ctrl+Delete, yes") << int(Qt::ControlModifier) << true;
        QTest::newRow("Delete, no") << int(Qt::NoModifier) << false;
    }
    void deletingAPreviewRowAsksAndLeavesItOut() {
        QFETCH(int, modifiers);
        QFETCH(bool, answer);
        const int target = addTarget(QStringLiteral("Котельная"), 0);
        addChannels(kAnalogInputs, 3);
        connectWindow();
        goToPreview();
        QTableView* grid = window_->ChangeParam1->DBGrid1;
        grid->setCurrentIndex(grid->model()->index(1, 0));
        QApplication::setActiveWindow(window_.get());
        grid->setFocus();
        rig_->test.messages.expectQuestion(TfrmExpToDB::kAskDeleteRow, answer);
        QTest::keyClick(grid, Qt::Key_Delete, Qt::KeyboardModifiers(modifiers));
        QCOMPARE(rig_->test.messages.shown().back().caption, QStringLiteral("Подтверждение"));
        QCOMPARE(grid->model()->rowCount(), answer ? 2 : 3);

        apply();
        const QStringList expected =
            answer ? QStringList({"G|1", "G|3"}) : QStringList({"G|1", "G|2", "G|3"});
        QCOMPARE(channelsOf(target, QStringLiteral("TypeChan, NumChan")), expected);
    }

    // The apply reports its end, closes the window, and the next opening starts on the
    // connection page, which has to connect again.
    void applyingWritesTheChannelsAndClosesTheWindow() {
        const int target = addTarget(QStringLiteral("Котельная"), 0);
        const int other = addTarget(QStringLiteral("Насосная"), 0);
        addChannels(kAnalogInputs, 3);
        addChannels(kCountingInputs, 2);
        connectWindow();
        // The row chosen in the list is the target.
        QTableView* usd = window_->ConnectParam1->DBGrid1;
        usd->setCurrentIndex(usd->model()->index(1, 0));
        goToPreview();
        PaintWatch watch(window_->ChangeParam1->Panel1);

        apply();
        QCOMPARE(watch.texts, QStringList({TfrmExpToDB::kApplying}));
        QCOMPARE(rig_->test.messages.shown().back(),
                 (Box{Kind::Information, TfrmExpToDB::kDone, QString()}));
        QCOMPARE(
            channelsOf(other, QStringLiteral("TypeChan, NumChan, ProtocolMask, WaitMask")),
            QStringList({"C|1|143|64", "C|2|143|64", "G|1|143|64", "G|2|143|64", "G|3|143|64"}));
        QVERIFY(channelsOf(target, QStringLiteral("TypeChan")).isEmpty());
        QVERIFY(!window_->isVisible());
        QCOMPARE(window_->result(), int(QDialog::Accepted));
        QVERIFY(!window_->dispatch().tblChannels.isOpen());
        QVERIFY(!rig_->data->ExportInProgress);

        window_->show();
        QVERIFY(window_->ConnectParam1->isVisible());
        QVERIFY(!window_->ChangeParam1->isVisible());
        QVERIFY(!window_->ConnectParam1->Button2->isEnabled());
        QCOMPARE(window_->ConnectParam1->Edit1->text(), connectString_);
    }

    void backThenNextRebuildsWithoutWriting() {
        const int target = addTarget(QStringLiteral("Котельная"), 0);
        addChannels(kAnalogInputs, 2);
        connectWindow();
        goToPreview();
        const QStringList first = actions();
        window_->ChangeParam1->Button2->click();
        QVERIFY(window_->ConnectParam1->isVisible());
        QVERIFY(!window_->ChangeParam1->isVisible());
        QCOMPARE(actions(), first);

        addChannels(kKbhaChannels, 1);
        goToPreview();
        QCOMPARE(actions(), QStringList({"1", "1", "1"}));
        QVERIFY(channelsOf(target, QStringLiteral("TypeChan")).isEmpty());
        QVERIFY(rig_->test.messages.shown().empty());
    }

    // A refused row undoes the whole apply: the message is shown, the window stays on the
    // preview with its plan, and nothing is written.
    void aRefusedApplyWritesNothingAndStaysOnThePreview() {
        const int target = addTarget(QStringLiteral("Котельная"), 0);
        addChannels(kAnalogInputs, 3);
        dispatchSql(connectString_,
                    {QStringLiteral("create trigger refuse before insert on Channels "
                                    "when new.NumChan = 2 begin "
                                    "select raise(abort, 'канал 2 не принят'); end")});
        connectWindow();
        goToPreview();
        rig_->test.messages.allowNotices();
        window_->ChangeParam1->Button1->click();

        const std::vector<Box>& shown = rig_->test.messages.shown();
        QCOMPARE(shown.size(), size_t(1));
        QCOMPARE(shown[0].kind, Kind::Error);
        QVERIFY2(shown[0].text.contains(QStringLiteral("канал 2 не принят")),
                 qPrintable(shown[0].text));
        QVERIFY(window_->isVisible());
        QVERIFY(window_->ChangeParam1->isVisible());
        QVERIFY(!window_->ChangeParam1->Panel1->isVisible());
        QCOMPARE(window_->ChangeParam1->DBGrid1->model()->rowCount(), 3);
        QVERIFY(!rig_->data->ExportInProgress);
        QVERIFY(channelsOf(target, QStringLiteral("TypeChan")).isEmpty());
    }

    // A build the database refuses goes back to the choice: an incomplete plan is not to be
    // applied.
    void aRefusedBuildReturnsToTheConnectionPage() {
        addTarget(QStringLiteral("Котельная"), 0);
        addChannels(kAnalogInputs, 1);
        connectWindow();
        dispatchSql(connectString_, {QStringLiteral("drop table Channels")});
        rig_->test.messages.allowNotices();
        window_->ConnectParam1->Button2->click();

        const std::vector<Box>& shown = rig_->test.messages.shown();
        QCOMPARE(shown.size(), size_t(1));
        QCOMPARE(shown[0].kind, Kind::Error);
        QVERIFY(window_->ConnectParam1->isVisible());
        QVERIFY(!window_->ChangeParam1->isVisible());
        QVERIFY(!window_->ChangeParam1->Panel1->isVisible());
    }

    // "Отмена" on the preview (and closing the window there) writes nothing, lets go of the
    // dispatch datasets and asks for a new connection next time.
    void cancellingThePreviewWritesNothing_data() {
        QTest::addColumn<bool>("escape");
        QTest::newRow("Отмена") << false;
        QTest::newRow("Escape") << true;
    }
    void cancellingThePreviewWritesNothing() {
        QFETCH(bool, escape);
        const int target = addTarget(QStringLiteral("Котельная"), 0);
        addChannels(kAnalogInputs, 1);
        connectWindow();
        goToPreview();
        if (escape) {
            QApplication::setActiveWindow(window_.get());
            window_->ChangeParam1->DBGrid1->setFocus();
            QTest::keyClick(window_->ChangeParam1->DBGrid1, Qt::Key_Escape);
        } else {
            window_->ChangeParam1->Button3->click();
        }
        QVERIFY(!window_->isVisible());
        QVERIFY(!window_->dispatch().tblUSD.isOpen());
        QVERIFY(!window_->dispatch().tblChannels.isOpen());
        QVERIFY(!window_->ConnectParam1->Button2->isEnabled());
        QVERIFY(channelsOf(target, QStringLiteral("TypeChan")).isEmpty());
        window_->show();
        QVERIFY(window_->ConnectParam1->isVisible());
        QVERIFY(!window_->ChangeParam1->isVisible());
    }

    // The keyboard reaches every button of each page, and Tab leaves the grids.
    void tabReachesEveryButton() {
        addTarget(QStringLiteral("Котельная"), 0);
        addChannels(kAnalogInputs, 1);
        window_->show();
        QApplication::setActiveWindow(window_.get());
        TConnectParam* page = window_->ConnectParam1;
        page->Edit1->setText(connectString_);
        page->Button3->click();
        QCOMPARE(tabChain(page->Edit1, 6),
                 (QList<QWidget*>{page->Edit1, page->Button4, page->DBGrid1, page->Button3,
                                  page->Button1, page->Button2}));
        goToPreview();
        TChangeParam* preview = window_->ChangeParam1;
        QCOMPARE(tabChain(preview->DBGrid1, 4),
                 (QList<QWidget*>{preview->DBGrid1, preview->Button2, preview->Button3,
                                  preview->Button1}));
    }

    // The builder reads the edit's string, shows the fields of its driver and writes the
    // built string into the edit; nothing is stored and the connection is to be made again.
    void theBuilderWritesItsStringIntoTheEdit() {
        addTarget(QStringLiteral("Котельная"), 0);
        connectWindow();
        const QString file = sqliteServer().newDatabase().section(QLatin1Char('='), -1);
        window_->ConnectParam1->Edit1->setText(
            QStringLiteral("DRIVER=SQLite3;Database=/нет/такого.db;Timeout=2000"));
        TConnectionStringDialog* dialog = window_->ConnectionStringDialog;
        bool ran = false;
        QTimer::singleShot(0, dialog, [&] {
            ran = true;
            QCOMPARE(dialog->DriverBox->currentText(), QStringLiteral("SQLite3"));
            QVERIFY(dialog->FileEdit->isVisible());
            QVERIFY(dialog->FileButton->isVisible());
            QVERIFY(!dialog->ServerEdit->isVisible());
            QVERIFY(!dialog->PasswordEdit->isVisible());
            QCOMPARE(dialog->FileEdit->text(), QStringLiteral("/нет/такого.db"));
            dialog->FileEdit->setText(file);
            dialog->ButtonOK->click();
        });
        window_->ConnectParam1->Button4->click();
        QVERIFY(ran);
        QCOMPARE(
            window_->ConnectParam1->Edit1->text(),
            QStringLiteral("DRIVER={SQLite3};Database=") + file + QStringLiteral(";Timeout=2000"));
        QCOMPARE(DispatchDatabase::storedConnectString(rig_->test.settings()), connectString_);
        QVERIFY(!window_->ConnectParam1->Button2->isEnabled());
        window_->ConnectParam1->Button3->click();
        QVERIFY(window_->ConnectParam1->Button2->isEnabled());
    }

    void theBuildersFieldsFollowTheDriver() {
        TConnectionStringDialog* dialog = window_->ConnectionStringDialog;
        QCOMPARE(dialog->PasswordEdit->echoMode(), QLineEdit::Password);
        const QStringList drivers = installedOdbcDrivers();
        for (int item = 0; item < dialog->DriverBox->count(); ++item)
            QVERIFY(drivers.contains(dialog->DriverBox->itemText(item)));
        bool ran = false;
        QTimer::singleShot(0, dialog, [&] {
            ran = true;
            QVERIFY(dialog->ServerEdit->isVisible());
            QVERIFY(!dialog->FileEdit->isVisible());
            QCOMPARE(dialog->ServerEdit->text(), QStringLiteral("db.local"));
            QCOMPARE(dialog->UserEdit->text(), QStringLiteral("ivan"));
            QApplication::setActiveWindow(dialog);
            QCOMPARE(
                tabChain(dialog->DriverBox, 9),
                (QList<QWidget*>{dialog->DriverBox, dialog->ServerEdit, dialog->PortEdit,
                                 dialog->DatabaseEdit, dialog->UserEdit, dialog->PasswordEdit,
                                 dialog->ButtonCheck, dialog->ButtonOK, dialog->ButtonCancel}));
            dialog->PortEdit->setText(QStringLiteral("5433"));
            dialog->ButtonOK->click();
        });
        const QString built = dialog->build(
            QStringLiteral("DRIVER={PostgreSQL Unicode};Server=db.local;Database=disp;UID=ivan;"
                           "PWD={p;w}}x};sslmode=require"));
        QVERIFY(ran);
        QCOMPARE(built, QStringLiteral("DRIVER={PostgreSQL Unicode};Server=db.local;Port=5433;"
                                       "Database=disp;Uid=ivan;Pwd={p;w}}x};sslmode=require;"
                                       "CommLog=0;Debug=0"));
    }

    // "Проверить" says whether the fields connect, and what the driver said otherwise,
    // without the password.
    void checkingTheBuiltStringNeverShowsThePassword() {
        TConnectionStringDialog* dialog = window_->ConnectionStringDialog;
        const QString file = sqliteServer().newDatabase().section(QLatin1Char('='), -1);
        const struct {
            QString string;
            Kind kind;
        } cases[] = {
            {QStringLiteral("DRIVER=SQLite3;Database=") + file, Kind::Information},
            {QStringLiteral("DRIVER={PostgreSQL Unicode};Server=127.0.0.1;Port=1;Database=d;"
                            "Uid=ivan;Pwd=Тайна-42"),
             Kind::Error},
            {QStringLiteral("DRIVER=SQLite3;Database=/Тайна-42/нет/файла.db;Pwd=Тайна-42"),
             Kind::Error},
        };
        rig_->test.messages.allowNotices();
        for (const auto& c : cases) {
            rig_->test.messages.clear();
            rig_->test.messages.allowNotices();
            QTimer::singleShot(0, dialog, [dialog] {
                dialog->ButtonCheck->click();
                dialog->ButtonCancel->click();
            });
            QCOMPARE(dialog->build(c.string), QString());
            const std::vector<Box>& shown = rig_->test.messages.shown();
            QCOMPARE(shown.size(), size_t(1));
            QCOMPARE(shown[0].kind, c.kind);
            if (c.kind == Kind::Information)
                QCOMPARE(shown[0].text, TConnectionStringDialog::kConnected);
            QVERIFY2(!shown[0].text.isEmpty(), qPrintable(c.string));
            QVERIFY2(!shown[0].text.contains(QStringLiteral("Тайна-42")),
                     qPrintable(shown[0].text));
        }
    }

    // The drivers here do not repeat the password in their texts; one that does is masked.
    void aDriverTextThatRepeatsThePasswordIsMasked() {
        QCOMPARE(withoutPassword(QStringLiteral("login \"ivan\" with \"Тайна\" refused: Тайна"),
                                 QStringLiteral("Тайна")),
                 QStringLiteral("login \"ivan\" with \"***\" refused: ***"));
        QCOMPARE(withoutPassword(QStringLiteral("refused"), QString()), QStringLiteral("refused"));
    }

    // Reading and writing strings: values in braces, spaces, doubled closing braces, key
    // names as each driver wants them, keys the builder does not know kept in their order.
    void connectionStringsRoundTrip_data() {
        QTest::addColumn<QString>("text");
        QTest::addColumn<QString>("built");
        QTest::newRow("psqlODBC")
            << QStringLiteral(
                   "DRIVER={PostgreSQL Unicode};Servername=db;Port=5432;Database=disp;"
                   "Username=ivan;Password=x;SSLmode=require")
            << QStringLiteral(
                   "DRIVER={PostgreSQL Unicode};Server=db;Port=5432;"
                   "Database=disp;Uid=ivan;Pwd=x;SSLmode=require;"
                   "CommLog=0;Debug=0");
        QTest::newRow("psqlODBC keeps its own log setting")
            << QStringLiteral("DRIVER={PostgreSQL ANSI};Server=db;CommLog=1")
            << QStringLiteral("DRIVER={PostgreSQL ANSI};Server=db;CommLog=1;Debug=0");
        QTest::newRow("FreeTDS")
            << QStringLiteral(
                   " driver = FreeTDS ; server = host ;PORT=1433;database=D;uid=sa;pwd={a b };"
                   "TDS_Version=7.4;")
            << QStringLiteral(
                   "DRIVER={FreeTDS};Server=host;Port=1433;Database=D;"
                   "UID=sa;PWD={a b };TDS_Version=7.4");
        QTest::newRow("SQLite file only")
            << QStringLiteral("DRIVER=SQLite3;Server=x;Uid=u;Database=/tmp/a b.db;Timeout=2000")
            << QStringLiteral("DRIVER={SQLite3};Database=/tmp/a b.db;Timeout=2000");
        QTest::newRow("SQLite braced file")
            << QStringLiteral("DRIVER={SQLite3};Database={/tmp/a;b}}.db};StepAPI=1")
            << QStringLiteral("DRIVER={SQLite3};Database={/tmp/a;b}}.db};StepAPI=1");
        QTest::newRow("empty") << QString() << QString();
    }
    void connectionStringsRoundTrip() {
        QFETCH(QString, text);
        QFETCH(QString, built);
        QCOMPARE(buildConnectionString(readConnectionString(text)), built);
        // What was built reads back to the same fields.
        QCOMPARE(buildConnectionString(readConnectionString(built)), built);
    }

private:
    int addTarget(const QString& name, int hotReserveFor) {
        dispatchSql(connectString_, {QStringLiteral("insert into USD (Name, HotReservFor) "
                                                    "values ('%1', %2)")
                                         .arg(name)
                                         .arg(hotReserveFor)});
        const QStringList id =
            dispatchRows(connectString_, QStringLiteral("select max(ID_USPD) from USD"));
        return id.value(0).toInt();
    }
    void addDispatchChannel(int uspd, char letter, int number) {
        dispatchSql(connectString_,
                    {QStringLiteral("insert into Channels (ID_USPD, TypeChan, NumChan, Name) "
                                    "values (%1, '%2', %3, 'Старый')")
                         .arg(uspd)
                         .arg(QLatin1Char(letter))
                         .arg(number)});
    }
    void addChannels(const ChannelKind& kind, int count) {
        Dataset& channels = (*rig_->data).*kind.dataset;
        for (int i = 0; i < count; ++i) {
            addChannel(*rig_->data, kind);
            channels.fieldByName(u"name").setAsString(QStringLiteral("Канал %1").arg(i + 1));
            channels.post();
        }
    }
    QStringList channelsOf(int uspd, const QString& columns) {
        return dispatchRows(connectString_,
                            QStringLiteral("select %1 from Channels where ID_USPD=%2 "
                                           "order by TypeChan, NumChan")
                                .arg(columns)
                                .arg(uspd));
    }
    int rowCount(QStringView sql) {
        QSqlQuery query(rig_->data->ADOConnection1.database());
        query.exec(sql.toString());
        return query.next() ? query.value(0).toInt() : -1;
    }
    // The preview's actions, row by row.
    QStringList actions() {
        Dataset& preview = rig_->data->tblChPreview;
        const int field = preview.fieldIndex(u"recaction");
        QStringList result;
        for (int row = 0; row < preview.rowCount(); ++row)
            result << preview.value(row, field).toString();
        return result;
    }
    QString actionName(int action) {
        return rig_->data->tblTAction.lookup(u"key", action, u"action").toString();
    }
    QList<QWidget*> tabChain(QWidget* from, int count) {
        QList<QWidget*> chain{from};
        from->setFocus();
        for (int i = 1; i < count; ++i) {
            QTest::keyClick(QApplication::focusWidget(), Qt::Key_Tab);
            chain << QApplication::focusWidget();
        }
        return chain;
    }
    void connectWindow() {
        window_->show();
        QVERIFY(QTest::qWaitForWindowExposed(window_.get()));
        window_->ConnectParam1->Edit1->setText(connectString_);
        window_->ConnectParam1->Button3->click();
        QVERIFY(window_->ConnectParam1->Button2->isEnabled());
    }
    void goToPreview() {
        window_->ConnectParam1->Button2->click();
        QVERIFY(window_->ChangeParam1->isVisible());
        QVERIFY(!window_->ConnectParam1->isVisible());
    }
    // "Поехали >>", which is to end with the completion report.
    void apply() {
        rig_->test.messages.expectNotice(TfrmExpToDB::kDone);
        window_->ChangeParam1->Button1->click();
    }

    std::unique_ptr<testing::StoreRig> rig_;
    std::unique_ptr<TfrmExpToDB> window_;
    QString connectString_;
};

}  // namespace orvet

QTEST_MAIN(orvet::ExportWindowTest)
#include "export_window_test.moc"
