#pragma once

#include <QByteArray>
#include <QString>
#include <QStringList>

namespace orvet {

class TDataModule1;

// The USPD an imported image became.
struct ImportedImage {
    int uspd = 0;          // its id_uspd
    QStringList warnings;  // bytes of the file that no compilation writes (decodeImage)
};

// The name of a USPD imported from the file at `path`: the file's name, cut to the 50
// characters a USPD name holds.
QString importedUspdName(const QString& path);

// "Открыть файл конфигурации…": reads a configuration image back into a new USPD named
// `name` (cut to 50 characters), the reverse of the compiler, so that compiling the new
// USPD gives the same bytes wherever the store can say what the image says. The USPD and
// its rows are made as the editors make them: interfaces, modules and channels start from
// the values of new ones, then take every value their record holds; a module gets its full
// name and type from the editors' identity update (its channel counts and retransmission
// stay the record's); a channel goes on the module its record names by position, with that
// module's identity as choosing the module copies it, and keeps the editors' name and unit. A
// module's interface positions become the keys of the new interfaces; a second interface only when
// the module retransmits, otherwise the position stays as it was so that it compiles the same.
// Speeds go back to their codes (a speed without one to code 0); the main archive's base and the
// header's counts are left to the compiler, which derives them.
//
// Data that is not a whole image is refused with the decoder's message before anything is
// stored. One transaction: when the store refuses a value (one the image holds but the
// store cannot, such as a jingle time above 10000), nothing stays, tblUSPD goes back to the
// USPD that was current and the lists are read again. On success tblUSPD is on the new USPD
// with every dataset of the store open. Throws StoreError.
ImportedImage importImage(TDataModule1& data, const QByteArray& bytes, const QString& name);

}  // namespace orvet
