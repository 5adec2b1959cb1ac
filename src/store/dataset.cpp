#include "store/dataset.h"

#include <QSqlDriver>
#include <QSqlField>
#include <QSqlIndex>
#include <QSqlRecord>
#include <algorithm>

#include "store/connection.h"
#include "store/schema.h"
#include "store/sql_text.h"
#include "store/store_error.h"

namespace orvet {
namespace {

const QString kChangedByOthers =
    QStringLiteral("Запись изменена другим пользователем. Перечитайте список.");

size_t foldedHash(QStringView name) {
    size_t hash = 1469598103934665603ull;
    for (QChar c : name) {
        // Field names are nearly always ASCII, whose folding needs no table.
        const char16_t u = c.unicode();
        const char16_t folded =
            u < 0x80 ? (u >= u'A' && u <= u'Z' ? char16_t(u + 32) : u) : c.toCaseFolded().unicode();
        hash = (hash ^ folded) * 1099511628211ull;
    }
    return hash;
}

// Equal keys: numbers by value whatever their type, anything else as QVariant compares.
bool sameValue(const QVariant& a, const QVariant& b) {
    if (a.isNull() || b.isNull())
        return false;
    const auto numeric = [](const QVariant& v) {
        const int type = v.typeId();
        return type == QMetaType::Int || type == QMetaType::LongLong || type == QMetaType::UInt ||
               type == QMetaType::ULongLong || type == QMetaType::Double ||
               type == QMetaType::Short || type == QMetaType::UShort || type == QMetaType::Bool;
    };
    if (numeric(a) && numeric(b)) {
        if (a.typeId() == QMetaType::Double || b.typeId() == QMetaType::Double) {
            return a.toDouble() == b.toDouble();
        }
        return a.toLongLong() == b.toLongLong();
    }
    if (numeric(a) != numeric(b)) {
        bool ok = false;
        const QVariant& text = numeric(a) ? b : a;
        const QVariant& number = numeric(a) ? a : b;
        const double parsed = text.toString().trimmed().toDouble(&ok);
        return ok && parsed == number.toDouble();
    }
    return a == b;
}

}  // namespace

Dataset::Dataset(Connection& connection, const QString& name)
    : connection_(connection), name_(name) {
    connection_.attach(this);
}

Dataset::~Dataset() {
    for (Dataset* detail : details_)
        detail->master_ = nullptr;
    if (master_)
        std::erase(master_->details_, this);
    connection_.detach(this);
}

void Dataset::setMasterLink(Dataset& master, const QString& masterField,
                            const QString& detailField) {
    if (master_)
        std::erase(master_->details_, this);
    master_ = &master;
    masterField_ = masterField;
    detailField_ = detailField;
    master.details_.push_back(this);
}

void Dataset::requireOpen() const {
    if (!isOpen()) {
        throw StoreError(
            QStringLiteral("Набор данных «%1» закрыт: операция невозможна").arg(name_));
    }
}

void Dataset::requireClosed(const QString& action) const {
    if (isOpen()) {
        throw StoreError(
            QStringLiteral("Набор данных «%1» открыт: %2 невозможно").arg(name_, action));
    }
}

void Dataset::requireWritable() const {
    if (table_.isEmpty()) {
        throw StoreError(
            QStringLiteral("Набор данных «%1» только для чтения: записи в нем не изменяются")
                .arg(name_));
    }
}

QVariant Dataset::linkValue() const {
    if (!master_ || !master_->isOpen() || master_->current_ < 0)
        return QVariant();
    const int index = master_->dataFieldIndex(masterField_);
    return index < 0 ? QVariant() : master_->currentValue(index);
}

void Dataset::load() {
    connection_.open();
    QString sql = statement();
    QVariant link;
    if (master_) {
        link = linkValue();
        const QString field = connection_.identifier(detailField_, QSqlDriver::FieldName);
        sql = withCondition(sql, field + QStringLiteral(" = ?"));
    }
    QSqlQuery query(connection_.database());
    query.setForwardOnly(true);
    if (!query.prepare(sql))
        throw engineError(query.lastError());
    if (master_)
        query.addBindValue(link);
    if (!query.exec())
        throw engineError(query.lastError());

    const QSqlRecord record = query.record();
    const Schema* schema = connection_.schema();
    const TableDef* declared = schema && !table_.isEmpty() ? schema->table(table_) : nullptr;
    std::vector<FieldDef> fields;
    std::vector<size_t> hashes;
    std::vector<int> compared;
    int key = -1;
    for (int i = 0; i < record.count(); ++i) {
        const QSqlField column = record.field(i);
        const FieldDef* def = declared ? declared->field(column.name()) : nullptr;
        fields.push_back(def ? *def : FieldDef::of(column.name(), FieldType::Other));
        hashes.push_back(foldedHash(column.name()));
        if (def && def->isKey)
            key = i;
        else if (def)
            compared.push_back(i);
    }
    if (key < 0 && !declared && !table_.isEmpty()) {
        const QSqlIndex primary = connection_.database().primaryIndex(table_);
        if (primary.count() == 1)
            key = record.indexOf(primary.fieldName(0));
        if (key >= 0)
            fields[key].isKey = true;
    }

    std::vector<Row> rows;
    const int count = record.count();
    while (query.next()) {
        Row row(count);
        for (int i = 0; i < count; ++i) {
            QVariant value = query.value(i);
            if (!value.isNull())
                row[i] = std::move(value);
        }
        rows.push_back(std::move(row));
    }
    if (query.lastError().isValid())
        throw engineError(query.lastError());

    statements_.clear();
    updateStatements_.clear();
    insertStatements_.clear();
    fields_ = std::move(fields);
    fieldHashes_ = std::move(hashes);
    keyIndex_ = key;
    compared_ = std::move(compared);
    rows_ = std::move(rows);
    link_ = link;
    buffer_.clear();
    changed_.clear();
    current_ = rows_.empty() ? -1 : 0;
    bof_ = true;
    eof_ = rows_.empty();
}

void Dataset::open() {
    if (isOpen())
        return;
    notifyAbout(DatasetChange::Reset);
    try {
        load();
    } catch (...) {
        notify(DatasetChange::Reset);  // observers that began a reset end it
        throw;
    }
    state_ = State::Browse;
    notify(DatasetChange::Reset);
    notify(DatasetChange::StateChanged);
    notify(DatasetChange::CurrentRowChanged, current_);
    fire(afterOpen);
    if (!rows_.empty())
        fire(afterScroll);
    notifyDetails();
}

void Dataset::reload() {
    notifyAbout(DatasetChange::Reset);
    state_ = State::Browse;
    try {
        load();
    } catch (...) {
        rows_.clear();
        buffer_.clear();
        current_ = -1;
        bof_ = eof_ = true;
        notify(DatasetChange::Reset);
        notifyDetails();
        throw;
    }
    notify(DatasetChange::Reset);
    notify(DatasetChange::StateChanged);
    notify(DatasetChange::CurrentRowChanged, current_);
    if (!rows_.empty())
        fire(afterScroll);
    notifyDetails();
}

void Dataset::close() {
    if (!isOpen())
        return;
    notifyAbout(DatasetChange::Reset);
    state_ = State::Inactive;
    rows_.clear();
    buffer_.clear();
    changed_.clear();
    statements_.clear();
    current_ = -1;
    bof_ = eof_ = true;
    link_ = QVariant();
    notify(DatasetChange::Reset);
    notify(DatasetChange::StateChanged);
    notifyDetails();
}

void Dataset::followMaster() {
    if (!isOpen())
        return;
    const QVariant link = linkValue();
    if (link.isNull() && link_.isNull())
        return;
    if (!link.isNull() && !link_.isNull() && sameValue(link, link_))
        return;
    reload();
}

void Dataset::notifyDetails() {
    for (Dataset* detail : details_)
        detail->followMaster();
}

void Dataset::leaveRow() {
    if (state_ == State::Edit || state_ == State::Insert)
        post();
    for (Dataset* detail : details_)
        detail->leaveRow();
}

void Dataset::setCurrent(int row) {
    current_ = row;
    notify(DatasetChange::CurrentRowChanged, current_);
    fire(afterScroll);
    notifyDetails();
}

void Dataset::first() {
    requireOpen();
    leaveRow();
    if (rows_.empty())
        return;
    bof_ = true;
    eof_ = false;
    setCurrent(0);
}

void Dataset::last() {
    requireOpen();
    leaveRow();
    if (rows_.empty())
        return;
    bof_ = false;
    eof_ = true;
    setCurrent(int(rows_.size()) - 1);
}

void Dataset::next() {
    requireOpen();
    leaveRow();
    if (current_ + 1 >= int(rows_.size())) {
        eof_ = true;
        return;
    }
    bof_ = eof_ = false;
    setCurrent(current_ + 1);
}

void Dataset::prior() {
    requireOpen();
    leaveRow();
    if (current_ <= 0) {
        bof_ = true;
        return;
    }
    bof_ = eof_ = false;
    setCurrent(current_ - 1);
}

bool Dataset::locate(QStringView fieldName, const QVariant& value) {
    const int index = requireField(fieldName);
    leaveRow();
    for (int row = 0; row < int(rows_.size()); ++row) {
        if (sameValue(this->value(row, index), value)) {
            bof_ = eof_ = false;
            setCurrent(row);
            return true;
        }
    }
    return false;
}

void Dataset::moveTo(int row) {
    requireOpen();
    if (row == current_)
        return;
    leaveRow();
    if (row < 0 || row >= int(rows_.size()) || row == current_)
        return;
    bof_ = eof_ = false;
    setCurrent(row);
}

int Dataset::recordNumber() const {
    if (state_ == State::Insert || current_ < 0)
        return 0;
    return current_ + 1;
}

void Dataset::append() {
    requireOpen();
    requireWritable();
    leaveRow();
    QVariant link;
    int linkIndex = -1;
    if (master_) {
        link = linkValue();
        linkIndex = dataFieldIndex(detailField_);
        if (link.isNull() || linkIndex < 0) {
            throw StoreError(QStringLiteral("В «%1» нельзя добавить запись: в «%2» нет текущей "
                                            "сохраненной записи")
                                 .arg(name_, master_->name_));
        }
    }
    const int row = int(rows_.size());
    notifyAbout(DatasetChange::RowInserted, row);
    returnRow_ = current_;
    buffer_.assign(fields_.size(), QVariant());
    changed_.assign(fields_.size(), false);
    if (linkIndex >= 0) {
        buffer_[linkIndex] = link;
        changed_[linkIndex] = true;
    }
    state_ = State::Insert;
    current_ = row;
    bof_ = eof_ = false;
    notify(DatasetChange::RowInserted, row);
    notify(DatasetChange::StateChanged);
    notify(DatasetChange::CurrentRowChanged, current_);
    fire(afterScroll);
    notifyDetails();
}

void Dataset::edit() {
    requireOpen();
    if (state_ == State::Edit || state_ == State::Insert)
        return;
    if (rows_.empty()) {
        append();
        return;
    }
    requireWritable();
    buffer_ = rows_[current_];
    changed_.assign(fields_.size(), false);
    state_ = State::Edit;
    notify(DatasetChange::StateChanged);
}

void Dataset::assign(int index, const QVariant& value) {
    requireOpen();
    const FieldDef& def = fieldDef(index);
    if (isLookupField(index)) {
        throw StoreError(
            QStringLiteral("Поле «%1» вычисляется и не может быть изменено").arg(def.name));
    }
    if (state_ != State::Edit && state_ != State::Insert) {
        throw StoreError(QStringLiteral("Набор данных «%1» не в режиме редактирования").arg(name_));
    }
    if (def.type == FieldType::AutoInc) {
        throw StoreError(QStringLiteral("Поле «%1» заполняется автоматически и не может быть "
                                        "изменено")
                             .arg(def.name));
    }
    buffer_[index] = def.accept(value);
    changed_[index] = true;
    notify(DatasetChange::RowChanged, current_);
}

QSqlQuery& Dataset::prepared(const QString& sql) {
    auto found = statements_.find(sql);
    if (found == statements_.end()) {
        auto query = std::make_shared<QSqlQuery>(connection_.database());
        if (!query->prepare(sql))
            throw engineError(query->lastError());
        if (statements_.size() >= 16)
            statements_.clear();
        found = statements_.insert(sql, query);
    }
    return **found;
}

void Dataset::insertRow() {
    std::vector<int> bound;
    for (int i = 0; i < int(fields_.size()); ++i) {
        if (!buffer_[i].isNull())
            bound.push_back(i);
    }
    QSqlQuery& query = prepared(insertStatement(bound));
    for (int i = 0; i < int(bound.size()); ++i)
        query.bindValue(i, buffer_[bound[i]]);
    if (!query.exec())
        throw engineError(query.lastError());
    if (keyIndex_ >= 0 && buffer_[keyIndex_].isNull()) {
        const QVariant id = query.lastInsertId();
        if (id.isValid())
            buffer_[keyIndex_] = QVariant::fromValue(id.toLongLong());
    }
    query.finish();
    rows_.push_back(std::move(buffer_));
}

void Dataset::updateRow() {
    Row& row = rows_[current_];
    std::vector<int> bound;
    for (int i = 0; i < int(fields_.size()); ++i) {
        if (changed_[i])
            bound.push_back(i);
    }
    if (!bound.empty()) {
        if (keyIndex_ < 0 || row[keyIndex_].isNull()) {
            throw StoreError(QStringLiteral("Запись набора данных «%1» не может быть изменена: у "
                                            "нее нет ключа")
                                 .arg(name_));
        }
        QSqlQuery& query = prepared(updateStatement(bound));
        int position = 0;
        for (int i : bound)
            query.bindValue(position++, buffer_[i]);
        bindRowCondition(query, position, row);
        if (!query.exec())
            throw engineError(query.lastError());
        const bool written = query.numRowsAffected() > 0;
        query.finish();
        if (!written && rowStored(row))
            throw StoreError(kChangedByOthers);
        if (!written) {
            throw StoreError(
                QStringLiteral("Запись таблицы %1 не найдена: возможно, она удалена").arg(table_));
        }
    }
    row = std::move(buffer_);
}

const QString& Dataset::insertStatement(const std::vector<int>& fields) {
    auto found = insertStatements_.find(fields);
    if (found != insertStatements_.end())
        return found->second;
    QString columns;
    QString marks;
    for (int i : fields) {
        if (!columns.isEmpty()) {
            columns += u',';
            marks += u',';
        }
        columns += connection_.identifier(fields_[i].name, QSqlDriver::FieldName);
        marks += u'?';
    }
    const QString table = connection_.identifier(table_, QSqlDriver::TableName);
    const QString sql =
        fields.empty()
            ? QStringLiteral("INSERT INTO %1 DEFAULT VALUES").arg(table)
            : QStringLiteral("INSERT INTO %1 (%2) VALUES (%3)").arg(table, columns, marks);
    return insertStatements_.emplace(fields, sql).first->second;
}

const QString& Dataset::updateStatement(const std::vector<int>& fields) {
    auto found = updateStatements_.find(fields);
    if (found != updateStatements_.end())
        return found->second;
    QString assignments;
    for (int i : fields) {
        if (!assignments.isEmpty())
            assignments += u',';
        assignments +=
            connection_.identifier(fields_[i].name, QSqlDriver::FieldName) + QStringLiteral(" = ?");
    }
    const QString sql = QStringLiteral("UPDATE %1 SET %2 WHERE %3")
                            .arg(connection_.identifier(table_, QSqlDriver::TableName), assignments,
                                 rowCondition());
    return updateStatements_.emplace(fields, sql).first->second;
}

QString Dataset::rowCondition() const {
    QString condition = connection_.identifier(fields_[keyIndex_].name, QSqlDriver::FieldName) +
                        QStringLiteral(" = ?");
    for (int i : compared_)
        condition += QStringLiteral(" AND ") + connection_.sameValueCondition(fields_[i].name);
    return condition;
}

void Dataset::bindRowCondition(QSqlQuery& query, int position, const Row& row) const {
    query.bindValue(position++, row[keyIndex_]);
    for (int i : compared_)
        query.bindValue(position++, row[i]);
}

bool Dataset::rowStored(const Row& row) {
    QSqlQuery& query =
        prepared(QStringLiteral("SELECT 1 FROM %1 WHERE %2 = ?")
                     .arg(connection_.identifier(table_, QSqlDriver::TableName),
                          connection_.identifier(fields_[keyIndex_].name, QSqlDriver::FieldName)));
    query.bindValue(0, row[keyIndex_]);
    if (!query.exec())
        throw engineError(query.lastError());
    const bool stored = query.next();
    query.finish();
    return stored;
}

void Dataset::post() {
    requireOpen();
    if (state_ != State::Edit && state_ != State::Insert)
        return;
    requireWritable();
    fire(beforePost);
    if (state_ == State::Insert) {
        insertRow();
    } else {
        updateRow();
    }
    buffer_.clear();
    changed_.clear();
    state_ = State::Browse;
    notify(DatasetChange::RowChanged, current_);
    notify(DatasetChange::StateChanged);
    fire(afterPost);
    notifyDetails();
}

void Dataset::discardChanges() {
    if (state_ == State::Edit) {
        buffer_.clear();
        changed_.clear();
        state_ = State::Browse;
        notify(DatasetChange::RowChanged, current_);
        notify(DatasetChange::StateChanged);
    } else if (state_ == State::Insert) {
        const int row = current_;
        notifyAbout(DatasetChange::RowRemoved, row);
        buffer_.clear();
        changed_.clear();
        state_ = State::Browse;
        current_ = std::min(returnRow_, int(rows_.size()) - 1);
        notify(DatasetChange::RowRemoved, row);
        notify(DatasetChange::StateChanged);
        notify(DatasetChange::CurrentRowChanged, current_);
        notifyDetails();
    }
}

void Dataset::cancel() {
    requireOpen();
    discardChanges();
}

void Dataset::remove() {
    requireOpen();
    if (state_ == State::Insert) {
        discardChanges();
        return;
    }
    if (rows_.empty()) {
        throw StoreError(QStringLiteral("Набор данных «%1» пуст: удалять нечего").arg(name_));
    }
    requireWritable();
    const Row& row = rows_[current_];
    if (keyIndex_ < 0 || row[keyIndex_].isNull()) {
        throw StoreError(
            QStringLiteral("Запись набора данных «%1» не может быть удалена: у нее нет ключа")
                .arg(name_));
    }
    {
        Connection::Transaction transaction(connection_);
        fire(beforeDelete);
        QSqlQuery& query = prepared(
            QStringLiteral("DELETE FROM %1 WHERE %2")
                .arg(connection_.identifier(table_, QSqlDriver::TableName), rowCondition()));
        bindRowCondition(query, 0, row);
        if (!query.exec())
            throw engineError(query.lastError());
        const bool deleted = query.numRowsAffected() > 0;
        query.finish();
        // A row someone else deleted is gone as the user wants; one they changed is not
        // deleted unseen.
        if (!deleted && rowStored(row))
            throw StoreError(kChangedByOthers);
        transaction.commit();
    }
    const int removed = current_;
    notifyAbout(DatasetChange::RowRemoved, removed);
    buffer_.clear();
    changed_.clear();
    const bool wasEditing = state_ == State::Edit;
    state_ = State::Browse;
    rows_.erase(rows_.begin() + removed);
    current_ = std::min(removed, int(rows_.size()) - 1);
    eof_ = rows_.empty();
    bof_ = rows_.empty();
    notify(DatasetChange::RowRemoved, removed);
    if (wasEditing)
        notify(DatasetChange::StateChanged);
    notify(DatasetChange::CurrentRowChanged, current_);
    fire(afterDelete);
    if (!rows_.empty())
        fire(afterScroll);
    notifyDetails();
}

int Dataset::dataFieldIndex(QStringView name) const {
    const size_t hash = foldedHash(name);
    for (int i = 0; i < int(fields_.size()); ++i) {
        if (fieldHashes_[i] == hash &&
            (fields_[i].name == name || fields_[i].name.compare(name, Qt::CaseInsensitive) == 0)) {
            return i;
        }
    }
    return -1;
}

int Dataset::fieldIndex(QStringView name) const {
    const int index = dataFieldIndex(name);
    if (index >= 0)
        return index;
    for (int i = 0; i < int(lookups_.size()); ++i) {
        if (lookups_[i].def.name.compare(name, Qt::CaseInsensitive) == 0) {
            return int(fields_.size()) + i;
        }
    }
    return -1;
}

int Dataset::requireField(QStringView name) const {
    requireOpen();
    const int index = fieldIndex(name);
    if (index < 0) {
        throw StoreError(
            QStringLiteral("В наборе данных «%1» нет поля «%2»").arg(name_, name.toString()));
    }
    return index;
}

Field Dataset::fieldByName(QStringView name) {
    return Field(*this, requireField(name));
}

const FieldDef& Dataset::fieldDef(int index) const {
    return isLookupField(index) ? lookups_[index - fields_.size()].def : fields_[index];
}

QVariant Dataset::value(int row, int index) const {
    if (isLookupField(index)) {
        const Lookup& lookup = lookups_[index - fields_.size()];
        const int keyIndex = fieldIndex(lookup.keyField);
        if (keyIndex < 0 || keyIndex == index)
            return QVariant();
        return lookup.source->lookup(lookup.sourceKey, value(row, keyIndex), lookup.sourceResult);
    }
    if (row == current_ && (state_ == State::Edit || state_ == State::Insert)) {
        return buffer_[index];
    }
    if (row < 0 || row >= int(rows_.size()))
        return QVariant();
    return rows_[row][index];
}

QVariant Dataset::currentValue(int index) const {
    requireOpen();
    return value(current_, index);
}

QVariant Dataset::lookup(QStringView keyField, const QVariant& key, QStringView resultField) const {
    if (!isOpen() || key.isNull())
        return QVariant();
    const int keyIndex = fieldIndex(keyField);
    const int resultIndex = fieldIndex(resultField);
    if (keyIndex < 0 || resultIndex < 0)
        return QVariant();
    for (int row = 0; row < int(rows_.size()); ++row) {
        if (sameValue(value(row, keyIndex), key))
            return value(row, resultIndex);
    }
    return QVariant();
}

void Dataset::addLookupField(const QString& fieldName, const QString& keyField, Dataset& source,
                             const QString& sourceKey, const QString& sourceResult) {
    lookups_.push_back(Lookup{FieldDef::of(fieldName, FieldType::Other), keyField, &source,
                              sourceKey, sourceResult});
}

void Dataset::fire(const Handler& handler) {
    if (handler)
        handler(*this);
}

void Dataset::resumeDisplay() {
    if (suspended_ == 0 || --suspended_ > 0)
        return;
    notifyAbout(DatasetChange::Reset);
    notify(DatasetChange::Reset);
    notify(DatasetChange::StateChanged);
    notify(DatasetChange::CurrentRowChanged, current_);
}

void Dataset::addObserver(DatasetObserver* observer) {
    observers_.push_back(observer);
}

void Dataset::removeObserver(DatasetObserver* observer) {
    std::erase(observers_, observer);
}

void Dataset::notifyAbout(DatasetChange::Kind kind, int row) {
    if (suspended_ > 0)
        return;
    const DatasetChange change{kind, row};
    for (DatasetObserver* observer : std::vector(observers_)) {
        observer->datasetAboutToChange(*this, change);
    }
}

void Dataset::notify(DatasetChange::Kind kind, int row) {
    if (suspended_ > 0)
        return;
    const DatasetChange change{kind, row};
    for (DatasetObserver* observer : std::vector(observers_))
        observer->datasetChanged(*this, change);
}

TableDataset::TableDataset(Connection& connection, const QString& name, const QString& table,
                           const QString& orderBy)
    : Dataset(connection, name), orderBy_(orderBy) {
    setTableName(table);
}

QString TableDataset::statement() const {
    QString sql = QStringLiteral("SELECT * FROM ") + tableName();
    if (!orderBy_.isEmpty())
        sql += QStringLiteral(" ORDER BY ") + orderBy_;
    return sql;
}

QueryDataset::QueryDataset(Connection& connection, const QString& name, const QString& sql)
    : Dataset(connection, name), sql_(sql) {
    setTableName(singleTableOf(sql));
}

void QueryDataset::setSql(const QString& sql) {
    requireClosed(QStringLiteral("заменить текст запроса"));
    sql_ = sql;
    setTableName(singleTableOf(sql));
}

}  // namespace orvet
