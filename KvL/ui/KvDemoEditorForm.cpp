#include "KvDemoEditorForm.h"

#include "KvDemo.h"
#include "KvDemoEditorAddLangForm.h"
#include "KvDemonstration.h"

#include <QComboBox>
#include <QFileDialog>
#include <QFileInfo>
#include <QLineEdit>
#include <QMainWindow>
#include <QMenu>
#include <QMenuBar>
#include <QPainter>
#include <QPlainTextEdit>
#include <QStatusBar>
#include <QStyle>
#include <QTabBar>
#include <QTextCursor>
#include <QToolBar>
#include <QVBoxLayout>

namespace {

const QString ScriptFilter = QStringLiteral("Demo Script (*.dsc)");

// The Record button's picture: a red dot.
QIcon RecordIcon()
{
    QPixmap dot(16, 16);
    dot.fill(Qt::transparent);
    QPainter painter(&dot);
    painter.setRenderHint(QPainter::Antialiasing);
    painter.setPen(Qt::NoPen);
    painter.setBrush(QColor(200, 30, 30));
    painter.drawEllipse(QRectF(2.5, 2.5, 11, 11));
    return QIcon(dot);
}

} // namespace

TKvDemoEditorForm::TKvDemoEditorForm(TKvDemonstrationModule& demonstrations, QWidget* parent)
    : TKvForm(parent), Menu(new QMenuBar(this)), Toolbar(new QToolBar(this)), MessageComboBox(new QComboBox(this)),
      SectionsTabControl(new QTabBar(this)), ScriptMemo(new QPlainTextEdit(this)), StatusBar(new QStatusBar(this)),
      m_demonstrations(demonstrations), m_playback(demonstrations.Playback())
{
    setObjectName(QStringLiteral("DemoEditorForm"));
    setWindowTitle(QStringLiteral("Demo Editor"));
    setWindowFlags(Qt::Window | Qt::WindowStaysOnTopHint | Qt::WindowMinimizeButtonHint
                   | Qt::WindowCloseButtonHint);
    setModal(false);
    SectionsTabControl->setObjectName(QStringLiteral("SectionsTabControl"));
    ScriptMemo->setObjectName(QStringLiteral("ScriptMemo"));
    ScriptMemo->setLineWrapMode(QPlainTextEdit::NoWrap);
    ScriptMemo->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
    StatusBar->setObjectName(QStringLiteral("StatusBar"));
    StatusBar->setSizeGripEnabled(false);
    SectionsTabControl->setExpanding(false);

    CreateMenus();
    CreateToolbar();
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(0);
    layout->setMenuBar(Menu);
    layout->addWidget(Toolbar);
    layout->addWidget(SectionsTabControl);
    layout->addWidget(ScriptMemo, 1);
    layout->addWidget(StatusBar);
    resize(381, 286 + Menu->sizeHint().height());

    connect(SectionsTabControl, &QTabBar::currentChanged, this, &TKvDemoEditorForm::SectionsTabControlChange);
    connect(&m_playback, &TKvDemoPlayback::Ended, this, &TKvDemoEditorForm::PlaybackEnded);

    PlaceInMainWindow();
    CmNew();
    MessageComboBox->setCurrentText(m_demonstrations.MessageText());
}

TKvDemoEditorForm::~TKvDemoEditorForm() = default;

void TKvDemoEditorForm::CreateMenus()
{
    const auto add = [this](QMenu* menu, const char* caption, void (TKvDemoEditorForm::*command)()) {
        QAction* item = menu->addAction(QString::fromLatin1(caption));
        connect(item, &QAction::triggered, this, command);
        return item;
    };
    QMenu* file = Menu->addMenu(QStringLiteral("File"));
    NewMenuItem = add(file, "New", &TKvDemoEditorForm::CmNew);
    OpenMenuItem = add(file, "Open...", &TKvDemoEditorForm::CmOpen);
    SaveAsMenuItem = add(file, "Save As...", &TKvDemoEditorForm::CmSave);
    file->addSeparator();
    ExitMenuItem = add(file, "Exit", &TKvDemoEditorForm::CmExit);
    QMenu* edit = Menu->addMenu(QStringLiteral("Edit"));
    AddLanguageMenuItem = add(edit, "Add Language", &TKvDemoEditorForm::CmAddLanguage);
    DeleteLanguageMenuItem = add(edit, "Delete Language", &TKvDemoEditorForm::CmDeleteLanguage);
    QMenu* playback = Menu->addMenu(QStringLiteral("Playback"));
    PlayMenuItem = add(playback, "Play", &TKvDemoEditorForm::CmPlay);
    RecordMenuItem = add(playback, "Record", &TKvDemoEditorForm::CmRecord);
    StopMenuItem = add(playback, "Stop", &TKvDemoEditorForm::CmStop);
    DeleteLanguageMenuItem->setObjectName(QStringLiteral("DeleteLanguageMenuItem"));
}

