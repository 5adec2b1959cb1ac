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
class DBEdit : public QLineEdit {
    Q_OBJECT
public:
    DBEdit(Dataset& dataset, const QString& field, MessageBoxes& messages,
           QWidget* parent = nullptr);
    // Stores the typed text if it differs from the field; false when it was refused.
    bool commit();

protected:
    void keyPressEvent(QKeyEvent* event) override;

private:
    void refresh();
    FieldLink link_;
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
// chosen value has been stored.
class DBLookupComboBox : public QComboBox, private DatasetObserver {
    Q_OBJECT
public:
    DBLookupComboBox(Dataset& dataset, const QString& field, Dataset& source,
                     const QString& keyField, const QString& listField, MessageBoxes& messages,
                     QWidget* parent = nullptr);
    ~DBLookupComboBox() override;
    void hidePopup() override;

signals:
    void closeUp();

private:
    void datasetChanged(Dataset& dataset, const DatasetChange& change) override;
    void fill();
    void refresh();
    Dataset& source_;
    QString keyField_;
    QString listField_;
    FieldLink link_;
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
