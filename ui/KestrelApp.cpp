#include "ui/KestrelApp.h"

#include "call/CommandIds.h"
#include "call/document/CorvidDoc.h"
#include "call/document/RecentCallList.h"
#include "platform/store/AppProfile.h"
#include "platform/store/FileProfileStore.h"
#include "platform/store/StoreLocation.h"
#include "platform/ui/QtMessageBox.h"
#include "platform/ui/Translation.h"
#include "media/devices/SystemDevices.h"
#include "media/GraphBuilder.h"
#include "media/PluginLocator.h"
#include "media/qt/FilterPages.h"
#include "media/qt/VideoHostWidget.h"
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
#include "ui/StringTable.h"
#include "ui/overlay/OverlayPlatform.h"
#include "ui/GeneralDlg.h"
#include "ui/overlay/OverlayService.h"

#include <QApplication>
#include <QDir>
#include <QGuiApplication>
#include <QLibraryInfo>
#include <QTranslator>
#include <QTimer>
#include <QVBoxLayout>

#include <cstdio>

#include <alsa/asoundlib.h>
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

// ALSA prints its own lines when the audio sinks probe a card that is not
// there; GStreamer reports what matters, so they stay quiet.
extern "C" void QuietAlsa(const char *, int, const char *, int, const char *, ...) {}

} // namespace

int RunKestrel(int &argc, char **argv, const CommandLine &line)
{
    if (line.testDevices)
        qputenv("KESTREL_TEST_DEVICES", "1"); // read by the test devices' provider
    snd_lib_error_set_handler(&QuietAlsa);
    gst_init(&argc, &argv);
    media::ScanOwnPlugins();
    overlay::PrepareOverlayPlatform(); // on Wayland, XWayland, where the floating picture can float
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
        CSplashDlg splash(LoadBitmap(IDB_SPLASH));
        splash.exec();
    }

    platform::FileProfileStore store(platform::DefaultStoreFile());
    platform::AppProfile profile(store);
    call::CRecentCallList history(profile, QDir::currentPath().toStdString());
    platform::QtMessageBox messages;
    QtStringTable strings;
    media::devices::CSystemDevices systemDevices;
    COptions options(store, messages, systemDevices.Sources());

    const QString dataDir = DataDirectory();
    const QString ringFile = QDir(dataDir).filePath(QStringLiteral("ringin.wav"));
    GstRingPlayer ring(ringFile);
    CMainFrame frame(history, ring, {ringFile, dataDir, icon, {}, std::shared_ptr<ILockKeySource>(OpenX11LockKeys())});

    std::unique_ptr<call::CCorvidDoc> doc;
    // Outlives the document and the graphs, whose ending call still tells it the renderer is gone.
    overlay::COverlayService overlayService(
        store, {line.bindAddress, [&doc] { return doc ? doc->GetVideoLayout().zoom : 1; }});
    overlayService.SetShortcutNoteHandler([&options](bool needed, const std::string &command) {
        options.GeneralPage().ShowDesktopShortcutNote(needed, QString::fromStdString(command));
    });
    std::unique_ptr<media::CGraphBuilder> graphs;
    CCorvidView::Hooks hooks;
    hooks.videoLayout = [&doc] { return doc ? doc->GetVideoLayout() : call::VideoLayout{}; };
    hooks.fillCallHistory = [&history](CCorvidView &view) { view.SetCallHistory(history.HistoryItems()); };
    hooks.directGraphEvents = [&graphs, &frame] {
        graphs->CaptureGraph().SetNotify([&frame] { QCoreApplication::postEvent(&frame, new QEvent(kGraphNotifyEvent)); });
    };
    auto *view = new CCorvidView(hooks);
    frame.SetView(view);
    auto *videoHost = new media::CVideoHostWidget(view->VideoControl());
    auto *hostLayout = new QVBoxLayout(view->VideoControl());
    hostLayout->setContentsMargins(0, 0, 0, 0);
    hostLayout->addWidget(videoHost);

    media::CGraphBuilder::Parts mediaParts{options, *videoHost, {}, {}, line.bindAddress};
    mediaParts.showPages = [&frame](GstElement *filter, const std::string &caption, int pageLimit) {
        media::ShowFilterPages(filter, QString::fromStdString(caption), pageLimit, &frame);
    };
    mediaParts.updateViews = [view] { view->UpdateView(); };
    mediaParts.remoteRendererChanged = [&overlayService](GstElement *renderer) { overlayService.SetRenderer(renderer); };
    graphs = std::make_unique<media::CGraphBuilder>(std::move(mediaParts));
    switch (graphs->Create()) {
    case media::CGraphBuilder::Creation::Created: break;
    case media::CGraphBuilder::Creation::CaptureGraphFailed:
        messages.Show(strings.Load(IDS_CAPTURE_GRAPH_ERROR), strings.Load(IDS_APP_NAME), platform::MessageIcon::Exclamation);
        return 1;
    case media::CGraphBuilder::Creation::RenderGraphFailed:
        messages.Show(strings.Load(IDS_RENDER_GRAPH_ERROR), strings.Load(IDS_APP_NAME), platform::MessageIcon::Exclamation);
        return 1;
    }
    frame.SetGraphNotifyHandler([&graphs] {
        // Events are drained, none is acted on.
        while (graphs->CaptureGraph().TakeEvent()) {
        }
    });

    doc = std::make_unique<call::CCorvidDoc>(
        call::CCorvidDoc::Parts{options, *graphs, *view, frame, history, messages, strings},
        call::CCorvidDoc::Settings{line.bindAddress, line.autoAnswer});
    frame.SetDocument(doc.get());
    QObject::connect(view, &CCorvidView::Command, &frame, &CMainFrame::RouteCommand);
    view->OnInitialUpdate();

    if (line.dialAddress)
        doc->OnOpenDocument(*line.dialAddress);

    ShutdownSignals shutdownSignals;
    QObject::connect(&shutdownSignals, &ShutdownSignals::Requested, &frame, &QWidget::close);
    QObject::connect(&frame, &CMainFrame::Closed, &app, &QCoreApplication::quit, Qt::QueuedConnection);

    QTimer statisticsTimer;
    if (line.printStatistics) {
        QObject::connect(&statisticsTimer, &QTimer::timeout, [&graphs] {
            const auto elements = [](media::CMediaGraph &graph) {
                return std::to_string(graph.Bin() ? GST_BIN_NUMCHILDREN(graph.Bin()) : 0);
            };
            const std::string text = media::CCallStatistics::Format(graphs->Statistics().Read()) +
                                     (graphs->CallMediaRunning() ? " call=up" : " call=idle") +
                                     " capture-elements=" + elements(graphs->CaptureGraph()) +
                                     " render-elements=" + elements(graphs->RenderGraph()) + "\n";
            std::fputs(text.c_str(), stdout);
            std::fflush(stdout);
        });
        statisticsTimer.start(1000);
    }

    frame.show();
    const int code = app.exec();
    // The listener stops while the frame it reports to still exists; then the graphs go.
    doc.reset();
    graphs.reset();
    return code;
}

} // namespace kestrel::ui
