#include "config/edit_config_form.h"

#include "config/config_files.h"
#include "dialogs/dialog_host.h"
#include "speech/controls/vox_rich_edit.h"
#include "speech/help/help.h"
#include "speech/tspeech.h"

#include <QFileInfo>
#include <QLabel>
#include <QShortcut>
#include <QShowEvent>
#include <QStatusBar>
#include <QTabBar>
#include <QTabWidget>
#include <QTextDocument>
#include <QVBoxLayout>
#include <QtDebug>

namespace {

int requestedPage = 0;

struct PageInfo
{
    const char16_t *caption;
    const char16_t *fileName;
    bool inConfigDir;
};

constexpr PageInfo Pages[TEditConfigForm::PageCount] = {
    {u"Captions", u"caption.ini", true},
    {u"User", u"user.ini", true},
    {u"Servers", u"servers.ini", true},
    {u"Faworits", u"faworits.ini", true},
    {u"Speech", u"speech.ini", true},
    {u"MultiRules", u"multirules.ini", false},
    {u"SingleRulez", u"singlerules.ini", false},
};

// The spoken message box, after which the editor takes the keyboard back.
void showMessage(QWidget *window, const QString &text)
{
    VoxShowMessage(QStringLiteral("Редактор конфигурации"), text);
    if (window->isVisible()) {
        window->raise();
        window->activateWindow();
    }
}

bool validPage(int page)
{
    return page >= 0 && page < TEditConfigForm::PageCount;
}

} // namespace

int RequestedConfigPage()
{
    return requestedPage;
}

void SetRequestedConfigPage(int page)
{
    if (validPage(page))
        requestedPage = page;
}

TEditConfigForm::TEditConfigForm(QWidget *parent) : QDialog(parent)
{
    setObjectName(QStringLiteral("EditConfigForm"));
    setWindowTitle(QStringLiteral("Редактор конфигурации"));
    setAttribute(Qt::WA_QuitOnClose, false);
    setWindowFlag(Qt::WindowContextHelpButtonHint, false);

    PageControl1 = new QTabWidget;
    PageControl1->setObjectName(QStringLiteral("PageControl1"));
    PageControl1->setAccessibleName(QStringLiteral("Страницы конфигурации"));
    PageControl1->tabBar()->setAccessibleName(QStringLiteral("Страницы конфигурации"));
    for (int page = 0; page < PageCount; ++page) {
        auto *edit = new TVoxRichEdit;
        edit->setObjectName(QStringLiteral("VoxRichEdit%1").arg(page + 1));
        edit->setSpeechName(PageCaption(page));
        edit->setAcceptRichText(false);
        edit->setLineWrapMode(QTextEdit::NoWrap);
        edit->setTabChangesFocus(true);
        auto *holder = new QWidget;
        auto *holderLayout = new QVBoxLayout(holder);
        holderLayout->setContentsMargins(0, 0, 0, 0);
        holderLayout->addWidget(edit);
        PageControl1->addTab(holder, PageCaption(page));
        m_edits.append(edit);
        m_files.append(ConfigTextFile());
        m_readable.append(true);
    }

    StatusBar1 = new QStatusBar;
    StatusBar1->setObjectName(QStringLiteral("StatusBar1"));
    StatusBar1->setSizeGripEnabled(false);
    StatusBar1->addWidget(new QLabel(QStringLiteral("Ctrl-S: Save")));
    StatusBar1->addWidget(new QLabel(QStringLiteral("Ctrl-R:Reload")));

    auto *layout = new QVBoxLayout(this);
    layout->addWidget(PageControl1, 1);
    layout->addWidget(StatusBar1);
    resize(720, 520);

    auto *save = new QShortcut(QKeySequence(Qt::CTRL | Qt::Key_S), this);
    connect(save, &QShortcut::activated, this, [this] { SavePage(PageControl1->currentIndex()); });
    auto *reload = new QShortcut(QKeySequence(Qt::CTRL | Qt::Key_R), this);
    connect(reload, &QShortcut::activated, this,
            [this] { ReloadPage(PageControl1->currentIndex()); });
}

QString TEditConfigForm::PageCaption(int page)
{
    return validPage(page) ? QString::fromUtf16(Pages[page].caption) : QString();
}

QString TEditConfigForm::PageFilePath(int page)
{
    if (!validPage(page))
        return QString();
    const QString name = QString::fromUtf16(Pages[page].fileName);
    return Pages[page].inConfigDir ? ConfigFilePath(name) : ProgramDir() + u'/' + name;
}

int TEditConfigForm::ShowOnPage(int page)
{
    SetRequestedConfigPage(page);
    return exec();
}

