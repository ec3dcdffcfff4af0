#include "app/windows/KQContactDetailViewCtrl.h"

#include "app/windows/KQAlert.h"
#include "store/KQContactManager.h"
#include "store/KQContactStoreHelper.h"
#include "store/KQContainerHelper.h"
#include "store/KQStorage.h"
#include "store/KQTagsManager.h"

#include <QApplication>
#include <QPointer>
#include <QScrollArea>
#include <QShortcut>
#include <QVBoxLayout>

namespace {

// Categories shown after "General" and "Tags" when the contact has a value in them.
const QStringList& orderedCategories()
{
    static const QStringList names = {
        QStringLiteral("PhoneNumbers"),    QStringLiteral("Email"),          QStringLiteral("Phonetic Name"),
        QStringLiteral("Birthday"),        QStringLiteral("Lunar Birthday"), QStringLiteral("URL"),
        QStringLiteral("Instant Message"), QStringLiteral("Social"),         QStringLiteral("Address"),
        QStringLiteral("Related Name"),    QStringLiteral("Date"),           QStringLiteral("Note")};
    return names;
}

const QStringList& generalFieldCategories()
{
    static const QStringList names = {QStringLiteral("Prefix"),     QStringLiteral("Middle Name"),
                                      QStringLiteral("Suffix"),     QStringLiteral("Job Title"),
                                      QStringLiteral("Department"), QStringLiteral("Nickname")};
    return names;
}

} // namespace

KQContactDetailViewCtrl* KQContactDetailViewCtrl::sharedContactDetailViewCtrl()
{
    static QPointer<KQContactDetailViewCtrl> shared;
    if (!shared)
        shared = new KQContactDetailViewCtrl(nullptr);
    return shared;
}

KQContactDetailViewCtrl::KQContactDetailViewCtrl(QWidget* parent) : QWidget(parent)
{
    setObjectName(QStringLiteral("contactDetailView"));
    setAccessibleName(tr("Contact details"));
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    m_scroll = new QScrollArea(this);
    m_scroll->setObjectName(QStringLiteral("detailScroll"));
    m_scroll->setWidgetResizable(true);
    m_scroll->setFrameShape(QFrame::NoFrame);
    layout->addWidget(m_scroll);
    // Save ends the edit like the main window's Done.
    auto* save = new QShortcut(QKeySequence::Save, this);
    save->setContext(Qt::WidgetWithChildrenShortcut);
    connect(save, &QShortcut::activated, this, [this] {
        if (m_editable)
            setEditable(false);
    });
    updateContactPropertyViewCtrls();
}

KQContactDetailViewCtrl::~KQContactDetailViewCtrl() = default;

KQContactHelperPtr KQContactDetailViewCtrl::firstContactHelper() const
{
    return m_selected.empty() ? nullptr : m_selected.front();
}

void KQContactDetailViewCtrl::setSelectedContactHelpers(const KQContactHelperList& contacts)
{
    m_selected = contacts;
    m_shownGeneralFields.clear();
    m_addPropertyCategory.clear();
    if (m_editable) {
        if (const KQContactHelperPtr first = firstContactHelper())
            first->startEditContact();
    }
    updateContactPropertyViewCtrls();
    Q_EMIT shownContactChanged();
}

KQContactPropertyViewCtrl* KQContactDetailViewCtrl::panelOfCategory(const QString& categoryName) const
{
    for (KQContactPropertyViewCtrl* panel : m_panels) {
        if (panel->categoryName() == categoryName)
            return panel;
    }
    return nullptr;
}

void KQContactDetailViewCtrl::updateContactPropertyViewCtrls()
{
    // The old panels leave the widget tree at once and are deleted when the event that asked for
    // the rebuild (a panel's own button, perhaps) has returned.
    if (m_content != nullptr) {
        m_scroll->takeWidget();
        m_content->hide();
        m_content->deleteLater();
    }
    m_panels.clear();
    m_content = new QWidget;
    m_content->setObjectName(QStringLiteral("detailContent"));
    m_stack = new QVBoxLayout(m_content);
    const KQContactHelperPtr contact = firstContactHelper();
    if (contact) {
        if (!contact->allKeysLoaded())
            contact->syncLoadAllKeysIfNecessary();
        QStringList categories{QStringLiteral("General"), QStringLiteral("Tags")};
        for (const QString& category : orderedCategories()) {
            const bool added = category == QLatin1String("Phonetic Name") && m_addPropertyCategory.contains(category);
            if (added || !contact->categoryPropertyIsEmpty(category))
                categories.append(category);
        }
        for (const QString& category : std::as_const(categories)) {
            KQContactPropertyViewCtrl* panel =
                KQContactPropertyViewCtrl::contactPropertyViewCtrlWithCategoryName(category, m_content);
            if (panel == nullptr)
                continue;
            panel->setDelegate(this);
            if (category == QLatin1String("General")) {
                // In edit mode a field shows when the contact has a value in it or the user added it.
                panel->hidePrefix = contact->namePrefix().value_or(QString()).isEmpty();
                panel->hideMiddle = contact->middleName().value_or(QString()).isEmpty();
                panel->hideSuffix = contact->nameSuffix().value_or(QString()).isEmpty();
                panel->hideJobTitle = contact->jobTitle().value_or(QString()).isEmpty();
                panel->hideDepartment = contact->department().value_or(QString()).isEmpty();
                panel->hideNickname = contact->nickName().value_or(QString()).isEmpty();
                for (const QString& field : std::as_const(m_shownGeneralFields))
                    panel->showFieldOfCategory(field);
            }
            // Editable before the contact is set, so each panel builds its rows once.
            panel->setEditable(m_editable);
            panel->setContactHelper(contact);
            m_panels.push_back(panel);
            m_stack->addWidget(panel);
        }
    }
    m_stack->addStretch(1);
    m_scroll->setWidget(m_content);
}

