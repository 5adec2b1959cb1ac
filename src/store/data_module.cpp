#include "store/data_module.h"

#include <QCoreApplication>
#include <utility>

#include "store/schema.h"
#include "store/store_error.h"
#include "store/store_location.h"
#include "store/store_server.h"

namespace orvet {
namespace {

const QString kModuleColumns = QStringLiteral(
    "select SpecDevice.id_device, SpecDevice.fullname, TypeDevice.t_device, TypeDevice.key, "
    "SpecDevice.n_on_iface, SpecDevice.id_iface from SpecDevice, TypeDevice");

// The analog list's statement has no blank after its first comma.
QString moduleColumns(const QString& countColumn) {
    QString columns = kModuleColumns;
    if (countColumn == QLatin1String("col_achannel")) {
        columns.replace(QStringLiteral("id_device, "), QStringLiteral("id_device,"));
    }
    return columns;
}

QString storedModuleList(const QString& countColumn) {
    return moduleColumns(countColumn) +
           QStringLiteral(
               ", USPD where TypeDevice.%1>0 and TypeDevice.key=SpecDevice.t_device "
               "and SpecDevice.id_uspd=USPD.id_uspd")
               .arg(countColumn);
}

const QString kTemplates = QStringLiteral("select id_tdevice, n_chan, name from NChannels");
const QString kDescribedTemplates =
    QStringLiteral("select id_tdevice, n_chan, name, description from NChannels");
const QString kWhereType = QStringLiteral(" where id_tdevice=");

// Tables of a USPD's rows, emptied with it. The last four complete the set; the export
// preview holds the plan of one export only, under the dispatch database's USPD key, so it
// is emptied whole.
const char* const kUspdCascade[] = {
    "DELETE FROM Headline WHERE id_uspd=",       "DELETE FROM SpecAChannel WHERE id_uspd=",
    "DELETE FROM SpecDChannel WHERE id_uspd=",   "DELETE FROM SpecDOChannel WHERE id_uspd=",
    "DELETE FROM SpecDevice WHERE id_uspd=",     "DELETE FROM SpecInterFace WHERE id_uspd=",
    "DELETE FROM ShortArchive WHERE id_uspd=",   "DELETE FROM MainArchive WHERE id_uspd=",
    "DELETE FROM SpecKBHA WHERE id_uspd=",       "DELETE FROM SpecNIChannel WHERE id_uspd=",
    "DELETE FROM SpecEmDChannel WHERE id_uspd=", "DELETE FROM SpecEmDOChannel WHERE id_uspd=",
    "DELETE FROM CallbackPhone WHERE id_uspd=",
};

const char* const kModuleCascade[] = {
    "DELETE FROM SpecAChannel WHERE id_device=",  "DELETE FROM SpecDChannel WHERE id_device=",
    "DELETE FROM SpecDOChannel WHERE id_device=", "DELETE FROM SpecKBHA WHERE id_device=",
    "DELETE FROM SpecNIChannel WHERE id_device=",
};

}  // namespace

TDataModule1::TDataModule1(Platform& platform, const QString& location)
    : ADOConnection1(QStringLiteral("ADOConnection1"), QStringLiteral("QSQLITE")),
      tblPort(ADOConnection1, QStringLiteral("tblPort"), QStringLiteral("Port")),
      tblTypeIface(ADOConnection1, QStringLiteral("tblTypeIface"), QStringLiteral("TypeIface")),
      tblBaud(ADOConnection1, QStringLiteral("tblBaud"), QStringLiteral("Baud")),
      tblTypeTransf(ADOConnection1, QStringLiteral("tblTypeTransf"), QStringLiteral("TypeTransf")),
      tblSign(ADOConnection1, QStringLiteral("tblSign"), QStringLiteral("Sign")),
      tblTypeDevice(ADOConnection1, QStringLiteral("tblTypeDevice"),
                    QStringLiteral("SELECT * FROM TypeDevice ORDER BY t_device")),
      tblUnitMeasure(ADOConnection1, QStringLiteral("tblUnitMeasure"),
                     QStringLiteral("Unit_Measure")),
      tblNChannel(ADOConnection1, QStringLiteral("tblNChannel"), QStringLiteral("NChannels"),
                  QStringLiteral("id_tdevice")),
      tblTAction(ADOConnection1, QStringLiteral("tblTAction"), QStringLiteral("TAction")),
      tblChPreview(ADOConnection1, QStringLiteral("tblChPreview"), QStringLiteral("ChPreview")),
      tblUSPD(ADOConnection1, QStringLiteral("tblUSPD"), QStringLiteral("USPD")),
      tblHeadline(ADOConnection1, QStringLiteral("tblHeadline"), QStringLiteral("Headline")),
      tblShortArchive(ADOConnection1, QStringLiteral("tblShortArchive"),
                      QStringLiteral("ShortArchive")),
      tblMainArchive(ADOConnection1, QStringLiteral("tblMainArchive"),
                     QStringLiteral("MainArchive")),
      tblSpecInterFace(ADOConnection1, QStringLiteral("tblSpecInterFace"),
                       QStringLiteral("select * from SpecInterFace order by port")),
      tblSpecDevice(ADOConnection1, QStringLiteral("tblSpecDevice"),
                    QStringLiteral("select * from SpecDevice order by id_device")),
      tblSpecAChannel(ADOConnection1, QStringLiteral("tblSpecAChannel"),
                      QStringLiteral("select * from SpecAChannel order by id_achannel")),
      tblSpecDChannel(ADOConnection1, QStringLiteral("tblSpecDChannel"),
                      QStringLiteral("select * from SpecDChannel order by id_dchannel")),
      tblSpecDOChannel(ADOConnection1, QStringLiteral("tblSpecDOChannel"),
                       QStringLiteral("select * from SpecDOChannel order by id_dochannel")),
      tblSpecKBHA(ADOConnection1, QStringLiteral("tblSpecKBHA"),
                  QStringLiteral("select * from SpecKBHA order by id_kvna")),
      tblSpecNIChannel(ADOConnection1, QStringLiteral("tblSpecNIChannel"),
                       QStringLiteral("select * from SpecNIChannel order by id_nichannel")),
      tblSpecEmDChannel(ADOConnection1, QStringLiteral("tblSpecEmDChannel"),
                        QStringLiteral("select * from SpecEmDChannel order by id_dchannel")),
      tblSpecEmDOChannel(ADOConnection1, QStringLiteral("tblSpecEmDOChannel"),
                         QStringLiteral("select * from SpecEmDOChannel order by id_dochannel")),
      tblCallbackPhone(ADOConnection1, QStringLiteral("tblCallbackPhone"),
                       QStringLiteral("select * from CallbackPhone")),
      qryWConfig(ADOConnection1, QStringLiteral("qryWConfig"),
                 QStringLiteral("select * from SpecDevice")),
      DADevice(ADOConnection1, QStringLiteral("DADevice"),
               storedModuleList(QStringLiteral("col_achannel"))),
      DDDevice(ADOConnection1, QStringLiteral("DDDevice"),
               storedModuleList(QStringLiteral("col_dchannel"))),
      DDODevice(ADOConnection1, QStringLiteral("DDODevice"),
                storedModuleList(QStringLiteral("col_dochannel"))),
      DKBHADevice(ADOConnection1, QStringLiteral("DKBHADevice"),
                  storedModuleList(QStringLiteral("col_kvna"))),
      DNIDevice(ADOConnection1, QStringLiteral("DNIDevice"),
                storedModuleList(QStringLiteral("col_nichannel"))),
      DNAChannel(ADOConnection1, QStringLiteral("DNAChannel"),
                 kDescribedTemplates + QStringLiteral(" where t_channel=1")),
      DNDChannel(ADOConnection1, QStringLiteral("DNDChannel"),
                 kTemplates + QStringLiteral(" where t_channel=2")),
      DNDOChannel(ADOConnection1, QStringLiteral("DNDOChannel"),
                  kTemplates + QStringLiteral(" where t_channel=4")),
      DNKBHA(ADOConnection1, QStringLiteral("DNKBHA"),
             kDescribedTemplates + QStringLiteral(" where t_channel=3")),
      DNNIChannel(ADOConnection1, QStringLiteral("DNNIChannel"),
                  kDescribedTemplates + QStringLiteral(" where t_channel=5")),
      DNEmDChannel(ADOConnection1, QStringLiteral("DNEmDChannel"), kTemplates + u' '),
      DNEmDOChannel(ADOConnection1, QStringLiteral("DNEmDOChannel"), kTemplates),
      ADOCommand1(ADOConnection1, QStringLiteral("ADOCommand1"),
                  QStringLiteral("select * from ChPreview")) {
    ADOConnection1.setSchema(&Schema::store());
    for (Dataset* detail : std::initializer_list<Dataset*>{
             &tblHeadline, &tblShortArchive, &tblMainArchive, &tblSpecInterFace, &tblSpecDevice,
             &tblSpecAChannel, &tblSpecDChannel, &tblSpecDOChannel, &tblSpecKBHA, &tblSpecNIChannel,
             &tblSpecEmDChannel, &tblSpecEmDOChannel, &tblCallbackPhone}) {
        detail->setMasterLink(tblUSPD, QStringLiteral("id_uspd"), QStringLiteral("id_uspd"));
    }
    addLookupFields();
    attachReactions();

    const StoreLocation store = StoreLocation::parse(location);
    if (openStore(ADOConnection1, store)) {
        platform.messages.information(
            QStringLiteral("Файл базы конфигурации «%1» не найден. Создана новая база со "
                           "справочными таблицами.")
                .arg(store.shown()),
            QCoreApplication::applicationName());
    }
    for (Dataset* dataset :
         std::initializer_list<Dataset*>{&tblPort, &tblTypeIface, &tblBaud, &tblTypeTransf,
                                         &tblSign, &tblTypeDevice, &tblSpecInterFace}) {
        dataset->open();
    }
}

void TDataModule1::addLookupFields() {
    const QString key = QStringLiteral("key");
    tblSpecInterFace.addLookupField(QStringLiteral("TIface"), QStringLiteral("t_iface"),
                                    tblTypeIface, key, QStringLiteral("t_iface"));
    tblSpecInterFace.addLookupField(QStringLiteral("NPort"), QStringLiteral("port"), tblPort, key,
                                    QStringLiteral("portname"));
    tblSpecInterFace.addLookupField(QStringLiteral("bBaud"), QStringLiteral("baud"), tblBaud, key,
                                    QStringLiteral("baud"));

    tblSpecDevice.addLookupField(QStringLiteral("IfToPort"), QStringLiteral("id_iface_s"),
                                 tblSpecInterFace, QStringLiteral("id_iface_s"),
                                 QStringLiteral("port"));
    tblSpecDevice.addLookupField(QStringLiteral("NPort"), QStringLiteral("IfToPort"), tblPort, key,
                                 QStringLiteral("portname"));
    tblSpecDevice.addLookupField(QStringLiteral("TDevice"), QStringLiteral("t_device"),
                                 tblTypeDevice, key, QStringLiteral("t_device"));
    tblSpecDevice.addLookupField(QStringLiteral("TChannel"), QStringLiteral("t_device"),
                                 tblTypeDevice, key, QStringLiteral("t_channel"));

    for (Dataset* channels :
         std::initializer_list<Dataset*>{&tblSpecAChannel, &tblSpecDChannel, &tblSpecDOChannel,
                                         &tblSpecEmDChannel, &tblSpecEmDOChannel}) {
        channels->addLookupField(QStringLiteral("SArchive"), QStringLiteral("archive"), tblSign,
                                 key, QStringLiteral("sign"));
    }
    for (Dataset* channels :
         std::initializer_list<Dataset*>{&tblSpecDChannel, &tblSpecEmDChannel}) {
        channels->addLookupField(QStringLiteral("SInvers"), QStringLiteral("invers"), tblSign, key,
                                 QStringLiteral("sign"));
    }
    tblSpecAChannel.addLookupField(QStringLiteral("TTransf"), QStringLiteral("t_transf"),
                                   tblTypeTransf, key, QStringLiteral("t_transf"));

    tblChPreview.addLookupField(QStringLiteral("NAction"), QStringLiteral("recaction"), tblTAction,
                                key, QStringLiteral("action"));
    tblChPreview.addLookupField(QStringLiteral("UnitMeasure"), QStringLiteral("id_units"),
                                tblUnitMeasure, QStringLiteral("ID_Units"),
                                QStringLiteral("ShortName"));
}

void TDataModule1::attachReactions() {
    tblUSPD.beforeDelete = [this](Dataset& uspd) { deleteUspdRows(uspd); };
    tblSpecDevice.beforeDelete = [this](Dataset& module) { deleteModuleChannels(module); };
    tblSpecDevice.afterDelete = [this](Dataset&) { reopenModuleChannels(); };
    tblSpecDevice.afterPost = [this](Dataset&) { refreshModuleLists(); };

    const auto templates = [this](QueryDataset& channels, QueryDataset& list, const QString& prefix,
                                  const QString& suffix, int boardType = 0) {
        channels.afterScroll = [this, &list, prefix, suffix, boardType](Dataset& dataset) {
            requeryTemplates(dataset, list, prefix, suffix, boardType);
        };
    };
    templates(tblSpecAChannel, DNAChannel, kDescribedTemplates + kWhereType,
              QStringLiteral(" and t_channel=1"));
    templates(tblSpecDChannel, DNDChannel, kTemplates + kWhereType,
              QStringLiteral(" and t_channel=2"));
    templates(tblSpecDOChannel, DNDOChannel, kTemplates + kWhereType,
              QStringLiteral(" and t_channel=4"));
    templates(tblSpecKBHA, DNKBHA, kDescribedTemplates + kWhereType,
              QStringLiteral(" and t_channel=3"));
    templates(tblSpecNIChannel, DNNIChannel, kDescribedTemplates + kWhereType,
              QStringLiteral(" and t_channel=5"));
    templates(tblSpecEmDChannel, DNEmDChannel, kTemplates + kWhereType,
              QStringLiteral(" and t_channel=2"), 15);
    templates(tblSpecEmDOChannel, DNEmDOChannel, kTemplates + kWhereType,
              QStringLiteral(" and t_channel=4"), 15);

    tblHeadline.afterOpen = [this](Dataset& dataset) {
        giveDefaultRow(dataset, {QStringLiteral("need_short_int"), QStringLiteral("need_main_int"),
                                 QStringLiteral("led_enable"), QStringLiteral("intchan_enable"),
                                 QStringLiteral("callback")});
    };
    tblShortArchive.afterOpen = [this](Dataset& dataset) {
        giveDefaultRow(dataset,
                       {QStringLiteral("short_time_min"), QStringLiteral("short_records")});
    };
    tblMainArchive.afterOpen = [this](Dataset& dataset) {
        giveDefaultRow(dataset, {QStringLiteral("main_time_min"), QStringLiteral("main_records")});
    };
}

TDataModule1::HeldReactions::HeldReactions(
    std::initializer_list<std::pair<Dataset*, Event>> events) {
    for (const auto& [dataset, event] : events) {
        Held& held = held_.emplace_back(Held{dataset, event, std::move(dataset->*event)});
        dataset->*event = [due = &held.due](Dataset&) { *due = true; };
    }
}

TDataModule1::HeldReactions::HeldReactions(HeldReactions&& other) noexcept
    : held_(std::move(other.held_)), released_(std::exchange(other.released_, true)) {
}

void TDataModule1::HeldReactions::release() {
    if (released_)
        return;
    released_ = true;
    for (Held& held : held_)
        held.dataset->*held.event = std::move(held.reaction);
}

void TDataModule1::HeldReactions::catchUp() {
    if (released_)
        return;
    release();
    for (const Held& held : held_) {
        Dataset& dataset = *held.dataset;
        if (held.due && dataset.isOpen() && dataset.currentRow() >= 0 && dataset.*held.event)
            (dataset.*held.event)(dataset);
    }
}

TDataModule1::HeldReactions TDataModule1::holdReactions() {
    return HeldReactions({
        {&tblSpecDevice, &Dataset::afterPost},
        {&tblSpecAChannel, &Dataset::afterScroll},
        {&tblSpecDChannel, &Dataset::afterScroll},
        {&tblSpecDOChannel, &Dataset::afterScroll},
        {&tblSpecKBHA, &Dataset::afterScroll},
        {&tblSpecNIChannel, &Dataset::afterScroll},
        {&tblSpecEmDChannel, &Dataset::afterScroll},
        {&tblSpecEmDOChannel, &Dataset::afterScroll},
    });
}

void TDataModule1::openDatasets() {
    for (Dataset* dataset : ADOConnection1.datasets()) {
        if (!dataset->isOpen())
            dataset->open();
    }
}

bool TDataModule1::hasCurrentUspd() const {
    const int field = tblUSPD.fieldIndex(u"id_uspd");
    return tblUSPD.isOpen() && tblUSPD.currentRow() >= 0 && field >= 0 &&
           !tblUSPD.currentValue(field).isNull();
}

int TDataModule1::currentUspd() const {
    const int field = tblUSPD.fieldIndex(u"id_uspd");
    if (!tblUSPD.isOpen() || tblUSPD.currentRow() < 0 || field < 0)
        return 0;
    return valueAsInteger(tblUSPD.currentValue(field));
}

QString TDataModule1::moduleListStatement(const QString& countColumn, int idUspd) {
    return moduleColumns(countColumn) +
           QStringLiteral(
               " where TypeDevice.%1>0 and TypeDevice.key=SpecDevice.t_device and "
               "SpecDevice.id_uspd=%2")
               .arg(countColumn)
               .arg(idUspd);
}

void TDataModule1::refreshModuleLists() {
    const int uspd = currentUspd();
    if (ADOConnection1.isPostgres() && hasCurrentUspd() && uspd != heldOpen_) {
        holdUspdOpen(ADOConnection1, heldOpen_, uspd);
        heldOpen_ = uspd;
    }
    const std::pair<QueryDataset*, const char*> lists[] = {
        {&DADevice, "col_achannel"}, {&DDDevice, "col_dchannel"},   {&DDODevice, "col_dochannel"},
        {&DKBHADevice, "col_kvna"},  {&DNIDevice, "col_nichannel"},
    };
    for (const auto& [list, column] : lists) {
        list->close();
        list->setSql(moduleListStatement(QLatin1String(column), uspd));
    }
    for (const auto& [list, column] : lists)
        list->open();
}

void TDataModule1::lockForRenumbering() {
    if (ADOConnection1.isPostgres())
        lockUspdForRenumbering(ADOConnection1, currentUspd());
}

void TDataModule1::deleteUspdRows(Dataset& uspd) {
    const int id = uspd.fieldByName(QStringLiteral("ID_USPD")).asInteger();
    if (ADOConnection1.isPostgres() && !lockUspdForDeletion(ADOConnection1, id)) {
        throw StoreError(QStringLiteral("УСПД «%1» открыт другим пользователем: удалить его "
                                        "нельзя.")
                             .arg(uspd.fieldByName(QStringLiteral("uspd_name")).asString()));
    }
    const QString n = QString::number(id);
    for (const char* statement : kUspdCascade) {
        ADOCommand1.execute(QLatin1String(statement) + n);
    }
    ADOCommand1.execute(QStringLiteral("DELETE FROM ChPreview"));
}

void TDataModule1::deleteModuleChannels(Dataset& module) {
    const QString d = QString::number(module.fieldByName(QStringLiteral("ID_DEVICE")).asInteger());
    for (const char* statement : kModuleCascade) {
        ADOCommand1.execute(QLatin1String(statement) + d);
    }
}

void TDataModule1::reopenModuleChannels() {
    for (Dataset* channels :
         std::initializer_list<Dataset*>{&tblSpecAChannel, &tblSpecDChannel, &tblSpecDOChannel,
                                         &tblSpecKBHA, &tblSpecNIChannel}) {
        channels->close();
        channels->open();
    }
}

void TDataModule1::requeryTemplates(Dataset& channels, QueryDataset& templates,
                                    const QString& prefix, const QString& suffix, int boardType) {
    const int type = channels.fieldByName(QStringLiteral("T_DEVICE")).asInteger();
    if (type <= 0 || ExportInProgress)
        return;
    QString sql = prefix + QString::number(boardType > 0 ? boardType : type) + suffix;
    // The template rows are reference data that no session changes, so a list that already
    // holds this statement's rows is current; most rows of a group share their module's type.
    if (templates.isOpen() && templates.statement() == sql)
        return;
    templates.close();
    templates.setSql(sql);
    templates.open();
}

void TDataModule1::giveDefaultRow(Dataset& dataset, const QStringList& zeroFields) {
    if (dataset.recordCount() > 0 || !hasCurrentUspd())
        return;
    dataset.append();
    for (const QString& field : zeroFields)
        dataset.fieldByName(field).setAsInteger(0);
    dataset.post();
}

}  // namespace orvet
