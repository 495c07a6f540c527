#pragma once

#include "filters/pages/PropertyPage.h"

#include <QDialog>
#include <QHash>
#include <QString>
#include <QStringList>

#include <gst/gst.h>

#include <functional>
#include <memory>
#include <vector>

class QDialogButtonBox;
class QPushButton;
class QTabWidget;

namespace kestrel::media {

using filters::pages::CPropertyPage;

// Element metadata keys that name an element's property pages, in the order
// the pages are shown: the Tideline elements' "tideline-property-page" and
// "kestrel-property-page", which the outside filters (the video encoder) use.
// A value holds one page identifier or several separated by ';'.
QStringList DefaultPageMetadataKeys();
// The page identifiers `element`'s class names under `keys`, in order.
QStringList PageIdsOf(GstElement *element, const QStringList &keys = DefaultPageMetadataKeys());

// Makes property pages by identifier (compared without regard to case, as
// GUIDs are). The Tideline pages are known from the start; other page
// libraries register theirs.
//
// Threads: user-interface thread.
class CPropertyPageFactory {
public:
    using Maker = std::function<std::unique_ptr<CPropertyPage>(QWidget *parent)>;

    // The program's factory, which ShowFilterPages uses by default.
    static CPropertyPageFactory &Default();

    void Register(const QString &pageId, Maker maker);
    // Null for an identifier nobody registered.
    std::unique_ptr<CPropertyPage> Create(const QString &pageId, QWidget *parent = nullptr) const;

private:
    QHash<QString, Maker> makers; // keyed by the upper-case identifier
};

// A property frame over one element: its pages in tabs, OK, Cancel and
// Apply. OK applies every page with changes and closes; a page that refuses
// its values keeps the frame open on that page. Cancel applies nothing.
// Apply is enabled while a page has changes.
class CFilterPropertyFrame : public QDialog {
    Q_OBJECT
public:
    CFilterPropertyFrame(GstElement *element, const QString &caption, std::vector<std::unique_ptr<CPropertyPage>> pages,
                         QWidget *owner = nullptr);
    ~CFilterPropertyFrame() override;

    int PageCount() const;
    CPropertyPage *Page(int index) const;
    QPushButton *ApplyButton() const;
    // Applies the pages with changes; false when one refused (it is shown).
    bool ApplyChanges();

    void accept() override;

private:
    void UpdateApplyButton();

    std::vector<CPropertyPage *> pages; // owned by the tab widget
    QTabWidget *tabs;
    QDialogButtonBox *buttons;
};

// Shows `element`'s property pages in a modal frame with `caption`, owned by
// `owner` and placed at its top-left corner. When `pageLimit` is not 0 at
// most that many pages are shown (the encoder shows its first only). Does
// nothing when the element names no page this factory can make.
void ShowFilterPages(GstElement *element, const QString &caption, int pageLimit, QWidget *owner = nullptr,
                     const CPropertyPageFactory &factory = CPropertyPageFactory::Default(),
                     const QStringList &metadataKeys = DefaultPageMetadataKeys());

} // namespace kestrel::media
