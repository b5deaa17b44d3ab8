// The result grid of a run: the in-memory table of the rows a run has collected, and the
// Qt item model a view shows it through. Cells are GBK bytes.
//
// Grid rows: row 0 holds the column titles, rows 1 .. r one collected row each (column 0
// its serial number), and the last row is always an empty row, the append position; a
// grid with r data rows has r + 2 rows. The item model shows the titles as the horizontal
// header and grid rows 1 onwards as its rows (model row i is grid row i + 1).
//
// Only the main thread touches the grid.
#pragma once

#include "engine/patterns.h"

#include <QAbstractTableModel>

#include <optional>
#include <string>
#include <string_view>
#include <unordered_set>
#include <vector>

namespace tarvimo::run {

class ResultGrid : public QAbstractTableModel {
    Q_OBJECT
public:
    static constexpr int kInitialColumns = 20;

    enum Role {
        // True for a cell the view paints red with white text: column 3 of a data row of
        // a company-directory run whose mobile-number value is no mobile number.
        InvalidMobileRole = Qt::UserRole + 1,
        // The cell's stored GBK bytes (QByteArray).
        RawTextRole,
    };

    explicit ResultGrid(QObject* parent = nullptr);

    // ---- Grid access ----------------------------------------------------------------
    int gridRowCount() const { return static_cast<int>(rows_.size()); }
    int gridColumnCount() const { return columns_; }
    // The cell's text; empty outside the grid.
    const std::string& cell(int row, int column) const;
    // Sets a cell (the user's edits); outside the grid nothing happens.
    void setCell(int row, int column, std::string value);
    const std::string& title(int column) const { return cell(0, column); }
    // Sets the column count and the titles of row 0 (further titles blank).
    void setTitles(const std::vector<std::string>& titles, int columnCount);
    void setColumnCount(int count);

    // Writes the fields into the empty last row from column 0 (an empty field is stored
    // as a single blank; fields beyond the last column are dropped) and adds a new empty
    // last row.
    void appendRow(const std::vector<std::string>& fields);
    // Cuts the grid back to the title row and one empty row.
    void resetToTitles();

    // Column 0 read from the bottom up: the first cell that reads as a positive integer.
    int lastSerialNumber() const;
    // The data rows: row count - 2, plus 1 when the last row's first cell is not empty.
    int dataRowCount() const;
    // Whether a cell of the column, title and empty last row included, equals the value
    // without regard to letter case. Answered from an index of the column, kept up to
    // date by appends, so the 100 000th test costs what the first did.
    bool columnHolds(int column, const std::string& value) const;
    // The first column whose title contains the text (GBK); -1 when none does.
    int firstColumnTitled(std::string_view part) const;

    // The greatest value length of each column seen in appended rows, with the row where
    // it occurred, as "length(row)" per column; empty before the first append.
    std::vector<std::string> lengthRecord() const;

    // Mobile-number marking, switched on for company-directory runs.
    void setMarkMobiles(bool on);
    bool markMobiles() const { return markMobiles_; }
    bool invalidMobile(int row, int column) const;

    // The address a double click on a data cell opens: the trimmed text of a cell (row and
    // column both above 0) that holds "http://" or "https://"; empty otherwise.
    std::string linkAt(int row, int column) const;

    // ---- Item model -----------------------------------------------------------------
    int rowCount(const QModelIndex& parent = QModelIndex()) const override;
    int columnCount(const QModelIndex& parent = QModelIndex()) const override;
    QVariant data(const QModelIndex& index, int role = Qt::DisplayRole) const override;
    QVariant headerData(int section, Qt::Orientation orientation, int role = Qt::DisplayRole) const override;
    Qt::ItemFlags flags(const QModelIndex& index) const override;
    bool setData(const QModelIndex& index, const QVariant& value, int role = Qt::EditRole) override;

private:
    using Row = std::vector<std::string>;
    Row emptyRow() const { return Row(static_cast<std::size_t>(columns_)); }
    void invalidateIndex(int column) const;
    void noteLength(int column, std::size_t length, int row);

    std::vector<Row> rows_;
    int columns_ = kInitialColumns;
    // Lower-cased cells per column, built on a column's first test.
    mutable std::vector<std::optional<std::unordered_set<std::string>>> index_;
    struct Longest {
        std::size_t length = 0;
        int row = 0;
    };
    std::vector<Longest> longest_;
    bool anyAppended_ = false;
    bool markMobiles_ = false;
    engine::PatternSet patterns_;
};

} // namespace tarvimo::run
