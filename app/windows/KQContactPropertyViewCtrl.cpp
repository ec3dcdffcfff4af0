#include "app/windows/KQContactPropertyViewCtrl.h"

#include "app/windows/KQContactPropertyBirthdayViewCtrl.h"
#include "app/windows/KQContactPropertyGeneralViewCtrl.h"
#include "app/windows/KQContactPropertyLabeledViewCtrl.h"
#include "app/windows/KQContactPropertyNGBrithdayViewCtrl.h"
#include "app/windows/KQContactPropertyNoteViewCtrl.h"
#include "app/windows/KQContactPropertyPhoneticViewCtrl.h"
#include "app/windows/KQContactPropertyTagViewCtrl.h"
#include "app/windows/KQIcons.h"

#include <QHBoxLayout>
#include <QLabel>
#include <QToolButton>
#include <QVBoxLayout>

KQContactPropertyViewCtrl*
KQContactPropertyViewCtrl::contactPropertyViewCtrlWithCategoryName(const QString& categoryName, QWidget* parent)
{
    if (categoryName == QLatin1String("General"))
        return new KQContactPropertyGeneralViewCtrl(parent);
    if (categoryName == QLatin1String("Tags"))
        return new KQContactPropertyTagViewCtrl(parent);
    if (categoryName == QLatin1String("Phonetic Name"))
        return new KQContactPropertyPhoneticViewCtrl(parent);
    if (categoryName == QLatin1String("Birthday"))
        return new KQContactPropertyBirthdayViewCtrl(parent);
    if (categoryName == QLatin1String("Lunar Birthday"))
        return new KQContactPropertyNGBrithdayViewCtrl(parent);
    if (categoryName == QLatin1String("Note"))
        return new KQContactPropertyNoteViewCtrl(parent);
    if (KQContactPropertyLabeledViewCtrl::isLabeledCategory(categoryName))
        return new KQContactPropertyLabeledViewCtrl(categoryName, parent);
    return nullptr;
}

KQContactPropertyViewCtrl::KQContactPropertyViewCtrl(QString categoryName, QWidget* parent)
    : QFrame(parent), m_category(std::move(categoryName))
{
    setObjectName(QStringLiteral("panel_") + QString(m_category).remove(QLatin1Char(' ')));
    setFrameShape(QFrame::NoFrame);
    m_outer = new QVBoxLayout(this);
    m_outer->setContentsMargins(0, 0, 0, 0);
    auto* header = new QHBoxLayout;
    m_title = new QLabel(this);
    m_title->setObjectName(QStringLiteral("panelTitle"));
    QFont bold = m_title->font();
    bold.setBold(true);
    m_title->setFont(bold);
    m_add = new QToolButton(this);
    m_add->setObjectName(QStringLiteral("addButton"));
    m_add->setIcon(KQIcons::icon(QStringLiteral("list-add")));
    m_add->setAutoRaise(true);
    connect(m_add, &QToolButton::clicked, this, [this] { addAction(); });
    header->addWidget(m_title);
    header->addStretch(1);
    header->addWidget(m_add);
    m_outer->addLayout(header);
}

QString KQContactPropertyViewCtrl::localizedCategoryName() const
{
    return m_category;
}

void KQContactPropertyViewCtrl::setContactHelper(const KQContactHelperPtr& contact)
{
    m_contact = contact;
    reload();
}

void KQContactPropertyViewCtrl::setEditable(bool editable)
{
    if (m_editable == editable)
        return;
    m_editable = editable;
    reload();
}

bool KQContactPropertyViewCtrl::valueIsEmpty() const
{
    return !m_contact || m_contact->categoryPropertyIsEmpty(m_category);
}

namespace {

bool* switchOf(KQContactPropertyViewCtrl& panel, const QString& categoryName)
{
    if (categoryName == QLatin1String("Prefix"))
        return &panel.hidePrefix;
    if (categoryName == QLatin1String("Middle Name"))
        return &panel.hideMiddle;
    if (categoryName == QLatin1String("Suffix"))
        return &panel.hideSuffix;
    if (categoryName == QLatin1String("Job Title"))
        return &panel.hideJobTitle;
    if (categoryName == QLatin1String("Department"))
        return &panel.hideDepartment;
    if (categoryName == QLatin1String("Nickname"))
        return &panel.hideNickname;
    return nullptr;
}

} // namespace

bool KQContactPropertyViewCtrl::hidesFieldOfCategory(const QString& categoryName) const
{
    // Outside edit mode the separate fields are not shown.
    if (!m_editable)
        return true;
    bool* on = switchOf(const_cast<KQContactPropertyViewCtrl&>(*this), categoryName);
    return on == nullptr || *on;
}

void KQContactPropertyViewCtrl::showFieldOfCategory(const QString& categoryName)
{
    if (bool* on = switchOf(*this, categoryName)) {
        *on = false;
        reload();
    }
}

void KQContactPropertyViewCtrl::reload()
{
    m_title->setText(localizedCategoryName());
    m_add->setVisible(m_editable && hasAddControl());
    m_add->setAccessibleName(tr("Add to %1").arg(localizedCategoryName()));
    m_add->setToolTip(m_add->accessibleName());
    // Rows are rebuilt in a fresh body, so no editor of the old one can outlive its value.
    if (m_bodyHost != nullptr) {
        m_bodyHost->hide();
        m_bodyHost->setParent(nullptr); // out of the widget tree now, deleted once its signals return
        m_bodyHost->deleteLater();
    }
    m_bodyHost = new QWidget(this);
    m_bodyHost->setObjectName(QStringLiteral("panelBody"));
    auto* body = new QVBoxLayout(m_bodyHost);
    body->setContentsMargins(0, 0, 0, 0);
    if (m_contact)
        buildRows(body);
    m_outer->addWidget(m_bodyHost);
    Q_EMIT contentChanged();
}

void KQContactPropertyViewCtrl::requestRemove()
{
    if (m_delegate != nullptr)
        m_delegate->contactPropertyViewCtrlRequestRemove(this);
}
