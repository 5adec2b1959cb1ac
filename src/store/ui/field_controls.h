#pragma once

#include <QCheckBox>
#include <QComboBox>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <functional>

#include "core/message_boxes.h"
#include "store/dataset.h"

class QButtonGroup;

namespace orvet {

// The store's declaration of `field` of the table `dataset` writes (its type, width and
// range), known also while the dataset is closed; null for a field the store does not declare.
const FieldDef* declaredField(const Dataset& dataset, QStringView field);

// Limits what can be typed into `edit` to what `def` holds: at most its width in characters
// for text, a whole number within [minimum, maximum] for an integer kind. Grid editors and
// bound edits take their limits here.
void limitTyping(QLineEdit* edit, const FieldDef& def, qint64 minimum, qint64 maximum);

// The link of one control to one field of a dataset's current row: it calls `refresh`
// whenever what the control shows may have changed (open, navigation, an assignment, a
// post or cancel), and stores values into the field, putting the row into editing first.
// A value the field refuses is shown in a message box and the control shows the field again.
class FieldLink : private DatasetObserver {
public:
    FieldLink(Dataset& dataset, QString field, MessageBoxes& messages,
              std::function<void()> refresh);
    ~FieldLink() override;
    FieldLink(const FieldLink&) = delete;
    FieldLink& operator=(const FieldLink&) = delete;

    Dataset& dataset() const { return dataset_; }
    MessageBoxes& messages() const;
    // The field of the current row; empty when the dataset is closed or has no row.
    QVariant value() const;
    // True when the field holds `value` as it would store it (so "1,5" matches 1.5 in a float
    // field and "8" matches 8 in a number field).
    bool holds(const QVariant& value) const;
    bool hasRow() const;
    bool store(const QVariant& value);

private:
    void datasetChanged(Dataset& dataset, const DatasetChange& change) override;

    Dataset& dataset_;
    QString field_;
    MessageBoxes& messages_;
    std::function<void()> refresh_;
    bool storing_ = false;
};

// An edit bound to a field: shows its text, stores what was typed when editing finishes
// (Enter, leaving the edit) or when commit() is called (Save); Escape restores the field.
// Typing is limited by the field's declaration (width, or range of a number).
class DBEdit : public QLineEdit {
    Q_OBJECT
public:
    DBEdit(Dataset& dataset, const QString& field, MessageBoxes& messages,
           QWidget* parent = nullptr);
    // Stores the typed text if it differs from the field; false when it was refused. A number
    // outside the range is refused with a message naming the edit's caption.
    bool commit();

    // Narrows the accepted numbers of an integer field (a time is never negative).
    void setRange(qint64 minimum, qint64 maximum);
    // The label the user sees for this edit, such as "Такт опроса (мс)": its name goes into
    // refusals, name, unit and the accepted values into the tool tip.
    void setCaption(const QString& label);
    // True when what the edit shows was typed and differs from the field.
    bool holdsUnstoredText() const;
    // Shows a number with at most `maximum` decimals and no trailing zeros, in the locale's
    // notation ("0.###" for 3); the stored value keeps its precision until a new one is typed.
    void setDecimals(int maximum);

protected:
    void keyPressEvent(QKeyEvent* event) override;
    void focusOutEvent(QFocusEvent* event) override;

private:
    void refresh();
    void describe();
    void fitWidthToRange();
    // A typed number the range does not hold; shown in an error box.
    bool refuseOutOfRange();
    // A typed text that is no number, for a number field with decimals.
    bool isNumber(const QString& typed) const;
    bool refuseNotANumber();
    // What the edit shows for the field's `value`.
    QString shown(const QVariant& value) const;

    FieldLink link_;
    const FieldDef* def_;
    qint64 minimum_ = 0;
    qint64 maximum_ = 0;
    QString name_;
    QString unit_;
    bool committing_ = false;
    int decimals_ = -1;  // none: the value as stored
};

// A check box bound to a field holding "1" (checked) or "0".
class DBCheckBox : public QCheckBox {
    Q_OBJECT
public:
    DBCheckBox(const QString& text, Dataset& dataset, const QString& field, MessageBoxes& messages,
               QWidget* parent = nullptr);

private:
    void refresh();
    FieldLink link_;
};

// A drop-down list bound to a key field: it lists `listField` of the rows of `source` and
// stores the chosen row's `keyField`. closeUp() follows every closing of the list, after the
// chosen value has been stored, and every choice made with the keys while the list is closed.
class DBLookupComboBox : public QComboBox, private DatasetObserver {
    Q_OBJECT
public:
    DBLookupComboBox(Dataset& dataset, const QString& field, Dataset& source,
                     const QString& keyField, const QString& listField, MessageBoxes& messages,
                     QWidget* parent = nullptr);
    ~DBLookupComboBox() override;
    void hidePopup() override;
    // While unavailable the list is disabled and shows no choice, whatever its field holds
    // (a channel without a module has no module channels to choose from).
    void setAvailable(bool available);

signals:
    void closeUp();

private:
    void datasetChanged(Dataset& dataset, const DatasetChange& change) override;
    void fill();
    void refresh();
    void announceCloseUp();
    Dataset& source_;
    QString keyField_;
    QString listField_;
    FieldLink link_;
    bool closing_ = false;  // the list closed; its closeUp() is on its way
    bool available_ = true;
};

// A group of radio buttons bound to a field: item i stores values[i].
class DBRadioGroup : public QGroupBox {
    Q_OBJECT
public:
    DBRadioGroup(const QString& title, const QStringList& items, const QStringList& values,
                 Dataset& dataset, const QString& field, MessageBoxes& messages, int columns = 1,
                 QWidget* parent = nullptr);
    int itemIndex() const;

private:
    void refresh();
    QStringList values_;
    QButtonGroup* buttons_;
    FieldLink link_;
};

// A read-only text showing a field.
class DBText : public QLabel {
    Q_OBJECT
public:
    DBText(Dataset& dataset, const QString& field, MessageBoxes& messages,
           QWidget* parent = nullptr);

private:
    void refresh();
    FieldLink link_;
};

}  // namespace orvet
