#pragma once

#include <QDialog>

class TVoxButton;
class TVoxListView;
class TVoxMemo;

// The whole server list as a table (address, description, port, code page, added,
// connected) with Add, Change and Delete. Refreshed from servers.ini at every activation and
// after each operation. Shown modally: ServerListForm()->exec().
class TServerListForm : public QDialog
{
    Q_OBJECT

public:
    explicit TServerListForm(QWidget *parent = nullptr);
    ~TServerListForm() override;

    // Reloads the list from the file and refills the table.
    void Refresh();

    TVoxMemo *Memo1; // the text area above the table; empty
    TVoxListView *ListView1;
    TVoxButton *AddButton;
    TVoxButton *ChengButton;
    TVoxButton *DeleteButton;
    TVoxButton *CloseButton;

    void AddButtonClick();
    void ChengButtonClick();
    void DeleteButtonClick();

protected:
    bool event(QEvent *event) override;

private:
    int selectedSlot() const;
};

// The current instance (the newest constructed), created on first use.
TServerListForm *ServerListForm();
