#include "dialogs/dialog_host.h"

namespace {
IDialogHost *currentHost = nullptr;
}

IDialogHost *DialogHost()
{
    return currentHost;
}

void SetDialogHost(IDialogHost *host)
{
    currentHost = host;
}
