#pragma once

#include "ui/RingPlayer.h"

#include <QMessageBox>
#include <QObject>
#include <QPointer>
#include <QString>

#include <functional>
#include <optional>

class QWidget;

namespace kestrel::ui {

// The incoming-call question: "There is a call from %s\n Accept call?" with
// Yes and No, ringing for exactly as long as it is open. It never blocks:
// the answer is handed to `answer` when the user clicks, and the question
// can be withdrawn (the caller left, the session gave up) or refused (the
// program closes) at any time.
//
// Threads: user-interface thread only.
class CIncomingCallQuestion final : public QObject {
    Q_OBJECT
public:
    using AnswerHandler = std::function<void(int questionId, bool accept)>;

    CIncomingCallQuestion(IRingPlayer &ring, AnswerHandler answer, QWidget *parent);
    ~CIncomingCallQuestion() override;

    // Opens the question about `callerAddress` and starts the ring. A
    // question still open is withdrawn first.
    void Ask(const QString &callerAddress, int questionId);
    // Closes question `questionId` without an answer.
    void Withdraw(int questionId);
    // Answers the open question with No (closing the program).
    void Refuse();

    bool IsOpen() const { return openId.has_value(); }
    std::optional<int> OpenQuestion() const { return openId; }
    QMessageBox *Box() const { return box; } // for tests

private:
    void Close();
    void Answered(bool accept);

    IRingPlayer &ring;
    AnswerHandler answer;
    QWidget *parentWindow;
    QPointer<QMessageBox> box;
    std::optional<int> openId;
};

} // namespace kestrel::ui