void TKvDemoEditorForm::CreateToolbar()
{
    Toolbar->setObjectName(QStringLiteral("Toolbar"));
    Toolbar->setIconSize(QSize(16, 16));
    const auto add = [this](const QIcon& icon, const char* caption, void (TKvDemoEditorForm::*command)()) {
        QAction* button = Toolbar->addAction(icon, QString::fromLatin1(caption));
        button->setToolTip(button->text());
        connect(button, &QAction::triggered, this, command);
        return button;
    };
    QStyle* look = style();
    OpenToolButton = add(look->standardIcon(QStyle::SP_DialogOpenButton), "Open", &TKvDemoEditorForm::CmOpen);
    SaveToolButton = add(look->standardIcon(QStyle::SP_DialogSaveButton), "Save", &TKvDemoEditorForm::CmSave);
    Toolbar->addSeparator();
    PlayToolButton = add(look->standardIcon(QStyle::SP_MediaPlay), "Play", &TKvDemoEditorForm::CmPlay);
    RecordToolButton = add(RecordIcon(), "Record", &TKvDemoEditorForm::CmRecord);
    StopToolButton = add(look->standardIcon(QStyle::SP_MediaStop), "Stop", &TKvDemoEditorForm::CmStop);
    PlayToolButton->setObjectName(QStringLiteral("PlayToolButton"));
    RecordToolButton->setObjectName(QStringLiteral("RecordToolButton"));
    StopToolButton->setObjectName(QStringLiteral("StopToolButton"));
    Toolbar->addSeparator();

    MessageComboBox->setObjectName(QStringLiteral("MessageComboBox"));
    MessageComboBox->setEditable(true);
    MessageComboBox->setInsertPolicy(QComboBox::NoInsert);
    MessageComboBox->setToolTip(QStringLiteral("Message"));
    MessageComboBox->setMinimumContentsLength(10);
    MessageComboBox->addItem(QStringLiteral("Click"));
    Toolbar->addWidget(MessageComboBox);
    connect(MessageComboBox->lineEdit(), &QLineEdit::returnPressed, this,
            &TKvDemoEditorForm::MessageComboBoxAcceptText);
    connect(MessageComboBox, &QComboBox::currentTextChanged, this,
            [this](const QString& text) { m_demonstrations.SetMessageText(text); });

    MessageToolButton = Toolbar->addAction(look->standardIcon(QStyle::SP_MessageBoxInformation),
                                           QStringLiteral("Show Messages"));
    MessageToolButton->setObjectName(QStringLiteral("MessageToolButton"));
    MessageToolButton->setToolTip(MessageToolButton->text());
    MessageToolButton->setCheckable(true);
    connect(MessageToolButton, &QAction::toggled, this,
            [this](bool checked) { m_playback.SetRecordMessages(checked); });
    // Kept for scripts' sake but not offered: the playback always works the
    // real user interface.
    UIToolButton = Toolbar->addAction(QStringLiteral("Use User Interface"));
    UIToolButton->setCheckable(true);
    UIToolButton->setChecked(true);
    UIToolButton->setVisible(false);
}

// The top-right corner inside the main window, below its toolbars.
void TKvDemoEditorForm::PlaceInMainWindow()
{
    auto* window = qobject_cast<QMainWindow*>(parentWidget());
    QWidget* inside = window ? window->centralWidget() : nullptr;
    if (!inside)
        return;
    const QPoint corner = inside->mapToGlobal(inside->rect().topRight());
    move(corner.x() - frameGeometry().width() - 4, corner.y() + 4);
}

const TKvDemoScript& TKvDemoEditorForm::Script()
{
    StoreMemo();
    return m_script;
}

// ---------------------------------------------------------------------------
// Memo and sections

int TKvDemoEditorForm::SelectedSection() const
{
    const int index = SectionsTabControl->currentIndex();
    return index >= 0 && index < int(m_script.Sections().size()) ? index : -1;
}

