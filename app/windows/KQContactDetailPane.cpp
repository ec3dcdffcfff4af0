#include "app/windows/KQContactDetailPane.h"

#include "app/windows/KQContactDetailViewCtrl.h"
#include "app/windows/KQContactsViewController.h"
#include "app/windows/KQMainWindow.h"
#include "store/KQContainerHelper.h"
#include "store/KQGroupTreeNode.h"

#include <QHBoxLayout>
#include <QMenu>
#include <QPushButton>
#include <QShortcut>
#include <QToolButton>
#include <QVBoxLayout>

KQContactDetailPane* KQContactDetailPane::installInWindow(KQMainWindow* window)
{
    KQContactDetailViewCtrl* editor = KQContactDetailViewCtrl::sharedContactDetailViewCtrl();
    auto* pane = new KQContactDetailPane(editor);
    window->contactsViewController()->setDetailView(
        pane, [editor](const KQContactHelperList& selected) { editor->setSelectedContactHelpers(selected); },
        [window, editor](bool editable) {
            const KQGroupTreeNodePtr node = window->selectedGroupTreeNode();
            KQContainerHelper* account = node ? node->containerHelper() : nullptr;
            editor->setTargetContainerIdentifier(account ? account->identifier() : QString());
            editor->setEditable(editable);
        });
    return pane;
}

KQContactDetailPane::KQContactDetailPane(KQContactDetailViewCtrl* editor, QWidget* parent)
    : QWidget(parent), m_editor(editor), m_add(new QToolButton(this)), m_editDone(new QPushButton(this))
{
    setObjectName(QStringLiteral("contactDetailPane"));
    m_add->setObjectName(QStringLiteral("addFieldButton"));
    m_add->setText(QStringLiteral("+"));
    m_add->setToolTip(tr("Add a field"));
    m_add->setAccessibleName(tr("Add a field"));
    m_add->setPopupMode(QToolButton::InstantPopup);
    m_add->setMenu(new QMenu(m_add));
    connect(m_add->menu(), &QMenu::aboutToShow, this, &KQContactDetailPane::fillAddMenu);
    m_editDone->setObjectName(QStringLiteral("editDoneButton"));
    connect(m_editDone, &QPushButton::clicked, this, &KQContactDetailPane::toggleEditing);

    auto* bar = new QHBoxLayout;
    bar->addWidget(m_add);
    bar->addStretch(1);
    bar->addWidget(m_editDone);
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    editor->setParent(this);
    layout->addWidget(editor, 1);
    layout->addLayout(bar);

    // Ctrl+S ends editing and saves, as the Done button does.
    auto* save = new QShortcut(QKeySequence::Save, this);
    save->setContext(Qt::WidgetWithChildrenShortcut);
    connect(save, &QShortcut::activated, this, [this] {
        if (m_editor->editable())
            toggleEditing();
    });
    connect(editor, &KQContactDetailViewCtrl::editableChanged, this, &KQContactDetailPane::refresh);
    connect(editor, &KQContactDetailViewCtrl::shownContactChanged, this, &KQContactDetailPane::refresh);
    refresh();
}

void KQContactDetailPane::toggleEditing()
{
    if (!m_editor->firstContactHelper())
        return;
    m_editor->setEditable(!m_editor->editable());
    refresh();
}

void KQContactDetailPane::refresh()
{
    const bool editing = m_editor->editable();
    const bool hasContact = m_editor->firstContactHelper() != nullptr;
    m_editDone->setText(editing ? tr("Done") : tr("Edit"));
    m_editDone->setEnabled(hasContact);
    m_add->setVisible(editing);
}

void KQContactDetailPane::fillAddMenu()
{
    QMenu* menu = m_add->menu();
    menu->clear();
    for (const QString& category : m_editor->allowedAddPropertyCatagoryNames())
        menu->addAction(category, this, [this, category] { m_editor->addPropertyWithCategoryName(category); });
    if (menu->isEmpty())
        menu->addAction(tr("Every field is shown"))->setEnabled(false);
}
