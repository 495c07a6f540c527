#include "ui/MainFrame.h"

#include "call/CommandIds.h"
#include "ui/AboutDlg.h"
#include "ui/StringTable.h"

#include <QAction>
#include <QApplication>
#include <QCloseEvent>
#include <QKeyEvent>
#include <QCoreApplication>
#include <QDesktopServices>
#include <QDir>
#include <QLabel>
#include <QMenu>
#include <QMenuBar>
#include <QStatusBar>
#include <QSystemTrayIcon>
#include <QUrl>
#include <QWindow>

namespace kestrel::ui {

using namespace call;

namespace {

constexpr int kTrayIconId = 0x0593;
constexpr int kRecentCallCount = 10;

// The commands' prompts, shown in the status bar while an item is highlighted.
const std::map<int, int> kPrompts = {
    {ID_OPTION, IDS_OPTIONS},         {ID_LOCAL_PLAY, IDS_PROMPT_PLAY}, {ID_NEW_CALL, IDS_PROMPT_NEW_CALL},
    {ID_END_CALL, IDS_PROMPT_END_CALL}, {ID_ENCODER, IDS_PROMPT_ENCODER}, {ID_INFO, IDS_PROMPT_INFO},
    {ID_APP_EXIT, IDS_PROMPT_EXIT},
};

} // namespace

CMainFrame::CMainFrame(const CRecentCallList &recentCalls, IRingPlayer &ring, Resources frameResources)
    : history(recentCalls), resources(std::move(frameResources))
{
    setObjectName(QStringLiteral("128"));
    setWindowIcon(resources.icon);
    // The user cannot resize the window: its size follows the video size and the zoom.
    setWindowFlag(Qt::WindowMaximizeButtonHint, false);
    question = std::make_unique<CIncomingCallQuestion>(
        ring,
        [this](int questionId, bool accept) {
            if (document)
                document->AnswerIncomingCall(questionId, accept);
        },
        this);
    BuildMenus();

    readyLabel = new QLabel(ReadyText(), this);
    statusBar()->addWidget(readyLabel, 1); // hidden while a prompt is shown
    for (auto [pane, name] : {std::pair{&capsPane, "CAP"}, std::pair{&numPane, "NUM"}, std::pair{&scrollPane, "SCRL"}}) {
        *pane = new QLabel(this);
        (*pane)->setObjectName(QString::fromLatin1(name));
        (*pane)->setFrameShape(QFrame::Panel);
        (*pane)->setFrameShadow(QFrame::Sunken);
        (*pane)->setAlignment(Qt::AlignCenter);
        (*pane)->setMinimumWidth((*pane)->fontMetrics().horizontalAdvance(QStringLiteral("SCRL")) + 8);
        statusBar()->addPermanentWidget(*pane);
    }
    ShowLockKeys();
    statusBar()->setSizeGripEnabled(false);
    // The call accelerators win over the keys an edit field has for itself
    // (Ctrl+E moves to the end of the line in the call-history box).
    qApp->installEventFilter(this);
}

CMainFrame::~CMainFrame()
{
    qApp->removeEventFilter(this);
}

void CMainFrame::ShowLockKeys()
{
    const LockKeys keys = resources.lockKeys ? resources.lockKeys->Read() : LockKeys{};
    capsPane->setText(keys.capsLock ? QStringLiteral("CAP") : QString());
    numPane->setText(keys.numLock ? QStringLiteral("NUM") : QString());
    scrollPane->setText(keys.scrollLock ? QStringLiteral("SCRL") : QString());
}

bool CMainFrame::eventFilter(QObject *watched, QEvent *event)
{
    // A lock key pressed while the window has the focus changes its light.
    if ((event->type() == QEvent::KeyRelease && watched == static_cast<QObject *>(windowHandle())) ||
        (event->type() == QEvent::WindowActivate && watched == this))
        ShowLockKeys();
    if (event->type() == QEvent::ShortcutOverride) {
        const auto *key = static_cast<QKeyEvent *>(event);
        const QKeySequence pressed(key->keyCombination());
        for (int id : {ID_NEW_CALL, ID_END_CALL, ID_LOCAL_PLAY}) {
            if (actions[id]->shortcut() == pressed) {
                event->ignore(); // nobody overrides it: the shortcut runs
                return true;
            }
        }
    }
    return QMainWindow::eventFilter(watched, event);
}

QString CMainFrame::ReadyText() const
{
    return LoadString(IDS_READY);
}

void CMainFrame::SetView(QWidget *view)
{
    setCentralWidget(view);
}

void CMainFrame::SetDocument(IDocumentCommands *doc)
{
    document = doc;
    if (document)
        setWindowTitle(QString::fromStdString(document->Title()) + QStringLiteral(" - ") + LoadString(IDS_APP_NAME));
}

QAction *CMainFrame::AddCommand(QMenu *menu, int id, const QString &text, const QKeySequence &shortcut)
{
    QAction *action = menu->addAction(text);
    action->setObjectName(QString::number(id));
    action->setData(id);
    if (!shortcut.isEmpty()) {
        action->setShortcut(shortcut);
        action->setShortcutContext(Qt::ApplicationShortcut);
    }
    if (auto prompt = kPrompts.find(id); prompt != kPrompts.end())
        action->setStatusTip(LoadString(prompt->second));
    connect(action, &QAction::triggered, this, [this, id] { RouteCommand(id); });
    actions[id] = action;
    return action;
}

void CMainFrame::BuildMenus()
{
    callMenu = menuBar()->addMenu(tr("&Call"));
    AddCommand(callMenu, ID_LOCAL_PLAY, tr("&Local Play/Stop"), QKeySequence(Qt::CTRL | Qt::Key_L));
    AddCommand(callMenu, ID_NEW_CALL, tr("&New Call"), QKeySequence(Qt::CTRL | Qt::Key_N));
    AddCommand(callMenu, ID_END_CALL, tr("&End Call"), QKeySequence(Qt::CTRL | Qt::Key_E));
    AddCommand(callMenu, ID_APP_EXIT, tr("E&xit"));
    recentSeparator = callMenu->addSeparator();
    connect(callMenu, &QMenu::aboutToShow, this, &CMainFrame::FillRecentCalls);

    QMenu *toolMenu = menuBar()->addMenu(tr("&Tool"));
    AddCommand(toolMenu, ID_OPTION, tr("&Option"));
    AddCommand(toolMenu, ID_ENCODER, tr("&Encoder"));
    AddCommand(toolMenu, ID_INFO, tr("&Info"));

    QMenu *viewMenu = menuBar()->addMenu(tr("&View"));
    QAction *statusBarItem = AddCommand(viewMenu, ID_VIEW_STATUS_BAR, tr("&Status Bar"));
    statusBarItem->setCheckable(true);
    statusBarItem->setChecked(true);
    QMenu *sizeMenu = viewMenu->addMenu(tr("&Windows size"));
    for (int id = ID_WINDOW_SIZE_100; id <= ID_WINDOW_SIZE_400; ++id)
        AddCommand(sizeMenu, id, QStringLiteral("%1%").arg((id - ID_WINDOW_SIZE_100 + 1) * 100))->setCheckable(true);
    connect(viewMenu, &QMenu::aboutToShow, this, &CMainFrame::UpdateChecks);
    connect(sizeMenu, &QMenu::aboutToShow, this, &CMainFrame::UpdateChecks);

    QMenu *helpMenu = menuBar()->addMenu(tr("&Help"));
    AddCommand(helpMenu, ID_README, tr("&Readme"));
    AddCommand(helpMenu, ID_APP_ABOUT, tr("&About Kestrel..."));
}

void CMainFrame::FillRecentCalls()
{
    for (QAction *action : recentActions) {
        actions.erase(action->data().toInt());
        callMenu->removeAction(action);
        action->deleteLater();
    }
    recentActions.clear();
    const std::vector<std::string> entries = history.Entries();
    int shown = 0;
    for (const std::string &entry : entries) {
        if (entry.empty() || shown == kRecentCallCount)
            continue;
        const int id = ID_FILE_MRU_FIRST + shown;
        ++shown;
        const QString path = QString::fromStdString(entry);
        const QString name = QString::fromStdString(CRecentCallList::DisplayName(entry));
        QAction *action = callMenu->addAction(QStringLiteral("&%1 %2").arg(shown).arg(name));
        action->setObjectName(QString::number(id));
        action->setData(id);
        connect(action, &QAction::triggered, this, [this, path] {
            if (document)
                document->OnOpenDocument(path.toStdString());
        });
        actions[id] = action;
        recentActions.append(action);
    }
    recentSeparator->setVisible(shown > 0);
}

void CMainFrame::UpdateChecks()
{
    for (int id = ID_WINDOW_SIZE_100; id <= ID_WINDOW_SIZE_400; ++id)
        actions[id]->setChecked(document && document->IsChecked(id));
    actions[ID_VIEW_STATUS_BAR]->setChecked(statusBar()->isVisible());
}

QAction *CMainFrame::Action(int id) const
{
    auto found = actions.find(id);
    return found == actions.end() ? nullptr : found->second;
}

void CMainFrame::RouteCommand(int id)
{
    switch (id) {
    case ID_APP_EXIT: close(); return;
    case ID_APP_ABOUT: ShowAbout(); return;
    case ID_VIEW_STATUS_BAR: statusBar()->setVisible(!statusBar()->isVisible()); return;
    default:
        if (document)
            document->OnCommand(id);
        return;
    }
}

void CMainFrame::ShowAbout()
{
    CAboutDlg about(resources.icon, this);
    about.exec();
}

void CMainFrame::PostToUi(std::function<void()> task)
{
    QMetaObject::invokeMethod(this, std::move(task), Qt::QueuedConnection);
}

void CMainFrame::PostCallStarted(int peerMask)
{
    QCoreApplication::postEvent(this, new CallStartedEvent(peerMask));
}

void CMainFrame::PostCallEnded()
{
    QCoreApplication::postEvent(this, new QEvent(kCallEndedEvent));
}

void CMainFrame::PromptIncomingCall(const std::string &callerAddress, int questionId)
{
    const QString caller = QString::fromStdString(callerAddress);
    PostToUi([this, caller, questionId] {
        // An incoming call brings the window back before the question is asked.
        if (InTray() || isMinimized())
            RestoreFromTray();
        question->Ask(caller, questionId);
    });
}

void CMainFrame::WithdrawIncomingCall(int questionId)
{
    PostToUi([this, questionId] { question->Withdraw(questionId); });
}

void CMainFrame::ShowReadme(const std::string &fileName)
{
    const QString file = QDir(resources.readmeDir).filePath(QString::fromStdString(fileName));
    if (resources.openFile)
        resources.openFile(file);
    else
        QDesktopServices::openUrl(QUrl::fromLocalFile(file));
}

bool CMainFrame::event(QEvent *event)
{
    switch (static_cast<int>(event->type())) {
    case kCallStartedEvent:
        if (document)
            document->OnCallStarted(static_cast<CallStartedEvent *>(event)->peerMask);
        return true;
    case kCallEndedEvent:
        if (document)
            document->OnCallEnded();
        return true;
    case kGraphNotifyEvent:
        if (graphNotify)
            graphNotify();
        return true;
    default:
        return QMainWindow::event(event);
    }
}

void CMainFrame::changeEvent(QEvent *event)
{
    QMainWindow::changeEvent(event);
    if (event->type() == QEvent::WindowStateChange && isMinimized() && !InTray())
        MinimizeToTray();
}

void CMainFrame::MinimizeToTray()
{
    // Without a notification area a hidden window could not be brought back:
    // it stays minimised in the task bar instead.
    if (!QSystemTrayIcon::isSystemTrayAvailable())
        return;
    savedGeometry = normalGeometry();
    trayIcon = new QSystemTrayIcon(resources.icon, this);
    trayIcon->setObjectName(QString::number(kTrayIconId));
    trayIcon->setToolTip(tr("ORVA Kestrel"));
    connect(trayIcon, &QSystemTrayIcon::activated, this, [this](QSystemTrayIcon::ActivationReason reason) {
        if (reason == QSystemTrayIcon::DoubleClick)
            RestoreFromTray();
    });
    hide();
    trayIcon->show();
}

void CMainFrame::RestoreFromTray()
{
    setWindowState(windowState() & ~Qt::WindowMinimized);
    if (savedGeometry.isValid())
        setGeometry(savedGeometry);
    show();
    raise();
    activateWindow();
    delete trayIcon;
    trayIcon = nullptr;
}

void CMainFrame::closeEvent(QCloseEvent *event)
{
    // Closing while a call rings answers it with No.
    question->Refuse();
    if (document)
        document->OnCloseDocument();
    event->accept();
    emit Closed();
}

} // namespace kestrel::ui