bool TKvDemoEditorForm::IsLanguageSection(int section) const
{
    if (section < 0 || section >= int(m_script.Sections().size()))
        return false;
    return section != m_script.IndexOfSection(TKvDemoScript::InfoSection)
        && section != m_script.IndexOfSection(TKvDemoScript::ScriptSection);
}

void TKvDemoEditorForm::StoreMemo()
{
    const int section = m_shownSection;
    if (section < 0 || section >= int(m_script.Sections().size()) || !ScriptMemo->isEnabled())
        return;
    m_script.SetSectionText(section, ScriptMemo->toPlainText());
    const QTextCursor cursor = ScriptMemo->textCursor();
    m_selections[size_t(section)] = {cursor.selectionStart(), cursor.selectionEnd() - cursor.selectionStart()};
}

void TKvDemoEditorForm::ShowSection(int section)
{
    m_shownSection = section;
    if (section < 0) {
        ScriptMemo->clear();
        return;
    }
    ScriptMemo->setPlainText(m_script.SectionText(section));
    const auto [start, length] = m_selections[size_t(section)];
    QTextCursor cursor = ScriptMemo->textCursor();
    const int end = int(ScriptMemo->toPlainText().size());
    cursor.setPosition(std::min(start, end));
    cursor.setPosition(std::min(start + length, end), QTextCursor::KeepAnchor);
    ScriptMemo->setTextCursor(cursor);
}

void TKvDemoEditorForm::SectionsTabControlChange(int index)
{
    if (m_refreshing)
        return;
    StoreMemo();
    ShowSection(index);
}

void TKvDemoEditorForm::SelectTab(int section)
{
    m_refreshing = true;
    SectionsTabControl->setCurrentIndex(section);
    m_refreshing = false;
    ShowSection(section);
}

void TKvDemoEditorForm::RefreshTabs()
{
    m_refreshing = true;
    while (SectionsTabControl->count() > 0)
        SectionsTabControl->removeTab(0);
    for (const TKvScriptSection& section : m_script.Sections())
        SectionsTabControl->addTab(QString::fromLocal8Bit(section.Name));
    m_refreshing = false;
    m_selections.assign(m_script.Sections().size(), {0, 0});
    SelectTab(m_script.IndexOfSection(TKvDemoScript::ScriptSection));
    ShowStatus();
}

void TKvDemoEditorForm::ShowStatus()
{
    const QString file = m_script.FileName();
    StatusBar->showMessage(file.isEmpty() ? QString() : QFileInfo(file).fileName());
}

// ---------------------------------------------------------------------------
// Commands

void TKvDemoEditorForm::CmNew()
{
    m_script.Clear();
    RefreshTabs();
}

void TKvDemoEditorForm::CmOpen()
{
    const QString fileName = QFileDialog::getOpenFileName(this, QString(), QString(), ScriptFilter, nullptr,
                                                          QFileDialog::DontUseNativeDialog);
    if (!fileName.isEmpty())
        OpenFile(fileName);
}

bool TKvDemoEditorForm::OpenFile(const QString& fileName)
{
    TKvDemoScript script;
    if (!script.LoadFromFile(fileName)) {
        StatusBar->showMessage(QStringLiteral("Cannot read %1").arg(QFileInfo(fileName).fileName()));
        return false;
    }
    m_script = script;
    RefreshTabs();
    return true;
}

void TKvDemoEditorForm::CmSave()
{
    StoreMemo();
    QFileDialog dialog(this, QString(), m_script.FileName(), ScriptFilter);
    dialog.setOption(QFileDialog::DontUseNativeDialog);
    dialog.setAcceptMode(QFileDialog::AcceptSave);
    dialog.setDefaultSuffix(QStringLiteral("dsc"));
    if (dialog.exec() == QDialog::Accepted && !dialog.selectedFiles().isEmpty())
        SaveFile(dialog.selectedFiles().front());
}

bool TKvDemoEditorForm::SaveFile(const QString& fileName)
{
    StoreMemo();
    if (!m_script.SaveToFile(fileName)) {
        StatusBar->showMessage(QStringLiteral("Cannot write %1").arg(QFileInfo(fileName).fileName()));
        return false;
    }
    m_script.SetFileName(fileName);
    ShowStatus();
    return true;
}

void TKvDemoEditorForm::CmExit()
{
    close();
}

