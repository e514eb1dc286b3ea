#pragma once

#include <QAbstractTableModel>
#include <QByteArray>
#include <QCollatorSortKey>
#include <QList>
#include <QString>

#include <optional>
#include <vector>

// One channel of the server's list. The bytes are kept as they came (after the colour
// codes are stripped) so that the saved list holds exactly what the server sent; the
// decoded texts are what the window shows and speaks.
struct TChannelListRow
{
    QByteArray Name;
    QByteArray Users;
    QByteArray Topic;
    QString NameText;
    QString UsersText;
    QString TopicText;
    // Users as a number; a damaged count (not a decimal integer) counts as 0 so that one
    // bad line in a saved list cannot stop the filter or the sort.
    int UserCount = 0;

    static TChannelListRow FromFields(const QByteArray &name, const QByteArray &users,
                                      const QByteArray &topic);
    // One engine list entry "channel users topic": the name runs to the first blank, the
    // count to the second, the topic is the rest with its blanks. Colour codes are
    // removed and NUL becomes a blank in every field.
    static TChannelListRow FromListEntry(const QByteArray &entry);
};

// A user count as the filter and the sort read it.
int ChannelUserCount(const QByteArray &users);

// The full (hidden) list: every channel received or loaded, in arrival order. Rows are only
// appended or all dropped, so the shown list can refer to them by position.
class TChannelList
{
public:
    int Count() const { return int(m_rows.size()); }
    const TChannelListRow &At(int index) const { return m_rows[size_t(index)]; }
    void Append(TChannelListRow row) { m_rows.push_back(std::move(row)); }
    void Reserve(int count) { m_rows.reserve(size_t(count)); }
    void Clear()
    {
        m_rows.clear();
        m_nameKeys.clear();
    }
    // Collation keys of the names for the sort by name, made on first need.
    const QCollatorSortKey &NameKey(int index) const;
    void MakeNameKeys() const;

private:
    std::vector<TChannelListRow> m_rows;
    mutable std::vector<std::optional<QCollatorSortKey>> m_nameKeys;
};

// The shown list: the rows of the full list with at least the minimum number of users, as
// positions into the full list, so filtering and sorting move integers and never copy
// rows. Columns: name, users, topic.
class TShownChannelModel : public QAbstractTableModel
{
    Q_OBJECT
public:
    explicit TShownChannelModel(const TChannelList *full, QObject *parent = nullptr);

    int rowCount(const QModelIndex &parent = QModelIndex()) const override;
    int columnCount(const QModelIndex &parent = QModelIndex()) const override;
    QVariant data(const QModelIndex &index, int role = Qt::DisplayRole) const override;
    QVariant headerData(int section, Qt::Orientation orientation,
                        int role = Qt::DisplayRole) const override;

    void SetHeader(int column, const QString &text);
    QString Header(int column) const { return m_headers[column]; }

    // Rows drawn on a coloured background (every second one) instead of black on white.
    void SetColoured(bool coloured);
    bool Coloured() const { return m_coloured; }

    // The filtered copy of the whole full list (in its order, or by name while automatic
    // sorting is on).
    void Rebuild(int minimumUsers);
    // The full list grew from firstNew on and nothing else changed: the new rows that pass
    // the filter are added at the end (for rows still in the full list's order).
    void AppendFrom(int firstNew, int minimumUsers);

    // Automatic sorting by name (locale-aware, letter case counts).
    void SetSortByName(bool on);
    bool SortByName() const { return m_sortByName; }
    // One sort by user count, largest first; equal counts keep their order.
    void SortByUsers();
    // Whether the rows are in the full list's order (nothing has sorted them).
    bool InFullListOrder() const { return m_inFullOrder; }

    int FullIndex(int shownRow) const { return m_shown[shownRow]; }
    const TChannelListRow &Row(int shownRow) const { return m_full->At(m_shown[shownRow]); }
    // The shown row of a full-list row; -1 when it is filtered out.
    int ShownRowOf(int fullIndex) const;

    const std::vector<int> &ShownIndexes() const { return m_shown; }

private:
    void sortShownByName(std::vector<int> &indexes) const;
    void reorder(std::vector<int> order);

    const TChannelList *m_full;
    std::vector<int> m_shown;
    QString m_headers[3];
    bool m_sortByName = false;
    bool m_inFullOrder = true;
    bool m_coloured = false;
};
