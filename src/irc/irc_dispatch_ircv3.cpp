// Commands that only reach a client that asked for IRCv3 capabilities. They update the
// user records quietly: none of them is news the user asked to hear.
#include "irc/irc_client.h"

void TIrcClient::onAway(TIrcUser *user)
{
    // away-notify: "AWAY :<text>" when a user leaves, "AWAY" alone on return.
    if (user && !m_parse.SenderNick.isEmpty())
        user->Reason = tok(2);
}

void TIrcClient::onChghost(TIrcUser *user)
{
    // chghost: ":nick!old@old CHGHOST <user> <host>".
    if (user && !m_parse.SenderNick.isEmpty() && !tok(2).isEmpty() && !tok(3).isEmpty())
        user->Address = tok(2) + '@' + tok(3);
}

void TIrcClient::onQuietly(TIrcUser * /*user*/)
{
    // ACCOUNT (account-notify) and TAGMSG (message-tags) carry nothing the windows show.
}
