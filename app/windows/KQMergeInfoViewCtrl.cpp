#include "app/windows/KQMergeInfoViewCtrl.h"

#include <QApplication>
#include <QLabel>
#include <QScreen>
#include <QVBoxLayout>
#include <algorithm>

KQMergeInfoViewCtrl* KQMergeInfoViewCtrl::sharedMergeInfoViewCtrl()
{
    static QPointer<KQMergeInfoViewCtrl> shared;
    if (!shared) {
        shared = new KQMergeInfoViewCtrl;
        // Gone with the application, before its widgets' resources are.
        QObject::connect(qApp, &QCoreApplication::aboutToQuit, shared.data(), &QObject::deleteLater);
    }
    return shared.data();
}

KQMergeInfoViewCtrl::KQMergeInfoViewCtrl() : QFrame(nullptr, Qt::Popup)
{
    setObjectName(QStringLiteral("mergeInfoPopover"));
    setFrameShape(QFrame::StyledPanel);
    setAccessibleName(tr("About merging"));
    m_text =
        new QLabel(tr("<p><b>Merging</b> makes one new contact from all contacts of the item.</p>"
                      "<p>The new contact takes the first contact's name, note and birthday, and every phone number, "
                      "e-mail, address and other value of all of them, without repeats.</p>"
                      "<p>The contacts merged go to the Trash, from where they can be put back.</p>"
                      "<p>With <i>Apply the merge to the remaining items</i>, OK merges the later items of the group "
                      "the same way.</p>"),
                   this);
    m_text->setObjectName(QStringLiteral("mergeInfoText"));
    m_text->setWordWrap(true);
    m_text->setTextFormat(Qt::RichText);
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(14, 10, 14, 10);
    layout->addWidget(m_text);
    setFixedWidth(fontMetrics().averageCharWidth() * 52);
}

QString KQMergeInfoViewCtrl::text() const
{
    return m_text->text();
}

void KQMergeInfoViewCtrl::showRelativeToWidget(QWidget* anchor)
{
    // A wrapped text's height depends on the width, which the plain size hint ignores.
    setFixedHeight(layout()->totalHeightForWidth(width()));
    QPoint at = anchor->mapToGlobal(QPoint(0, anchor->height()));
    if (const QScreen* screen = anchor->screen()) {
        const QRect room = screen->availableGeometry();
        at.setX(std::clamp(at.x(), room.left(), std::max(room.left(), room.right() - width())));
        if (at.y() + height() > room.bottom())
            at.setY(anchor->mapToGlobal(QPoint(0, 0)).y() - height());
    }
    move(at);
    show();
    raise();
}
