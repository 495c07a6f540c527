#include "media/qt/FilterPages.h"

#include "tideline/rtpconfig.h"

#include <QDialogButtonBox>
#include <QPushButton>
#include <QTabWidget>
#include <QVBoxLayout>

#include <algorithm>

namespace kestrel::media {

QStringList DefaultPageMetadataKeys()
{
    return {QStringLiteral(TIDELINE_METADATA_PROPERTY_PAGE), QStringLiteral("kestrel-property-page")};
}

QStringList PageIdsOf(GstElement *element, const QStringList &keys)
{
    QStringList ids;
    if (!element)
        return ids;
    for (const QString &key : keys) {
        const char *value =
            gst_element_class_get_metadata(GST_ELEMENT_GET_CLASS(element), key.toUtf8().constData());
        if (!value)
            continue;
        for (const QString &id : QString::fromUtf8(value).split(QLatin1Char(';'), Qt::SkipEmptyParts))
            if (!id.trimmed().isEmpty())
                ids.append(id.trimmed());
    }
    return ids;
}

CPropertyPageFactory &CPropertyPageFactory::Default()
{
    static CPropertyPageFactory factory = [] {
        CPropertyPageFactory tideline;
        for (const char *id : {TIDELINE_RTP_SOURCE_PAGE_ID, TIDELINE_RTP_RENDER_PAGE_ID}) {
            const QString pageId = QString::fromLatin1(id);
            tideline.Register(pageId, [pageId](QWidget *parent) {
                return filters::pages::CreatePropertyPage(pageId, parent);
            });
        }
        return tideline;
    }();
    return factory;
}

void CPropertyPageFactory::Register(const QString &pageId, Maker maker)
{
    makers.insert(pageId.toUpper(), std::move(maker));
}

std::unique_ptr<CPropertyPage> CPropertyPageFactory::Create(const QString &pageId, QWidget *parent) const
{
    const auto found = makers.constFind(pageId.toUpper());
    if (found == makers.constEnd() || !*found)
        return nullptr;
    return (*found)(parent);
}

CFilterPropertyFrame::CFilterPropertyFrame(GstElement *element, const QString &caption,
                                           std::vector<std::unique_ptr<CPropertyPage>> made, QWidget *owner)
    : QDialog(owner), tabs(new QTabWidget(this)),
      buttons(new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel | QDialogButtonBox::Apply, this))
{
    setWindowTitle(caption);
    for (auto &page : made) {
        if (!page || !page->Connect(G_OBJECT(element)))
            continue;
        page->Activate();
        CPropertyPage *shown = page.release();
        tabs->addTab(shown, shown->Title());
        pages.push_back(shown);
        connect(shown, &CPropertyPage::DirtyChanged, this, [this] { UpdateApplyButton(); });
    }
    auto *layout = new QVBoxLayout(this);
    layout->addWidget(tabs);
    layout->addWidget(buttons);
    connect(buttons, &QDialogButtonBox::accepted, this, &CFilterPropertyFrame::accept);
    connect(buttons, &QDialogButtonBox::rejected, this, &CFilterPropertyFrame::reject);
    connect(ApplyButton(), &QPushButton::clicked, this, [this] { ApplyChanges(); });
    UpdateApplyButton();
}

CFilterPropertyFrame::~CFilterPropertyFrame()
{
    for (CPropertyPage *page : pages)
        page->Disconnect();
}

int CFilterPropertyFrame::PageCount() const
{
    return static_cast<int>(pages.size());
}

CPropertyPage *CFilterPropertyFrame::Page(int index) const
{
    return index >= 0 && index < PageCount() ? pages[static_cast<std::size_t>(index)] : nullptr;
}

QPushButton *CFilterPropertyFrame::ApplyButton() const
{
    return buttons->button(QDialogButtonBox::Apply);
}

bool CFilterPropertyFrame::ApplyChanges()
{
    bool allApplied = true;
    for (CPropertyPage *page : pages) {
        if (!page->IsDirty())
            continue;
        if (page->Apply() != CPropertyPage::ApplyResult::Applied && allApplied) {
            allApplied = false;
            tabs->setCurrentWidget(page);
        }
    }
    UpdateApplyButton();
    return allApplied;
}

void CFilterPropertyFrame::accept()
{
    if (ApplyChanges())
        QDialog::accept();
}

void CFilterPropertyFrame::UpdateApplyButton()
{
    ApplyButton()->setEnabled(
        std::any_of(pages.begin(), pages.end(), [](const CPropertyPage *page) { return page->IsDirty(); }));
}

void ShowFilterPages(GstElement *element, const QString &caption, int pageLimit, QWidget *owner,
                     const CPropertyPageFactory &factory, const QStringList &metadataKeys)
{
    QStringList ids = PageIdsOf(element, metadataKeys);
    // A limit only ever shortens the list: one larger than the page count
    // shows every page.
    if (pageLimit > 0 && ids.size() > pageLimit)
        ids = ids.mid(0, pageLimit);
    std::vector<std::unique_ptr<CPropertyPage>> pages;
    for (const QString &id : ids)
        if (auto page = factory.Create(id))
            pages.push_back(std::move(page));
    if (pages.empty())
        return;
    CFilterPropertyFrame frame(element, caption, std::move(pages), owner);
    if (frame.PageCount() == 0)
        return;
    if (owner)
        frame.move(owner->mapToGlobal(QPoint(0, 0)));
    frame.exec();
}

} // namespace kestrel::media
