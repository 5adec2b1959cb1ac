#include "store/channel_kinds.h"

#include "store/store_error.h"

namespace orvet {

QString channelNumber(const ChannelKind& kind, int position) {
    return QLatin1String(kind.letter) + QString::number(position + 1);
}

void compressChannels(TDataModule1& data, const ChannelKind& kind,
                      const std::function<void(Dataset&)>& eachRow) {
    QueryDataset& channels = data.*kind.dataset;
    const QString position = QString::fromLatin1(kind.position);
    {
        DisplaySuspension suspended(channels);
        try {
            Connection::Transaction writes(data.ADOConnection1);
            // The rows are read under the lock, so that no one renumbers them meanwhile.
            data.lockForRenumbering();
            channels.close();
            channels.open();
            for (channels.first(); !channels.eof(); channels.next()) {
                const int number = channels.recordNumber();
                const QString typeNum = channelNumber(kind, number - 1);
                // A row that already holds its numbers is left as it is.
                if (channels.fieldByName(position).value() != QVariant(qint64{number - 1}) ||
                    channels.fieldByName(u"type_num").value() != QVariant(typeNum)) {
                    channels.edit();
                    channels.fieldByName(position).setAsInteger(number - 1);
                    channels.fieldByName(u"type_num").setAsString(typeNum);
                    channels.post();
                }
                if (eachRow)
                    eachRow(channels);
            }
            writes.commit();
        } catch (...) {
            // The rows in memory may hold numbers the store no longer has.
            channels.close();
            channels.open();
            throw;
        }
    }
    channels.first();
}

}  // namespace orvet
