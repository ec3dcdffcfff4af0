#include "app/windows/KQPopContactsViewCtrl.h"

#include "app/windows/KQContactCellDelegate.h"
#include "app/windows/KQContactListFilter.h"
#include "app/windows/KQContactListModel.h"
#include "store/KQContactManager.h"
#include "store/KQPreferences.h"

#include <QGuiApplication>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QListView>
#include <QPointer>
#include <QScreen>
#include <QToolButton>
#include <QVBoxLayout>

KQPopContactsViewCtrl::KQPopContactsViewCtrl(KQContactManager* manager, QWidget* parent)
    : QWidget(parent, Qt::Popup), m_manager(manager), m_search(new QLineEdit(this)), m_list(new QListView(this)),
      m_model(new KQContactListModel(this)), m_mask(new QLabel(QStringLiteral("Loading..."), this)),
      m_open(new QToolButton(this)), m_add(new QToolButton(this))
{
    setObjectName(QStringLiteral("contactsPopup"));
    setAccessibleName(QStringLiteral("Contacts"));
    resize(320, 460);
    m_search->setObjectName(QStringLiteral("popSearchField"));
    m_search->setPlaceholderText(QStringLiteral("Search"));
    m_search->setClearButtonEnabled(true);
    m_search->setAccessibleName(QStringLiteral("Search contacts"));
    m_list->setObjectName(QStringLiteral("popContactList"));
    m_list->setAccessibleName(QStringLiteral("All contacts"));
    m_list->setModel(m_model);
    m_list->setItemDelegate(new KQContactCellDelegate(m_list));
    m_list->setUniformItemSizes(true);
    m_list->setEditTriggers(QAbstractItemView::NoEditTriggers);
    m_mask->setObjectName(QStringLiteral("popLoadingMask"));
    m_mask->setAlignment(Qt::AlignCenter);
    m_open->setObjectName(QStringLiteral("popShowMainWindow"));
    m_open->setText(QStringLiteral("Open Peoplekeeper"));
    m_open->setAutoRaise(true);
    m_add->setObjectName(QStringLiteral("popAddContact"));
    m_add->setText(QStringLiteral("+"));
    m_add->setToolTip(QStringLiteral("New contact"));
    m_add->setAccessibleName(QStringLiteral("New contact"));
    m_add->setAutoRaise(true);

    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(8, 8, 8, 8);
    layout->addWidget(m_search);
    layout->addWidget(m_list, 1);
    layout->addWidget(m_mask, 1);
    auto* bottom = new QHBoxLayout;
    bottom->addWidget(m_open);
    bottom->addStretch();
    bottom->addWidget(m_add);
    layout->addLayout(bottom);
    m_mask->hide();

    connect(m_search, &QLineEdit::textChanged, this, &KQPopContactsViewCtrl::refilter);
    connect(m_list, &QListView::activated, this, [this](const QModelIndex& index) {
        const KQContactHelperPtr contact = m_model->contactAt(index.row());
        hide();
        if (contact)
            Q_EMIT contactActivated(contact);
    });
    connect(m_open, &QToolButton::clicked, this, [this] {
        hide();
        Q_EMIT showMainWindowRequested();
    });
    connect(m_add, &QToolButton::clicked, this, [this] {
        hide();
        Q_EMIT addContactRequested();
    });
}

void KQPopContactsViewCtrl::popupAt(const QPoint& anchor)
{
    QRect frame(QPoint(anchor.x() - width(), anchor.y()), size());
    if (const QScreen* screen = QGuiApplication::screenAt(anchor)) {
        const QRect area = screen->availableGeometry();
        frame.moveLeft(std::clamp(frame.left(), area.left(), std::max(area.left(), area.right() - frame.width())));
        frame.moveTop(std::clamp(frame.top(), area.top(), std::max(area.top(), area.bottom() - frame.height())));
    }
    move(frame.topLeft());
    show();
    m_search->setFocus();
    reloadContacts();
}

void KQPopContactsViewCtrl::reloadContacts()
{
    m_loading = true;
    m_list->hide();
    m_mask->show();
    const quint64 generation = ++m_generation;
    const std::vector<KQContainerHelperPtr> accounts = m_manager->storeHelper()->allContainerHelpers();
    QPointer<KQPopContactsViewCtrl> self(this);
    const bool familyFirst = KQPreferences::sharePreferences()->showFirstNameFollowingLastName();
    KQDispatch::globalAsync([self, generation, accounts, familyFirst] {
        KQContactHelperList all;
        for (const auto& account : accounts) {
            account->syncLoadContactsIfNecessary();
            const KQContactHelperList listed = account->contacts();
            all.insert(all.end(), listed.begin(), listed.end());
        }
        auto index = KQContactSearchIndex::build(all, familyFirst, false);
        KQDispatch::mainAsync([self, generation, all = std::move(all), index] {
            if (!self || generation != self->m_generation)
                return;
            self->m_all = all;
            self->m_index = index;
            self->m_loading = false;
            self->m_mask->hide();
            self->m_list->show();
            self->refilter();
        });
    });
}

void KQPopContactsViewCtrl::setSearchText(const QString& text)
{
    m_search->setText(text);
}

void KQPopContactsViewCtrl::refilter()
{
    const bool familyFirst = KQPreferences::sharePreferences()->showFirstNameFollowingLastName();
    if (!m_index || m_index->familyNameFirst() != familyFirst)
        m_index = KQContactSearchIndex::build(m_all, familyFirst, false);
    KQContactListQuery query;
    query.searchText = m_search->text().trimmed();
    query.familyNameFirst = familyFirst;
    m_model->setContactHelpers(m_index->filter(query));
}
