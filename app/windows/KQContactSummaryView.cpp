#include "app/windows/KQContactSummaryView.h"

#include "app/windows/KQContactListModel.h"
#include "store/KQTag.h"

#include <QLabel>
#include <QPointer>
#include <QScrollArea>
#include <QTextDocument>
#include <QVBoxLayout>

namespace {

QString escaped(const QString& text)
{
    return text.toHtmlEscaped().replace(QLatin1Char('\n'), QStringLiteral("<br>"));
}

void appendRows(QString& html, const QString& title, KQLabeledValueProperty* property)
{
    if (property == nullptr)
        return;
    for (const auto& value : property->labeledValueHelpers()) {
        const QString text = value->valueString().trimmed();
        if (text.isEmpty())
            continue;
        const QString label = value->localizedLabel().isEmpty() ? title : value->localizedLabel();
        html += QStringLiteral("<tr><td align=right style='color:palette(mid);padding-right:10px'>%1</td>"
                               "<td>%2</td></tr>")
                    .arg(escaped(label), escaped(text));
    }
}

} // namespace

KQContactSummaryView::KQContactSummaryView(QWidget* parent)
    : QWidget(parent), m_picture(new QLabel(this)), m_name(new QLabel(this)), m_subtitle(new QLabel(this)),
      m_details(new QLabel(this)), m_empty(new QLabel(this)), m_scroll(new QScrollArea(this))
{
    setObjectName(QStringLiteral("contactSummary"));
    setAccessibleName(QStringLiteral("Contact"));
    m_picture->setObjectName(QStringLiteral("summaryPicture"));
    m_picture->setFixedSize(96, 96);
    m_name->setObjectName(QStringLiteral("summaryName"));
    QFont big = m_name->font();
    big.setPointSizeF(big.pointSizeF() * 1.5);
    big.setBold(true);
    m_name->setFont(big);
    m_name->setTextInteractionFlags(Qt::TextSelectableByMouse);
    m_name->setWordWrap(true);
    m_subtitle->setObjectName(QStringLiteral("summarySubtitle"));
    m_subtitle->setTextInteractionFlags(Qt::TextSelectableByMouse);
    m_subtitle->setWordWrap(true);
    m_details->setObjectName(QStringLiteral("summaryDetails"));
    m_details->setTextFormat(Qt::RichText);
    m_details->setTextInteractionFlags(Qt::TextSelectableByMouse | Qt::TextSelectableByKeyboard);
    m_details->setWordWrap(true);
    m_details->setAlignment(Qt::AlignTop | Qt::AlignLeft);
    m_empty->setObjectName(QStringLiteral("summaryEmpty"));
    m_empty->setAlignment(Qt::AlignCenter);
    QPalette dim = m_empty->palette();
    dim.setColor(QPalette::WindowText, dim.color(QPalette::PlaceholderText));
    m_empty->setPalette(dim);

    auto* page = new QWidget;
    auto* pageLayout = new QVBoxLayout(page);
    auto* header = new QHBoxLayout;
    header->addWidget(m_picture);
    auto* names = new QVBoxLayout;
    names->addStretch();
    names->addWidget(m_name);
    names->addWidget(m_subtitle);
    names->addStretch();
    header->addLayout(names, 1);
    pageLayout->addLayout(header, 0);
    pageLayout->addSpacing(12);
    pageLayout->addWidget(m_details, 0);
    pageLayout->addStretch(1);
    m_details->setSizePolicy(QSizePolicy::Preferred, QSizePolicy::Maximum);
    m_scroll->setWidget(page);
    m_scroll->setWidgetResizable(true);
    m_scroll->setFrameShape(QFrame::NoFrame);

    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(16, 16, 16, 16);
    layout->addWidget(m_scroll);
    layout->addWidget(m_empty);
    refresh();
}

void KQContactSummaryView::setContactHelpers(const std::vector<KQContactHelperPtr>& contacts)
{
    for (const auto& connection : m_watch)
        disconnect(connection);
    m_watch.clear();
    m_contacts = contacts;
    if (m_contacts.size() == 1) {
        KQContactHelper* contact = m_contacts.front().get();
        m_watch.push_back(connect(contact, &KQContactHelper::namesChanged, this, &KQContactSummaryView::refresh));
        // The list fetched the names only; the rest arrives a moment later.
        QPointer<KQContactSummaryView> self(this);
        contact->loadAllKeysIfNecessaryWithCompleteHandler([self, contact](KQContactHelper* loaded, bool) {
            if (self && self->m_contacts.size() == 1 && self->m_contacts.front().get() == loaded && loaded == contact)
                self->refresh();
        });
    }
    refresh();
}

QString KQContactSummaryView::detailsHtml(KQContactHelper& contact) const
{
    QString html = QStringLiteral("<table cellspacing=4>");
    appendRows(html, QStringLiteral("phone"), contact.propertyPhoneNumbers());
    appendRows(html, QStringLiteral("email"), contact.propertyEmails());
    appendRows(html, QStringLiteral("address"), contact.propertyPostalAddress());
    appendRows(html, QStringLiteral("url"), contact.propertyUrls());
    appendRows(html, QStringLiteral("social"), contact.propertySocial());
    if (const auto birthday = contact.birthdayString(); birthday && !birthday->isEmpty()) {
        html += QStringLiteral("<tr><td align=right style='color:palette(mid);padding-right:10px'>birthday</td>"
                               "<td>%1</td></tr>")
                    .arg(escaped(*birthday));
    }
    QStringList tagNames;
    for (const auto& tag : contact.tags())
        tagNames.append(tag->name());
    if (!tagNames.isEmpty()) {
        html += QStringLiteral("<tr><td align=right style='color:palette(mid);padding-right:10px'>tags</td>"
                               "<td>%1</td></tr>")
                    .arg(escaped(tagNames.join(QStringLiteral(", "))));
    }
    if (const auto note = contact.note(); note && !note->isEmpty()) {
        html += QStringLiteral("<tr><td align=right valign=top style='color:palette(mid);padding-right:10px'>note"
                               "</td><td>%1</td></tr>")
                    .arg(escaped(*note));
    }
    html += QStringLiteral("</table>");
    return html;
}

void KQContactSummaryView::refresh()
{
    const bool one = m_contacts.size() == 1;
    m_scroll->setVisible(one);
    m_empty->setVisible(!one);
    if (!one) {
        m_empty->setText(m_contacts.empty() ? QStringLiteral("No Selection")
                                            : QStringLiteral("%1 cards selected").arg(m_contacts.size()));
        return;
    }
    KQContactHelper& contact = *m_contacts.front();
    const QString name = contact.displayName();
    m_name->setText(name.isEmpty() ? QStringLiteral("No Name") : name);
    m_subtitle->setText(contact.subDisplayName());
    m_subtitle->setVisible(!contact.subDisplayName().isEmpty());
    m_picture->setPixmap(KQContactListModel::iconForContact(contact, 96));
    m_details->setText(detailsHtml(contact));
}

QString KQContactSummaryView::summaryText() const
{
    if (m_contacts.size() != 1)
        return m_empty->text();
    QTextDocument doc;
    doc.setHtml(m_details->text());
    return m_name->text() + QLatin1Char('\n') + m_subtitle->text() + QLatin1Char('\n') + doc.toPlainText();
}
