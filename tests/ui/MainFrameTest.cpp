#include "call/CommandIds.h"
#include "call/document/RecentCallList.h"
#include "platform/store/MemoryProfileStore.h"
#include "ui/MainFrame.h"
#include "ui/StringTable.h"

#include <QAction>
#include <QApplication>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QMenuBar>
#include <QMessageBox>
#include <QPushButton>
#include <QStatusBar>
#include <QSystemTrayIcon>
#include <QTest>

#include <gtest/gtest.h>

#include <chrono>
#include <thread>

namespace kestrel::ui {
namespace {

using namespace call;

class RecordingDocument final : public IDocumentCommands {
public:
    bool OnCommand(int id) override
    {
        commands.push_back(id);
        return true;
    }
    bool IsChecked(int id) const override { return id == checked; }
    void OnOpenDocument(const std::string &path) override { opened.push_back(path); }
    void OnCloseDocument() override { ++closed; }
    void OnCallStarted(int peerMask) override { started.push_back(peerMask); }
    void OnCallEnded() override { ++ended; }
    void AnswerIncomingCall(int questionId, bool accept) override { answers.emplace_back(questionId, accept); }
    std::string Title() const override { return "ORVA"; }

    std::vector<int> commands;
    int checked = ID_WINDOW_SIZE_100;
    std::vector<std::string> opened;
    int closed = 0;
    std::vector<int> started;
    int ended = 0;
    std::vector<std::pair<int, bool>> answers;
};

class FakeLockKeys final : public ILockKeySource {
public:
    LockKeys Read() override { return keys; }
    LockKeys keys;
};

class CountingRing final : public IRingPlayer {
public:
    void Start() override { ringing = true, ++starts; }
    void Stop() override { ringing = false; }
    bool ringing = false;
    int starts = 0;
};

// Processes events until `done` holds; false when the time is up first.
bool ProcessUntil(const std::function<bool()> &done, std::chrono::milliseconds limit = std::chrono::seconds(5))
{
    const auto deadline = std::chrono::steady_clock::now() + limit;
    while (!done()) {
        if (std::chrono::steady_clock::now() > deadline)
            return false;
        QCoreApplication::processEvents(QEventLoop::AllEvents, 20);
    }
    return true;
}

struct Frame : ::testing::Test {
    Frame()
    {
        frame.SetDocument(&document);
        auto *view = new QWidget;
        auto *newCall = new QPushButton(QStringLiteral("New Call"), view);
        newCall->setObjectName(QString::number(ID_NEW_CALL));
        QObject::connect(newCall, &QPushButton::clicked, &frame, [this] { frame.RouteCommand(ID_NEW_CALL); });
        auto *address = new QLineEdit(view);
        address->setObjectName(QString::number(IDC_CALL_HISTORY));
        address->move(0, 40);
        frame.SetView(view);
        frame.show();
    }

