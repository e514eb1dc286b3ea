#pragma once

#include "irc/irc_ordered_list.h"

#include <QAbstractTableModel>
#include <QString>
#include <QStringList>

// One user of a channel window's user table.
struct ChannelUserRecord : TOrderedEntry
{
    QString Nick;
    qint32 MessageCount = 0;
    bool Ignored = false;
};

// The channel window's user table as the list shows it: one row per user in the order the
// users arrived (never sorted), two columns (nick, message count; the count stays blank
// until the first message). Users are found by case-folded nick through a hash and a row's
// position comes from the ordered list's Fenwick tree, so every change but a whole names
// reply costs the same in a channel of ten members and of twenty thousand, and the view is
// told about exactly the one row concerned.
class TChannelUserModel : public QAbstractTableModel
{
    Q_OBJECT
public:
    // Row images of the list (Qt::UserRole of the nick column).
    static constexpr int ImageUser = 4;
    static constexpr int ImageIgnored = 13;

    explicit TChannelUserModel(QObject *parent = nullptr);
    ~TChannelUserModel() override;

    int Count() const { return m_users.Count(); }
    ChannelUserRecord *Find(const QString &nick) const;
    // Row of a user, or -1.
    int RowOf(const QString &nick) const;
    const ChannelUserRecord &At(int row) const { return *m_users.At(row); }
    QString NickAt(int row) const { return m_users.At(row)->Nick; }

    // Adds a user not yet listed at the end; false when already listed or empty.
    bool Add(const QString &nick);
    // Adds the nicks not yet listed, in list order, as one change: a reset when the table
    // was empty (a names reply after joining), otherwise one insertion at the end.
    void AddMissing(const QStringList &nicks);
    bool Remove(const QString &nick);
    // The row, count and mark follow the user; someone already listed under the new nick
    // (a stale entry) makes room.
    bool Rename(const QString &oldNick, const QString &newNick);
    void CountMessage(const QString &nick);
    // Inverts the ignore mark; false when the nick is not listed.
    bool ToggleIgnored(const QString &nick);
    // Users are found under the server's rule for comparing nicks from now on.
    void SetCaseMapping(TIrcCaseMapping mapping);

    int rowCount(const QModelIndex &parent = {}) const override;
    int columnCount(const QModelIndex &parent = {}) const override;
    QVariant data(const QModelIndex &index, int role) const override;

private:
    void changed(ChannelUserRecord *user, int firstColumn, int lastColumn);
    void removeRecord(ChannelUserRecord *user);

    TKeyedOrderedList<ChannelUserRecord> m_users; // owns nothing: records are freed here
};
