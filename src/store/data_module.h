#pragma once

#include <QString>
#include <deque>

#include "core/platform.h"
#include "store/command.h"
#include "store/connection.h"
#include "store/dataset.h"

namespace orvet {

// The configuration store's data module: the connection ADOConnection1 to the store, every
// dataset of the store under its catalogue name with its statement and master link, the
// command object ADOCommand1, and the reactions that keep the store consistent:
// - deleting a USPD (tblUSPD) deletes its rows of every per-USPD table, all or nothing;
// - deleting a module (tblSpecDevice) deletes its channels, all or nothing, and reopens the
//   five module channel datasets;
// - posting a module re-queries the five module lists for the current USPD;
// - a channel dataset's new current row re-queries its template list for the row's module
//   type (unless ExportInProgress is set);
// - opening tblHeadline, tblShortArchive or tblMainArchive gives the current USPD its row.
// Every per-USPD dataset is a detail of tblUSPD on id_uspd.
class TDataModule1 {
public:
    static inline const QString kStoreFile = QStringLiteral("Config.db");

    // The reactions that follow every single row, held back while a run moves through and
    // posts many rows that needs none of the lists they keep: the module-list refresh after
    // a posted module and the template re-query after a channel row becomes current. Each
    // held reaction only notes that it is due. catchUp() gives the reactions back and runs
    // each due one once, for the rows then current, which leaves the lists as the last of
    // them would have; later calls do nothing. Ending the hold without catchUp() gives the
    // reactions back without running them.
    class HeldReactions {
    public:
        HeldReactions(HeldReactions&& other) noexcept;
        HeldReactions& operator=(HeldReactions&&) = delete;
        ~HeldReactions() { release(); }

        void catchUp();

    private:
        friend class TDataModule1;
        using Event = Dataset::Handler Dataset::*;
        struct Held {
            Dataset* dataset;
            Event event;
            Dataset::Handler reaction;
            bool due = false;
        };

        explicit HeldReactions(std::initializer_list<std::pair<Dataset*, Event>> events);
        void release();

        std::deque<Held> held_;  // a deque: the stand-ins point at their entries
        bool released_ = false;
    };

    // Opens the store at `location` (a file path, created when missing, which the user is
    // told once, or a server address: see StoreLocation) and the datasets opened at start.
    // Throws StoreError when the store cannot be used.
    explicit TDataModule1(Platform& platform, const QString& location = kStoreFile);
    TDataModule1(const TDataModule1&) = delete;
    TDataModule1& operator=(const TDataModule1&) = delete;

    // The dataset with the catalogue name `name`, or nullptr.
    Dataset* dataset(QStringView name) const { return ADOConnection1.dataset(name); }
    // Opens every dataset of the store that is not open yet, in catalogue order.
    void openDatasets();
    // Replaces the five module lists' statements by those for the current USPD and opens
    // them (closed first, then opened in the same order). On a server store, the current USPD
    // is then the one this session has open: others cannot delete it.
    void refreshModuleLists();
    // Whether tblUSPD has a stored current row (one with its id_uspd), whatever its key: 0
    // is a key like any other.
    bool hasCurrentUspd() const;
    // The current USPD's id_uspd; 0 without a stored current row (see hasCurrentUspd).
    int currentUspd() const;
    // Renumbering the current USPD's rows (inside the caller's transaction on
    // ADOConnection1): on a server store, waits until no other session renumbers it and keeps
    // the others waiting until the transaction ends. A store file has one writer at a time
    // anyway.
    void lockForRenumbering();
    // Holds back the per-row reactions (see HeldReactions) until the object catches up or
    // ends.
    [[nodiscard]] HeldReactions holdReactions();

    // The statement of a module list for USPD `idUspd` (the list tests `countColumn`).
    static QString moduleListStatement(const QString& countColumn, int idUspd);

    Connection ADOConnection1;

    TableDataset tblPort;
    TableDataset tblTypeIface;
    TableDataset tblBaud;
    TableDataset tblTypeTransf;
    TableDataset tblSign;
    QueryDataset tblTypeDevice;
    TableDataset tblUnitMeasure;
    TableDataset tblNChannel;
    TableDataset tblTAction;
    TableDataset tblChPreview;
    TableDataset tblUSPD;
    TableDataset tblHeadline;
    TableDataset tblShortArchive;
    TableDataset tblMainArchive;
    QueryDataset tblSpecInterFace;
    QueryDataset tblSpecDevice;
    QueryDataset tblSpecAChannel;
    QueryDataset tblSpecDChannel;
    QueryDataset tblSpecDOChannel;
    QueryDataset tblSpecKBHA;
    QueryDataset tblSpecNIChannel;
    QueryDataset tblSpecEmDChannel;
    QueryDataset tblSpecEmDOChannel;
    QueryDataset tblCallbackPhone;
    QueryDataset qryWConfig;

    QueryDataset DADevice;
    QueryDataset DDDevice;
    QueryDataset DDODevice;
    QueryDataset DKBHADevice;
    QueryDataset DNIDevice;

    QueryDataset DNAChannel;
    QueryDataset DNDChannel;
    QueryDataset DNDOChannel;
    QueryDataset DNKBHA;
    QueryDataset DNNIChannel;
    QueryDataset DNEmDChannel;
    QueryDataset DNEmDOChannel;

    Command ADOCommand1;

    // Set by the export apply while it runs; the template lists then stay as they are.
    bool ExportInProgress = false;

private:
    void addLookupFields();
    void attachReactions();
    void deleteUspdRows(Dataset& uspd);
    void deleteModuleChannels(Dataset& module);
    void reopenModuleChannels();
    // `boardType` > 0: the on-board lists, whose statement names that type whatever the row.
    // A list already open on the same statement is left as it is.
    void requeryTemplates(Dataset& channels, QueryDataset& templates, const QString& prefix,
                          const QString& suffix, int boardType = 0);
    void giveDefaultRow(Dataset& dataset, const QStringList& zeroFields);

    // The USPD this session has told the server it has open; -1: none.
    int heldOpen_ = -1;
};

}  // namespace orvet