QStringList KQContactDetailViewCtrl::allowedAddPropertyCatagoryNames() const
{
    QStringList names = KQContactHelper::allAvailableCategoryNames();
    if (m_panels.empty())
        return names;
    KQContactPropertyViewCtrl* general = panelOfCategory(QStringLiteral("General"));
    QStringList allowed;
    for (const QString& name : std::as_const(names)) {
        if (panelOfCategory(name) != nullptr)
            continue;
        if (generalFieldCategories().contains(name) && general != nullptr && !general->hidesFieldOfCategory(name))
            continue;
        allowed.append(name);
    }
    return allowed;
}

void KQContactDetailViewCtrl::addPropertyWithCategoryName(const QString& categoryName)
{
    if (!allowedAddPropertyCatagoryNames().contains(categoryName))
        return;
    const KQContactHelperPtr contact = firstContactHelper();
    if (!contact)
        return;
    if (generalFieldCategories().contains(categoryName)) {
        if (!m_shownGeneralFields.contains(categoryName))
            m_shownGeneralFields.append(categoryName);
        if (KQContactPropertyViewCtrl* general = panelOfCategory(QStringLiteral("General")))
            general->showFieldOfCategory(categoryName);
        return;
    }
    if (!m_editable)
        return;
    if (categoryName == QLatin1String("Phonetic Name")) {
        if (!m_addPropertyCategory.contains(categoryName))
            m_addPropertyCategory.append(categoryName);
    } else {
        contact->addPropertyEmptyValueWithCategoryName(categoryName);
    }
    updateContactPropertyViewCtrls();
}

void KQContactDetailViewCtrl::contactPropertyViewCtrlRequestRemove(KQContactPropertyViewCtrl* panel)
{
    m_addPropertyCategory.removeAll(panel->categoryName());
    updateContactPropertyViewCtrls();
}

void KQContactDetailViewCtrl::contactPropertyViewCtrlDidRemoveTag(KQContactPropertyViewCtrl* panel,
                                                                  const std::shared_ptr<KQTag>& tag)
{
    Q_UNUSED(panel);
    if (std::find(m_removedTags.begin(), m_removedTags.end(), tag) == m_removedTags.end())
        m_removedTags.push_back(tag);
}

void KQContactDetailViewCtrl::setEditable(bool editable)
{
    if (editable)
        startEditProperty();
    else
        endEditProperty();
}

void KQContactDetailViewCtrl::startEditProperty()
{
    if (m_editable)
        return;
    m_removedTags.clear();
    m_addPropertyCategory.clear();
    m_shownGeneralFields.clear();
    m_editable = true;
    if (const KQContactHelperPtr contact = firstContactHelper())
        contact->startEditContact();
    updateContactPropertyViewCtrls();
    Q_EMIT editableChanged(true);
}

bool KQContactDetailViewCtrl::saveContact(const KQContactHelperPtr& contact, QString* message)
{
    KQContactStoreHelper* store = KQContactManager::sharedContactManager()->storeHelper();
    CNError error;
    if (contact->preImported) {
        const CNMutableContactPtr fresh = contact->mutableContact();
        if (!fresh)
            return true;
        QString target = m_targetContainer;
        if (target.isEmpty())
            target = store->contactStore()->defaultContainerIdentifier();
        if (!store->importContacts({fresh}, target)) {
            *message = tr("The new contact could not be added to the address book.");
            return false;
        }
        contact->preImported = false;
        contact->setPropertyEdited(false);
        return true;
    }
    if (!contact->propertyEdited() || !contact->mutableContact())
        return true;
    // Every change of the edit goes to the store in one request: all of it or nothing.
    CNSaveRequest request;
    contact->syncEndEditContactWithError(&error, request);
    if (request.isEmpty())
        return true;
    if (!store->executeSaveRequest(request, QString(), &error)) {
        contact->setPropertyEdited(true);
        *message =
            error.localizedDescription.isEmpty() ? tr("The contact could not be saved.") : error.localizedDescription;
        return false;
    }
    return true;
}

void KQContactDetailViewCtrl::cleanUpRemovedTags()
{
    if (m_removedTags.empty())
        return;
    KQTagsManager* manager = KQContactManager::sharedContactManager()->tagsMgr().get();
    for (const auto& tag : m_removedTags)
        manager->removeTagIfNoneUsed(tag);
    KQStorage::sharedStorage()->saveDefaultTagsManager(manager);
    m_removedTags.clear();
}

bool KQContactDetailViewCtrl::endEditProperty()
{
    if (!m_editable)
        return true;
    // A field still being typed in hands its text over first.
    if (QWidget* focus = QApplication::focusWidget(); focus != nullptr && m_content->isAncestorOf(focus))
        focus->clearFocus();
    bool saved = true;
    QString message;
    if (const KQContactHelperPtr contact = firstContactHelper())
        saved = saveContact(contact, &message);
    m_editable = false;
    m_addPropertyCategory.clear();
    m_shownGeneralFields.clear();
    updateContactPropertyViewCtrls();
    cleanUpRemovedTags();
    Q_EMIT editableChanged(false);
    Q_EMIT shownContactChanged();
    if (!saved) {
        KQAlert::show(window(), tr("The contact could not be saved."), message);
        Q_EMIT saveFailed(message);
    }
    return saved;
}
