#include "channels/channel_list_model.h"

#include "app/codepage.h"

#include <QBrush>
#include <QCollator>
#include <QColor>
#include <QLocale>

#include <algorithm>

namespace {

// The channel windows' text preparation, on the bytes: a colour code (3) goes with the
// character after it when that is a digit or anything from "," up, and then with one more
// digit; NUL becomes a blank; every other byte stays.
QByteArray prepareField(const QByteArray &field)
{
    if (!field.contains('\x03') && !field.contains('\0'))
        return field;
    QByteArray out;
    out.reserve(field.size());
    const auto isDigit = [](unsigned char c) { return c >= '0' && c <= '9'; };
    for (qsizetype i = 0; i < field.size(); ++i) {
        const unsigned char c = static_cast<unsigned char>(field[i]);
        if (c == 0) {
            out.append(' ');
        } else if (c == 3) {
            if (i + 1 < field.size()) {
                const unsigned char next = static_cast<unsigned char>(field[i + 1]);
                if (isDigit(next) || next >= ',') {
                    ++i;
                    if (i + 1 < field.size() && isDigit(static_cast<unsigned char>(field[i + 1])))
                        ++i;
                }
            }
        } else {
            out.append(char(c));
        }
    }
    return out;
}

const QCollator &nameCollator()
{
    static const QCollator collator = [] {
        QCollator c(QLocale::system());
        c.setCaseSensitivity(Qt::CaseSensitive);
        return c;
    }();
    return collator;
}

} // namespace

int ChannelUserCount(const QByteArray &users)
{
    bool ok = false;
    const int count = users.trimmed().toInt(&ok, 10);
    return ok ? count : 0;
}

TChannelListRow TChannelListRow::FromFields(const QByteArray &name, const QByteArray &users,
                                            const QByteArray &topic)
{
    TChannelListRow row;
    row.Name = prepareField(name);
    row.Users = prepareField(users);
    row.Topic = prepareField(topic);
    row.NameText = DecodeEngineText(row.Name);
    row.UsersText = DecodeEngineText(row.Users);
    row.TopicText = DecodeEngineText(row.Topic);
    row.UserCount = ChannelUserCount(row.Users);
    return row;
}

TChannelListRow TChannelListRow::FromListEntry(const QByteArray &entry)
{
    const qsizetype first = entry.indexOf(' ');
    if (first < 0)
        return FromFields(entry, QByteArray(), QByteArray());
    const qsizetype second = entry.indexOf(' ', first + 1);
    if (second < 0)
        return FromFields(entry.left(first), entry.mid(first + 1), QByteArray());
    return FromFields(entry.left(first), entry.mid(first + 1, second - first - 1),
                      entry.mid(second + 1));
}

// ---- TChannelList ----

void TChannelList::MakeNameKeys() const
{
    m_nameKeys.resize(m_rows.size());
    const QCollator &collator = nameCollator();
    for (size_t i = 0; i < m_rows.size(); ++i) {
        if (!m_nameKeys[i])
            m_nameKeys[i].emplace(collator.sortKey(m_rows[i].NameText));
    }
}

const QCollatorSortKey &TChannelList::NameKey(int index) const
{
    if (size_t(index) >= m_nameKeys.size() || !m_nameKeys[size_t(index)])
        MakeNameKeys();
    return *m_nameKeys[size_t(index)];
}

// ---- TShownChannelModel ----

TShownChannelModel::TShownChannelModel(const TChannelList *full, QObject *parent)
    : QAbstractTableModel(parent), m_full(full)
{}

int TShownChannelModel::rowCount(const QModelIndex &parent) const
{
    return parent.isValid() ? 0 : int(m_shown.size());
}

int TShownChannelModel::columnCount(const QModelIndex &parent) const
{
    return parent.isValid() ? 0 : 3;
}

QVariant TShownChannelModel::data(const QModelIndex &index, int role) const
{
    if (!index.isValid() || index.row() >= int(m_shown.size()))
        return QVariant();
    const TChannelListRow &row = Row(index.row());
    switch (role) {
    case Qt::DisplayRole:
    case Qt::ToolTipRole:
        switch (index.column()) {
        case 0:
            return row.NameText;
        case 1:
            return row.UsersText;
        default:
            return row.TopicText;
        }
    case Qt::AccessibleTextRole:
        // A screen reader hears the whole row, as the window's own speech says it.
        return row.NameText + u' ' + row.UsersText + u' ' + row.TopicText;
    case Qt::TextAlignmentRole:
        if (index.column() == 1)
            return int(Qt::AlignCenter);
        return int(Qt::AlignLeft | Qt::AlignVCenter);
    case Qt::ForegroundRole:
        return QBrush(Qt::black);
    case Qt::BackgroundRole:
        if (m_coloured && index.row() % 2 == 1)
            return QBrush(QColor(255, 244, 196));
        return QBrush(Qt::white);
    default:
        return QVariant();
    }
}

