#pragma once

#include <QString>

class QWidget;
class TSpeech;

// Small pieces every connection dialog needs.

// The interface voice of the installed dialog host; none (silent) without a host.
TSpeech *InterfaceVoice();
// Speaks on the interface voice when there is one.
void SpeakInterface(const QString &text);
// Gives every speaking control under root the interface voice. Windows call it on every
// activation, so a window created before the main window's voice existed speaks all the same.
void AttachInterfaceVoice(QWidget *root);
