#pragma once

#include <QString>

#include <functional>

class TSpeech;

// The stored settings of the program's two voices: the interface voice (Speech1: controls,
// menus, dialogs) and the channel voice (Speech2: channel and private text, keyboard
// language). They live in section "Speech" of config/speech.ini, one key per field under
// the field's own name; booleans as "-1"/"0", numbers in decimal.
struct TSpeechConfig
{
    bool UseInterfaceEngine = true;
    bool UseChannelEngine = true;
    quint8 ActiveControl = 0; // voice shown in the speech panel: 0 interface, 1 channels
    QString InterfaceEngineName;
    quint16 IESpeed = 0;
    quint16 IEPitch = 0;
    quint16 IEVolume = 100; // percent
    bool IEUseMultiFilter = true;
    bool IEUseSingleFilter = true;
    QString ChannelEngineName;
    quint16 CESpeed = 0;
    quint16 CEPitch = 0;
    quint16 CEVolume = 100;
    bool CEUseMultiFilter = true;
    bool CEUseSingleFilter = true;
};

// The one record of the running program, filled by ConfigureSpeech and changed by the
// speech panel.
extern TSpeechConfig SpeechConfig;

// The engine name that chooses at every start: the first listed voice, which is
// speech-dispatcher's own default voice when speech-dispatcher answers and espeak-ng's
// Russian voice otherwise. It stays in the file as it is; so do empty speed and pitch values,
// which mean the engine's own (engines differ in their units).
inline const QString AutomaticEngineName = QStringLiteral("auto");
bool IsAutomaticEngine(const QString &name);

// Receives a description of every set-up problem that was worked around (the main window
// writes it to the session log as "Exception: " + message). Each is also logged with
// qWarning.
using TSpeechConfigErrorHandler = std::function<void(const QString &message)>;

// Start-up configuration of both voices, called once while the main window is created:
// reads speech.ini into SpeechConfig, selects each voice's engine and applies its speed,
// pitch and volume, and loads the rule files <ProgramDir>/multirules.ini and
// singlerules.ini when a voice asks for them.
//
// Nothing here leaves the program mute. A missing file, a missing key or a value that is no
// number or boolean (or is out of range) is reported and replaced: switches on, panel on the
// interface voice, the engine's own speed, pitch and volume. An engine name that is not
// installed gives the interface voice the third listed engine (the first when fewer than
// three are installed) and the channel voice the first one; the list leads with Russian
// voices. A voice that is switched off still gets its engine but stays silent
// (TSpeech::Enabled false) rather than failing on every text.
void ConfigureSpeech(TSpeech *speech1, TSpeech *speech2,
                     const TSpeechConfigErrorHandler &onError = {});

// Selects the engine that SpeechConfig names for voice 1 (interface) or 2 (channels), with
// the fall-backs described above, and stores the name actually used. Returns false when
// the voice has no engine at all.
bool SelectConfiguredEngine(int voice, TSpeech *speech,
                            const TSpeechConfigErrorHandler &onError = {});

// Writes all fifteen keys, in this order: UseInterfaceEngine, UseChannelEngine,
// InterfaceEngineName, IESpeed, IEPitch, IEVolume, IEUseMultiFilter, IEUseSingleFilter,
// ChannelEngineName, CESpeed, CEPitch, CEVolume, CEUseMultiFilter, CEUseSingleFilter,
// ActiveControl. A new file gets them in that order; an existing one keeps its layout and
// comments. Raises EConfigWriteError when the file cannot be written.
void SaveSpeechConfiguration();

// 1 when the panel shows the interface voice and it is in use, 2 when it shows the channel
// voice and that is in use, 0 otherwise.
int GetActiveSpeech();

// The text with every character below the digit zero (controls, blank, !"#$%&'()*+,-./)
// turned into a blank; everything else, Cyrillic included, stays.
QString StripForSpeech(const QString &text);
