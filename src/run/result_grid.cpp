#include "run/result_grid.h"

#include "base/text.h"
#include "run/qt_text.h"

#include <QByteArray>

#include <algorithm>

namespace tarvimo::run {

namespace {
const std::string kNoCell;
}

ResultGrid::ResultGrid(QObject* parent) : QAbstractTableModel(parent)
{
    rows_.assign(2, emptyRow());
    index_.resize(static_cast<std::size_t>(columns_));
}

const std::string& ResultGrid::cell(int row, int column) const
{
    if (row < 0 || row >= gridRowCount() || column < 0 || column >= columns_)
        return kNoCell;
    return rows_[static_cast<std::size_t>(row)][static_cast<std::size_t>(column)];
}

void ResultGrid::setCell(int row, int column, std::string value)
{
    if (row < 0 || row >= gridRowCount() || column < 0 || column >= columns_)
        return;
    rows_[static_cast<std::size_t>(row)][static_cast<std::size_t>(column)] = std::move(value);
    invalidateIndex(column);
    if (row == 0) {
        emit headerDataChanged(Qt::Horizontal, column, column);
    } else {
        const QModelIndex i = createIndex(row - 1, column);
        emit dataChanged(i, i);
    }
}

void ResultGrid::setColumnCount(int count)
{
    count = std::max(count, 1);
    if (count == columns_)
        return;
    beginResetModel();
    columns_ = count;
    for (auto& r : rows_)
        r.resize(static_cast<std::size_t>(count));
    index_.assign(static_cast<std::size_t>(count), std::nullopt);
    longest_.resize(std::min(longest_.size(), static_cast<std::size_t>(count)));
    endResetModel();
}

void ResultGrid::setTitles(const std::vector<std::string>& titles, int columnCount)
{
    setColumnCount(columnCount);
    for (int c = 0; c < columns_; ++c) {
        const auto k = static_cast<std::size_t>(c);
        rows_[0][k] = k < titles.size() ? titles[k] : std::string();
        invalidateIndex(c);
    }
    emit headerDataChanged(Qt::Horizontal, 0, columns_ - 1);
}

void ResultGrid::appendRow(const std::vector<std::string>& fields)
{
    const int last = gridRowCount() - 1;
    Row& row = rows_.back();
    const std::size_t n = std::min(fields.size(), row.size());
    for (std::size_t c = 0; c < n; ++c) {
        // An empty field keeps its cell with a blank, so the next field does not take it.
        row[c] = fields[c].empty() ? std::string(" ") : fields[c];
        if (index_[c])
            index_[c]->insert(text::toLower(row[c]));
        noteLength(static_cast<int>(c), row[c].size(), last);
    }
    anyAppended_ = true;
    const int modelRow = last - 1;
    emit dataChanged(createIndex(modelRow, 0), createIndex(modelRow, columns_ - 1));
    beginInsertRows(QModelIndex(), modelRow + 1, modelRow + 1);
    rows_.push_back(emptyRow());
    endInsertRows();
}

void ResultGrid::resetToTitles()
{
    beginResetModel();
    rows_.resize(1);
    rows_.push_back(emptyRow());
    index_.assign(static_cast<std::size_t>(columns_), std::nullopt);
    longest_.clear();
    anyAppended_ = false;
    endResetModel();
}

int ResultGrid::lastSerialNumber() const
{
    for (int r = gridRowCount() - 1; r >= 0; --r) {
        int n = 0;
        if (text::parseInt32(text::trimView(cell(r, 0)), n, false) && n > 0)
            return n;
    }
    return 0;
}

int ResultGrid::dataRowCount() const
{
    return gridRowCount() - 2 + (cell(gridRowCount() - 1, 0).empty() ? 0 : 1);
}

bool ResultGrid::columnHolds(int column, const std::string& value) const
{
    if (column < 0 || column >= columns_)
        return false;
    auto& slot = index_[static_cast<std::size_t>(column)];
    if (!slot) {
        slot.emplace();
        slot->reserve(rows_.size());
        for (const auto& r : rows_)
            slot->insert(text::toLower(r[static_cast<std::size_t>(column)]));
    }
    return slot->count(text::toLower(value)) > 0;
}

int ResultGrid::firstColumnTitled(std::string_view part) const
{
    for (int c = 0; c < columns_; ++c)
        if (text::findChar(title(c), part) != std::string::npos)
            return c;
    return -1;
}

std::vector<std::string> ResultGrid::lengthRecord() const
{
    std::vector<std::string> record;
    if (!anyAppended_)
        return record;
    for (int c = 0; c < columns_; ++c) {
        const Longest l = static_cast<std::size_t>(c) < longest_.size() ? longest_[static_cast<std::size_t>(c)] : Longest{};
        record.push_back(std::to_string(l.length) + "(" + std::to_string(l.row) + ")");
    }
    return record;
}

void ResultGrid::noteLength(int column, std::size_t length, int row)
{
    if (longest_.size() <= static_cast<std::size_t>(column))
        longest_.resize(static_cast<std::size_t>(column) + 1);
    Longest& l = longest_[static_cast<std::size_t>(column)];
    if (length > l.length) {
        l.length = length;
        l.row = row;
    }
}

void ResultGrid::invalidateIndex(int column) const
{
    if (column >= 0 && static_cast<std::size_t>(column) < index_.size())
        index_[static_cast<std::size_t>(column)].reset();
}

void ResultGrid::setMarkMobiles(bool on)
{
    if (markMobiles_ == on)
        return;
    markMobiles_ = on;
    if (gridRowCount() > 2 && columns_ > 3)
        emit dataChanged(createIndex(0, 3), createIndex(gridRowCount() - 2, 3), {InvalidMobileRole});
}

bool ResultGrid::invalidMobile(int row, int column) const
{
    if (!markMobiles_ || column != 3 || row < 1 || row >= gridRowCount())
        return false;
    const int mobileColumn = firstColumnTitled(text::gbk("手机"));
    if (mobileColumn < 0)
        return false;
    const std::string& value = cell(row, mobileColumn);
    if (text::trimView(value).empty() || value.find('*') != std::string::npos)
        return false;  // blank or a masked number
    return patterns_.mobiles(value).empty();
}

std::string ResultGrid::linkAt(int row, int column) const
{
    if (row < 1 || column < 1)
        return {};
    const std::string& c = cell(row, column);
    if (text::findNoCase(c, "http://") == std::string::npos && text::findNoCase(c, "https://") == std::string::npos)
        return {};
    return text::trim(c);
}

// ---- Item model ---------------------------------------------------------------------------

int ResultGrid::rowCount(const QModelIndex& parent) const
{
    return parent.isValid() ? 0 : gridRowCount() - 1;
}

int ResultGrid::columnCount(const QModelIndex& parent) const
{
    return parent.isValid() ? 0 : columns_;
}

QVariant ResultGrid::data(const QModelIndex& index, int role) const
{
    if (!index.isValid())
        return {};
    const int row = index.row() + 1;
    const std::string& c = cell(row, index.column());
    switch (role) {
    case Qt::DisplayRole:
    case Qt::EditRole:
        return fromGbk(c);
    case RawTextRole:
        return QByteArray(c.data(), static_cast<qsizetype>(c.size()));
    case InvalidMobileRole:
        return invalidMobile(row, index.column());
    default:
        return {};
    }
}

QVariant ResultGrid::headerData(int section, Qt::Orientation orientation, int role) const
{
    if (role != Qt::DisplayRole)
        return {};
    if (orientation == Qt::Horizontal)
        return fromGbk(title(section));
    return section + 1;
}

Qt::ItemFlags ResultGrid::flags(const QModelIndex& index) const
{
    if (!index.isValid())
        return Qt::NoItemFlags;
    return Qt::ItemIsEnabled | Qt::ItemIsSelectable | Qt::ItemIsEditable;
}

bool ResultGrid::setData(const QModelIndex& index, const QVariant& value, int role)
{
    if (!index.isValid() || role != Qt::EditRole)
        return false;
    setCell(index.row() + 1, index.column(), toGbk(value.toString()));
    return true;
}

} // namespace tarvimo::run
