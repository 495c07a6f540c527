#pragma once

#include "call/ICallPanel.h"
#include "call/IMediaSeam.h"
#include "call/IOptionsSheet.h"
#include "call/document/IDocumentFrame.h"
#include "call/document/INameResolver.h"
#include "call/document/IStringTable.h"

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <deque>
#include <functional>
#include <map>
#include <mutex>
#include <optional>
#include <string>
#include <vector>

namespace kestrel::call::test {

// The panel: remembers what the document did to it.
class FakePanel final : public ICallPanel {
public:
    std::string AddressText() const override { return address; }
    void SetAddressText(const std::string &text) override { address = text; }
    void SetCallHistory(const std::vector<std::string> &names) override
    {
        history = names;
        address.clear();
        selected = -1;
    }
    void SelectCallHistoryItem(int index) override
    {
        selected = index;
        if (index >= 0)
            address = history[static_cast<size_t>(index)];
    }
    void EnableButton(int commandId, bool enable) override
    {
        enabled[commandId] = enable;
        buttonLog.emplace_back(commandId, enable);
    }
    void ShowBusy(bool isBusy) override { busy = isBusy; }
    void ShowPlayButtonStopped() override { playLook = "stopped"; }
    void ShowPlayButtonPlaying() override { playLook = "playing"; }
    void UpdateView() override { ++updates; }
    void Repaint() override { ++repaints; }

    bool Enabled(int id) const
    {
        auto found = enabled.find(id);
        return found == enabled.end() || found->second;
    }

    std::string address;
    std::vector<std::string> history;
    int selected = -1;
    std::map<int, bool> enabled;
    std::vector<std::pair<int, bool>> buttonLog;
    bool busy = false;
    std::string playLook;
    int updates = 0;
    int repaints = 0;
};

// The media seam: records every call, in order.
class RecordingMediaSeam final : public IMediaSeam {
public:
    bool IsCaptureRunning() override { return captureRunning; }
    bool StartPreview() override
    {
        calls.push_back("StartPreview");
        captureRunning = previewWorks;
        return previewWorks;
    }
    void StopPreview() override
    {
        calls.push_back("StopPreview");
        captureRunning = false;
    }
    bool StartCallMedia(const std::string &peerAddress, int peerMask) override
    {
        calls.push_back("StartCallMedia " + peerAddress + " " + std::to_string(peerMask));
        captureRunning = true;
        return true;
    }
    void StopMedia() override
    {
        calls.push_back("StopMedia");
        captureRunning = false;
    }
    void StopGraphs() override { calls.push_back("StopGraphs"); }
    void AttachVideoWindow(GraphKind graph) override
    {
        calls.push_back(graph == GraphKind::Capture ? "AttachVideoWindow capture" : "AttachVideoWindow render");
    }
    void DetachVideoWindow() override { calls.push_back("DetachVideoWindow"); }
    void ShowEncoderSettings() override { calls.push_back("ShowEncoderSettings"); }
    void GetCaptureSize(int &width, int &height) override
    {
        width = captureWidth;
        height = captureHeight;
    }

    size_t Count(const std::string &call) const
    {
        size_t n = 0;
        for (const auto &c : calls)
            n += c == call;
        return n;
    }

    std::vector<std::string> calls;
    bool captureRunning = false;
    bool previewWorks = true;
    int captureWidth = 176;
    int captureHeight = 144;
};

class FakeOptions final : public IOptionsSheet {
public:
    void ShowModal() override { ++shown; }
    int GetMediaMask() override { return mask.load(); }
    std::atomic<int> mask{3};
    int shown = 0;
};

class EnglishStrings final : public IStringTable {
public:
    std::string Load(int id) const override
    {
        static const std::map<int, std::string> texts = {
            {177, "Can't connect to self"},
            {178, "Connection Failed!!"},
            {179, "Network initialize Failed"},
            {180, "Can't find the computer %s"},
            {32785, "There is a call from %s\n Accept call?"},
            {32786, "explorer readme_e.htm"},
            {32787, "hostname: %s, hostip: %s\n"},
            {57344, "Kestrel"},
        };
        auto found = texts.find(id);
        return found == texts.end() ? std::string() : found->second;
    }
};

// Names from a table; anything else does not resolve. Keeps the tests off the network's name service.
class TableResolver final : public INameResolver {
public:
    std::string Resolve(const std::string &name, std::stop_token) override
    {
        auto found = names.find(name);
        return found == names.end() ? std::string() : found->second;
    }
    std::map<std::string, std::string> names;
};

// The frame: a queue of tasks for the test's "user-interface thread" (the
// test body, which pumps it), and the listener's events and questions.
class FakeFrame final : public IDocumentFrame {
public:
    using Clock = std::chrono::steady_clock;

    void PostToUi(std::function<void()> task) override
    {
        std::lock_guard lock(queueLock);
        tasks.push_back(std::move(task));
        queueChanged.notify_all();
    }
    void PostCallStarted(int peerMask) override
    {
        PostToUi([this, peerMask] {
            if (onCallStarted)
                onCallStarted(peerMask);
        });
    }
    void PostCallEnded() override
    {
        PostToUi([this] {
            if (onCallEnded)
                onCallEnded();
        });
    }
    void PromptIncomingCall(const std::string &callerAddress, int questionId) override
    {
        std::lock_guard lock(queueLock);
        questions.push_back({callerAddress, questionId});
        queueChanged.notify_all();
    }
    void WithdrawIncomingCall(int questionId) override
    {
        std::lock_guard lock(queueLock);
        withdrawn.push_back(questionId);
        queueChanged.notify_all();
    }
    void ShowReadme(const std::string &fileName) override { readmes.push_back(fileName); }

    // Runs posted tasks on the calling thread until `done` holds or the time is up.
    bool PumpUntil(const std::function<bool()> &done, std::chrono::milliseconds limit = std::chrono::seconds(15))
    {
        const auto deadline = Clock::now() + limit;
        for (;;) {
            if (done())
                return true;
            std::function<void()> task;
            {
                std::unique_lock lock(queueLock);
                if (!queueChanged.wait_until(lock, deadline, [&] { return !tasks.empty() || QuestionsChanged(); }))
                    return done();
                seenQuestions = questions.size() + withdrawn.size();
                if (!tasks.empty()) {
                    task = std::move(tasks.front());
                    tasks.pop_front();
                }
            }
            if (task)
                task();
        }
    }
    // Runs whatever is queued now, without waiting.
    void PumpPending()
    {
        for (;;) {
            std::function<void()> task;
            {
                std::lock_guard lock(queueLock);
                if (tasks.empty())
                    return;
                task = std::move(tasks.front());
                tasks.pop_front();
            }
            task();
        }
    }
    struct Question {
        std::string caller;
        int id;
    };
    std::vector<Question> Questions()
    {
        std::lock_guard lock(queueLock);
        return questions;
    }
    std::vector<int> Withdrawn()
    {
        std::lock_guard lock(queueLock);
        return withdrawn;
    }

    std::function<void(int)> onCallStarted;
    std::function<void()> onCallEnded;
    std::vector<std::string> readmes;

private:
    bool QuestionsChanged() const { return questions.size() + withdrawn.size() != seenQuestions; }

    std::mutex queueLock; // guards tasks, questions, withdrawn, seenQuestions
    std::condition_variable queueChanged;
    std::deque<std::function<void()>> tasks;
    std::vector<Question> questions;
    std::vector<int> withdrawn;
    size_t seenQuestions = 0;
};

} // namespace kestrel::call::test
