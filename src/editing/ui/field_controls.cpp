#include "editing/ui/field_controls.h"

#include <QButtonGroup>
#include <QGridLayout>
#include <QKeyEvent>
#include <QMetaObject>
#include <QRadioButton>

#include "core/guarded.h"
#include "store/store_error.h"

namespace orvet {

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
}  // namespace

DBEdit::DBEdit(Dataset& dataset, const QString& field, MessageBoxes& messages, QWidget* parent)
    : QLineEdit(parent), link_(dataset, field, messages, [this] { refresh(); }) {
    connect(this, &QLineEdit::editingFinished, this, &DBEdit::commit);
    refresh();
}

void DBEdit::refresh() {
    setEnabled(link_.dataset().isOpen());
    setText(textOf(link_.value()));
    setModified(false);
}

bool DBEdit::commit() {
    if (!isModified() || !link_.hasRow())
        return true;
    const QString typed = text();
    if (typed == textOf(link_.value())) {
        setModified(false);
        return true;
    }
    return link_.store(typed.isEmpty() ? QVariant() : QVariant(typed));
}

void DBEdit::keyPressEvent(QKeyEvent* event) {
    if (event->key() == Qt::Key_Escape && isModified()) {
        refresh();
        return;
    }
    QLineEdit::keyPressEvent(event);
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
    });
    fill();
}

DBLookupComboBox::~DBLookupComboBox() {
    source_.removeObserver(this);
}

void DBLookupComboBox::hidePopup() {
    QComboBox::hidePopup();
    // A choice is stored on activation, which comes after the list has closed.
    QMetaObject::invokeMethod(this, &DBLookupComboBox::closeUp, Qt::QueuedConnection);
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

void DBLookupComboBox::refresh() {
    const QSignalBlocker blocker(this);
    setEnabled(link_.dataset().isOpen());
    const QVariant key = link_.value();
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
