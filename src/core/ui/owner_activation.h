#pragma once

#include <QObject>

namespace orvet {

// Where no window manager hands the keyboard back, a closed dialog leaves the application
// without an active window: keys still reach the focused widget of the window under it, but
// the shortcuts bound to widgets and windows (Insert and Delete of a list, Ctrl+S) no longer
// fire. While it lives, a window that hides with nothing active left gives the activation to
// its owner, as a window manager would.
class OwnerActivation final : public QObject {
public:
    explicit OwnerActivation(QObject* parent = nullptr);

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;
};

}  // namespace orvet
