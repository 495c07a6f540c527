#include "ui/KestrelApp.h"

#include "call/CommandIds.h"
#include "call/document/CorvidDoc.h"
#include "call/document/RecentCallList.h"
#include "platform/store/AppProfile.h"
#include "platform/store/FileProfileStore.h"
#include "platform/ui/QtMessageBox.h"
#include "platform/ui/Translation.h"
#include "ui/CorvidView.h"
#include "ui/DataFiles.h"
#include "ui/MainFrame.h"
#include "ui/Options.h"
#include "ui/PanelBitmaps.h"
#include "ui/QtStringTable.h"
#include "ui/RingPlayer.h"
#include "ui/RunningInstance.h"
#include "ui/ShutdownSignals.h"
#include "ui/SplashDlg.h"

#include <QApplication>
#include <QDir>
#include <QGuiApplication>
#include <QLibraryInfo>
#include <QTranslator>

#include <gst/gst.h>

#include <memory>

namespace kestrel::ui {

namespace {

// Translations of the program's own texts, of the pages it shows, and of Qt's standard buttons.
class Translations {
public:
    Translations()
    {
        const QLocale locale;
        for (const char *catalogue : {":/i18n/kestrel", ":/i18n/kestrel_options", ":/i18n/kestrel_media_pages",
                                      ":/i18n/kestrel_setting"}) {
            auto translator = std::make_unique<QTranslator>();
            if (platform::InstallTranslation(*translator, locale, QString::fromLatin1(catalogue)))
                installed.push_back(std::move(translator));
        }
        if (platform::WantsTraditionalChinese(locale)) {
            auto qt = std::make_unique<QTranslator>();
            if (qt->load(QStringLiteral("qtbase_zh_TW"), QLibraryInfo::path(QLibraryInfo::TranslationsPath)) &&
                QCoreApplication::installTranslator(qt.get()))
                installed.push_back(std::move(qt));
        }
    }

private:
    std::vector<std::unique_ptr<QTranslator>> installed;
};

// A running copy is found only through a title with "- Corvid", and only
// where windows of other programs can be seen: on X11, not on Wayland.
bool AnotherCopyRuns()
{
    if (QGuiApplication::platformName() != QLatin1String("xcb"))
        return false;
    auto windows = OpenX11WindowList();
    return windows && FindRunningInstance(*windows).has_value();
}

// Until the media graphs are built: no preview, no media, the pages' capture size.
class NoMediaSeam final : public call::IMediaSeam {
public:
    explicit NoMediaSeam(media::ICapturePages &pages) : pages(pages) {}
    bool IsCaptureRunning() override { return false; }
    bool StartPreview() override { return false; }
    void StopPreview() override {}
    bool StartCallMedia(const std::string &, int) override { return false; }
    void StopMedia() override {}
    void StopGraphs() override {}
    void AttachVideoWindow(call::GraphKind) override {}
    void DetachVideoWindow() override {}
    void ShowEncoderSettings() override {}
    void GetCaptureSize(int &width, int &height) override { pages.GetVideoSize(width, height); }

private:
    media::ICapturePages &pages;
};

} // namespace

int RunKestrel(int &argc, char **argv, const CommandLine &line)
{
    gst_init(&argc, &argv);
    QApplication app(argc, argv);
    // The program ends when its main window closes, not when the splash does.
    QApplication::setQuitOnLastWindowClosed(false);
    QApplication::setApplicationName(QStringLiteral("Kestrel"));
    QApplication::setOrganizationName(QStringLiteral("ORVA"));
    QGuiApplication::setDesktopFileName(QStringLiteral("kestrel"));
    Translations translations;
    const QIcon icon = KestrelIcon();
    QApplication::setWindowIcon(icon);

    if (AnotherCopyRuns())
        return 0;
    {
        CSplashDlg splash(LoadBitmap(178));
        splash.exec();
    }

    platform::FileProfileStore store;
    platform::AppProfile profile(store);
    call::CRecentCallList history(profile, QDir::currentPath().toStdString());
    platform::QtMessageBox messages;
    QtStringTable strings;

    COptions options(store, messages);
    NoMediaSeam media(options);

    GstRingPlayer ring(QDir(DataDirectory()).filePath(QStringLiteral("ringin.wav")));
    CMainFrame frame(history, ring, {QDir(DataDirectory()).filePath(QStringLiteral("ringin.wav")), DataDirectory(), icon, {}});
    auto *view = new CCorvidView;
    frame.SetView(view);

    auto doc = std::make_unique<call::CCorvidDoc>(
        call::CCorvidDoc::Parts{options, media, *view, frame, history, messages, strings},
        call::CCorvidDoc::Settings{line.bindAddress, line.autoAnswer});
    frame.SetDocument(doc.get());
    // TODO(view integration)
    view->SetCallHistory(history.HistoryItems());

    if (line.dialAddress)
        doc->OnOpenDocument(*line.dialAddress);

    ShutdownSignals signals;
    QObject::connect(&signals, &ShutdownSignals::Requested, &frame, &QWidget::close);
    QObject::connect(&frame, &CMainFrame::Closed, &app, &QCoreApplication::quit, Qt::QueuedConnection);

    frame.show();
    const int code = app.exec();
    doc.reset(); // stops the listener while the frame it reports to still exists
    return code;
}

} // namespace kestrel::ui
