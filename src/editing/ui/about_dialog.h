#pragma once

#include <QDialog>

class QLabel;

namespace orvet {

// "О программе": program icon, name, version, maker and the maker's e-mail and web links.
class TAboutBox : public QDialog {
    Q_OBJECT
public:
    static inline const QString kEmail = QStringLiteral("support@zoremax.example");
    static inline const QString kWeb = QStringLiteral("https://zoremax.example/orvet-4410");

    explicit TAboutBox(QWidget* parent = nullptr);

    QLabel* emailLink() const { return email_; }
    QLabel* webLink() const { return web_; }
    // The address a click on the e-mail link opens.
    static QString mailUrl();

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void setHovered(QLabel* link, bool hovered);

    QLabel* email_;
    QLabel* web_;
};

}  // namespace orvet
