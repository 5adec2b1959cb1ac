#pragma once

#include <QWidget>
#include <functional>

#include "core/platform.h"
#include "link/frame_trace.h"

class QLabel;
class QPlainTextEdit;
class QPushButton;

namespace orvet {

// "Журнал обмена": the lines of the last upload's frame log as they come, with "Копировать"
// (the selected lines, or all of them) and "Сохранить…" (all of them into a text file), as
// buttons and in the context menu. Shows at most the lines the log keeps.
class TFrameLogView : public QWidget {
    Q_OBJECT
public:
    static inline const QString kCaption = QStringLiteral("Журнал обмена");

    TFrameLogView(Platform& platform, FrameLog& log, QWidget* parent = nullptr);
    ~TFrameLogView() override;

    // Puts the selected lines, or the whole log, on the clipboard.
    void copy();
    // Writes the whole log as UTF-8 text to the file the user chooses; a file that cannot be
    // written is told in a box.
    void save();
    // Asks for the file to save into; empty when the user cancels. A file dialog unless
    // replaced (tests answer without one).
    std::function<QString()> chooseFile;

    QPlainTextEdit* Lines;
    QLabel* Note;  // lines dropped to keep the newest
    QPushButton* CopyButton;
    QPushButton* SaveButton;

private:
    void showNote();

    Platform& platform_;
    FrameLog& log_;
    bool following_ = true;  // the view shows the newest line
};

}  // namespace orvet
