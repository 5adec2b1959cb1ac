#pragma once

#include <QString>
#include <QStringList>
#include <vector>

#include "store/field.h"

namespace orvet {

// One table of a schema with its field definitions in column order.
struct TableDef {
    QString name;
    std::vector<FieldDef> fields;

    // The field named `name` without regard to case, or nullptr.
    const FieldDef* field(QStringView name) const;
    // The key field (AutoInc or primary key), or nullptr.
    const FieldDef* key() const;
};

// Field definitions of a database's tables, read from the CREATE TABLE statements of a
// schema script (the layout that src/store/schema.sql describes in its head comment).
class Schema {
public:
    // Throws StoreError naming the line it cannot read.
    static Schema parse(const QString& script);
    // The configuration store's schema, built into the program.
    static const Schema& store();

    const std::vector<TableDef>& tables() const { return tables_; }
    // The table named `name` without regard to case, or nullptr.
    const TableDef* table(QStringView name) const;

private:
    std::vector<TableDef> tables_;
};

// The built-in scripts of a new configuration store: its tables and its reference rows.
QString storeSchemaScript();
QString storeReferenceScript();

// The statements of an SQL script, without comments and the separating semicolons.
QStringList splitStatements(const QString& script);

}  // namespace orvet
