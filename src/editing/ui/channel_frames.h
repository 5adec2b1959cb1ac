#pragma once

#include <QList>
#include <array>
#include <functional>

#include "editing/ui/list_frame.h"

class QAction;
class QGridLayout;
class QLabel;
class QLayout;
class QRadioButton;
class QToolButton;

namespace orvet {

class DBCheckBox;
class DBEdit;
class DBLookupComboBox;
class DBRadioGroup;
class TDataModule1;
struct ChannelKind;

// What a channel editor's context menu says, and the object names of its items.
struct ChannelMenu {
    const char* addName;
    QString addText;
    const char* deleteName;
    QString deleteText;
    const char* separatorName;
    const char* compressName;
    // Asked before a delete, followed by the channel's type_num, " - " and its name.
    QString deleteQuestion;
};

// The shape of the channel editors: the current USPD's channels of one kind in order of
// creation, a panel of the selected channel's settings below them, and a context menu to add
// (Insert), delete (Delete, after a question) and compress the group ("Сжать группу
// каналов": numbers from 1 in order of creation). An added channel has the kind's values
// and the number after the stored channels; it stays pending until it is posted (Save, a
// choice from a list, moving to another row or adding the next one).
class TChannelFrame : public TListFrame {
    Q_OBJECT
public:
    void addClick();
    void deleteClick();
    void compressClick();
    // "Экспорт в CSV…": the group's channels into a file the user names.
    void exportCsvClick();
    // "Импорт из CSV…": the channels of a file the user picks, added to the group.
    void importCsvClick();

    // Asks for the CSV file to write (`save`) or read; empty when the user cancels. A file
    // dialog unless replaced (tests answer without one).
    std::function<QString(bool save)> chooseCsvFile;

    QMenu* PopupMenu1;
    QAction* addItem;
    QAction* deleteItem;
    QAction* Compress;
    QAction* csvExport;
    QAction* csvImport;
    QLabel* nameLabel;
    DBEdit* DBEdit1;  // "Наименование"
    // The correction, for the kinds that have one (analog and counting inputs).
    QToolButton* sbAct = nullptr;
    QMenu* puCorr = nullptr;
    QList<QAction*> correctionItems;
    DBEdit* DBCorr = nullptr;
    QLabel* corrLabel = nullptr;

protected:
    TChannelFrame(Platform& platform, TDataModule1& dataModule, TMainForm& mainForm,
                  const ChannelKind& kind, QList<GridColumn> columns, const QString& panelTitle,
                  const ChannelMenu& menu, QWidget* parent);

    // A caption for `control`, which it names in refusals.
    QLabel* caption(const char* name, const QString& text, QWidget* control);
    // "Модуль УСО" over `modules`; a choice copies the module's identity into the channel.
    DBLookupComboBox* moduleList(Dataset& modules);
    // The module channel number over the kind's templates, showing `shownField`; with
    // `posted` a choice stores the row at once.
    DBLookupComboBox* templateList(Dataset& templates, const QString& shownField, bool posted);
    // "Единицы измерения"; a choice copies the unit's short name into the channel.
    DBLookupComboBox* unitList();
    // The correction button with its menu (items named `itemNames`, codes 0 to 4), the
    // coefficient edit and its caption; the coefficient is enabled for actions 1 to 4.
    void createCorrection(const std::array<const char*, 5>& itemNames);
    // Refuses a division by zero when the focus leaves `group`.
    void checkDivisionOnLeaving(QWidget* group);
    // Stores the row being edited or added.
    void postRow();
    // Stores what is typed and the row being edited or added, before a command on the whole
    // group; false when that was refused.
    bool storeGroup();
    // The panel of a frame: its parts one below the other.
    void fillPanel(std::initializer_list<QLayout*> parts);
    // The module channel list and its caption are enabled only for a channel with a module
    // (on-board channels always have their board); the derived frames add their own rules.
    void showRowSettings() override;
    bool hasModule() const;
    // DBText1: the description of the selected channel's template in `templates`, following
    // the channel and the list.
    QLabel* descriptionLabel(Dataset& templates);
    // Shows the correction of the current row on the button and enables the coefficient.
    void showCorrection();
    // Name (with `besideName` right of it), module (none on the board), the channel number
    // list captioned `numberText` and the template's description; rows follow below.
    QGridLayout* identityGrid(QWidget* besideName, DBLookupComboBox* modules,
                              const QString& numberText, QWidget* description);
    // A check box, radio group or other control shown but never enabled here.
    static QWidget* disabledHolder(QWidget* control);

    QIcon rowIcon(int /*row*/) const override { return icon_; }

    TDataModule1& data_;
    const ChannelKind& kind_;

private:
    void moduleChosen(Dataset& modules);
    QString templateDescription(const Dataset& templates) const;
    void followTemplates();
    void focusMoved(QWidget* from, QWidget* to);

    QIcon icon_;
    QString deleteQuestion_;
    QWidget* divisionGroup_ = nullptr;
    DBLookupComboBox* templateList_ = nullptr;
    QLabel* templateCaption_ = nullptr;
};

// Analog inputs of the USPD's modules (SpecAChannel, "G").
class TAChannel : public TChannelFrame {
    Q_OBJECT
public:
    TAChannel(Platform& platform, TDataModule1& dataModule, TMainForm& mainForm,
              QWidget* parent = nullptr);

