#pragma once

#include <QTableView>

class UnitListModel;

// The main window's unit list: a read-only report list of whole rows, one row selected at a time.
// Clicking a column header sorts by that column, always ascending; Return, Enter or a double-click
// asks for the selected unit to be opened.
class UnitListTable : public QTableView {
    Q_OBJECT
public:
    explicit UnitListTable(UnitListModel& model, QWidget* parent = nullptr);

    // The selected row, or -1.
    int SelectedRow() const;
    // The list's text in another point size; the columns follow.
    void SetPointSize(int size);

Q_SIGNALS:
    void openRequested();

protected:
    void keyPressEvent(QKeyEvent* event) override;

private:
    void OnHeaderClicked(int column);
    void SizeColumns();

    UnitListModel& Model;
};