QVariant TShownChannelModel::headerData(int section, Qt::Orientation orientation, int role) const
{
    if (orientation != Qt::Horizontal || section < 0 || section > 2)
        return QAbstractTableModel::headerData(section, orientation, role);
    if (role == Qt::DisplayRole)
        return m_headers[section];
    return QVariant();
}

void TShownChannelModel::SetHeader(int column, const QString &text)
{
    if (m_headers[column] == text)
        return;
    m_headers[column] = text;
    emit headerDataChanged(Qt::Horizontal, column, column);
}

void TShownChannelModel::SetColoured(bool coloured)
{
    if (m_coloured == coloured)
        return;
    m_coloured = coloured;
    if (!m_shown.empty())
        emit dataChanged(index(0, 0), index(int(m_shown.size()) - 1, 2), {Qt::BackgroundRole});
}

void TShownChannelModel::Rebuild(int minimumUsers)
{
    std::vector<int> shown;
    shown.reserve(size_t(m_full->Count()));
    for (int i = 0, n = m_full->Count(); i < n; ++i) {
        if (m_full->At(i).UserCount >= minimumUsers)
            shown.push_back(i);
    }
    if (m_sortByName)
        sortShownByName(shown);
    beginResetModel();
    m_shown = std::move(shown);
    m_inFullOrder = !m_sortByName;
    endResetModel();
}

void TShownChannelModel::AppendFrom(int firstNew, int minimumUsers)
{
    std::vector<int> added;
    for (int i = firstNew, n = m_full->Count(); i < n; ++i) {
        if (m_full->At(i).UserCount >= minimumUsers)
            added.push_back(i);
    }
    if (added.empty())
        return;
    const int first = int(m_shown.size());
    beginInsertRows(QModelIndex(), first, first + int(added.size()) - 1);
    m_shown.insert(m_shown.end(), added.begin(), added.end());
    endInsertRows();
}

void TShownChannelModel::SetSortByName(bool on)
{
    m_sortByName = on;
    if (!on)
        return;
    std::vector<int> order = m_shown;
    sortShownByName(order);
    reorder(std::move(order));
}

void TShownChannelModel::SortByUsers()
{
    std::vector<int> order = m_shown;
    const TChannelList *full = m_full;
    std::stable_sort(order.begin(), order.end(), [full](int a, int b) {
        return full->At(a).UserCount > full->At(b).UserCount;
    });
    reorder(std::move(order));
}

int TShownChannelModel::ShownRowOf(int fullIndex) const
{
    if (m_inFullOrder) {
        const auto it = std::lower_bound(m_shown.begin(), m_shown.end(), fullIndex);
        return it != m_shown.end() && *it == fullIndex ? int(it - m_shown.begin()) : -1;
    }
    const auto it = std::find(m_shown.begin(), m_shown.end(), fullIndex);
    return it != m_shown.end() ? int(it - m_shown.begin()) : -1;
}

void TShownChannelModel::sortShownByName(std::vector<int> &indexes) const
{
    m_full->MakeNameKeys();
    const TChannelList *full = m_full;
    std::stable_sort(indexes.begin(), indexes.end(), [full](int a, int b) {
        return full->NameKey(a).compare(full->NameKey(b)) < 0;
    });
}

// Puts the shown rows into a new order of the same rows, keeping every persistent index
// (current row, selection) on its channel.
void TShownChannelModel::reorder(std::vector<int> order)
{
    if (order == m_shown) {
        m_inFullOrder = m_inFullOrder && !m_sortByName;
        return;
    }
    emit layoutAboutToBeChanged({}, QAbstractItemModel::VerticalSortHint);
    const QModelIndexList persistent = persistentIndexList();
    std::vector<int> oldRowOfFull;
    if (!persistent.isEmpty()) {
        oldRowOfFull.assign(size_t(m_full->Count()), -1);
        for (size_t row = 0; row < m_shown.size(); ++row)
            oldRowOfFull[size_t(m_shown[row])] = int(row);
    }
    std::vector<int> newRowOfOld(m_shown.size(), -1);
    if (!persistent.isEmpty()) {
        for (size_t row = 0; row < order.size(); ++row)
            newRowOfOld[size_t(oldRowOfFull[size_t(order[row])])] = int(row);
    }
    m_shown = std::move(order);
    m_inFullOrder = std::is_sorted(m_shown.begin(), m_shown.end());
    QModelIndexList moved;
    moved.reserve(persistent.size());
    for (const QModelIndex &old : persistent)
        moved.append(index(newRowOfOld[size_t(old.row())], old.column()));
    changePersistentIndexList(persistent, moved);
    emit layoutChanged({}, QAbstractItemModel::VerticalSortHint);
}
