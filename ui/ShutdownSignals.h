#pragma once

#include "platform/UniqueFd.h"

#include <QObject>
#include <QSocketNotifier>

#include <memory>

namespace kestrel::ui {

// Turns SIGINT and SIGTERM into a Qt signal on the user-interface thread,
// so that the program closes its window through the normal shut-down. The
// handler only writes a byte to a pipe; the notifier reads it.
class ShutdownSignals final : public QObject {
    Q_OBJECT
public:
    explicit ShutdownSignals(QObject *parent = nullptr);
    ~ShutdownSignals() override;

signals:
    void Requested();

private:
    platform::UniqueFd readEnd;
    platform::UniqueFd writeEnd;
    std::unique_ptr<QSocketNotifier> notifier;
};

} // namespace kestrel::ui
