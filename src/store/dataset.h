#pragma once

#include <QHash>
#include <QSqlQuery>
#include <QString>
#include <QVariant>
#include <functional>
#include <map>
#include <memory>
#include <vector>

#include "store/field.h"

namespace orvet {

class Connection;
class Dataset;

// A change of a dataset, as the controls bound to it see it. Rows are numbered from 0 over
// the stored rows followed by the pending row, if there is one.
struct DatasetChange {
    enum Kind {
        Reset,              // every row may differ: opened, closed, re-queried, display resumed
        RowInserted,        // `row` was added (a new pending row)
        RowRemoved,         // `row` was removed (deleted, or a pending row dropped)
        RowChanged,         // values of `row` changed (assigned, posted, cancelled)
        CurrentRowChanged,  // `row` became current (-1: none)
        StateChanged,       // browse, edit or insert state changed
    };
    Kind kind;
    int row = -1;
};

// The interface through which controls follow a dataset (table models, field-bound widgets).
// datasetAboutToChange comes before a Reset, RowInserted or RowRemoved takes effect;
// datasetChanged after every change. While the dataset's display is suspended nothing is
// sent, and resuming it sends Reset, StateChanged and CurrentRowChanged. Observers must
// not change the dataset from these calls; they are removed before they are destroyed.
class DatasetObserver {
public:
    virtual ~DatasetObserver() = default;
    virtual void datasetAboutToChange(Dataset&, const DatasetChange&) {}
    virtual void datasetChanged(Dataset& dataset, const DatasetChange& change) = 0;
};

// A named set of rows read by one statement on a connection, with a current row through
// which it is edited: the table and query datasets of the store and the dispatch database.
//
// Contract:
// - open() runs the statement and reads its rows; close() drops them with any unposted row;
//   opening an open dataset does nothing. A detail dataset (setMasterLink) reads only the
//   rows whose link field equals the master's current row, and reads again when the master
//   moves to a row with another link value; its unposted row is then posted first, or
//   dropped when the master's row was deleted.
// - Navigation (first, next, prior, last, locate, moveTo) posts the current row first when
//   it is being edited or appended. eof() turns true when next() finds no further row, bof()
//   when prior() finds none; first() sets bof(), last() sets eof().
// - recordCount() counts stored rows only; recordNumber() is the current stored row's
//   1-based number, 0 on a pending row or an empty dataset.
// - append() posts the current row, adds a pending row at the end and makes it current;
//   in a detail it receives the master's link value. edit() puts the current row into
//   editing (on an empty dataset it appends); post() stores the row (a pending row gets its
//   AutoInc key) and does nothing in browse state; cancel() drops the change; remove()
//   deletes the current stored row, or drops the pending one. Datasets whose statement
//   reads one table ("select * from T ...") are written through that table's key; others
//   are read-only.
// - remove() runs the before-delete handler and the row's DELETE as one transaction: when
//   either fails, nothing is deleted.
// - Events run synchronously inside the operation: beforePost, afterPost, beforeDelete,
//   afterDelete, afterOpen and afterScroll. afterScroll follows every change of the current
//   row (navigation, append, delete, a re-query after the master moved, open of a dataset
//   that has rows), not a cancel. A handler's exception stops the operation (before-events
//   leave the dataset as it was) and reaches the caller.
// - Fields are addressed by name without regard to case (fieldByName); see Field for the
//   read and assignment rules. Lookup fields are computed on every read from the stored rows
//   of another dataset.
// - Every failure is a StoreError carrying the program's or the engine's text.
class Dataset {
public:
    enum class State { Inactive, Browse, Edit, Insert };
    using Handler = std::function<void(Dataset&)>;

    virtual ~Dataset();
    Dataset(const Dataset&) = delete;
    Dataset& operator=(const Dataset&) = delete;

    const QString& name() const { return name_; }
    Connection& connection() const { return connection_; }
    // The statement open() runs, before the master link is applied.
    virtual QString statement() const = 0;
    // The table that post and remove write; empty for a read-only dataset.
    const QString& tableName() const { return table_; }

    // Makes this dataset a detail of `master`: it shows the rows whose `detailField` equals
    // the master's current `masterField`, and an appended row receives that value.
    void setMasterLink(Dataset& master, const QString& masterField, const QString& detailField);
    Dataset* master() const { return master_; }

    void open();
    void close();
    bool isOpen() const { return state_ != State::Inactive; }
    State state() const { return state_; }

    void first();
    void last();
    void next();
    void prior();
    bool eof() const { return eof_; }
    bool bof() const { return bof_; }
    // Makes the first stored row whose field equals `value` current; false if there is none.
    bool locate(QStringView fieldName, const QVariant& value);
    // Makes row `row` (0-based, as in DatasetChange) current; for views.
    void moveTo(int row);
    bool isEmpty() const { return rows_.empty() && state_ != State::Insert; }
    int recordCount() const { return int(rows_.size()); }
    int recordNumber() const;
    // 0-based current row as in DatasetChange (-1: none), and the rows a view shows.
    int currentRow() const { return current_; }
    int rowCount() const { return int(rows_.size()) + (state_ == State::Insert ? 1 : 0); }

    void append();
    void edit();
    void post();
    void cancel();
    void remove();

