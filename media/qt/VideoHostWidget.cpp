#include "media/qt/VideoHostWidget.h"

#include <QPainter>

#include <gst/video/video.h>

#include <cstring>

namespace kestrel::media {

CVideoHostWidget::CVideoHostWidget(QWidget *parent) : QWidget(parent)
{
    QPalette black = palette();
    black.setColor(QPalette::Window, Qt::black);
    setPalette(black);
    setAutoFillBackground(true);
    hide(); // until a renderer is attached
}

CVideoHostWidget::~CVideoHostWidget()
{
    Detach();
}

void CVideoHostWidget::AttachRenderer(GstElement *element)
{
    Detach();
    // Without a renderer the host steps aside, so whatever is under it (the
    // view's "no video" picture) shows.
    setVisible(element != nullptr);
    if (!element)
        return;
    renderer = platform::RefObject(element);
    if (g_signal_lookup(kFrameShownSignal, G_OBJECT_TYPE(element)) == 0)
        return; // attached, but this renderer announces no frames
    mailbox = std::make_shared<Mailbox>();
    mailbox->target = this;
    handlerId = g_signal_connect_data(
        element, kFrameShownSignal, G_CALLBACK(&CVideoHostWidget::OnFrameShown), new std::shared_ptr<Mailbox>(mailbox),
        [](gpointer data, GClosure *) { delete static_cast<std::shared_ptr<Mailbox> *>(data); }, GConnectFlags(0));
}

void CVideoHostWidget::Detach()
{
    {
        // After this no handler posts to the widget, also one that is
        // running now on a streaming thread.
        std::lock_guard lock(mailbox->frameLock);
        mailbox->target = nullptr;
        mailbox->frame = QImage();
        mailbox->hasFrame = false;
    }
    if (renderer && handlerId)
        g_signal_handler_disconnect(renderer.get(), handlerId);
    handlerId = 0;
    renderer.reset();
    update();
}

void CVideoHostWidget::SetVideoVisible(bool visible)
{
    videoVisible = visible;
    update();
}

void CVideoHostWidget::SetVideoRect(int x, int y, int width, int height)
{
    videoRect = QRect(x, y, width, height);
    update();
}

quint64 CVideoHostWidget::FramesTaken() const
{
    std::lock_guard lock(mailbox->frameLock);
    return mailbox->frames;
}

void CVideoHostWidget::OnFrameShown(GstElement *, GstSample *sample, gpointer data)
{
    Mailbox &box = **static_cast<std::shared_ptr<Mailbox> *>(data);
    std::lock_guard lock(box.frameLock);
    if (!box.target || !sample)
        return;
    StoreFrame(box, sample);
    if (!box.updatePending.exchange(true)) {
        // By name: the call is then built inside Qt, not in this streaming
        // thread's code, and nothing it made is read on the other side.
        QMetaObject::invokeMethod(box.target, "OnFrameArrived", Qt::QueuedConnection);
    }
}

// Called with the frame lock held.
void CVideoHostWidget::StoreFrame(Mailbox &box, GstSample *sample)
{
    GstVideoInfo info;
    GstBuffer *buffer = gst_sample_get_buffer(sample);
    if (!buffer || !gst_video_info_from_caps(&info, gst_sample_get_caps(sample)))
        return;
    const GstVideoFormat format = GST_VIDEO_INFO_FORMAT(&info);
    if (format != GST_VIDEO_FORMAT_BGRx && format != GST_VIDEO_FORMAT_BGRA)
        return;
    GstVideoFrame frame;
    if (!gst_video_frame_map(&frame, &info, buffer, GST_MAP_READ))
        return;
    const int width = GST_VIDEO_FRAME_WIDTH(&frame);
    const int height = GST_VIDEO_FRAME_HEIGHT(&frame);
    // A paint that still holds the image shares it: write into a new one then.
    if (box.frame.width() != width || box.frame.height() != height || !box.frame.isDetached())
        box.frame = QImage(width, height, QImage::Format_RGB32);
    const auto *source = static_cast<const uchar *>(GST_VIDEO_FRAME_PLANE_DATA(&frame, 0));
    const int sourceStride = GST_VIDEO_FRAME_PLANE_STRIDE(&frame, 0);
    const auto rowBytes = static_cast<std::size_t>(width) * 4;
    if (!box.frame.isNull()) {
        for (int row = 0; row < height; ++row)
            std::memcpy(box.frame.scanLine(row), source + static_cast<std::ptrdiff_t>(row) * sourceStride, rowBytes);
        box.hasFrame = true;
        ++box.frames;
    }
    gst_video_frame_unmap(&frame);
}

void CVideoHostWidget::OnFrameArrived()
{
    mailbox->updatePending = false;
    update();
    emit FrameArrived();
}

void CVideoHostWidget::paintEvent(QPaintEvent *event)
{
    QWidget::paintEvent(event);
    if (!renderer || !videoVisible)
        return;
    QImage shown;
    {
        std::lock_guard lock(mailbox->frameLock);
        if (!mailbox->hasFrame)
            return;
        shown = mailbox->frame; // shares the pixels; the handler writes elsewhere meanwhile
    }
    QPainter painter(this);
    const QRect target = videoRect.isEmpty() ? rect() : videoRect;
    painter.drawImage(target, shown);
}

} // namespace kestrel::media