void TKvDemoEditorForm::CmAddLanguage()
{
    StoreMemo();
    TAddLangForm form(this);
    if (form.exec() == QDialog::Accepted)
        AddLanguage(form.LangId());
}

void TKvDemoEditorForm::AddLanguage(const QString& langId)
{
    const QString name = langId.trimmed();
    if (name.isEmpty())
        return;
    StoreMemo();
    const QByteArray section = name.toLocal8Bit();
    const int existing = m_script.IndexOfSection(section);
    if (existing >= 0) {
        SelectTab(existing);
        return;
    }
    const int added = m_script.AddSection(section);
    RefreshTabs();
    SelectTab(added);
}

// Only a section of texts may go: Info and Script are the script itself.
void TKvDemoEditorForm::CmDeleteLanguage()
{
    const int section = SelectedSection();
    if (!IsLanguageSection(section))
        return;
    StoreMemo();
    m_script.DeleteSection(section);
    RefreshTabs();
}

void TKvDemoEditorForm::CmPlay()
{
    if (m_playback.Playing() || m_playback.Recording())
        return;
    StoreMemo();
    // The module's handlers still ask and report; the editor also notes a
    // stop, so that it can say the demonstration ended and come back.
    m_previousFinished = m_playback.OnFinished;
    m_previousQueryStop = m_playback.OnQueryStop;
    m_previousError = m_playback.OnError;
    m_playback.OnQueryStop = [this](bool& stop) {
        if (m_previousQueryStop)
            m_previousQueryStop(stop);
        m_stopped = stop;
    };
    m_playback.OnError = [this](const QString& message, bool& stop, const QString& line) {
        if (m_previousError)
            m_previousError(message, stop, line);
        m_stopped = stop;
    };
    m_playing = true;
    m_stopped = false;
    hide();
    if (!m_demonstrations.PlayScript(m_script)) {
        // Refused (the user said no to a question before it): the editor
        // comes back at once with the module's handlers.
        m_playback.OnQueryStop = m_previousQueryStop;
        m_playback.OnError = m_previousError;
        m_playing = false;
        show();
    }
}

// The handlers go back once the playback has returned from them.
void TKvDemoEditorForm::PlaybackEnded()
{
    if (!m_playing)
        return;
    m_playing = false;
    m_playback.OnFinished = m_previousFinished;
    m_playback.OnQueryStop = m_previousQueryStop;
    m_playback.OnError = m_previousError;
    show();
    raise();
    // A stopped demonstration gets the finished message the module shows
    // after one that ran to its end.
    if (m_stopped && m_previousFinished)
        m_previousFinished();
}

void TKvDemoEditorForm::CmRecord()
{
    if (m_playback.Playing() || m_playback.Recording())
        return;
    StoreMemo();
    m_playback.Assign(m_script);
    if (!m_playback.BeginRecording(-1))
        return;
    ScriptMemo->setEnabled(false);
    StatusBar->showMessage(QStringLiteral("Recording"));
}

void TKvDemoEditorForm::CmStop()
{
    if (m_playback.Playing()) {
        m_playback.RequestStop();
    } else if (m_playback.Recording()) {
        m_playback.EndRecording();
        RecordingStopped();
    }
}

void TKvDemoEditorForm::RecordingStopped()
{
    const int shown = m_shownSection;
    const QString fileName = m_script.FileName();
    m_script = m_playback.Script();
    m_script.SetFileName(fileName);
    ScriptMemo->setEnabled(true);
    ShowSection(shown);
    ShowStatus();
}

void TKvDemoEditorForm::MessageComboBoxAcceptText()
{
    const QString text = MessageComboBox->currentText();
    if (!text.isEmpty() && MessageComboBox->findText(text) < 0)
        MessageComboBox->addItem(text);
    m_demonstrations.SetMessageText(text);
}

void TKvDemoEditorForm::UpdateControls()
{
    const bool busy = m_playback.Playing() || m_playback.Recording();
    for (QAction* item : {PlayMenuItem, PlayToolButton, RecordMenuItem, RecordToolButton})
        item->setEnabled(!busy);
    StopMenuItem->setEnabled(busy);
    StopToolButton->setEnabled(busy);
    DeleteLanguageMenuItem->setEnabled(IsLanguageSection(SelectedSection()) && !busy);
    MessageToolButton->setChecked(m_playback.RecordMessages());
    MessageComboBox->setEnabled(m_playback.RecordMessages());
}
