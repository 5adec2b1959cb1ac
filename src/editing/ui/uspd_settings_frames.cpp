#include "editing/ui/uspd_settings_frames.h"

#include <QApplication>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QTableView>
#include <QVBoxLayout>

#include "core/guarded.h"
#include "core/texts.h"
#include "editing/archive_settings.h"
#include "editing/ui/list_frame.h"
#include "image/image_records.h"
#include "image/image_values.h"
#include "store/data_module.h"
#include "store/store_error.h"
#include "store/ui/dataset_table_model.h"
#include "store/ui/field_controls.h"

namespace orvet {
namespace {

const QString kMinutes = QStringLiteral("продолжительность, мин");
const QString kRecords = QStringLiteral("число архивных записей");

QLabel* captionFor(const QString& text, QWidget* control) {
    auto* label = new QLabel(text);
    label->setBuddy(control);
    if (auto* edit = qobject_cast<DBEdit*>(control))
        edit->setCaption(text);
    return label;
}

// A frame's titled panel filling the frame; its parts go into the returned layout.
QVBoxLayout* titledPanel(QWidget* frame, const QString& title) {
    auto* panel = new QGroupBox(title);
    auto* outer = new QVBoxLayout(frame);
    outer->setContentsMargins(0, 0, 0, 0);
    outer->addWidget(panel);
    return new QVBoxLayout(panel);
}

// Stores a check box's click at once: its field was set by the click, the row is posted.
void postOnClick(DBCheckBox* box, Dataset& dataset, MessageBoxes& messages) {
    QObject::connect(box, &QCheckBox::clicked, box, [&dataset, &messages] {
        const Dataset::State state = dataset.state();
        if (state == Dataset::State::Edit || state == Dataset::State::Insert)
            guarded(messages, [&dataset] { dataset.post(); });
    });
}

bool contains(const QWidget* outer, const QWidget* widget) {
    return widget && (widget == outer || outer->isAncestorOf(widget));
}

}  // namespace

// ---------------------------------------------------------------- archives

TArchiveCFG::TArchiveCFG(Platform& platform, TDataModule1& dataModule, QWidget* parent)
    : QWidget(parent), Panel2(new QWidget), platform_(platform), data_(dataModule) {
    setObjectName(QStringLiteral("ArchiveCFG"));
    MessageBoxes& messages = platform.messages;
    const auto edit = [&](const char* name, Dataset& dataset, const char* field) {
        auto* result = new DBEdit(dataset, QString::fromLatin1(field), messages);
        result->setObjectName(QString::fromLatin1(name));
        return result;
    };
    const auto check = [&](const char* name, const QString& caption, const char* field) {
        auto* result =
            new DBCheckBox(caption, dataModule.tblHeadline, QString::fromLatin1(field), messages);
        result->setObjectName(QString::fromLatin1(name));
        return result;
    };
    dbc_main_int = check("dbc_main_int", QStringLiteral("Основной интервал"), "need_main_int");
    DBEdit1 = edit("DBEdit1", dataModule.tblMainArchive, "main_time_min");
    DBEdit2 = edit("DBEdit2", dataModule.tblMainArchive, "main_records");
    Label9 = new QLabel;
    Label9->setObjectName(QStringLiteral("Label9"));
    DBCheckBox1 = check("DBCheckBox1", QStringLiteral("Короткий интервал"), "need_short_int");
    DBEdit3 = edit("DBEdit3", dataModule.tblShortArchive, "short_time_min");
    DBEdit4 = edit("DBEdit4", dataModule.tblShortArchive, "short_records");
    Label8 = new QLabel;
    Label8->setObjectName(QStringLiteral("Label8"));
    DBEdit5 = new QLineEdit;
    DBEdit5->setObjectName(QStringLiteral("DBEdit5"));
    DBEdit6 = new QLineEdit;
    DBEdit6->setObjectName(QStringLiteral("DBEdit6"));

    auto* events =
        new QGroupBox(QStringLiteral("Глубина хранения архивов событий (событий на канал)"));
    auto* eventGrid = new QGridLayout(events);
    eventGrid->addWidget(new QLabel(QStringLiteral("дискретных входов")), 0, 0);
    eventGrid->addWidget(DBEdit5, 0, 1);
    eventGrid->addWidget(new QLabel(QStringLiteral("дискретных выходов")), 1, 0);
    eventGrid->addWidget(DBEdit6, 1, 1);
    eventGrid->setColumnStretch(2, 1);
    // No event archive depth is stored: the group shows what the device has, not a setting.
    events->setEnabled(false);

    auto* inner = new QVBoxLayout(Panel2);
    inner->setContentsMargins(0, 0, 0, 0);
    inner->addWidget(archiveGroup(dbc_main_int, DBEdit1, DBEdit2, Label9));
    inner->addWidget(archiveGroup(DBCheckBox1, DBEdit3, DBEdit4, Label8));
    inner->addWidget(events);
    inner->addStretch();
    titledPanel(this, QStringLiteral("Архивы"))->addWidget(Panel2);

    for (auto [minutes, records, depth] :
         {std::tuple{DBEdit1, DBEdit2, Label9}, std::tuple{DBEdit3, DBEdit4, Label8}}) {
        for (DBEdit* changed : {minutes, records}) {
            connect(changed, &QLineEdit::textChanged, this,
                    [this, minutes = minutes, records = records, depth = depth] {
                        showDepth(minutes, records, depth);
                    });
        }
        showDepth(minutes, records, depth);
    }
    connect(qApp, &QApplication::focusChanged, this, &TArchiveCFG::focusMoved);
}

QGroupBox* TArchiveCFG::archiveGroup(DBCheckBox* box, DBEdit* minutes, DBEdit* records,
                                     QLabel* depth) {
    auto* group = new QGroupBox;
    auto* grid = new QGridLayout(group);
    grid->addWidget(box, 0, 0, 1, 2);
    grid->addWidget(captionFor(kMinutes, minutes), 1, 0);
    grid->addWidget(minutes, 1, 1);
    grid->addWidget(captionFor(kRecords, records), 2, 0);
    grid->addWidget(records, 2, 1);
    grid->addWidget(depth, 1, 2, 2, 1);
    grid->setColumnStretch(3, 1);
    return group;
}

void TArchiveCFG::showDepth(DBEdit* minutes, DBEdit* records, QLabel* depth) {
    QString text;
    try {
        text = archiveDepth(minutes->text(), records->text());
    } catch (const StoreError& error) {
        // The label keeps what it showed.
        platform_.messages.error(error.message(), texts::kError);
        return;
    }
    depth->setText(text);
    depth->setVisible(!text.isEmpty());
}

void TArchiveCFG::focusMoved(QWidget* from, QWidget* to) {
    // Only a move to another control of the window leaves the archives.
    if (!contains(Panel2, from) || !to || contains(Panel2, to) || to->window() != window())
        return;
    storeRounded(data_.tblShortArchive, DBEdit3, DBEdit4, u"short_records");
}

bool TArchiveCFG::storeRounded(Dataset& archive, DBEdit* minutes, DBEdit* records,
                               QStringView recordsField) {
    if (!archive.isOpen() || archive.isEmpty() || !minutes->commit() || !records->commit())
        return false;
    return guarded(platform_.messages, [&] {
        archive.edit();
        archive.post();
        const qint64 rounded = roundedRecords(archive.fieldByName(recordsField).asInteger());
        archive.edit();
        archive.fieldByName(recordsField).setAsInteger(rounded);
        archive.post();
    });
}

void TArchiveCFG::save() {
    const QWidget* focused = QApplication::focusWidget();
    const auto store = [&](Dataset& archive, DBEdit* minutes, DBEdit* records,
                           QStringView recordsField) {
        if (focused != minutes && focused != records)
            return;
        if (storeRounded(archive, minutes, records, recordsField)) {
            guarded(platform_.messages, [this] {
                data_.tblHeadline.edit();
                data_.tblHeadline.post();
            });
        }
    };
    store(data_.tblShortArchive, DBEdit3, DBEdit4, u"short_records");
    store(data_.tblMainArchive, DBEdit1, DBEdit2, u"main_records");
}

// ---------------------------------------------------------------- on-board modules

TEmbdev::TEmbdev(Platform& platform, TDataModule1& dataModule, QWidget* parent) : QWidget(parent) {
    setObjectName(QStringLiteral("Embdev"));
    MessageBoxes& messages = platform.messages;
    Dataset& headline = dataModule.tblHeadline;
    dbc_ledind = new DBCheckBox(QStringLiteral("Установлен"), headline,
                                QStringLiteral("led_enable"), messages);
    dbc_ledind->setObjectName(QStringLiteral("dbc_ledind"));
    dbc_intchan = new DBCheckBox(QStringLiteral("Использовать"), headline,
                                 QStringLiteral("intchan_enable"), messages);
    dbc_intchan->setObjectName(QStringLiteral("dbc_intchan"));
    QVBoxLayout* panel = titledPanel(this, QStringLiteral("Настройка встроенных модулей"));
    const std::pair<const char*, DBCheckBox*> groups[] = {
        {"Светодиодный индикатор", dbc_ledind},
        {"Встроенные каналы", dbc_intchan},
        {"Модуль расширения", nullptr},
    };
    for (const auto& [title, box] : groups) {
        auto* group = new QGroupBox(QString::fromUtf8(title));
        auto* row = new QHBoxLayout(group);
        if (box) {
            row->addWidget(box);
            postOnClick(box, headline, messages);
        }
        row->addStretch();
        group->setMinimumHeight(48);
        panel->addWidget(group);
    }
    panel->addStretch();
}

// ---------------------------------------------------------------- callback

TSetCallback::TSetCallback(Platform& platform, TDataModule1& dataModule, QWidget* parent)
    : QWidget(parent),
      edPhoneNum(new QLineEdit),
      btnPhoneAdd(new QPushButton(QStringLiteral("Добавить"))),
      btnPhoneDel(new QPushButton(QStringLiteral("Удалить"))),
      DBGrid1(new QTableView),
      Label2(new QLabel(QStringLiteral(
          "ВНИМАНИЕ! Функция обратного вызова применима только для интерфейса типа AT-Modem "
          "на COM1"))),
      platform_(platform),
      phones_(dataModule.tblCallbackPhone) {
    setObjectName(QStringLiteral("SetCallback"));
    MessageBoxes& messages = platform.messages;
    DBCheckBox1 = new DBCheckBox(QStringLiteral("Использовать обратный вызов"),
                                 dataModule.tblHeadline, QStringLiteral("callback"), messages);
    DBCheckBox1->setObjectName(QStringLiteral("DBCheckBox1"));
    postOnClick(DBCheckBox1, dataModule.tblHeadline, messages);
    edPhoneNum->setObjectName(QStringLiteral("edPhoneNum"));
    edPhoneNum->setMaxLength(PhoneRec::phonenumMax);
    btnPhoneAdd->setObjectName(QStringLiteral("btnPhoneAdd"));
    btnPhoneDel->setObjectName(QStringLiteral("btnPhoneDel"));
    DBGrid1->setObjectName(QStringLiteral("DBGrid1"));
    bindGrid(DBGrid1,
             new DatasetTableModel(phones_, {{QStringLiteral("phonenum"), QString(), 0, true}},
                                   messages, this));
    DBGrid1->horizontalHeader()->hide();
    DBGrid1->verticalHeader()->hide();
    DBGrid1->horizontalHeader()->setStretchLastSection(true);
    DBGrid1->setEditTriggers(QAbstractItemView::NoEditTriggers);
    DBGrid1->setSelectionBehavior(QAbstractItemView::SelectRows);
    DBGrid1->setSelectionMode(QAbstractItemView::SingleSelection);
    DBGrid1->setTabKeyNavigation(false);
    keepSelectionVisible(DBGrid1);
    connect(btnPhoneAdd, &QPushButton::clicked, this, &TSetCallback::btnPhoneAddClick);
    connect(btnPhoneDel, &QPushButton::clicked, this, &TSetCallback::btnPhoneDelClick);
    connect(edPhoneNum, &QLineEdit::returnPressed, this, &TSetCallback::btnPhoneAddClick);

    auto* group = new QGroupBox(QStringLiteral("Телефоны обратного вызова"));
    auto* grid = new QGridLayout(group);
    grid->addWidget(captionFor(QStringLiteral("Телефон:"), edPhoneNum), 0, 0);
    grid->addWidget(edPhoneNum, 0, 1);
    grid->addWidget(btnPhoneAdd, 0, 2);
    grid->addWidget(btnPhoneDel, 0, 3);
    grid->addWidget(DBGrid1, 1, 1, 1, 3);
    grid->setColumnStretch(4, 1);
    DBGrid1->setMaximumWidth(360);

    Label2->setObjectName(QStringLiteral("Label2"));
    Label2->setWordWrap(true);
    Label2->setStyleSheet(
        QStringLiteral("QLabel { color: #c00000; background: #fff4f0; "
                       "border: 1px solid #f0c8c0; border-radius: 8px; "
                       "padding: 8px; }"));
    QVBoxLayout* panel = titledPanel(this, QStringLiteral("Настройка обратного вызова"));
    panel->addWidget(DBCheckBox1);
    panel->addWidget(group, 1);
    panel->addWidget(Label2);
}

void TSetCallback::btnPhoneAddClick() {
    const QString number = edPhoneNum->text().trimmed();
    if (number.isEmpty()) {
        platform_.messages.error(QStringLiteral("Не указан номер телефона."), texts::kError);
        return;
    }
    if (deviceTextLength(number) > PhoneRec::phonenumMax) {
        platform_.messages.error(
            QStringLiteral("Номер «%1» длиннее %2 символов и не помещается в конфигурацию УСПД.")
                .arg(number)
                .arg(PhoneRec::phonenumMax),
            texts::kError);
        return;
    }
    guarded(platform_.messages, [&] {
        phones_.append();
        phones_.fieldByName(u"phonenum").setAsString(number);
        phones_.post();
    });
}

void TSetCallback::btnPhoneDelClick() {
    if (!phones_.isOpen() || phones_.isEmpty())
        return;
    guarded(platform_.messages, [this] { phones_.remove(); });
}

}  // namespace orvet
