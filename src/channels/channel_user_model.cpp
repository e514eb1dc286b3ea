#include "channels/channel_user_model.h"

#include "app/codepage.h"
#include "irc/irc_case.h"

#include <QSet>

namespace {

// The table folds nicks the way the engine does, on the engine's bytes.
QByteArray KeyOf(const QString &nick)
{
    return EncodeEngineText(nick);
}

} // namespace

TChannelUserModel::TChannelUserModel(QObject *parent) : QAbstractTableModel(parent)
{}

TChannelUserModel::~TChannelUserModel()
{
    for (ChannelUserRecord *user : m_users.TakeAll())
        delete user;
}

ChannelUserRecord *TChannelUserModel::Find(const QString &nick) const
{
    return nick.isEmpty() ? nullptr : m_users.Find(KeyOf(nick));
}

int TChannelUserModel::RowOf(const QString &nick) const
{
    const ChannelUserRecord *user = Find(nick);
    return user ? m_users.IndexOf(user) : -1;
}

bool TChannelUserModel::Add(const QString &nick)
{
    const QByteArray key = KeyOf(nick);
    if (nick.isEmpty() || m_users.Find(key))
        return false;
    const int row = Count();
    beginInsertRows({}, row, row);
    auto *user = new ChannelUserRecord;
    user->Nick = nick;
    m_users.Append(user, key);
    endInsertRows();
    return true;
}

void TChannelUserModel::AddMissing(const QStringList &nicks)
{
    // Only the new users are announced, each once even when the list repeats one.
    std::vector<std::pair<QString, QByteArray>> fresh;
    fresh.reserve(size_t(nicks.size()));
    QSet<QByteArray> seen;
    for (const QString &nick : nicks) {
        QByteArray key = KeyOf(nick);
        if (nick.isEmpty() || m_users.Find(key))
            continue;
        QByteArray folded = IrcCase::Fold(key, m_users.CaseMapping());
        if (seen.contains(folded))
            continue;
        seen.insert(std::move(folded));
        fresh.emplace_back(nick, std::move(key));
    }
    if (fresh.empty())
        return;
    const bool reset = Count() == 0;
    const int first = Count();
    if (reset)
        beginResetModel();
    else
        beginInsertRows({}, first, first + int(fresh.size()) - 1);
    for (auto &[nick, key] : fresh) {
        auto *user = new ChannelUserRecord;
        user->Nick = nick;
        m_users.Append(user, key);
    }
    if (reset)
        endResetModel();
    else
        endInsertRows();
}

void TChannelUserModel::removeRecord(ChannelUserRecord *user)
{
    const int row = m_users.IndexOf(user);
    beginRemoveRows({}, row, row);
    m_users.Remove(user);
    delete user;
    endRemoveRows();
}

bool TChannelUserModel::Remove(const QString &nick)
{
    ChannelUserRecord *user = Find(nick);
    if (!user)
        return false;
    removeRecord(user);
    return true;
}

bool TChannelUserModel::Rename(const QString &oldNick, const QString &newNick)
{
    ChannelUserRecord *user = Find(oldNick);
    if (!user || newNick.isEmpty() || oldNick == newNick)
        return false;
    ChannelUserRecord *clash = Find(newNick);
    if (clash && clash != user)
        removeRecord(clash);
    user->Nick = newNick;
    m_users.Rekey(user, KeyOf(newNick));
    changed(user, 0, 0);
    return true;
}

void TChannelUserModel::CountMessage(const QString &nick)
{
    if (ChannelUserRecord *user = Find(nick)) {
        ++user->MessageCount;
        changed(user, 1, 1);
    }
}

bool TChannelUserModel::ToggleIgnored(const QString &nick)
{
    ChannelUserRecord *user = Find(nick);
    if (!user)
        return false;
    user->Ignored = !user->Ignored;
    changed(user, 0, 0);
    return true;
}

void TChannelUserModel::SetCaseMapping(TIrcCaseMapping mapping)
{
    m_users.SetCaseMapping(mapping, [](const ChannelUserRecord *u) { return KeyOf(u->Nick); });
}

void TChannelUserModel::changed(ChannelUserRecord *user, int firstColumn, int lastColumn)
{
    const int row = m_users.IndexOf(user);
    emit dataChanged(index(row, firstColumn), index(row, lastColumn));
}

int TChannelUserModel::rowCount(const QModelIndex &parent) const
{
    return parent.isValid() ? 0 : Count();
}

int TChannelUserModel::columnCount(const QModelIndex &parent) const
{
    return parent.isValid() ? 0 : 2;
}

QVariant TChannelUserModel::data(const QModelIndex &index, int role) const
{
    if (!index.isValid() || index.row() >= Count())
        return {};
    const ChannelUserRecord &user = At(index.row());
    if (index.column() == 1) {
        if (role == Qt::DisplayRole || role == Qt::AccessibleTextRole)
            return user.MessageCount > 0 ? QString::number(user.MessageCount) : QString();
        return {};
    }
    switch (role) {
    case Qt::DisplayRole:
        return user.Nick;
    case Qt::AccessibleTextRole:
        // Heard by a screen reader as well as seen.
        return user.Ignored ? user.Nick + QStringLiteral(" (игнорируется)") : user.Nick;
    case Qt::UserRole:
        return user.Ignored ? ImageIgnored : ImageUser;
    default:
        return {};
    }
}
