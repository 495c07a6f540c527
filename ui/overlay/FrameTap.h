#pragma once

#include "platform/gst/GstRef.h"

#include <QImage>
#include <QObject>

#include <atomic>
#include <memory>
#include <mutex>

namespace kestrel::ui::overlay {

// Follows the frames a renderer shows through its "frame-shown" signal and
// keeps the newest one for the floating picture: one copy per frame, into
// an image that is reused unless its size changes or a paint still holds it.
//
// Threads: a user-interface object. The signal handler runs on the
// renderer's streaming thread; it copies under a short lock and posts at
// most one FrameArrived at a time to the user-interface thread. Detaching
// (and destruction) clears the handler's target under that lock, so no
// streaming thread reaches a tap that is gone.
class CFrameTap final : public QObject {
    Q_OBJECT
public:
    explicit CFrameTap(QObject *parent = nullptr);
    ~CFrameTap() override;
    CFrameTap(const CFrameTap &) = delete;
    CFrameTap &operator=(const CFrameTap &) = delete;

    // Follows `renderer` (null: none). A renderer without the signal is
    // followed but gives no frames.
    void Attach(GstElement *renderer);
    bool IsAttached() const { return renderer != nullptr; }

    // The newest frame (shares its pixels), null before the first.
    QImage LatestFrame() const;
    // Frames copied since the last Attach.
    quint64 FramesTaken() const;

signals:
    void FrameArrived();

private:
    struct Mailbox {
        mutable std::mutex frameLock; // guards everything below
        QImage frame;
        quint64 frames = 0;
        CFrameTap *target = nullptr; // null once detached: no more posts
        std::atomic<bool> postPending{false};
    };
    static void OnFrameShown(GstElement *renderer, GstSample *sample, gpointer mailbox);
    static bool StoreFrame(Mailbox &box, GstSample *sample);
    void Detach();
    Q_INVOKABLE void OnFramePosted();

    platform::GstRef<GstElement> renderer;
    gulong handlerId = 0;
    std::shared_ptr<Mailbox> mailbox = std::make_shared<Mailbox>();
};

} // namespace kestrel::ui::overlay
