#pragma once

#include <QString>

class TSpeech;
class THelpForm;
class TVoxShowMessageForm;

// The interface voice the help viewer and the spoken message box speak with (not owned;
// none keeps them silent). The main window sets it once its voice exists.
void SetHelpSpeech(TSpeech *speech);
TSpeech *HelpSpeech();

// Opens the help viewer on a topic: reloads <ProgramDir>/help/helptree.txt, shows the
// viewer (not modal) and reads the topic's file <ProgramDir>/help/<topic>.txt aloud.
// Missing or damaged files are reported through the spoken message box.
void ShowHelp(const QString &topic);

// Shows the spoken message box modally: plays the "msgbox" sound and reads the text (not
// the title) with the interface voice. Returns when the user closes it (OK or Escape).
void VoxShowMessage(const QString &title, const QString &text);

// The single instances, created on first use and kept to the end of the program.
THelpForm *HelpForm();
TVoxShowMessageForm *VoxShowMessageForm();
