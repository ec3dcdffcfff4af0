#include "KQAccountsWindow.h"

#include "KQContactStoreHelper.h"
#include "KQNotificationCenter.h"

#include <QHeaderView>
#include <QStatusBar>
#include <QTreeWidget>

KQAccountsWindow::KQAccountsWindow(QWidget* parent) : QMainWindow(parent), m_accounts(new QTreeWidget(this))
{
    setWindowTitle(QStringLiteral("Peoplekeeper"));
    m_accounts->setObjectName(QStringLiteral("accounts"));
    m_accounts->setColumnCount(2);
    m_accounts->setHeaderLabels({QStringLiteral("Account"), QStringLiteral("Contacts")});
    m_accounts->setRootIsDecorated(false);
    m_accounts->header()->setSectionResizeMode(0, QHeaderView::Stretch);
    setCentralWidget(m_accounts);
    resize(520, 360);

    KQNotificationCenter::defaultCenter()->addObserver(KQContactsStoreDidChangedNotification, this,
                                                       [this](const KQNotification&) { reload(); });
    reload();
}

void KQAccountsWindow::reload()
{
    m_accounts->clear();
    CNContactStore* store = KQContactStoreHelper::shared()->contactStore();
    const QString defaultIdentifier = store->defaultContainerIdentifier();
    int total = 0;
    for (const CNContainer& container : store->containersMatchingPredicate(std::nullopt)) {
        CNContactFetchRequest request({CNContactIdentifierKey});
        request.setPredicate(CNContactPredicate::predicateForContactsInContainerWithIdentifier(container.identifier()));
        int count = 0;
        store->enumerateContactsWithFetchRequest(request, nullptr, [&count](const CNContactPtr&, bool*) { ++count; });
        total += count;
        QString name = container.name();
        if (container.identifier() == defaultIdentifier)
            name += QStringLiteral(" (default)");
        auto* item = new QTreeWidgetItem(m_accounts, {name, QString::number(count)});
        item->setTextAlignment(1, Qt::AlignRight | Qt::AlignVCenter);
    }
    statusBar()->showMessage(QStringLiteral("%1 contacts").arg(total));
}
