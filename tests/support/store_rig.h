#pragma once

#include <QStringList>
#include <memory>

#include "store/data_module.h"
#include "support/test_platform.h"
#include "support/test_stores.h"

namespace orvet::testing {

// A test platform with a fresh configuration store in its temporary folder.
struct StoreRig {
    StoreRig() {
        test.messages.allowNotices();  // "store created"
        location = newStoreLocation(test.dir());
        data = std::make_unique<TDataModule1>(test.platform(), location);
        test.messages.clear();
        test.messages.allowNotices(false);
    }
    // Adds a USPD and returns its id_uspd; tblUSPD is left on it.
    int addUspd(const QString& name, const QString& enterprise = {}) {
        Dataset& uspd = data->tblUSPD;
        uspd.open();
        uspd.append();
        uspd.fieldByName(u"uspd_name").setAsString(name);
        if (!enterprise.isEmpty())
            uspd.fieldByName(u"enterprise").setAsString(enterprise);
        uspd.post();
        return uspd.fieldByName(u"id_uspd").asInteger();
    }
    // Boxes that should not have appeared (or did not), for QVERIFY in cleanup().
    QStringList problems() const { return test.problems(); }

    TestPlatform test;
    QString location;  // the store, as the data module and --store take it
    std::unique_ptr<TDataModule1> data;
};

}  // namespace orvet::testing
