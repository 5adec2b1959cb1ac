#pragma once

#include <QByteArray>
#include <QString>

namespace orvet {

class Connection;
struct ChannelKind;

// Channels of one kind as CSV, the way spreadsheets in the field read and write it: UTF-8,
// fields separated by ';', RFC 4180 quoting (a field with ';', '"' or a line break between
// double quotes, quotes doubled), CRLF line ends. The first line names the columns: every
// column of the kind's table but its key and id_uspd, under the table's own names. Numbers
// with a fraction are written with a decimal comma and every digit they need, as Russian
// spreadsheets show them (a decimal point is read too). An empty field is an empty value; an
// empty text is written "".

// The channels of `kind` of USPD `idUspd`, in ascending key. Throws StoreError.
QByteArray exportChannelsCsv(Connection& store, const ChannelKind& kind, int idUspd);

// Adds the channels of `csv` to USPD `idUspd` (with `replace`, in place of the USPD's channels
// of the kind), in file order, in one transaction. The header may name any of the exported
// columns in any order; the others stay empty. The whole file is refused, and nothing changes,
// with a StoreError naming the line and the column ("Строка 3, столбец «max_code»: ...")
// when a column is unknown, a value is one the column cannot hold, a row has more or fewer
// fields than the header, or id_device names no module of the USPD (0 or empty: no module).
// Returns the number of channels added.
int importChannelsCsv(Connection& store, const ChannelKind& kind, int idUspd, const QByteArray& csv,
                      bool replace);

}  // namespace orvet
