#include <QCheckBox>
#include <QLineEdit>
#include <QPushButton>
#include <QtTest>

#include "link/ui/link_parameters_dialog.h"
#include "support/test_platform.h"

namespace orvet {

class LinkParametersDialogTest : public QObject {
    Q_OBJECT
private slots:
    void init() {
        test_ = std::make_unique<testing::TestPlatform>();
        inUse_ = LinkSettings{};
        dialog_ = std::make_unique<Tm_CParam>(test_->platform(), inUse_);
    }
    void cleanup() {
        dialog_.reset();
        const QStringList problems = test_->problems();
        test_.reset();
        QVERIFY2(problems.isEmpty(), qPrintable(problems.join('\n')));
    }

    void showsStoredValuesNotTheCopiesInUse() {
        dialog_->show();
        QCOMPARE(dialog_->edPakLen->text(), QStringLiteral("255"));
        QCOMPARE(dialog_->edToAnswer->text(), QStringLiteral("2000"));
        dialog_->hide();

        settings().writeString("PakLen", "abc");
        settings().writeInteger("TOAnswer", 750);
        inUse_.PakLen = 100;
        dialog_->show();
        QCOMPARE(dialog_->edPakLen->text(), QStringLiteral("255"));
        QCOMPARE(dialog_->edToAnswer->text(), QStringLiteral("750"));
    }

    void ok_data() {
        QTest::addColumn<QString>("pakLen");
        QTest::addColumn<QString>("toAnswer");
        QTest::addColumn<QString>("message");  // empty: accepted
        QTest::addColumn<QString>("storedPakLen");
        QTest::addColumn<QString>("storedTOAnswer");
        QTest::addColumn<int>("inUsePakLen");
        QTest::addColumn<int>("inUseTOAnswer");

        QTest::newRow("largest packet") << "1024"
                                        << "300"
                                        << ""
                                        << "1024"
                                        << "300" << 1024 << 300;
        QTest::newRow("too long a packet") << "1025"
                                           << "300"
                                           << "Длина пакета не может превышать 1024 байта"
                                           << ""
                                           << "" << 7 << 7;
        QTest::newRow("cleared fields reset to defaults") << ""
                                                          << ""
                                                          << ""
                                                          << "255"
                                                          << "2000" << 255 << 2000;
        QTest::newRow("reply time-out 0 never repeats") << "64"
                                                        << "0"
                                                        << ""
                                                        << "64"
                                                        << "0" << 64 << 0;
        QTest::newRow("packet length not a number") << "12x"
                                                    << "300"
                                                    << "'12x' is not a valid integer value"
                                                    << ""
                                                    << "" << 7 << 7;
        QTest::newRow("time-out not a number stores neither value")
            << "100"
            << "soon"
            << "'soon' is not a valid integer value"
            << ""
            << "" << 7 << 7;
        QTest::newRow("empty packet refused") << "0"
                                              << "300"
                                              << "Длина пакета должна быть не меньше 1 байта"
                                              << ""
                                              << "" << 7 << 7;
        QTest::newRow("negative time-out refused, the length not stored either")
            << "100"
            << "-5"
            << "Таймаут ответа не может быть отрицательным"
            << ""
            << "" << 7 << 7;
    }

    void ok() {
        QFETCH(QString, pakLen);
        QFETCH(QString, toAnswer);
        QFETCH(QString, message);
        QFETCH(QString, storedPakLen);
        QFETCH(QString, storedTOAnswer);
        QFETCH(int, inUsePakLen);
        QFETCH(int, inUseTOAnswer);

        inUse_ = {7, 7};
        dialog_->show();
        dialog_->edPakLen->setText(pakLen);
        dialog_->edToAnswer->setText(toAnswer);
        if (!message.isEmpty())
            test_->messages.expectNotice(message);
        QTest::mouseClick(dialog_->OKBtn, Qt::LeftButton);

        QCOMPARE(dialog_->isVisible(), !message.isEmpty());
        QCOMPARE(settings().readString("PakLen", ""), storedPakLen);
        QCOMPARE(settings().readString("TOAnswer", ""), storedTOAnswer);
        QCOMPARE(inUse_.PakLen, inUsePakLen);
        QCOMPARE(inUse_.TOAnswer, inUseTOAnswer);
        if (!message.isEmpty()) {
            QCOMPARE(test_->messages.shown().back().caption, QStringLiteral("Ошибка"));
        }
    }

    void cancelChangesNothing() {
        inUse_ = {300, 400};
        dialog_->show();
        dialog_->edPakLen->setText("512");
        dialog_->edToAnswer->setText("100");
        QTest::mouseClick(dialog_->CancelBtn, Qt::LeftButton);
        QVERIFY(!dialog_->isVisible());
        QCOMPARE(settings().readString("PakLen", "none"), QStringLiteral("none"));
        QCOMPARE(inUse_.PakLen, 300);
        QCOMPARE(inUse_.TOAnswer, 400);
    }

    // "Быстрый обмен" is off until the user turns it on; it is stored and applied with the
    // other two, and a refused packet length stores it no more than them.
    void fastExchangeIsKeptWithTheOtherSettings() {
        dialog_->show();
        QVERIFY(!dialog_->cbFastExchange->isChecked());
        dialog_->cbFastExchange->setChecked(true);
        dialog_->edPakLen->setText("1025");
        test_->messages.expectNotice(QStringLiteral("Длина пакета не может превышать 1024 байта"));
        QTest::mouseClick(dialog_->OKBtn, Qt::LeftButton);
        QCOMPARE(settings().readString("FastExchange", "none"), QStringLiteral("none"));
        QVERIFY(!inUse_.FastExchange);

        dialog_->edPakLen->setText("1024");
        QTest::mouseClick(dialog_->OKBtn, Qt::LeftButton);
        QVERIFY(!dialog_->isVisible());
        QCOMPARE(settings().readString("FastExchange", ""), QStringLiteral("1"));
        QVERIFY(inUse_.FastExchange);

        // Shown as stored; turned off and cancelled, it stays on.
        inUse_.FastExchange = false;
        dialog_->show();
        QVERIFY(dialog_->cbFastExchange->isChecked());
        dialog_->cbFastExchange->setChecked(false);
        QTest::mouseClick(dialog_->CancelBtn, Qt::LeftButton);
        QCOMPARE(settings().readString("FastExchange", ""), QStringLiteral("1"));
        QVERIFY(!inUse_.FastExchange);
    }

    void enterPressesOk() {
        dialog_->show();
        dialog_->edPakLen->setText("128");
        QTest::keyClick(dialog_->edPakLen, Qt::Key_Return);
        QVERIFY(!dialog_->isVisible());
        QCOMPARE(inUse_.PakLen, 128);
    }

private:
    Settings& settings() { return test_->settings(); }

    std::unique_ptr<testing::TestPlatform> test_;
    LinkSettings inUse_;
    std::unique_ptr<Tm_CParam> dialog_;
};

}  // namespace orvet

QTEST_MAIN(orvet::LinkParametersDialogTest)
#include "link_parameters_dialog_test.moc"
