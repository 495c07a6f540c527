#pragma once

#include "media/VideoWindow.h"
#include "platform/gst/GstRef.h"

#include <QImage>
#include <QRect>
#include <QWidget>

#include <atomic>
#include <memory>
#include <mutex>

namespace kestrel::media {

// The content of the view's video control: paints the newest frame its
// renderer has shown, scaled into the video rectangle, and its own
// background while the video is hidden. Without a renderer it is hidden.
//
// Threads: a user-interface widget. The renderer's "frame-shown" handler
// runs on its streaming thread; it copies the frame into the one image kept
// (a new one is made only when the size changes or a paint still holds the
// old one) under a short lock and asks for one repaint, which runs on the
// user-interface thread.
class CVideoHostWidget : public QWidget, public IVideoHost {
    Q_OBJECT
public:
    explicit CVideoHostWidget(QWidget *parent = nullptr);
    ~CVideoHostWidget() override;

    void AttachRenderer(GstElement *renderer) override;
    void SetVideoVisible(bool visible) override;
    void SetVideoRect(int x, int y, int width, int height) override;

    bool IsAttached() const { return renderer != nullptr; }
    // Frames taken from the renderer since the last attachment.
    quint64 FramesTaken() const;

signals:
    // A new frame is ready; the repaint it asks for has been scheduled.
    void FrameArrived();

protected:
    void paintEvent(QPaintEvent *event) override;

private:
    // Shared by the widget and the signal handler of one attachment.
    struct Mailbox {
        std::mutex frameLock; // guards everything below
        QImage frame;
        bool hasFrame = false;
        quint64 frames = 0;
        CVideoHostWidget *target = nullptr; // null once detached: no more posts
        std::atomic<bool> updatePending{false};
    };
    static void OnFrameShown(GstElement *renderer, GstSample *sample, gpointer mailbox);
    static void StoreFrame(Mailbox &box, GstSample *sample);
    void Detach();
    Q_INVOKABLE void OnFrameArrived();

    platform::GstRef<GstElement> renderer;
    gulong handlerId = 0;
    std::shared_ptr<Mailbox> mailbox = std::make_shared<Mailbox>();
    bool videoVisible = true;
    QRect videoRect; // empty: the whole widget
};

} // namespace kestrel::media