    platform::MemoryProfileStore store;
    platform::AppProfile profile{store};
    CRecentCallList history{profile, "/home/player"};
    CountingRing ring;
    RecordingDocument document;
    QStringList openedFiles;
    std::shared_ptr<FakeLockKeys> locks = std::make_shared<FakeLockKeys>();
    CMainFrame frame{history, ring,
                     {QString(), QStringLiteral("/usr/share/kestrel"), QIcon(),
                      [this](const QString &file) { openedFiles << file; }, locks}};
};

TEST_F(Frame, TitleMenusAndPrompts)
{
    EXPECT_EQ(frame.windowTitle(), QStringLiteral("ORVA - Kestrel"));
    QStringList menus;
    for (QAction *menu : frame.menuBar()->actions())
        menus << menu->text();
    EXPECT_EQ(menus, (QStringList{"&Call", "&Tool", "&View", "&Help"}));
    EXPECT_EQ(frame.Action(ID_NEW_CALL)->shortcut(), QKeySequence(Qt::CTRL | Qt::Key_N));
    EXPECT_EQ(frame.Action(ID_END_CALL)->shortcut(), QKeySequence(Qt::CTRL | Qt::Key_E));
    EXPECT_EQ(frame.Action(ID_LOCAL_PLAY)->shortcut(), QKeySequence(Qt::CTRL | Qt::Key_L));
    EXPECT_EQ(frame.Action(ID_NEW_CALL)->statusTip(), QStringLiteral("Make a new call to remote computer"));
    EXPECT_EQ(frame.Action(ID_END_CALL)->statusTip(), QStringLiteral("Terminate the current call"));
    EXPECT_EQ(frame.Action(ID_APP_EXIT)->statusTip(), QStringLiteral("Exit Kestrel"));
    EXPECT_EQ(frame.Action(ID_OPTION)->statusTip(), QStringLiteral("Kestrel Options"));
    EXPECT_TRUE(frame.Action(ID_README)->statusTip().isEmpty());
    EXPECT_TRUE(frame.Action(ID_WINDOW_SIZE_200)->statusTip().isEmpty());
    EXPECT_EQ(frame.Action(ID_APP_ABOUT)->text(), QStringLiteral("&About Kestrel..."));

    auto *ready = frame.statusBar()->findChild<QLabel *>();
    ASSERT_NE(ready, nullptr);
    EXPECT_EQ(ready->text(), QStringLiteral("Ready"));
    frame.statusBar()->showMessage(frame.Action(ID_NEW_CALL)->statusTip()); // what hovering the item does
    EXPECT_EQ(frame.statusBar()->currentMessage(), QStringLiteral("Make a new call to remote computer"));
    frame.statusBar()->clearMessage();
    EXPECT_TRUE(ready->isVisible());
}

TEST_F(Frame, MenuAcceleratorAndPanelReachTheSameHandler)
{
    frame.Action(ID_NEW_CALL)->trigger();
    frame.activateWindow();
    ASSERT_TRUE(QTest::qWaitForWindowActive(&frame));
    QTest::keyClick(&frame, Qt::Key_N, Qt::ControlModifier);
    frame.findChild<QPushButton *>(QString::number(ID_NEW_CALL))->click();
    EXPECT_EQ(document.commands, (std::vector<int>{ID_NEW_CALL, ID_NEW_CALL, ID_NEW_CALL}));

    QTest::keyClick(&frame, Qt::Key_E, Qt::ControlModifier);
    QTest::keyClick(&frame, Qt::Key_L, Qt::ControlModifier);
    for (int id : {ID_OPTION, ID_ENCODER, ID_INFO, ID_README, ID_WINDOW_SIZE_400})
        frame.Action(id)->trigger();
    EXPECT_EQ(document.commands, (std::vector<int>{ID_NEW_CALL, ID_NEW_CALL, ID_NEW_CALL, ID_END_CALL, ID_LOCAL_PLAY,
                                                   ID_OPTION, ID_ENCODER, ID_INFO, ID_README, ID_WINDOW_SIZE_400}));

    frame.Action(ID_VIEW_STATUS_BAR)->trigger(); // the frame's own: the document never sees it
    EXPECT_FALSE(frame.statusBar()->isVisible());
    EXPECT_EQ(document.commands.size(), 10u);
}

TEST_F(Frame, CallAcceleratorsWorkWhileTheAddressHasTheFocus)
{
    frame.activateWindow();
    ASSERT_TRUE(QTest::qWaitForWindowActive(&frame));
    auto *address = frame.findChild<QLineEdit *>(QString::number(IDC_CALL_HISTORY));
    address->setFocus();
    address->setText(QStringLiteral("127.0.0.2"));
    address->setCursorPosition(0);
    // Ctrl+E also means "end of line" to an edit field; End Call comes first.
    QTest::keyClick(address, Qt::Key_E, Qt::ControlModifier);
    QTest::keyClick(address, Qt::Key_N, Qt::ControlModifier);
    QTest::keyClick(address, Qt::Key_L, Qt::ControlModifier);
    EXPECT_EQ(document.commands, (std::vector<int>{ID_END_CALL, ID_NEW_CALL, ID_LOCAL_PLAY}));
    EXPECT_EQ(address->cursorPosition(), 0);
    QTest::keyClick(address, Qt::Key_A, Qt::ControlModifier); // other edit keys stay the field's
    EXPECT_EQ(address->selectedText(), QStringLiteral("127.0.0.2"));
}

TEST_F(Frame, TheStatusBarShowsTheLockLightsAfterAKey)
{
    auto pane = [&](const char *name) { return frame.statusBar()->findChild<QLabel *>(name)->text(); };
    EXPECT_EQ(pane("CAP"), QString());
    frame.activateWindow();
    ASSERT_TRUE(QTest::qWaitForWindowActive(&frame));
    locks->keys = {true, false, true};
    QTest::keyClick(frame.windowHandle(), Qt::Key_CapsLock);
    EXPECT_EQ(pane("CAP"), QStringLiteral("CAP"));
    EXPECT_EQ(pane("NUM"), QString());
    EXPECT_EQ(pane("SCRL"), QStringLiteral("SCRL"));
}

TEST_F(Frame, WindowSizeItemsCarryTheDocumentsCheckMark)
{
    document.checked = ID_WINDOW_SIZE_300;
    QMenu *view = frame.menuBar()->actions()[2]->menu();
    emit view->aboutToShow();
    EXPECT_TRUE(frame.Action(ID_WINDOW_SIZE_300)->isChecked());
    EXPECT_FALSE(frame.Action(ID_WINDOW_SIZE_100)->isChecked());
}

TEST_F(Frame, TheCallMenuListsRecentCallsAndOpensThem)
{
    for (int i = 1; i <= 11; ++i)
        history.Add("10.1.0." + std::to_string(i));
    emit frame.CallMenu()->aboutToShow();
    ASSERT_NE(frame.Action(ID_FILE_MRU_FIRST), nullptr);
    EXPECT_EQ(frame.Action(ID_FILE_MRU_FIRST)->text(), QStringLiteral("&1 10.1.0.11"));
    EXPECT_NE(frame.Action(ID_FILE_MRU_FIRST + 9), nullptr);
    EXPECT_EQ(frame.Action(ID_FILE_MRU_FIRST + 10), nullptr);
    frame.Action(ID_FILE_MRU_FIRST + 1)->trigger();
    EXPECT_EQ(document.opened, std::vector<std::string>{"/home/player/10.1.0.10"});
    // Choosing the same entry again calls again.
    frame.Action(ID_FILE_MRU_FIRST + 1)->trigger();
    EXPECT_EQ(document.opened.size(), 2u);
}

TEST_F(Frame, ListenerEventsArriveOnTheUserInterfaceThread)
{
    std::thread listener([this] {
        frame.PostCallStarted(3);
        frame.PostCallEnded();
    });
    listener.join();
    EXPECT_TRUE(document.started.empty()) << "posted, not called";
    ASSERT_TRUE(ProcessUntil([&] { return document.ended == 1; }));
    EXPECT_EQ(document.started, std::vector<int>{3});
    EXPECT_EQ(static_cast<int>(kCallStartedEvent), 0x0591);
    EXPECT_EQ(static_cast<int>(kCallEndedEvent), 0x0592);
}

TEST_F(Frame, TheQuestionRingsWhileOpenAndHandsOnTheAnswer)
{
    std::thread listener([this] { frame.PromptIncomingCall("127.0.4.2", 7); });
    listener.join();
    ASSERT_TRUE(ProcessUntil([&] { return frame.Question().IsOpen(); }));
    QMessageBox *box = frame.Question().Box();
    ASSERT_NE(box, nullptr);
    EXPECT_EQ(box->text(), QStringLiteral("There is a call from 127.0.4.2\n Accept call?"));
    EXPECT_TRUE(ring.ringing);
    box->button(QMessageBox::Yes)->click();
    EXPECT_FALSE(ring.ringing);
    EXPECT_EQ(document.answers, (std::vector<std::pair<int, bool>>{{7, true}}));

    frame.PromptIncomingCall("127.0.4.2", 8);
    ASSERT_TRUE(ProcessUntil([&] { return frame.Question().IsOpen(); }));
    frame.WithdrawIncomingCall(8); // the caller left
    ASSERT_TRUE(ProcessUntil([&] { return !frame.Question().IsOpen(); }));
    EXPECT_FALSE(ring.ringing);
    EXPECT_EQ(document.answers.size(), 1u) << "a withdrawn question has no answer";
}

TEST_F(Frame, ClosingWhileTheQuestionIsOpenAnswersNo)
{
    frame.PromptIncomingCall("127.0.4.2", 9);
    ASSERT_TRUE(ProcessUntil([&] { return frame.Question().IsOpen(); }));
    frame.close();
    EXPECT_EQ(document.answers, (std::vector<std::pair<int, bool>>{{9, false}}));
    EXPECT_FALSE(ring.ringing);
    EXPECT_EQ(document.closed, 1);
}

TEST_F(Frame, WithoutANotificationAreaMinimisingKeepsTheWindowInTheTaskBar)
{
    ASSERT_FALSE(QSystemTrayIcon::isSystemTrayAvailable()) << "the offscreen platform has no tray";
    frame.showMinimized();
    ProcessUntil([&] { return frame.isMinimized(); }, std::chrono::milliseconds(500));
    EXPECT_FALSE(frame.InTray());
    EXPECT_TRUE(frame.isVisible()) << "a hidden window with no icon would be lost";
}

TEST_F(Frame, AnIncomingCallRestoresAMinimisedWindowFirst)
{
    frame.showMinimized();
    frame.PromptIncomingCall("127.0.4.2", 10);
    ASSERT_TRUE(ProcessUntil([&] { return frame.Question().IsOpen(); }));
    EXPECT_FALSE(frame.isMinimized());
    frame.Question().Refuse();
}

TEST_F(Frame, ReadmeOpensTheFileFromTheDataFolder)
{
    frame.ShowReadme("readme_e.htm");
    EXPECT_EQ(openedFiles, QStringList{QStringLiteral("/usr/share/kestrel/readme_e.htm")});
}

} // namespace
} // namespace kestrel::ui
