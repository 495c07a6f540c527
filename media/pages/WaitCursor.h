#pragma once

#include <QGuiApplication>

namespace kestrel::media::pages {

// The wait cursor while a page lists devices or opens a camera's inputs.
class WaitCursor {
public:
    WaitCursor() { QGuiApplication::setOverrideCursor(Qt::WaitCursor); }
    ~WaitCursor() { QGuiApplication::restoreOverrideCursor(); }
    WaitCursor(const WaitCursor &) = delete;
    WaitCursor &operator=(const WaitCursor &) = delete;
};

} // namespace kestrel::media::pages
