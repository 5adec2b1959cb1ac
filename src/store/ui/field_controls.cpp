#include "store/ui/field_controls.h"

#include <QButtonGroup>
#include <QFocusEvent>
#include <QGridLayout>
#include <QIntValidator>
#include <QKeyEvent>
#include <QLocale>
#include <QMetaObject>
#include <QRadioButton>
#include <QRegularExpression>
#include <QRegularExpressionValidator>
#include <QScopeGuard>
#include <QStyle>
#include <QStyleOptionFrame>
#include <algorithm>
#include <limits>

#include "core/guarded.h"
#include "core/texts.h"
#include "store/connection.h"
#include "store/schema.h"
#include "store/store_error.h"

namespace orvet {
namespace {

// The longest text a number field takes ("-1.7976931348623157e+308").
constexpr int kFloatWidth = 24;

}  // namespace

const FieldDef* declaredField(const Dataset& dataset, QStringView field) {
    const Schema* schema = dataset.connection().schema();
    const TableDef* table = schema ? schema->table(dataset.tableName()) : nullptr;
    return table ? table->field(field) : nullptr;
}

void limitTyping(QLineEdit* edit, const FieldDef& def, qint64 minimum, qint64 maximum) {
    if (def.type == FieldType::Text) {
        if (def.size > 0)
            edit->setMaxLength(def.size);
        return;
    }
    if (def.type == FieldType::Float) {
        // Digits, one decimal point or comma and an exponent: a letter cannot be typed.
        static const QRegularExpression kNumber(
            QStringLiteral(R"([-+]?\d*([.,]\d*)?([eE][-+]?\d*)?)"));
        edit->setValidator(new QRegularExpressionValidator(kNumber, edit));
        edit->setMaxLength(kFloatWidth);
        return;
    }
    if (!def.isInteger())
        return;
    constexpr qint64 kLowest = std::numeric_limits<int>::min();
    constexpr qint64 kHighest = std::numeric_limits<int>::max();
    auto* validator = edit->findChild<QIntValidator*>(QString(), Qt::FindDirectChildrenOnly);
    if (!validator) {
        validator = new QIntValidator(edit);
        edit->setValidator(validator);
    }
    validator->setRange(int(std::clamp(minimum, kLowest, kHighest)),
                        int(std::clamp(maximum, kLowest, kHighest)));
}

FieldLink::FieldLink(Dataset& dataset, QString field, MessageBoxes& messages,
                     std::function<void()> refresh)
    : dataset_(dataset),
      field_(std::move(field)),
      messages_(messages),
      refresh_(std::move(refresh)) {
    dataset_.addObserver(this);
}

FieldLink::~FieldLink() {
    dataset_.removeObserver(this);
}

MessageBoxes& FieldLink::messages() const {
    return messages_;
}

bool FieldLink::hasRow() const {
    return dataset_.isOpen() && dataset_.currentRow() >= 0;
}

QVariant FieldLink::value() const {
    if (!hasRow())
        return {};
    const int index = dataset_.fieldIndex(field_);
    return index < 0 ? QVariant() : dataset_.currentValue(index);
}

bool FieldLink::holds(const QVariant& value) const {
    const QVariant current = this->value();
    if (current.isNull())
        return false;
    try {
        return dataset_.fieldDef(dataset_.fieldIndex(field_)).accept(value) == current;
    } catch (const StoreError&) {
        return false;
    }
}

bool FieldLink::store(const QVariant& value) {
    storing_ = true;
    const bool stored = guarded(messages_, [&] {
        if (dataset_.state() == Dataset::State::Browse)
            dataset_.edit();
        dataset_.fieldByName(field_).setValue(value);
    });
    storing_ = false;
    refresh_();
    return stored;
}

void FieldLink::datasetChanged(Dataset&, const DatasetChange& change) {
    if (storing_)
        return;
    if (change.kind == DatasetChange::RowInserted || change.kind == DatasetChange::RowRemoved)
        return;
    if (change.kind == DatasetChange::RowChanged && change.row != dataset_.currentRow())
        return;
    refresh_();
}

namespace {
QString textOf(const QVariant& value) {
    return value.isNull() ? QString() : value.toString();
}

// A line edit keeps 2 pixels on either side of its text; the cursor needs a few more.
constexpr int kTextMargins = 2 * 2;
constexpr int kCursorRoom = 4;

// "символ", "символа" or "символов" after `count`.
QString characters(int count) {
    const int lastTwo = count % 100;
    const int last = count % 10;
    if (last == 1 && lastTwo != 11)
        return QStringLiteral("символ");
    if (last >= 2 && last <= 4 && (lastTwo < 12 || lastTwo > 14))
        return QStringLiteral("символа");
    return QStringLiteral("символов");
}

}  // namespace

DBEdit::DBEdit(Dataset& dataset, const QString& field, MessageBoxes& messages, QWidget* parent)
    : QLineEdit(parent),
      link_(dataset, field, messages, [this] { refresh(); }),
      def_(declaredField(dataset, field)) {
    if (def_) {
        minimum_ = def_->minimum;
        maximum_ = def_->maximum;
        limitTyping(this, *def_, minimum_, maximum_);
        if (def_->isInteger())
            fitWidthToRange();
    }
    connect(this, &QLineEdit::editingFinished, this, &DBEdit::commit);
    refresh();
    describe();
}

void DBEdit::fitWidthToRange() {
    // Wide enough for the longest accepted number with the text cursor behind it.
    const QFontMetrics metrics = fontMetrics();
    const QMargins margins = textMargins();
    const int longest = std::max(metrics.horizontalAdvance(QString::number(minimum_)),
                                 metrics.horizontalAdvance(QString::number(maximum_)));
    const int text = longest + margins.left() + margins.right() + kTextMargins + kCursorRoom;
    QStyleOptionFrame option;
    option.initFrom(this);
    option.lineWidth =
        hasFrame() ? style()->pixelMetric(QStyle::PM_DefaultFrameWidth, &option, this) : 0;
    setFixedWidth(
        style()
            ->sizeFromContents(QStyle::CT_LineEdit, &option, QSize(text, metrics.height()), this)
            .width());
}

void DBEdit::setRange(qint64 minimum, qint64 maximum) {
    if (!def_ || !def_->isInteger())
        return;
    minimum_ = std::max(minimum, def_->minimum);
    maximum_ = std::min(maximum, def_->maximum);
    limitTyping(this, *def_, minimum_, maximum_);
    fitWidthToRange();
    describe();
}

void DBEdit::setCaption(const QString& label) {
    QString name = label;
    name.remove(u'&');
    name = name.trimmed();
    if (name.endsWith(u':'))
        name.chop(1);
    static const QRegularExpression withUnit(QStringLiteral("^(.*\\S)\\s*\\(([^()]+)\\)$"));
    const QRegularExpressionMatch match = withUnit.match(name);
    name_ = match.hasMatch() ? match.captured(1) : name;
    unit_ = match.hasMatch() ? match.captured(2) : QString();
    describe();
}

void DBEdit::describe() {
    if (!def_)
        return;
    QString range;
    if (def_->isInteger()) {
        range = QStringLiteral("от %1 до %2").arg(minimum_).arg(maximum_);
    } else if (def_->type == FieldType::Text && def_->size > 0) {
        range = QStringLiteral("не более %1 %2").arg(def_->size).arg(characters(def_->size));
    } else {
        return;
    }
    const QString subject = unit_.isEmpty() ? name_ : name_ + QStringLiteral(", ") + unit_;
    setToolTip(subject.isEmpty() ? range : subject + QStringLiteral(": ") + range);
}

QString DBEdit::shown(const QVariant& value) const {
    if (decimals_ < 0 || value.isNull())
        return textOf(value);
    double number = 0;
    try {
        number = valueAsFloat(value);
    } catch (const StoreError&) {
        return textOf(value);
    }
    QString text = QLocale().toString(number, 'f', decimals_);
    const QString point = QLocale().decimalPoint();
    if (decimals_ > 0 && text.contains(point)) {
        while (text.endsWith(u'0'))
            text.chop(1);
        if (text.endsWith(point))
            text.chop(point.size());
    }
    // A value that rounds to zero shows no sign.
    return text == QStringLiteral("-0") ? QStringLiteral("0") : text;
}

void DBEdit::setDecimals(int maximum) {
    decimals_ = maximum;
    refresh();
}

void DBEdit::refresh() {
    setEnabled(link_.dataset().isOpen());
    setText(shown(link_.value()));
    setModified(false);
}

bool DBEdit::commit() {
    // The refusal of this edit is being shown (its box takes the focus): one box is enough.
    if (committing_)
        return false;
    if (!isModified() || !link_.hasRow())
        return true;
    const QString typed = text();
    if (typed == shown(link_.value())) {
        setModified(false);
        return true;
    }
    committing_ = true;
    const auto done = qScopeGuard([this] { committing_ = false; });
    if (!typed.isEmpty() && !hasAcceptableInput())
        return refuseOutOfRange();
    if (!typed.isEmpty() && def_ && def_->type == FieldType::Float && !isNumber(typed))
        return refuseNotANumber();
    return link_.store(typed.isEmpty() ? QVariant() : QVariant(typed));
}

bool DBEdit::holdsUnstoredText() const {
    return isModified() && link_.hasRow() && text() != shown(link_.value());
}

bool DBEdit::isNumber(const QString& typed) const {
    try {
        def_->accept(typed);
        return true;
    } catch (const StoreError&) {
        return false;
    }
}

bool DBEdit::refuseNotANumber() {
    link_.messages().error(QStringLiteral("Значение «%1» недопустимо для поля «%2»: нужно число")
                               .arg(text(), name_.isEmpty() ? def_->name : name_),
                           texts::kError);
    refresh();
    return false;
}

bool DBEdit::refuseOutOfRange() {
    const QString name = name_.isEmpty() ? def_->name : name_;
    link_.messages().error(QStringLiteral("Значение «%1» недопустимо для поля «%2»: допустимы "
                                          "значения от %3 до %4")
                               .arg(text(), name)
                               .arg(minimum_)
                               .arg(maximum_),
                           texts::kError);
    refresh();
    return false;
}

void DBEdit::keyPressEvent(QKeyEvent* event) {
    if (event->key() == Qt::Key_Escape && isModified()) {
        refresh();
        return;
    }
    // Enter stores only an acceptable number by itself; any other is refused here.
    const bool enter = event->key() == Qt::Key_Return || event->key() == Qt::Key_Enter;
    if (enter && !hasAcceptableInput()) {
        commit();
        return;
    }
    QLineEdit::keyPressEvent(event);
}

void DBEdit::focusOutEvent(QFocusEvent* event) {
    // Leaving the edit stores an acceptable text (editingFinished); an empty or out-of-range
    // number is stored or refused here, so that nothing typed is dropped without a word. A
    // menu or another window taking the focus for a while does not leave the edit.
    const bool unacceptable = isModified() && !hasAcceptableInput();
    QLineEdit::focusOutEvent(event);
    const Qt::FocusReason reason = event->reason();
    if (unacceptable && reason != Qt::ActiveWindowFocusReason && reason != Qt::PopupFocusReason)
        commit();
}

DBCheckBox::DBCheckBox(const QString& text, Dataset& dataset, const QString& field,
                       MessageBoxes& messages, QWidget* parent)
    : QCheckBox(text, parent), link_(dataset, field, messages, [this] { refresh(); }) {
    connect(this, &QCheckBox::clicked, this, [this](bool checked) {
        link_.store(checked ? QStringLiteral("1") : QStringLiteral("0"));
    });
    refresh();
}

void DBCheckBox::refresh() {
    setEnabled(link_.dataset().isOpen());
    setChecked(textOf(link_.value()) == QLatin1String("1"));
}

DBLookupComboBox::DBLookupComboBox(Dataset& dataset, const QString& field, Dataset& source,
                                   const QString& keyField, const QString& listField,
                                   MessageBoxes& messages, QWidget* parent)
    : QComboBox(parent),
      source_(source),
      keyField_(keyField),
      listField_(listField),
      link_(dataset, field, messages, [this] { refresh(); }) {
    source_.addObserver(this);
    connect(this, &QComboBox::activated, this, [this](int index) {
        const QVariant key = itemData(index);
        if (key != link_.value())
            link_.store(key);
        // A choice made with the arrow keys, without the list, is a choice like any other.
        if (!closing_)
            announceCloseUp();
    });
    fill();
}

DBLookupComboBox::~DBLookupComboBox() {
    source_.removeObserver(this);
}

void DBLookupComboBox::hidePopup() {
    QComboBox::hidePopup();
    // A choice is stored on activation, which comes after the list has closed.
    closing_ = true;
    announceCloseUp();
}

void DBLookupComboBox::announceCloseUp() {
    QMetaObject::invokeMethod(
        this,
        [this] {
            closing_ = false;
            emit closeUp();
        },
        Qt::QueuedConnection);
}

void DBLookupComboBox::datasetChanged(Dataset&, const DatasetChange& change) {
    if (change.kind == DatasetChange::CurrentRowChanged ||
        change.kind == DatasetChange::StateChanged)
        return;
    fill();
}

void DBLookupComboBox::fill() {
    const QSignalBlocker blocker(this);
    clear();
    if (source_.isOpen()) {
        const int key = source_.fieldIndex(keyField_);
        const int list = source_.fieldIndex(listField_);
        for (int row = 0; key >= 0 && list >= 0 && row < source_.recordCount(); ++row) {
            addItem(textOf(source_.value(row, list)), source_.value(row, key));
        }
    }
    refresh();
}

void DBLookupComboBox::setAvailable(bool available) {
    if (available == available_)
        return;
    available_ = available;
    refresh();
}

void DBLookupComboBox::refresh() {
    const QSignalBlocker blocker(this);
    setEnabled(link_.dataset().isOpen() && available_);
    const QVariant key = available_ ? link_.value() : QVariant();
    int found = -1;
    for (int i = 0; !key.isNull() && i < count(); ++i) {
        if (itemData(i).toString() == key.toString()) {
            found = i;
            break;
        }
    }
    setCurrentIndex(found);
}

DBRadioGroup::DBRadioGroup(const QString& title, const QStringList& items,
                           const QStringList& values, Dataset& dataset, const QString& field,
                           MessageBoxes& messages, int columns, QWidget* parent)
    : QGroupBox(title, parent),
      values_(values),
      buttons_(new QButtonGroup(this)),
      link_(dataset, field, messages, [this] { refresh(); }) {
    auto* layout = new QGridLayout(this);
    const int rows = (int(items.size()) + columns - 1) / columns;
    for (int i = 0; i < items.size(); ++i) {
        auto* button = new QRadioButton(items[i], this);
        buttons_->addButton(button, i);
        layout->addWidget(button, i % rows, i / rows);
    }
    connect(buttons_, &QButtonGroup::idClicked, this, [this](int id) {
        if (id < values_.size() && itemIndex() != id)
            link_.store(values_[id]);
    });
    refresh();
}

int DBRadioGroup::itemIndex() const {
    for (int i = 0; i < values_.size(); ++i) {
        if (link_.holds(values_[i]))
            return i;
    }
    return -1;
}

void DBRadioGroup::refresh() {
    setEnabled(link_.dataset().isOpen());
    const int index = itemIndex();
    buttons_->setExclusive(false);
    for (QAbstractButton* button : buttons_->buttons())
        button->setChecked(buttons_->id(button) == index);
    buttons_->setExclusive(true);
}

DBText::DBText(Dataset& dataset, const QString& field, MessageBoxes& messages, QWidget* parent)
    : QLabel(parent), link_(dataset, field, messages, [this] { refresh(); }) {
    refresh();
}

void DBText::refresh() {
    setText(textOf(link_.value()));
}

}  // namespace orvet
