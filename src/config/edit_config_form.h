#pragma once

#include "config/config_text_file.h"

#include <QDialog>
#include <QList>

class QLabel;
class QStatusBar;
class QTabWidget;
class TVoxRichEdit;

// The page the configuration editor opens on (0 = captions, 4 = speech.ini, 5 = word rules,
// 6 = character rules). Program-wide and kept between uses: the speech panel's filter
// buttons set it, the main window's editor action opens on whatever it holds.
int RequestedConfigPage();
void SetRequestedConfigPage(int page);

// The configuration editor: one page per configuration file, each a speaking text view
// showing the file as it is on disk. Ctrl+S writes the current page back to its file (in
// the file's own encoding and line ending, through a temporary file and a rename), Ctrl+R
// reads it again, Escape closes; saving and reloading are said aloud.
//
// Created once at start and reused. Show it with ShowOnPage(page) (the speech panel's
// filter buttons) or ShowOnPage(RequestedConfigPage()) (the main window's action); both
// run it modally. Every showing reloads every page from disk.
class TEditConfigForm : public QDialog
{
    Q_OBJECT

public:
    static constexpr int PageCount = 7;

    explicit TEditConfigForm(QWidget *parent = nullptr);

    // Sets the requested page and runs the editor modally on it.
    int ShowOnPage(int page);

    // Page caption and full path of the file a page shows.
    static QString PageCaption(int page);
    static QString PageFilePath(int page);

    // Ctrl+S and Ctrl+R on the current page.
    bool SavePage(int page);
    void ReloadPage(int page);

    TVoxRichEdit *PageEdit(int page) const { return m_edits.value(page); }

    QTabWidget *PageControl1;
    QStatusBar *StatusBar1;

protected:
    void showEvent(QShowEvent *event) override;

private:
    // Reads the page's file into its view; false (view emptied, page not saveable) when the
    // file exists but cannot be read.
    bool loadPage(int page);
    QString pageText(int page) const;
    void say(const QString &text);

    QList<TVoxRichEdit *> m_edits;
    QList<ConfigTextFile> m_files; // as each page's file was last read
    QList<bool> m_readable;        // false: the file exists but could not be read
};
