#pragma once

#include <QDialog>

class QLabel;
class TVoxButton;
class TVoxCheckBox;
class TVoxComboBox;
class TVoxEdit;

// Edits one record of the server list (server_list_store.h): description, host, port,
// code page, TLS switch, password, the two dates and SASL identification (mechanism, account,
// password, client certificate file). Texts come from caption.ini (prefix "SO") at each
// activation. Modal:
//
//     ServerOptionsForm()->ShowAdd();            // a new server
//     ServerOptionsForm()->ShowChange(name);     // the record of that name
//
// Both return true when a record was saved (servers.ini is then written).
class TServerOptionsForm : public QDialog
{
    Q_OBJECT

public:
    enum class TMode { Add, Change };

    explicit TServerOptionsForm(QWidget *parent = nullptr);
    ~TServerOptionsForm() override;

    bool ShowAdd();
    // A name not in the list is reported in the spoken message box and nothing opens.
    bool ShowChange(const QString &name);
    // The record in that slot (a row of the server list window; names may repeat).
    bool ShowChangeAt(int slot);

    TMode Mode() const { return m_mode; }

    QLabel *Label1;  // description
    QLabel *Label2;  // IRC server
    QLabel *Label3;  // port
    QLabel *Label4;  // code page
    QLabel *Label5;  // password
    QLabel *Label6;  // added
    QLabel *Label7;  // last connect
    QLabel *Label8;  // SASL mechanism
    QLabel *Label9;  // SASL account
    QLabel *Label10; // SASL password
    QLabel *Label11; // client certificate file
    TVoxEdit *DescEdit;
    TVoxEdit *ServerEdit;
    TVoxEdit *PortEdit;
    TVoxComboBox *CodePageBox;
    // TLS on or off ("SOTls"); switching it moves a port left at its usual value to the
    // other usual value (6667 and 6697).
    TVoxCheckBox *TlsCheckBox;
    TVoxEdit *PasswordEdit;
    TVoxEdit *AddDateEdit;
    TVoxEdit *LastConnectEdit;
    TVoxComboBox *SaslBox; // none, "PLAIN", "EXTERNAL"
    TVoxEdit *SaslAccountEdit;
    TVoxEdit *SaslPasswordEdit;
    TVoxEdit *ClientCertEdit;
    TVoxButton *Button1; // add or change
    TVoxButton *Button2; // cancel
    TVoxButton *Button3; // help

    // The first button, or Enter in a field: checks the fields and stores the record.
    void Button1Click();

protected:
    bool event(QEvent *event) override;
    bool eventFilter(QObject *watched, QEvent *event) override;

private:
    void loadCaptions();
    void resetCodePages(const QString &chosen);
    void showSasl(const QString &mechanism, const QString &account, const QString &password,
                  const QString &certificate);

    TMode m_mode = TMode::Add;
    int m_slot = 0;
    bool m_saved = false;
};

// The current instance (the newest constructed), created on first use.
TServerOptionsForm *ServerOptionsForm();
