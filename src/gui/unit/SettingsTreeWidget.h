#pragma once

#include <QHash>
#include <QList>
#include <QRegion>
#include <QString>
#include <QTreeWidget>

// The settings list of the unit window: three columns (caption, current value, new value), rows in
// the groups "Settings", "Status" and "Unknown", and an editor widget in the "New Value" column of
// rows that have one. Rows are found again by their caption, so a reprint of the same menu updates
// values in place and keeps the editors (and whatever the user typed into them).
//
// Editors do not belong to rows: a row lends its "New Value" cell to an editor. Emptying the list
// hands every editor back to the parking widget first, so an editor outlives the rows it was shown
// in and a later print of its key shows it again with the user's text.
class SettingsTreeWidget : public QTreeWidget {
    Q_OBJECT
public:
    enum Group { GROUP_SETTINGS = 0, GROUP_STATUS = 1, GROUP_UNKNOWN = 2, GROUP_COUNT = 3 };
    static constexpr int COLUMN_CAPTION = 0;
    static constexpr int COLUMN_VALUE = 1;
    static constexpr int COLUMN_NEW_VALUE = 2;

    // parking holds editors that are not in a row; it stays hidden.
    SettingsTreeWidget(QWidget* parking, QWidget* parent = nullptr);

    static QString GroupName(Group group);

    QTreeWidgetItem* FindRow(const QString& caption) const { return RowByCaption.value(caption, nullptr); }
    // A new row at the end of its group; the group item is made when it is first needed.
    QTreeWidgetItem* AddRow(Group group, const QString& caption);
    // Rows in the order shown, groups in their order.
    QList<QTreeWidgetItem*> Rows() const;
    int RowCount() const { return static_cast<int>(RowByCaption.size()); }
    // Empties the list; the editors go back to the parking widget first.
    void ClearRows();

    // Sets the text only when it differs: a reprint of unchanged values costs no repaint. A value
    // of several lines makes its row taller.
    void SetCellText(QTreeWidgetItem* row, int column, const QString& text) const;
    // Draws a row in red (or back in the list's text colour).
    static void SetRowRed(QTreeWidgetItem* row, bool red);

    // The editor shown in the row, or nullptr.
    QWidget* RowEditor(QTreeWidgetItem* row) const;
    // Shows the editor in the row's "New Value" cell, taking it from wherever it was.
    void BindEditor(QTreeWidgetItem* row, QWidget* editor);
    // Takes an editor out of its row (when it is in one) and parks it hidden.
    void Park(QWidget* editor);
    QWidget* Parking() const { return ParkingWidget; }

    // Row heights follow the editors' heights (a multi-line editor that grew).
    void RelayoutRows();

Q_SIGNALS:
    void mouseEnteredOrLeft();

protected:
    void enterEvent(QEnterEvent* event) override;
    void changeEvent(QEvent* event) override;
    void paintEvent(QPaintEvent* event) override;
    void leaveEvent(QEvent* event) override;

private:
    QTreeWidgetItem* GroupItem(Group group);
    void MeasureRows();
    void SetRowHeights(QTreeWidgetItem* row) const;

    QWidget* ParkingWidget;
    // Rows with and without an editor keep one height, so the list reads evenly.
    // Every cell carries its size hint, so the view never lays out cell texts to learn a row's height
    // (it did for each changed value, which made a reprint cost nearly as much as a first print).
    int RowHeight = 0;
    int LineHeight = 0;
    QTreeWidgetItem* Groups[GROUP_COUNT] = {nullptr, nullptr, nullptr};
    QHash<QString, QTreeWidgetItem*> RowByCaption;
    // The region being painted: the view draws whole rows, and the cells outside it are skipped.
    QRegion PaintRegion;
};
