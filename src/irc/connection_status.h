#pragma once

// Stages of a connection announced through OnStatus. The texts are fixed:
// hsResolving "Resolving hostname %s.", hsConnecting "Connecting to %s." (the dotted
// address), hsConnected "Connected.", hsDisconnecting "Disconnecting.", hsDisconnected
// "Disconnected.", hsStatusText "%s". The ftp values complete the set and are never raised.
enum TConnectionStatus {
    hsResolving,
    hsConnecting,
    hsConnected,
    hsDisconnecting,
    hsDisconnected,
    hsStatusText,
    ftpTransfer,
    ftpReady,
    ftpAborted
};
