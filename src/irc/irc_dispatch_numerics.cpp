// Dispatching of numeric server replies. Each code maps to one handler through a table
// built once; most replies become OnSystem with a label and a text made of their slots.
#include "irc/irc_client.h"

#include "irc/irc_case.h"

#include <algorithm>
#include <array>

namespace {

constexpr int kTableSize = 1000;

QByteArray joined(const QByteArray &a, const QByteArray &b)
{
    return a + ' ' + b;
}

QByteArray colonJoined(const QByteArray &a, const QByteArray &b)
{
    return a + " :" + b;
}

} // namespace

void TIrcClient::raiseSystem(TIrcUser *user, int code, const QByteArray &label,
                             const QByteArray &content)
{
    if (OnSystem)
        OnSystem(this, user, code, label, content);
}

void TIrcClient::dispatchNumeric(int code, TIrcUser *user)
{
    // Texts are built only for a bound OnSystem; the registry work below runs regardless.
    const bool sys = bool(OnSystem);
    auto say = [&](const char *label, const QByteArray &content) {
        raiseSystem(user, code, QByteArray(label), content);
    };

    switch (code) {
    case 1:
    case 2:
    case 3:
    case 4:
        m_serverName = m_parse.SenderAddress;
        // The welcome names the nick the server took, also one the user typed while
        // registering.
        if (code == 1 && !tok(2).isEmpty())
            m_currentNick = tok(2);
        // Registered: a server that holds nothing for CAP has nothing more to negotiate.
        m_caps.Finish();
        SetState(stConnected);
        say("WELCOME", m_parse.ParamText);
        return;
    case 6:
    case 7:
        say("MAP", tok(3));
        return;
    case 200:
    case 201:
    case 202:
    case 203:
    case 204:
    case 205:
    case 206:
    case 208:
    case 261:
        say("TRACE", m_parse.ParamText);
        return;
    case 211:
    case 212:
    case 213:
    case 214:
    case 215:
    case 216:
    case 218:
    case 241:
    case 242:
    case 243:
    case 244:
        say("STATS", m_parse.ParamText);
        return;
    case 219:
        if (sys)
            say("STATS", joined(tok(3), tok(4)));
        return;
    case 221:
        if (sys)
            say("UMODE", joined(tok(2), tok(3)));
        return;
    case 250:
    case 251:
    case 252:
    case 253:
    case 254:
    case 255:
        if (sys)
            say("LUSER", joined(tok(3), tok(4)));
        return;
    case 256:
    case 257:
    case 258:
    case 259:
        say("ADMIN", m_parse.ParamText);
        return;
    case 265:
    case 266:
        say("LUSER", tok(3));
        return;
    case 301:
        user->Reason = tok(4);
        if (OnAway)
            OnAway(this, user);
        return;
    case 302:
        say("USERHOST", tok(3));
        return;
    case 303:
        say("ISON", tok(3));
        return;
    case 305:
        m_away = false;
        if (OnUnAway)
            OnUnAway(this, tok(3));
        return;
    case 306:
        m_away = true;
        if (OnNowAway)
            OnNowAway(this, tok(3));
        return;
    case 307:
    case 313:
        if (sys)
            say("WHOIS", joined(tok(3), tok(4)));
        return;
    case 311:
        if (sys)
            say("WHOIS", tok(3) + " is " + tok(4) + '@' + tok(5) + ' ' + tok(6) + ' ' + tok(7));
        return;
    case 312:
        if (sys)
            say("WHOIS", tok(3) + " is using " + tok(4) + ' ' + tok(5));
        return;
    case 314:
        if (sys)
            say("WHOWAS", tok(3) + " was " + tok(4) + '@' + tok(5) + ' ' + tok(6) + ' ' + tok(7));
        return;
    case 315:
        if (sys)
            say("WHO", colonJoined(tok(3), tok(4)));
        return;
    case 317:
        if (sys)
            say("WHOIS", tok(3) + " has been idle " + tok(4) + " seconds, signed on at " + tok(5));
        return;
    case 318:
        if (sys)
            say("WHOIS", colonJoined(tok(3), tok(4)));
        return;
    case 319:
        if (sys)
            say("WHOIS", tok(3) + " is on " + tok(4));
        return;
    case 321:
        if (OnList) {
            m_listBuffer.clear();
            m_listPosition = 0;
            OnList(this, m_listBuffer, 0, false);
        }
        say("LIST", QByteArrayLiteral("Start of LIST"));
        return;
    case 322:
        if (OnList) {
            QByteArray entry;
            entry.reserve(tok(3).size() + tok(4).size() + tok(5).size() + 2);
            entry += tok(3);
            entry += ' ';
            entry += tok(4);
            entry += ' ';
            entry += tok(5);
            m_listBuffer.append(std::move(entry));
            if (m_listBuffer.size() - m_listPosition == 40) {
                OnList(this, m_listBuffer, m_listPosition, false);
                m_listPosition = int(m_listBuffer.size()) - 1;
            }
        }
        return;
    case 323:
        say("LIST", tok(3));
        if (OnList) {
            OnList(this, m_listBuffer, m_listPosition, true);
            m_listBuffer.clear();
            m_listPosition = 0;
        }
        return;
    case 324:
        if (OnChannelMode)
            OnChannelMode(this, nullptr, channelNamed(3), tok(3), joinModes(4));
        ParseChannelModes(3);
        return;
    case 329:
        raiseSystem(user, code, m_parse.CommandWord, m_parse.ParamText);
        return;
    case 331: {
        TIrcChannel *channel = channelNamed(3);
        if (!channel)
            return;
        channel->SetTopic(QByteArray());
        if (OnNoTopic)
            OnNoTopic(this, channel, tok(4));
        return;
    }
    case 332: {
        TIrcChannel *channel = channelNamed(3);
        if (channel)
            channel->SetTopic(tok(4));
        if (OnTopic)
            OnTopic(this, user, channel, tok(3), tok(4));
        return;
    }
    case 341:
        if (OnInviting)
            OnInviting(this, tok(3), tok(4));
        return;
    case 342:
        if (sys)
            say("SUMMON", tok(3) + " has been summoned");
        return;
    case 351:
        if (sys)
            say("VERSION", tok(3) + ' ' + tok(4) + ' ' + tok(5));
        return;
    case 352:
        // "<channel> <user> <host> <server> <nick> <flags> :<hops> <real name>": present the
        // fields a listener needs rather than just our own nick.
        if (sys) {
            const QByteArray &trailing = tok(9);
            const qsizetype blank = trailing.indexOf(' ');
            const QByteArray realName = blank >= 0 ? trailing.mid(blank + 1) : QByteArray();
            say("WHO", tok(3) + ' ' + tok(7) + ' ' + tok(8) + ' ' + tok(4) + '@' + tok(5) + ' ' +
                           tok(6) + " :" + realName);
        }
        return;
    case 353: {
        if (sys)
            say("NAMES", colonJoined(tok(4), tok(5)));
        TIrcChannel *channel = channelNamed(4);
        if (!channel)
            return;
        const QByteArray names = tok(5);
        qsizetype start = 0;
        for (qsizetype i = 0; i <= names.size(); ++i) {
            if (i == names.size() || names[i] == ' ') {
                if (i > start)
                    channel->AddUser(QByteArrayView(names).sliced(start, i - start),
                                     QByteArrayView());
                start = i + 1;
            }
        }
        channel->NamesDone();
        return;
    }
    case 364: {
        if (!OnLinks)
            return;
        const QByteArray &info = tok(5);
        const qsizetype blank = info.indexOf(' ');
        const QByteArray hops = blank >= 0 ? info.left(blank) : info;
        const QByteArray serverInfo = blank >= 0 ? info.mid(blank + 1) : QByteArray();
        OnLinks(this, tok(4), tok(3), hops, serverInfo);
        return;
    }
    case 365:
        if (sys)
            say("LINKS", joined(tok(3), tok(4)));
        return;
    case 366: {
        TIrcChannel *channel = channelNamed(3);
        if (sys)
            say("NAMES", colonJoined(tok(3), tok(4)));
        if (OnNames)
            OnNames(this, &m_users, channel);
        return;
    }
    case 367:
        if (sys)
            say("BANS", joined(tok(3), tok(4)));
        return;
    case 368:
        if (sys)
            say("BANS", colonJoined(tok(3), tok(4)));
        return;
    case 369:
        if (sys)
            say("WHOWAS", colonJoined(tok(3), tok(4)));
        return;
    case 371:
    case 374:
        say("INFO", tok(3));
        return;
    case 372:
    case 376:
        say("MOTD", tok(3));
        return;
    case 375:
        SetState(stConnected);
        say("MOTD", tok(3));
        return;
    case 381:
        say("OPER", tok(3));
        return;
    case 382:
        if (sys)
            say("REHASH", colonJoined(tok(3), tok(4)));
        return;
    case 391:
        if (sys) {
            const bool serverFirst = IrcCase::SameText(tok(0), tok(3), m_caseMapping);
            say("TIME", colonJoined(tok(0), serverFirst ? tok(4) : tok(3)));
        }
        return;
    case 392:
    case 393:
    case 394:
    case 395:
        say("USERS", tok(3));
        return;
    case 614:
        say("WHOIS", tok(3));
        return;
    default:
        break;
    }
    if (code == 5) {
        // What the server supports is shown as the rest of its greeting is.
        readIsupport();
        say("WELCOME", m_parse.ParamText);
        return;
    }
    if (saslNumeric(code, user)) {
        return;
    } else if ((code == 421 || code == 451) && tok(3) == "CAP" && m_caps.Negotiating()) {
        // A server that does not know CAP registers on NICK and USER as before.
        m_caps.Finish();
        if (Sasl.Wanted())
            saslFailed(QByteArray(), "The server does not offer SASL");
        return;
    }
    if (code >= 401 && code <= 502) {
        if (OnError)
            OnError(this, user, m_parse.CommandWord, m_parse.ParamText);
        if ((code == 431 || code == 432 || code == 433) && m_state == stRegistering)
            nickFallback();
        return;
    }
    if (OnUnknownCommand)
        OnUnknownCommand(this, user, m_parse.CommandWord, m_parse.ParamText);
}