    // Throws StoreError when the dataset is closed or has no such field. The Field stays
    // valid while the dataset stays open.
    Field fieldByName(QStringView name);
    int fieldIndex(QStringView name) const;  // -1 when there is none
    int fieldCount() const { return int(fields_.size() + lookups_.size()); }
    const FieldDef& fieldDef(int index) const;
    bool isLookupField(int index) const { return index >= int(fields_.size()); }
    // A value of row `row` (lookup fields computed), and of the current row.
    QVariant value(int row, int index) const;
    QVariant currentValue(int index) const;
    // Assigns a field of the current row; Field::setValue comes here.
    void assign(int index, const QVariant& value);
    // The `resultField` of the first stored row whose `keyField` equals `key`; empty when
    // there is none or the dataset is closed.
    QVariant lookup(QStringView keyField, const QVariant& key, QStringView resultField) const;

    // Adds the lookup field `fieldName`: the `sourceResult` of the row of `source` whose
    // `sourceKey` equals this row's `keyField` (which may itself be a lookup field).
    void addLookupField(const QString& fieldName, const QString& keyField, Dataset& source,
                        const QString& sourceKey, const QString& sourceResult);

    Handler beforePost;
    Handler afterPost;
    Handler beforeDelete;
    Handler afterDelete;
    Handler afterOpen;
    Handler afterScroll;

    // Display suspension nests; while suspended, observers hear nothing (events still run).
    void suspendDisplay() { ++suspended_; }
    void resumeDisplay();
    bool displaySuspended() const { return suspended_ > 0; }
    void addObserver(DatasetObserver* observer);
    void removeObserver(DatasetObserver* observer);

protected:
    Dataset(Connection& connection, const QString& name);
    void setTableName(const QString& table) { table_ = table; }
    void requireClosed(const QString& action) const;

private:
    using Row = std::vector<QVariant>;
    struct Lookup {
        FieldDef def;
        QString keyField;
        Dataset* source;
        QString sourceKey;
        QString sourceResult;
    };

    void requireOpen() const;
    void requireWritable() const;
    int requireField(QStringView name) const;
    void load();
    void reload();
    void followMaster();
    void notifyDetails();
    void leaveRow();
    void setCurrent(int row);
    void discardChanges();
    void insertRow();
    void updateRow();
    QVariant linkValue() const;
    QSqlQuery& prepared(const QString& sql);
    // The statement that updates `fields` (indexes) of a row by its key; built once per
    // field list while the dataset stays open.
    const QString& updateStatement(const std::vector<int>& fields);
    // "key = ? and each compared field as read", for `row`'s values bound from `position`.
    QString rowCondition() const;
    void bindRowCondition(QSqlQuery& query, int position, const Row& row) const;
    // Whether a row with `row`'s key is stored (a statement that found `row` unchanged
    // changed nothing: someone else changed it, or deleted it).
    bool rowStored(const Row& row);
    // The statement that inserts a row with `fields` (indexes) set, the others taking their
    // defaults; built once per field list while the dataset stays open.
    const QString& insertStatement(const std::vector<int>& fields);
    int dataFieldIndex(QStringView name) const;
    void fire(const Handler& handler);
    void notifyAbout(DatasetChange::Kind kind, int row = -1);
    void notify(DatasetChange::Kind kind, int row = -1);

    Connection& connection_;
    QString name_;
    QString table_;
    State state_ = State::Inactive;

    std::vector<FieldDef> fields_;
    std::vector<size_t> fieldHashes_;
    std::vector<Lookup> lookups_;
    int keyIndex_ = -1;
    // The stored fields besides the key that an update or a delete finds unchanged since they
    // were read, or the row is not written: someone else may have changed it meanwhile.
    std::vector<int> compared_;

    std::vector<Row> rows_;
    Row buffer_;  // the row being edited or appended
    std::vector<bool> changed_;
    int current_ = -1;
    int returnRow_ = -1;  // current row before append, restored by cancel
    bool bof_ = true;
    bool eof_ = true;

    Dataset* master_ = nullptr;
    QString masterField_;
    QString detailField_;
    QVariant link_;
    std::vector<Dataset*> details_;

    QHash<QString, std::shared_ptr<QSqlQuery>> statements_;
    std::map<std::vector<int>, QString> updateStatements_;
    std::map<std::vector<int>, QString> insertStatements_;
    int suspended_ = 0;
    std::vector<DatasetObserver*> observers_;
};

// A dataset over a whole table, optionally ordered.
class TableDataset : public Dataset {
public:
    TableDataset(Connection& connection, const QString& name, const QString& table,
                 const QString& orderBy = {});
    QString statement() const override;

private:
    QString orderBy_;
};

// A dataset over a statement that can be replaced while the dataset is closed.
class QueryDataset : public Dataset {
public:
    QueryDataset(Connection& connection, const QString& name, const QString& sql);
    QString statement() const override { return sql_; }
    // Throws StoreError while the dataset is open.
    void setSql(const QString& sql);

private:
    QString sql_;
};

// Suspends a dataset's display for a scope (resumed also when an exception leaves it).
class DisplaySuspension {
public:
    explicit DisplaySuspension(Dataset& dataset) : dataset_(dataset) { dataset_.suspendDisplay(); }
    ~DisplaySuspension() { dataset_.resumeDisplay(); }
    DisplaySuspension(const DisplaySuspension&) = delete;
    DisplaySuspension& operator=(const DisplaySuspension&) = delete;

private:
    Dataset& dataset_;
};

}  // namespace orvet
