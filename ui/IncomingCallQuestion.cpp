#include "ui/IncomingCallQuestion.h"

#include "ui/StringTable.h"

#include <QMessageBox>

namespace kestrel::ui {

CIncomingCallQuestion::CIncomingCallQuestion(IRingPlayer &ringPlayer, AnswerHandler answerHandler, QWidget *parent)
    : QObject(parent), ring(ringPlayer), answer(std::move(answerHandler)), parentWindow(parent)
{
}

CIncomingCallQuestion::~CIncomingCallQuestion()
{
    Close();
}

void CIncomingCallQuestion::Ask(const QString &callerAddress, int questionId)
{
    if (openId)
        Close();
    openId = questionId;
    QString text = LoadString(IDS_INCOMING_CALL);
    text.replace(QStringLiteral("%s"), callerAddress);
    box = new QMessageBox(QMessageBox::Question, LoadString(IDS_APP_NAME), text, QMessageBox::Yes | QMessageBox::No,
                          parentWindow);
    box->setAttribute(Qt::WA_DeleteOnClose);
    box->setObjectName(QStringLiteral("incoming-call"));
    box->setWindowModality(Qt::ApplicationModal);
    connect(box, &QMessageBox::finished, this, [this, questionId](int) {
        if (!openId || *openId != questionId)
            return;
        const bool accept = box && box->clickedButton() == box->button(QMessageBox::Yes);
        Answered(accept);
    });
    ring.Start();
    box->open();
}

void CIncomingCallQuestion::Withdraw(int questionId)
{
    if (openId && *openId == questionId)
        Close();
}

void CIncomingCallQuestion::Refuse()
{
    if (openId)
        Answered(false);
}

void CIncomingCallQuestion::Answered(bool accept)
{
    const int questionId = *openId;
    Close();
    answer(questionId, accept);
}

void CIncomingCallQuestion::Close()
{
    openId.reset();
    ring.Stop();
    if (box) {
        QMessageBox *closing = box;
        box = nullptr;
        closing->disconnect(this);
        closing->close(); // deletes itself
    }
}

} // namespace kestrel::ui
