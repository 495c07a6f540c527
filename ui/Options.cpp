#include "ui/Options.h"

#include "media/pages/AudioDlg.h"
#include "media/pages/VideoDlg.h"
#include "ui/GeneralDlg.h"
#include "ui/StringTable.h"

#include <QDialogButtonBox>
#include <QPushButton>
#include <QScopedValueRollback>
#include <QTabWidget>
#include <QVBoxLayout>

namespace kestrel::ui {

namespace {

// Media mask bits, as the call signalling exchanges them.
constexpr int kSendsVideo = 1;
constexpr int kSendsAudio = 2;

} // namespace

COptions::COptions(platform::IProfileStore &store, platform::IMessageBox &messages, QWidget *parent)
    : COptions(store, messages, media::devices::NoCaptureSources(), parent)
{
}

COptions::COptions(platform::IProfileStore &store, platform::IMessageBox &messages,
                   const media::devices::CaptureSources &sources, QWidget *parent)
    : QDialog(parent)
{
    setObjectName(QStringLiteral("32776"));
    setWindowTitle(LoadString(IDS_OPTIONS));

    tabs_ = new QTabWidget(this);
    tabs_->setObjectName(QStringLiteral("12320"));
    general_ = new CGeneralDlg(store, messages, tabs_);
    video_ = new media::pages::CVideoDlg(sources, store, tabs_);
    audio_ = new media::pages::CAudioDlg(sources, tabs_);
    pages_ = {general_, video_, audio_};
    for (media::pages::COptionsPage *page : pages_)
        tabs_->addTab(page, page->windowTitle());

    auto *buttons = new QDialogButtonBox(this);
    QPushButton *ok = buttons->addButton(tr("OK"), QDialogButtonBox::AcceptRole);
    ok->setObjectName(QStringLiteral("1"));
    ok->setDefault(true);
    QPushButton *cancel = buttons->addButton(tr("Cancel"), QDialogButtonBox::RejectRole);
    cancel->setObjectName(QStringLiteral("2"));
    connect(buttons, &QDialogButtonBox::accepted, this, &COptions::accept);
    connect(buttons, &QDialogButtonBox::rejected, this, &COptions::reject);

    auto *layout = new QVBoxLayout(this);
    layout->addWidget(tabs_);
    layout->addWidget(buttons);
    layout->setSizeConstraint(QLayout::SetFixedSize);

    // Only now: adding the first tab made it current, before any page could check itself.
    connect(tabs_, &QTabWidget::currentChanged, this, &COptions::OnCurrentChanged);
}

void COptions::ShowModal()
{
    exec();
}

int COptions::GetMediaMask()
{
    const bool video = video_->Enable();
    const bool audio = audio_->Enable();
    if (!video && !audio) {
        // A call always sends something: audio, from now on.
        audio_->SetEnable(true);
        return kSendsAudio;
    }
    return (video ? kSendsVideo : 0) | (audio ? kSendsAudio : 0);
}

bool COptions::VideoEnabled() const
{
    return video_->Enable();
}

bool COptions::AudioEnabled() const
{
    return audio_->Enable();
}

void COptions::GetVideoSize(int &width, int &height) const
{
    width = video_->Width();
    height = video_->Height();
}

void COptions::SetVideoSize(int width, int height)
{
    video_->SetSize(width, height);
}

std::shared_ptr<media::ICaptureDevice> COptions::ChosenCamera() const
{
    return video_->ChosenDevice();
}

int COptions::ChooseDefaultVideoDevice()
{
    return video_->ChooseDefaultDevice();
}

std::shared_ptr<media::ICaptureDevice> COptions::ChosenMicrophone() const
{
    return audio_->ChosenDevice();
}

int COptions::ChooseDefaultAudioDevice()
{
    return audio_->ChooseDefaultDevice();
}

void COptions::setVisible(bool visible)
{
    if (visible && !isVisible())
        BeginOpening();
    QDialog::setVisible(visible);
}

void COptions::BeginOpening()
{
    shownThisOpening_.fill(false);
    {
        const QScopedValueRollback moving(switchingPages_, true);
        tabs_->setCurrentIndex(0);
    }
    current_ = 0;
    ShowPage(0);
}

void COptions::ShowPage(int index)
{
    if (shownThisOpening_[index])
        return;
    shownThisOpening_[index] = true;
    pages_[index]->OnInitDialog();
}

void COptions::OnCurrentChanged(int index)
{
    if (switchingPages_ || index < 0)
        return;
    const QScopedValueRollback moving(switchingPages_, true);
    // The page being left stays in front while it checks its fields, so that
    // a refused field is where the user sees it.
    tabs_->setCurrentIndex(current_);
    if (!pages_[current_]->OnKillActive())
        return;
    tabs_->setCurrentIndex(index);
    current_ = index;
    ShowPage(index);
}

void COptions::accept()
{
    // The pages left before have been checked on leaving; the one in front now.
    if (!pages_[current_]->OnKillActive())
        return;
    for (std::size_t i = 0; i < pages_.size(); ++i) {
        if (shownThisOpening_[i])
            pages_[i]->OnOK();
    }
    QDialog::accept();
}

void COptions::reject()
{
    for (std::size_t i = 0; i < pages_.size(); ++i) {
        if (shownThisOpening_[i])
            pages_[i]->OnCancel();
    }
    QDialog::reject();
}

} // namespace kestrel::ui
