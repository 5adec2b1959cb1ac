#include "link/ui/frame_log_view.h"

#include <QAction>
#include <QClipboard>
#include <QDir>
#include <QFileDialog>
#include <QFontDatabase>
#include <QGuiApplication>
#include <QHBoxLayout>
#include <QLabel>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QSaveFile>
#include <QScrollBar>
#include <QVBoxLayout>

namespace orvet {

TFrameLogView::TFrameLogView(Platform& platform, FrameLog& log, QWidget* parent)
    : QWidget(parent),
      Lines(new QPlainTextEdit),
      Note(new QLabel),
      CopyButton(new QPushButton(QStringLiteral("Копировать"))),
      SaveButton(new QPushButton(QStringLiteral("Сохранить…"))),
      platform_(platform),
      log_(log) {
    setObjectName(QStringLiteral("FrameLogView"));
    Lines->setObjectName(QStringLiteral("FrameLogLines"));
    Lines->setReadOnly(true);
    Lines->setLineWrapMode(QPlainTextEdit::NoWrap);
    Lines->setFont(QFontDatabase::systemFont(QFontDatabase::FixedFont));
    // The view holds no more than the log keeps: the oldest lines go first.
    Lines->setMaximumBlockCount(log.capacity());
    auto* copyAction = new QAction(CopyButton->text(), Lines);
    auto* saveAction = new QAction(SaveButton->text(), Lines);
    Lines->setContextMenuPolicy(Qt::ActionsContextMenu);
    Lines->addActions({copyAction, saveAction});

    auto* title = new QLabel(QStringLiteral("<b>%1</b>").arg(kCaption));
    auto* bar = new QHBoxLayout;
    bar->addWidget(title);
    bar->addWidget(Note, 1);
    bar->addWidget(CopyButton);
    bar->addWidget(SaveButton);
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(2, 2, 2, 2);
    layout->setSpacing(2);
    layout->addLayout(bar);
    layout->addWidget(Lines, 1);

    for (const QString& line : log.lines())
        Lines->appendPlainText(line);
    showNote();
    log_.onLine = [this](const QString& line) {
        Lines->appendPlainText(line);
        showNote();
    };
    // The newest line stays in view unless the user has scrolled back to read. The text is
    // laid out after the append, so the range grows later and is followed then.
    QScrollBar* scroll = Lines->verticalScrollBar();
    connect(scroll, &QScrollBar::rangeChanged, this, [this, scroll](int, int maximum) {
        if (following_)
            scroll->setValue(maximum);
    });
    connect(scroll, &QScrollBar::valueChanged, this,
            [this, scroll](int value) { following_ = value == scroll->maximum(); });
    log_.onCleared = [this] {
        Lines->clear();
        showNote();
    };

    chooseFile = [this] {
        return QFileDialog::getSaveFileName(
            this, kCaption, QString(), QStringLiteral("Текстовые файлы (*.txt);;Все файлы (*)"));
    };
    connect(CopyButton, &QPushButton::clicked, this, &TFrameLogView::copy);
    connect(SaveButton, &QPushButton::clicked, this, &TFrameLogView::save);
    connect(copyAction, &QAction::triggered, this, &TFrameLogView::copy);
    connect(saveAction, &QAction::triggered, this, &TFrameLogView::save);
}

TFrameLogView::~TFrameLogView() {
    log_.onLine = nullptr;
    log_.onCleared = nullptr;
}

void TFrameLogView::showNote() {
    Note->setText(log_.droppedNote());
}

void TFrameLogView::copy() {
    QString selected = Lines->textCursor().selectedText();
    // A selection joins its lines with the paragraph separator.
    QGuiApplication::clipboard()->setText(
        selected.isEmpty() ? log_.text() : selected.replace(QChar::ParagraphSeparator, u'\n'));
}

void TFrameLogView::save() {
    const QString path = chooseFile();
    if (path.isEmpty())
        return;
    QSaveFile file(path);
    if (file.open(QIODevice::WriteOnly | QIODevice::Text)) {
        file.write(log_.text().toUtf8());
        if (file.commit())
            return;
    }
    platform_.messages.error(QStringLiteral("Журнал не удается записать в файл «%1»: %2")
                                 .arg(QDir::toNativeSeparators(path), file.errorString()),
                             kCaption);
}

}  // namespace orvet