void TEditConfigForm::say(const QString &text)
{
    if (TSpeech *speech = DialogHost() ? DialogHost()->InterfaceSpeech() : nullptr) {
        speech->Stop();
        speech->Speak(text);
    }
}

// On showing, not on every activation: the editor becomes active again whenever a message
// box it opened closes, and reloading then would throw away the user's edits.
void TEditConfigForm::showEvent(QShowEvent *event)
{
    QDialog::showEvent(event);
    if (event->spontaneous())
        return;
    TSpeech *speech = DialogHost() ? DialogHost()->InterfaceSpeech() : nullptr;
    for (TVoxRichEdit *edit : m_edits)
        edit->setSpeech(speech);
    if (speech)
        speech->Speak(QStringLiteral("окно редактирования конфигурации"));
    PageControl1->setCurrentIndex(RequestedConfigPage());
    // A file that cannot be read leaves its page empty; the other pages still load.
    for (int page = 0; page < PageCount; ++page)
        loadPage(page);
    m_edits.at(RequestedConfigPage())->setFocus();
}

bool TEditConfigForm::loadPage(int page)
{
    QString error;
    bool missing = false;
    const QString path = PageFilePath(page);
    const std::optional<ConfigTextFile> file = ConfigTextFile::read(path, &error, &missing);
    if (!file) {
        qWarning("Configuration file %s not read: %s", qUtf8Printable(path), qUtf8Printable(error));
        m_files[page] = ConfigTextFile();
        m_readable[page] = false;
        m_edits.at(page)->clear();
        return false;
    }
    if (missing)
        qWarning("Configuration file %s missing; its page starts empty", qUtf8Printable(path));
    m_files[page] = *file;
    m_readable[page] = true;
    m_edits.at(page)->setPlainText(file->text);
    m_edits.at(page)->document()->setModified(false);
    m_edits.at(page)->moveCursor(QTextCursor::Start);
    return true;
}

// The view's text as the file should hold it: the document's own text, so that
// non-breaking spaces and the like survive, with its paragraph breaks as "\n".
QString TEditConfigForm::pageText(int page) const
{
    QString text = m_edits.at(page)->document()->toRawText();
    text.replace(QChar::ParagraphSeparator, u'\n');
    text.replace(QChar::LineSeparator, u'\n');
    return text;
}

bool TEditConfigForm::SavePage(int page)
{
    if (!validPage(page))
        return false;
    const QString path = PageFilePath(page);
    const QString fileName = QFileInfo(path).fileName();
    if (!m_readable.at(page)) {
        // Its content never reached the page; writing the page would replace it unseen.
        showMessage(this, QStringLiteral("Файл ") + path +
                              QStringLiteral(" не удалось прочитать, он не сохранён."));
        return false;
    }
    const QString text = pageText(page);
    const ConfigTextFile &file = m_files.at(page);
    if (text == file.text && QFileInfo::exists(path)) {
        // Untouched: the file keeps its bytes exactly.
        say(QStringLiteral("Файл ") + fileName + QStringLiteral(" сохранён"));
        return true;
    }
    bool movedToUtf8 = false;
    const QByteArray bytes = file.encode(text, &movedToUtf8);
    QString error;
    if (!WriteFileSafely(path, bytes, &error)) {
        qWarning("Configuration file %s not saved: %s", qUtf8Printable(path),
                 qUtf8Printable(error));
        showMessage(this, QStringLiteral("Не удалось сохранить файл ") + path +
                              QStringLiteral(": ") + error +
                              QStringLiteral(". Прежний файл не изменён."));
        return false;
    }
    ConfigTextFile saved = ConfigTextFile::fromBytes(bytes);
    m_files[page] = saved;
    m_edits.at(page)->document()->setModified(false);
    if (movedToUtf8) {
        qWarning("Configuration file %s moved from Windows-1251 to UTF-8", qUtf8Printable(path));
        say(QStringLiteral("Файл ") + fileName +
            QStringLiteral(" сохранён в кодировке UTF-8, в прежней кодировке нет всех его букв"));
    } else {
        say(QStringLiteral("Файл ") + fileName + QStringLiteral(" сохранён"));
    }
    return true;
}

void TEditConfigForm::ReloadPage(int page)
{
    if (!validPage(page))
        return;
    const QString fileName = QFileInfo(PageFilePath(page)).fileName();
    if (loadPage(page))
        say(QStringLiteral("Файл ") + fileName + QStringLiteral(" перечитан"));
    else
        say(QStringLiteral("Файл ") + fileName + QStringLiteral(" не удалось прочитать"));
}
