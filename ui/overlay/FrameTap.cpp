#include "ui/overlay/FrameTap.h"

#include "media/VideoWindow.h"

#include <gst/video/video.h>

#include <cstring>

namespace kestrel::ui::overlay {

CFrameTap::CFrameTap(QObject *parent) : QObject(parent) {}

CFrameTap::~CFrameTap()
{
    Detach();
}

void CFrameTap::Attach(GstElement *element)
{
    Detach();
    if (!element)
        return;
    renderer = platform::RefObject(element);
    if (g_signal_lookup(media::kFrameShownSignal, G_OBJECT_TYPE(element)) == 0)
        return;
    mailbox = std::make_shared<Mailbox>();
    mailbox->target = this;
    handlerId = g_signal_connect_data(
        element, media::kFrameShownSignal, G_CALLBACK(&CFrameTap::OnFrameShown),
        new std::shared_ptr<Mailbox>(mailbox),
        [](gpointer data, GClosure *) { delete static_cast<std::shared_ptr<Mailbox> *>(data); }, GConnectFlags(0));
}

void CFrameTap::Detach()
{
    {
        std::lock_guard lock(mailbox->frameLock);
        mailbox->target = nullptr;
        mailbox->frame = QImage();
    }
    if (renderer && handlerId)
        g_signal_handler_disconnect(renderer.get(), handlerId);
    handlerId = 0;
    renderer.reset();
}

QImage CFrameTap::LatestFrame() const
{
    std::lock_guard lock(mailbox->frameLock);
    return mailbox->frame;
}

quint64 CFrameTap::FramesTaken() const
{
    std::lock_guard lock(mailbox->frameLock);
    return mailbox->frames;
}

void CFrameTap::OnFrameShown(GstElement *, GstSample *sample, gpointer data)
{
    Mailbox &box = **static_cast<std::shared_ptr<Mailbox> *>(data);
    std::lock_guard lock(box.frameLock);
    if (!box.target || !sample || !StoreFrame(box, sample))
        return;
    // By name: the call is then built inside Qt, not in this streaming
    // thread's code, and nothing it made is read on the other side.
    if (!box.postPending.exchange(true))
        QMetaObject::invokeMethod(box.target, "OnFramePosted", Qt::QueuedConnection);
}

void CFrameTap::OnFramePosted()
{
    mailbox->postPending = false;
    emit FrameArrived();
}

// Called with the frame lock held.
bool CFrameTap::StoreFrame(Mailbox &box, GstSample *sample)
{
    GstVideoInfo info;
    GstBuffer *buffer = gst_sample_get_buffer(sample);
    if (!buffer || !gst_video_info_from_caps(&info, gst_sample_get_caps(sample)))
        return false;
    const GstVideoFormat format = GST_VIDEO_INFO_FORMAT(&info);
    if (format != GST_VIDEO_FORMAT_BGRx && format != GST_VIDEO_FORMAT_BGRA)
        return false;
    GstVideoFrame frame;
    if (!gst_video_frame_map(&frame, &info, buffer, GST_MAP_READ))
        return false;
    const int width = GST_VIDEO_FRAME_WIDTH(&frame);
    const int height = GST_VIDEO_FRAME_HEIGHT(&frame);
    // A paint that still holds the image shares it: write into a new one then.
    if (box.frame.width() != width || box.frame.height() != height || !box.frame.isDetached())
        box.frame = QImage(width, height, QImage::Format_RGB32);
    const bool stored = !box.frame.isNull();
    if (stored) {
        const auto *source = static_cast<const uchar *>(GST_VIDEO_FRAME_PLANE_DATA(&frame, 0));
        const int sourceStride = GST_VIDEO_FRAME_PLANE_STRIDE(&frame, 0);
        const auto rowBytes = static_cast<std::size_t>(width) * 4;
        for (int row = 0; row < height; ++row)
            std::memcpy(box.frame.scanLine(row), source + static_cast<std::ptrdiff_t>(row) * sourceStride, rowBytes);
        ++box.frames;
    }
    gst_video_frame_unmap(&frame);
    return stored;
}

} // namespace kestrel::ui::overlay
