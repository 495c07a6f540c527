#pragma once

#include <QString>
#include <QWidget>

#include <glib-object.h>

#include <memory>
#include <optional>

namespace kestrel::filters::pages {

// One page of a property frame, bound to one configurable object (an RTP
// element). A host connects it, activates it, applies it any number of times
// and disconnects it.
//
// Threads: user-interface thread only.
class CPropertyPage : public QWidget {
    Q_OBJECT
public:
    enum class ApplyResult {
        Applied,    // the object took the page's values
        NotApplied, // a field was not usable; see each page for what was stored
    };

    using QWidget::QWidget;
    ~CPropertyPage() override;

    virtual QString Title() const = 0;
    // Keeps a reference to `object` when it offers the page's interface;
    // false (nothing kept) otherwise, and the frame must not show the page.
    bool Connect(GObject *object);
    void Disconnect();
    // Fills the controls from the connected object.
    virtual void Activate() = 0;
    // Hands the controls' values to the connected object.
    ApplyResult Apply();
    bool IsDirty() const { return dirty; }

signals:
    // An edit made the page dirty: the frame enables its Apply button.
    void DirtyChanged(bool dirty);

protected:
    virtual bool Accepts(GObject *object) const = 0;
    virtual ApplyResult ApplyChanges() = 0;
    GObject *Object() const { return object; }
    void MarkDirty();
    // Reads a number field: an unsigned decimal, optionally surrounded by
    // blanks; anything else (an empty field too) is not a number.
    static std::optional<unsigned> ParseUnsigned(const QString &text);

private:
    GObject *object = nullptr; // owned reference while connected
    bool dirty = false;
};

// Creates the page a host names by identifier (an element's
// "tideline-property-page" metadata); null for an unknown identifier.
std::unique_ptr<CPropertyPage> CreatePropertyPage(const QString &pageId, QWidget *parent = nullptr);

} // namespace kestrel::filters::pages
