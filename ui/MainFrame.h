#pragma once

#include "call/document/IDocumentCommands.h"
#include "call/document/IDocumentFrame.h"
#include "call/document/RecentCallList.h"
#include "ui/IncomingCallQuestion.h"
#include "ui/LockKeys.h"

#include <QEvent>
#include <QMainWindow>
#include <QRect>

#include <functional>
#include <map>
#include <memory>

class QAction;
class QLabel;
class QMenu;
class QSystemTrayIcon;

namespace kestrel::ui {

// Events the call listener posts to the main window, with the numbers of
// the window messages they stand for.
inline constexpr QEvent::Type kCallStartedEvent = static_cast<QEvent::Type>(0x0591);
inline constexpr QEvent::Type kCallEndedEvent = static_cast<QEvent::Type>(0x0592);
inline constexpr QEvent::Type kGraphNotifyEvent = static_cast<QEvent::Type>(0x8001);

class CallStartedEvent final : public QEvent {
public:
    explicit CallStartedEvent(int mask) : QEvent(kCallStartedEvent), peerMask(mask) {}
    const int peerMask;
};

// The main window: menu 128 with its accelerators, the status bar with its
// prompts, the notification-area icon, the incoming-call question and the
// events of the call listener, which it hands to the document.
//
// Threads: the IDocumentFrame functions may be called from any thread and
// only post to the user-interface thread; everything else runs there.
class CMainFrame final : public QMainWindow, public call::IDocumentFrame {
    Q_OBJECT
public:
    struct Resources {
        QString ringFile;  // the incoming-call ring, "ringin.wav"
        QString readmeDir; // where readme_e.htm and readme_c.htm are
        QIcon icon;        // icon 128
        // Shows a local file with the desktop's program for it (the readme in the browser).
        std::function<void(const QString &file)> openFile;
        // The keyboard's lock lights for the status bar; none leaves those panes empty.
        std::shared_ptr<ILockKeySource> lockKeys;
    };

    CMainFrame(const call::CRecentCallList &history, IRingPlayer &ring, Resources resources);
    ~CMainFrame() override;

    // The control panel view, shown as the window's only content.
    void SetView(QWidget *view);
    // The document that commands and events go to; sets the title.
    void SetDocument(call::IDocumentCommands *document);
    // Runs command `id` as the menu, an accelerator or a panel button would.
    void RouteCommand(int id);
    // Runs the graph-notify handler when the capture graph has events.
    void SetGraphNotifyHandler(std::function<void()> handler) { graphNotify = std::move(handler); }

    QAction *Action(int id) const;
    QMenu *CallMenu() const { return callMenu; }
    CIncomingCallQuestion &Question() { return *question; }
    bool InTray() const { return trayIcon != nullptr; }
    void MinimizeToTray();
    void RestoreFromTray();
    QSystemTrayIcon *TrayIcon() const { return trayIcon; }
    QString ReadyText() const;

    // IDocumentFrame
    void PostToUi(std::function<void()> task) override;
    void PostCallStarted(int peerMask) override;
    void PostCallEnded() override;
    void PromptIncomingCall(const std::string &callerAddress, int questionId) override;
    void WithdrawIncomingCall(int questionId) override;
    void ShowReadme(const std::string &fileName) override;

signals:
    // The window has closed, after the document's close step: the program ends.
    void Closed();

protected:
    bool event(QEvent *event) override;
    bool eventFilter(QObject *watched, QEvent *event) override;
    void changeEvent(QEvent *event) override;
    void closeEvent(QCloseEvent *event) override;

private:
    void BuildMenus();
    QAction *AddCommand(QMenu *menu, int id, const QString &text, const QKeySequence &shortcut = {});
    void FillRecentCalls();
    void UpdateChecks();
    void ShowAbout();
    void ShowLockKeys();

    const call::CRecentCallList &history;
    Resources resources;
    call::IDocumentCommands *document = nullptr;
    std::unique_ptr<CIncomingCallQuestion> question;
    std::map<int, QAction *> actions;
    QMenu *callMenu = nullptr;
    QAction *recentSeparator = nullptr;
    QList<QAction *> recentActions;
    QLabel *readyLabel = nullptr;
    QLabel *capsPane = nullptr;
    QLabel *numPane = nullptr;
    QLabel *scrollPane = nullptr;
    QSystemTrayIcon *trayIcon = nullptr; // present while the window is in the notification area
    QRect savedGeometry;                 // the normal placement while in the notification area
    std::function<void()> graphNotify;
};

} // namespace kestrel::ui
