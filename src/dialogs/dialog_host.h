#pragma once

class QWidget;
class TIrcClient;
class TSpeech;

// What the connection dialogs, the wizard, the favourites, the configuration editor and
// the small windows ask of the main window. The main window installs itself at start
// (SetDialogHost); tests install a host of their own with a real engine and a recording
// voice. Every member is called on the user-interface thread.
class IDialogHost
{
public:
    virtual ~IDialogHost() = default;

    // The interface voice (controls, dialogs, menus).
    virtual TSpeech *InterfaceSpeech() = 0;
    // The one IRC engine of the program.
    virtual TIrcClient *IrcClient() = 0;
    // The main window's connect action: disconnects when connected, otherwise connects with
    // the server and identity stored in connect.ini and user.ini.
    virtual void ConnectAction() = 0;
    // Announces the keyboard language with the channel voice when it changed since the
    // last announcement; input fields call it on every key press.
    virtual void SpeakLang() = 0;
    // Shows the configuration editor modally on the given page (0 = first page).
    virtual void ShowConfigEditor(int page) = 0;
    // Parent for dialogs and message boxes (the main window; may be null in tests).
    virtual QWidget *MainWidget() = 0;
};

IDialogHost *DialogHost();
void SetDialogHost(IDialogHost *host);
