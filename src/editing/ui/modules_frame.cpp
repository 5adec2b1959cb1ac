#include "editing/ui/modules_frame.h"

#include <QAction>
#include <QFocusEvent>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QMenu>
#include <QScopeGuard>
#include <QTableView>
#include <QVBoxLayout>
#include <algorithm>
#include <limits>

#include "editing/channel_fill.h"
#include "editing/module_operations.h"
#include "editing/ui/bulk_progress_window.h"
#include "editing/ui/icons.h"
#include "editing/ui/main_window.h"
#include "store/data_module.h"
#include "store/ui/field_controls.h"

namespace orvet {
namespace {

const QString kPasswordText = QStringLiteral("Пароль:");
const QString kModemNumberText = QStringLiteral("Номер модема:");

QLabel* label(const char* name, const QString& text) {
    auto* result = new QLabel(text);
    result->setObjectName(QString::fromLatin1(name));
    return result;
}

}  // namespace

TDevConf::TDevConf(Platform& platform, TDataModule1& dataModule, TMainForm& mainForm,
                   QWidget* parent)
    : TListFrame(platform, mainForm, dataModule.tblSpecDevice,
                 {{QString(), QString(), 18, true},
                  {QStringLiteral("TDevice"), QStringLiteral("Тип"), 90, true},
                  {QStringLiteral("NPort"), QStringLiteral("Порт"), 48, true, Qt::AlignHCenter},
                  {QStringLiteral("n_on_iface"), QStringLiteral("№ на интерфейсе"), 97, true,
                   Qt::AlignHCenter},
                  {QStringLiteral("t_pool"), QStringLiteral("Такт опроса (мс)"), 99, true,
                   Qt::AlignHCenter}},
                 QStringLiteral("Настройка устройства"), parent),
      PopupDev(new QMenu(this)),
      m_Progress(new Tm_Progress(&mainForm)),
      data_(dataModule),
      passwordRow_(new QWidget) {
    setObjectName(QStringLiteral("DevConf"));
    for (int i = 0; i < int(rowIcons_.size()); ++i)
        rowIcons_[i] = imgDev(i);
    buildPopupMenu();
    fitTypeColumn();
    createIdentityControls();
    createTimingControls();
    createPasswordControls();
    // The periods that type 0 does not show share the timing group's second row, which goes
    // away with them.
    keepPlaceWhenHidden({Retrans, Label9, Label10, devPort2, Label11, devNOnIface2});
    buildSettingsPanel();
    wireIdentityReactions();
    finishFrame(PopupDev);
}

void TDevConf::buildPopupMenu() {
    PopupDev->setObjectName(QStringLiteral("PopupDev"));
    N1 = PopupDev->addAction(imgDev(0), QStringLiteral("Добавить модуль УСО"));
    N1->setObjectName(QStringLiteral("N1"));
    N1->setShortcut(QKeySequence(Qt::Key_Insert));
    N2 = PopupDev->addAction(imgDev(1), QStringLiteral("Удалить модуль УСО"));
    N2->setObjectName(QStringLiteral("N2"));
    N2->setShortcut(QKeySequence(Qt::Key_Delete));
    N5 = PopupDev->addMenu(imgDev(5), QStringLiteral("Копировать"));
    N5->setObjectName(QStringLiteral("N5"));
    for (int count : kCopyCounts)
        copyItems << N5->addAction(QStringLiteral("%1x").arg(count));
    PopupDev->addSeparator()->setObjectName(QStringLiteral("N3"));
    N4 = PopupDev->addAction(QStringLiteral("Добавить все каналы УСО"));
    N4->setObjectName(QStringLiteral("N4"));
    N6 = PopupDev->addAction(QStringLiteral("Все каналы всех модулей"));
    N6->setObjectName(QStringLiteral("N6"));
    for (int i = 0; i < copyItems.size(); ++i) {
        copyItems[i]->setObjectName(QStringLiteral("N%1x1").arg(kCopyCounts[i]));
        connect(copyItems[i], &QAction::triggered, this,
                [this, count = kCopyCounts[i]] { CopyModule(count); });
    }
    connect(N4, &QAction::triggered, this, &TDevConf::N4Click);
    connect(N6, &QAction::triggered, this, &TDevConf::N6Click);
    connect(N1, &QAction::triggered, this, &TDevConf::N1Click);
    connect(N2, &QAction::triggered, this, &TDevConf::N2Click);
}

// The type column takes the longest type name the store offers.
void TDevConf::fitTypeColumn() {
    int typeWidth = DBGrid1->columnWidth(1);
    const int typeName = data_.tblTypeDevice.fieldIndex(u"t_device");
    for (int row = 0; typeName >= 0 && row < data_.tblTypeDevice.recordCount(); ++row) {
        const QString name = valueAsString(data_.tblTypeDevice.value(row, typeName));
        typeWidth = std::max(typeWidth, DBGrid1->fontMetrics().horizontalAdvance(name) + 8);
    }
    DBGrid1->setColumnWidth(1, typeWidth);
}

// Type, interface and number, and the second interface and number of a retransmission.
void TDevConf::createIdentityControls() {
    MessageBoxes& messages = platform_.messages;
    const QString key = QStringLiteral("key");
    const QString ifaceKey = QStringLiteral("id_iface_s");
    const QString portName = QStringLiteral("NPort");
    devType = new DBLookupComboBox(dataset_, QStringLiteral("t_device"), data_.tblTypeDevice, key,
                                   QStringLiteral("t_device"), messages);
    devType->setObjectName(QStringLiteral("devType"));
    devPort = new DBLookupComboBox(dataset_, ifaceKey, data_.tblSpecInterFace, ifaceKey, portName,
                                   messages);
    devPort->setObjectName(QStringLiteral("devPort"));
    devNOnIface = new DBEdit(dataset_, QStringLiteral("n_on_iface"), messages);
    devNOnIface->setObjectName(QStringLiteral("devNOnIface"));
    Retrans = new DBCheckBox(QStringLiteral("Ретрансляция"), dataset_, QStringLiteral("fl_retrans"),
                             messages);
    Retrans->setObjectName(QStringLiteral("Retrans"));
    Label9 = label("Label9", QStringLiteral("-->"));
    Label10 = label("Label10", QStringLiteral("Порт"));
    devPort2 = new DBLookupComboBox(dataset_, QStringLiteral("id_iface_s2"), data_.tblSpecInterFace,
                                    ifaceKey, portName, messages);
    devPort2->setObjectName(QStringLiteral("devPort2"));
    Label11 = label("Label11", QStringLiteral("Номер на интерфейсе"));
    devNOnIface2 = new DBEdit(dataset_, QStringLiteral("n_on_iface2"), messages);
    devNOnIface2->setObjectName(QStringLiteral("devNOnIface2"));
    Label10->setBuddy(devPort2);
    Label11->setBuddy(devNOnIface2);
    devNOnIface2->setCaption(Label11->text());
}

// The poll and start periods and the answer and byte timeouts, in GroupBox2.
void TDevConf::createTimingControls() {
    MessageBoxes& messages = platform_.messages;
    GroupBox2 = new QGroupBox;
    GroupBox2->setObjectName(QStringLiteral("GroupBox2"));
    // As wide as its periods need: the panel's extra width stays beside it.
    GroupBox2->setSizePolicy(QSizePolicy::Maximum, QSizePolicy::Preferred);
    Label3 = label("Label3", QStringLiteral("Такт опроса (мс)"));
    DBEdit1 = new DBEdit(dataset_, QStringLiteral("t_pool"), messages);
    DBEdit1->setObjectName(QStringLiteral("DBEdit1"));
    Label6 = label("Label6", QStringLiteral("Таймаут ответа (мс)"));
    DBEdit2 = new DBEdit(dataset_, QStringLiteral("to_answer"), messages);
    DBEdit2->setObjectName(QStringLiteral("DBEdit2"));
    Label8 = label("Label8", QStringLiteral("Такт старта устройства (мс)"));
    DBEdit4 = new DBEdit(dataset_, QStringLiteral("t_start"), messages);
    DBEdit4->setObjectName(QStringLiteral("DBEdit4"));
    Label7 = label("Label7", QStringLiteral("Таймаут приема байта (мс)"));
    DBEdit3 = new DBEdit(dataset_, QStringLiteral("to_byte_receive"), messages);
    DBEdit3->setObjectName(QStringLiteral("DBEdit3"));
}

void TDevConf::createPasswordControls() {
    Label12 = label("Label12", kPasswordText);
    devPsw = new DBEdit(dataset_, QStringLiteral("password"), platform_.messages);
    devPsw->setObjectName(QStringLiteral("devPsw"));
    devPsw->setCaption(kPasswordText);
    NumMod = new DBEdit(dataset_, QStringLiteral("num_mod"), platform_.messages);
    NumMod->setObjectName(QStringLiteral("NumMod"));
    NumMod->setCaption(kModemNumberText);
}

void TDevConf::buildSettingsPanel() {
    QGridLayout* identity = buildIdentityGrid();
    QHBoxLayout* timingRow = buildTimingRow();
    buildPasswordRow();
    auto* panel = new QVBoxLayout(GroupBox1);
    panel->setContentsMargins(0, panel->contentsMargins().top(), 0, 0);
    panel->addLayout(identity);
    panel->addLayout(timingRow);
    panel->addWidget(passwordRow_);
    panel->addStretch();
}

// Type, interface and number; below them the second interface of a retransmission.
QGridLayout* TDevConf::buildIdentityGrid() {
    auto* identity = new QGridLayout;
    identity->setContentsMargins(9, 0, 9, 0);
    const std::pair<const char*, QWidget*> identityRow[] = {
        {"Тип", devType}, {"Порт", devPort}, {"Номер на интерфейсе", devNOnIface}};
    int column = 0;
    for (const auto& [text, control] : identityRow) {
        auto* caption = new QLabel(QString::fromUtf8(text));
        caption->setBuddy(control);
        identity->addWidget(caption, 0, column++);
        identity->addWidget(control, 0, column++);
    }
    devNOnIface->setCaption(QStringLiteral("Номер на интерфейсе"));
    devType->setMinimumWidth(130);
    devPort->setMinimumWidth(70);
    devPort2->setMinimumWidth(70);
    addRetransmissionRow(identity);
    identity->setColumnStretch(6, 1);
    return identity;
}

void TDevConf::addRetransmissionRow(QGridLayout* identity) {
    auto* retransmission = new QHBoxLayout;
    retransmission->addWidget(Retrans);
    retransmission->addStretch();
    retransmission->addWidget(Label9);
    identity->addLayout(retransmission, 1, 0, 1, 2);
    identity->addWidget(Label10, 1, 2);
    identity->addWidget(devPort2, 1, 3);
    identity->addWidget(Label11, 1, 4);
    identity->addWidget(devNOnIface2, 1, 5);
}

// GroupBox2 with the periods in two columns, kept to the left of the panel: the time-outs
// every type has in the first row, the poll and start periods in the second. A time is never
// negative.
QHBoxLayout* TDevConf::buildTimingRow() {
    auto* timing = new QGridLayout(GroupBox2);
    const std::pair<QLabel*, DBEdit*> periods[] = {
        {Label6, DBEdit2}, {Label7, DBEdit3}, {Label3, DBEdit1}, {Label8, DBEdit4}};
    for (int i = 0; i < 4; ++i) {
        const auto& [caption, edit] = periods[i];
        caption->setBuddy(edit);
        edit->setCaption(caption->text());
        edit->setRange(0, std::numeric_limits<qint64>::max());
        timing->addWidget(caption, i / 2, (i % 2) * 2);
        timing->addWidget(edit, i / 2, (i % 2) * 2 + 1);
    }
    auto* timingRow = new QHBoxLayout;
    timingRow->setContentsMargins(9, 0, 9, 0);
    timingRow->addWidget(GroupBox2);
    timingRow->addStretch();
    return timingRow;
}

// One label for the password and the modem number, moved with the type; the two edits share
// one place.
void TDevConf::buildPasswordRow() {
    for (QWidget* child : {static_cast<QWidget*>(Label12), static_cast<QWidget*>(devPsw),
                           static_cast<QWidget*>(NumMod)}) {
        child->setParent(passwordRow_);
    }
    passwordRow_->setObjectName(QStringLiteral("passwordRow"));
    const int editHeight = devPsw->sizeHint().height();
    const int editLeft = std::max(56 + fontMetrics().horizontalAdvance(kPasswordText),
                                  16 + fontMetrics().horizontalAdvance(kModemNumberText)) +
                         6;
    // One size for both, at least what the modem number's range needs.
    const int editWidth = std::max(90, NumMod->minimumWidth());
    for (DBEdit* edit : {devPsw, NumMod}) {
        edit->setFixedWidth(editWidth);
        edit->setGeometry(editLeft, 4, editWidth, editHeight);
    }
    passwordRow_->setFixedHeight(editHeight + 8);
}

void TDevConf::wireIdentityReactions() {
    connect(devType, &DBLookupComboBox::closeUp, this, &TDevConf::devTypeCloseUp);
    connect(devPort, &DBLookupComboBox::closeUp, this, &TDevConf::devPortCloseUp);
    devNOnIface->installEventFilter(this);
    // After the box has stored its state.
    connect(Retrans, &QCheckBox::clicked, this, &TDevConf::RetransClick);
}

void TDevConf::N1Click() {
    addRow(addModule);
}

void TDevConf::N2Click() {
    deleteRow(QStringLiteral("Удалить устройство?\n"), u"TDevice");
}

void TDevConf::devTypeCloseUp() {
    updateIdentity();
}

void TDevConf::devPortCloseUp() {
    updateIdentity();
}

void TDevConf::devNOnIfaceExit() {
    if (devNOnIface->commit())
        updateIdentity();
}

void TDevConf::updateIdentity() {
    // Without a module there is nothing to update (and nothing to create).
    if (!dataset_.isOpen() || dataset_.isEmpty())
        return;
    guarded([this] { updateModuleIdentity(data_); });
}

bool TDevConf::runBulk(const std::function<void()>& command) {
    if (!dataset_.isOpen() || !storeTyped())
        return false;
    const Dataset::State state = dataset_.state();
    if ((state == Dataset::State::Edit || state == Dataset::State::Insert) &&
        !guarded([this] { dataset_.post(); }))
        return false;
    return guarded([&] {
        // The window closes before a failure is shown.
        const auto close = qScopeGuard([this] { m_Progress->hide(); });
        command();
    });
}

void TDevConf::N4Click() {
    if (dataset_.isOpen() && dataset_.isEmpty())
        return;
    FillResult result;
    if (runBulk([&] { result = fillModuleChannels(data_, *m_Progress); }))
        platform_.messages.information(result.report, QString());
}

void TDevConf::N6Click() {
    FillResult result;
    if (runBulk([&] { result = fillAllModules(data_, *m_Progress); }))
        platform_.messages.information(result.report, QString());
}

void TDevConf::CopyModule(int count) {
    runBulk([&] { copyModule(data_, count, *m_Progress); });
}

void TDevConf::RetransClick() {
    if (integerAt(dataset_, dataset_.currentRow(), u"t_device") != kNewModuleType) {
        guarded([this] {
            if (dataset_.state() == Dataset::State::Browse)
                dataset_.edit();
            dataset_.fieldByName(u"fl_retrans").setAsInteger(0);
        });
        Retrans->setChecked(false);
        return;
    }
    showRetransmission();
}

bool TDevConf::eventFilter(QObject* watched, QEvent* event) {
    if (watched == devNOnIface && event->type() == QEvent::FocusOut) {
        // Only a move of the focus inside the window leaves the edit; a menu or another
        // window taking the focus for a while does not.
        const Qt::FocusReason reason = static_cast<QFocusEvent*>(event)->reason();
        if (reason != Qt::ActiveWindowFocusReason && reason != Qt::PopupFocusReason)
            devNOnIfaceExit();
    }
    return QWidget::eventFilter(watched, event);
}

void TDevConf::showRowSettings() {
    const int type = integerAt(dataset_, dataset_.currentRow(), u"t_device");
    const bool newType = type == kNewModuleType;
    Retrans->setVisible(newType);
    for (QWidget* period : {static_cast<QWidget*>(Label3), static_cast<QWidget*>(DBEdit1),
                            static_cast<QWidget*>(Label8), static_cast<QWidget*>(DBEdit4)}) {
        period->setVisible(!newType);
    }
    const bool password = hasPassword(type);
    const bool modemNumber = hasModemNumber(type);
    devPsw->setVisible(password);
    NumMod->setVisible(modemNumber);
    Label12->setVisible(password || modemNumber);
    if (password || modemNumber) {
        Label12->setText(password ? kPasswordText : kModemNumberText);
        Label12->adjustSize();
        // The row starts where the panel's frame ends; the label's place is measured from
        // the panel's edge.
        Label12->move((password ? 56 : 16) - GroupBox1->contentsRect().left(),
                      devPsw->y() + (devPsw->height() - Label12->height()) / 2);
    }
    showRetransmission();
}

void TDevConf::showRetransmission() {
    const bool shown = Retrans->isChecked();
    for (QWidget* control : {static_cast<QWidget*>(Label9), static_cast<QWidget*>(Label10),
                             static_cast<QWidget*>(Label11), static_cast<QWidget*>(devPort2),
                             static_cast<QWidget*>(devNOnIface2)}) {
        control->setVisible(shown);
    }
}

QIcon TDevConf::rowIcon(int row) const {
    return rowIcons_[moduleIcon(integerAt(dataset_, row, u"t_device"),
                                integerAt(dataset_, row, u"fl_retrans"))];
}

}  // namespace orvet
