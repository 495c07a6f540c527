#include "ui/RingPlayer.h"

#include <QApplication>
#include <QFileInfo>
#include <QUrl>

namespace kestrel::ui {

GstRingPlayer::GstRingPlayer(QString soundFile, QObject *parent) : QObject(parent), file(std::move(soundFile))
{
    beepTimer.setInterval(kBeepPeriodMs);
    connect(&beepTimer, &QTimer::timeout, this, [] { QApplication::beep(); });
}

GstRingPlayer::~GstRingPlayer()
{
    Stop();
}

void GstRingPlayer::Start()
{
    if (playing)
        return;
    playing = true;
    failed = false;
    if (!QFileInfo(file).isFile()) {
        FallBackToBeep();
        return;
    }
    playbin = gst_element_factory_make("playbin", nullptr);
    if (!playbin) {
        FallBackToBeep();
        return;
    }
    gst_object_ref_sink(playbin);
    const QByteArray uri = QUrl::fromLocalFile(QFileInfo(file).absoluteFilePath()).toEncoded();
    g_object_set(playbin, "uri", uri.constData(), nullptr);
    // No picture, no subtitles: the ring is sound only.
    g_object_set(playbin, "flags", 0x2 /* audio */, nullptr);
    g_signal_connect(playbin, "about-to-finish", G_CALLBACK(&GstRingPlayer::OnAboutToFinish), this);
    GstBus *bus = gst_element_get_bus(playbin);
    gst_bus_set_sync_handler(bus, &GstRingPlayer::OnBusMessage, this, nullptr);
    gst_object_unref(bus);
    if (gst_element_set_state(playbin, GST_STATE_PLAYING) == GST_STATE_CHANGE_FAILURE)
        FallBackToBeep();
}

void GstRingPlayer::Stop()
{
    playing = false;
    beepTimer.stop();
    ReleasePipeline();
}

void GstRingPlayer::ReleasePipeline()
{
    if (!playbin)
        return;
    gst_element_set_state(playbin, GST_STATE_NULL);
    GstBus *bus = gst_element_get_bus(playbin);
    gst_bus_set_sync_handler(bus, nullptr, nullptr, nullptr);
    gst_object_unref(bus);
    gst_object_unref(playbin);
    playbin = nullptr;
}

void GstRingPlayer::FallBackToBeep()
{
    ReleasePipeline();
    if (!playing)
        return;
    QApplication::beep();
    beepTimer.start();
}

void GstRingPlayer::OnAboutToFinish(GstElement *element, gpointer self)
{
    // Queue the same file again for a gapless loop.
    auto *player = static_cast<GstRingPlayer *>(self);
    const QByteArray uri = QUrl::fromLocalFile(QFileInfo(player->file).absoluteFilePath()).toEncoded();
    g_object_set(element, "uri", uri.constData(), nullptr);
}

GstBusSyncReply GstRingPlayer::OnBusMessage(GstBus *, GstMessage *message, gpointer self)
{
    if (GST_MESSAGE_TYPE(message) == GST_MESSAGE_ERROR) {
        auto *player = static_cast<GstRingPlayer *>(self);
        if (!player->failed.exchange(true)) {
            // Only the pipeline that failed falls back; a later ring has a
            // pipeline of its own. playbin is stable while its streaming
            // threads run. By name: the call is built inside Qt, and nothing
            // this thread made but the atomic is read on the other side.
            player->failedPlaybin = player->playbin;
            QMetaObject::invokeMethod(player, "OnPipelineFailed", Qt::QueuedConnection);
        }
    }
    gst_message_unref(message);
    return GST_BUS_DROP;
}

void GstRingPlayer::OnPipelineFailed()
{
    if (playbin == failedPlaybin.load())
        FallBackToBeep();
}

} // namespace kestrel::ui
