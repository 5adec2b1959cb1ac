#pragma once

#include <QStringView>

class QAbstractItemView;
class QMenu;
class QTableView;
class QWidget;

namespace orvet {

class Dataset;
class TMainForm;

// The selection of `view` keeps its colours while the focus is elsewhere.
void keepSelectionVisible(QAbstractItemView* view);

// Sets `grid` up as an editor's list: whole rows selected and shown also without the focus,
// no editing in place, at least 105 pixels high; `menu` is its context menu, and the keys of
// the menu's items work while the grid has the focus.
void setUpListGrid(QTableView* grid, QMenu* menu);

// Column `column` of `grid` shows the row's icon (the model's decoration) at full size in the
// cell's top-left corner, untinted also in the selected row.
void showRowIcons(QTableView* grid, int column);

// The editors' grid height rule: the grid grows at most to the main window's client height
// minus the detail panel's height minus 30 pixels, and minus the height of the list box
// Analis while that is visible.
void limitGridHeight(QTableView* grid, const QWidget* detailPanel, const TMainForm& mainForm);

// Field `field` of row `row` of `dataset` as an integer: 0 without such a row or field, for an
// empty value, and for a value that is not a number (what a grid or a panel shows for it).
int integerAt(const Dataset& dataset, int row, QStringView field);

}  // namespace orvet
