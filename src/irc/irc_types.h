#pragma once

#include <QtGlobal>

class TIrcClient;
class TIrcUser;
class TIrcUsers;
class TIrcChannel;
class TIrcChannels;

// Where the client stands with the server. Stored as one byte; the numbering is relied on by
// callers that compare states.
enum TIrcClientState : quint8 {
    stDisconnecting = 0,
    stDisconnected = 1,
    stConnecting = 2,
    stRegistering = 3,
    stConnected = 4,
};

// Channel modes as one byte, bit n for the n-th letter of "psitnmlk".
enum TIrcChanModeFlag : quint8 {
    cfPrivate = 1 << 0,
    cfSecret = 1 << 1,
    cfInviteOnly = 1 << 2,
    cfTopicByOps = 1 << 3,
    cfNoOutside = 1 << 4,
    cfModerated = 1 << 5,
    cfLimit = 1 << 6,
    cfKey = 1 << 7,
};
using TIrcChanModeFlags = quint8;

enum TIrcUserMode : quint8 {
    umInvisible = 1 << 0,
    umOperator = 1 << 1,
    umServerNotices = 1 << 2,
    umWallops = 1 << 3,
};
using TIrcUserModes = quint8;

enum TIrcChannelUpdateType {
    cuMode = 0,
    cuTopic = 1,
    cuUser = 2,
    cuNames = 3,
    cuNick = 4,
    cuJoin = 5,
    cuPart = 6,
    cuKick = 7,
    cuQuit = 8,
};

// How the client left a channel whose record it still holds.
enum TIrcLeftBy {
    lbNone = 0,
    lbParted = 1,
    lbKicked = 2,
};

// Member status flags in a channel's name list.
constexpr int MemberOp = 1;
constexpr int MemberVoice = 2;
