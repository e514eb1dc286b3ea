#pragma once

#include <QWidget>

class QSplitter;
class TVoxRichEdit;
class TVoxTreeView;

// The help viewer: the topic tree beside the text of the chosen topic, which is read aloud
// once loaded. Enter on a tree node opens it; Enter in the text says the topic's title;
// Escape closes the viewer.
class THelpForm : public QWidget
{
    Q_OBJECT

public:
    explicit THelpForm(QWidget *parent = nullptr);

    // Loads <ProgramDir>/help/<topic>.txt into the text pane and reads it; a missing file
    // is reported through the spoken message box and the old text stays.
    void SetHelp(const QString &topic);

    TVoxTreeView *VoxTreeView1;
    TVoxRichEdit *VoxRichEdit1;

protected:
    bool eventFilter(QObject *watched, QEvent *event) override;
    void closeEvent(QCloseEvent *event) override;
    void hideEvent(QHideEvent *event) override;

private:
    QSplitter *m_splitter;
};