    DBCheckBox* DBCheckBox1;  // "Архивируемый"
    DBLookupComboBox* DBLookupComboBox1;
    DBLookupComboBox* DBLookupComboBox4;
    QLabel* DBText1;
    QGroupBox* conversion;  // "Преобразование"
    DBLookupComboBox* DBlpTypeTransf;
    DBLookupComboBox* DBLookupComboBox2;
    QList<QLabel*> rangeLabels;
    DBEdit* DBMinCode;
    DBEdit* DBMaxCode;
    DBEdit* DBMinVal;
    DBEdit* DBMaxVal;
    DBCheckBox* DBCheckBox2;  // "Фильтрация"
    QLabel* weightLabel;
    DBEdit* DBWeight;
    DBCheckBox* DBCheckBox3;  // "Обратный вызов"
    QGroupBox* limits;        // "Предельное значение"
    DBEdit* DBEdit8;
    DBEdit* DBEdit9;
    QGroupBox* emergency;  // "Аварийное значение"
    DBEdit* DBEdit7;

private:
    void buildPanel();
    void showRowSettings() override;
};

// The part the discrete editors share: the module list (none on the board), the list of the
// module's inputs or outputs and the archive box.
class TDiscreteFrame : public TChannelFrame {
    Q_OBJECT
public:
    DBLookupComboBox* DBLookupComboBox1 = nullptr;  // none on the board
    DBLookupComboBox* DBLookupComboBox2;
    DBCheckBox* DBCheckBox1;  // "Архивируемый"

protected:
    TDiscreteFrame(Platform& platform, TDataModule1& dataModule, TMainForm& mainForm,
                   const ChannelKind& kind, QList<GridColumn> columns, const QString& panelTitle,
                   const ChannelMenu& menu, Dataset* modules, Dataset& templates, QWidget* parent);
};

// Discrete inputs of the USPD's modules (SpecDChannel, "E") and on its own board
// (SpecEmDChannel, "K"). The archive box is shown disabled.
class TDChannel : public TDiscreteFrame {
    Q_OBJECT
public:
    TDChannel(Platform& platform, TDataModule1& dataModule, TMainForm& mainForm,
              QWidget* parent = nullptr);

    DBCheckBox* DBCheckBox2;  // "Инвертировать"
    DBCheckBox* DBCheckBox3;  // "Обратный вызов"
    DBRadioGroup* DBRadioGroup1;
    DBEdit* DBEdit2 = nullptr;  // "Время дребезга (мс)", on the board only

protected:
    TDChannel(Platform& platform, TDataModule1& dataModule, TMainForm& mainForm, bool onboard,
              QWidget* parent);

private:
    void showRowSettings() override;
};

class TEmDChannel : public TDChannel {
    Q_OBJECT
public:
    TEmDChannel(Platform& platform, TDataModule1& dataModule, TMainForm& mainForm,
                QWidget* parent = nullptr);
};

// Discrete outputs of the USPD's modules (SpecDOChannel, "L") and on its own board
// (SpecEmDOChannel, "R"). The archive box works for module outputs only.
class TDOChannel : public TDiscreteFrame {
    Q_OBJECT
public:
    TDOChannel(Platform& platform, TDataModule1& dataModule, TMainForm& mainForm,
               QWidget* parent = nullptr);

    // "Исходное состояние": shown disabled, stored nowhere.
    QLabel* initialLabel;
    QGroupBox* initialState;

protected:
    TDOChannel(Platform& platform, TDataModule1& dataModule, TMainForm& mainForm, bool onboard,
               QWidget* parent);
};

class TEmDOChannel : public TDOChannel {
    Q_OBJECT
public:
    TEmDOChannel(Platform& platform, TDataModule1& dataModule, TMainForm& mainForm,
                 QWidget* parent = nullptr);
};

// Counting inputs of the USPD's modules (SpecNIChannel, "C").
class TNIChannel : public TChannelFrame {
    Q_OBJECT
public:
    TNIChannel(Platform& platform, TDataModule1& dataModule, TMainForm& mainForm,
               QWidget* parent = nullptr);

    DBLookupComboBox* DBLookupComboBox1;
    DBLookupComboBox* DBLookupComboBox2;
    QLabel* DBText1;
    QGroupBox* conversion;  // "Преобразование"
    DBLookupComboBox* DBLookupComboBox3;

private:
    void showRowSettings() override;
};

// KBHA channels of the USPD's modules (SpecKBHA, "B").
class TKBHA : public TChannelFrame {
    Q_OBJECT
public:
    TKBHA(Platform& platform, TDataModule1& dataModule, TMainForm& mainForm,
          QWidget* parent = nullptr);

    DBLookupComboBox* DBLookupComboBox1;
    DBLookupComboBox* DBLookupComboBox2;
    QLabel* DBText1;
    DBLookupComboBox* DBLookupComboBox3;
};

// Analog outputs: not available yet; the frame says so and edits nothing.
class TAOChannel : public QWidget {
    Q_OBJECT
public:
    explicit TAOChannel(QWidget* parent = nullptr);
    QLabel* Label1;
};

}  // namespace orvet
