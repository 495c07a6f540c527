#pragma once

#include <QObject>
#include <QString>
#include <QTimer>

#include <gst/gst.h>

#include <atomic>

namespace kestrel::ui {

// Plays the incoming-call ring while the question is open.
class IRingPlayer {
public:
    virtual ~IRingPlayer() = default;
    virtual void Start() = 0;
    virtual void Stop() = 0;
};

// Loops a sound file through GStreamer (playbin, gapless: the same file is
// queued again as it ends). When the file is missing or cannot be played,
// it beeps once per ring period instead, so a call is still heard.
//
// Threads: user-interface thread; GStreamer's streaming thread only queues
// the file again and reports errors back by posting.
class GstRingPlayer final : public QObject, public IRingPlayer {
    Q_OBJECT
public:
    static constexpr int kBeepPeriodMs = 3000;

    explicit GstRingPlayer(QString file, QObject *parent = nullptr);
    ~GstRingPlayer() override;

    void Start() override;
    void Stop() override;

    bool Playing() const { return playing; }
    bool Beeping() const { return beepTimer.isActive(); }

private:
    static void OnAboutToFinish(GstElement *playbin, gpointer self);
    static GstBusSyncReply OnBusMessage(GstBus *bus, GstMessage *message, gpointer self);
    void FallBackToBeep();
    Q_INVOKABLE void OnPipelineFailed();
    void ReleasePipeline();

    const QString file;
    GstElement *playbin = nullptr; // owned while ringing
    QTimer beepTimer;
    bool playing = false;
    std::atomic<bool> failed{false}; // set by the streaming thread on an error
    std::atomic<GstElement *> failedPlaybin{nullptr}; // the pipeline that failed
};

} // namespace kestrel::ui