void TIrcClient::nickFallback()
{
    // A server refuses a nick with one line and may drop a client that keeps offering
    // refused nicks, so the automatic tries end after a few; then the user chooses.
    if (m_nickAttempts >= MaxNickAttempts) {
        if (OnNicksRefused)
            OnNicksRefused(this, m_triedNicks);
        else
            Disconnect(true);
        return;
    }
    QByteArray next;
    if (m_currentNick == m_nick) {
        next = AltNick;
    } else {
        // The handler may name the next nick or give up (empty); left as it was, the next
        // generated variant is tried.
        next = m_currentNick;
        if (OnNicksInUse)
            OnNicksInUse(this, next);
        else
            next.clear();
        if (!next.isEmpty() && next == m_currentNick) {
            const QByteArray variants[] = {m_nick + '_', AltNick + '_', m_nick + "__"};
            const auto untried =
                std::find_if(std::begin(variants), std::end(variants),
                             [&](const QByteArray &v) { return !m_triedNicks.contains(v); });
            next = untried == std::end(variants) ? m_nick + "___" : *untried;
        }
    }
    if (next.isEmpty()) {
        Disconnect(true);
        return;
    }
    m_currentNick = next;
    ++m_nickAttempts;
    m_triedNicks.append(next);
    SetNick(next);
}

void TIrcClient::readIsupport()
{
    // ":server 005 <nick> <token>... :are supported by this server"
    const QByteArray network = m_isupport.Network;
    for (int slot = 3; slot < m_parse.Filled - 1; ++slot)
        m_isupport.ReadToken(tok(slot));
    // 005 comes before the first JOIN, yet a server may send it again later (or name its
    // rule after the welcome): the registries fold their keys again, so none goes stale.
    setCaseMapping(IrcCase::MappingNamed(m_isupport.CaseMapping));
    if (m_isupport.Network != network && !m_isupport.Network.isEmpty() && OnNetwork)
        OnNetwork(this, m_isupport.Network);
}

void TIrcClient::setCaseMapping(TIrcCaseMapping mapping)
{
    m_caseMapping = mapping;
    m_users.SetCaseMapping(mapping);
    m_channels.SetCaseMapping(mapping);
}
