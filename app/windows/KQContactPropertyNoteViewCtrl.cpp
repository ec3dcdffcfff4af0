#include "app/windows/KQContactPropertyNoteViewCtrl.h"

#include "platform/CNContactKeys.h"

#include <QLabel>
#include <QPlainTextEdit>
#include <QVBoxLayout>

KQContactPropertyNoteViewCtrl::KQContactPropertyNoteViewCtrl(QWidget* parent)
    : KQContactPropertyViewCtrl(QStringLiteral("Note"), parent)
{
}

QString KQContactPropertyNoteViewCtrl::localizedCategoryName() const
{
    return CNContactLocalizedStringForKey(CNContactNoteKey);
}

void KQContactPropertyNoteViewCtrl::buildRows(QVBoxLayout* body)
{
    const QString note = contactHelper()->note().value_or(QString());
    if (!editable()) {
        auto* text = new QLabel(note);
        text->setObjectName(QStringLiteral("noteText"));
        text->setWordWrap(true);
        text->setTextFormat(Qt::PlainText);
        text->setTextInteractionFlags(Qt::TextSelectableByMouse | Qt::TextSelectableByKeyboard);
        body->addWidget(text);
        return;
    }
    auto* edit = new QPlainTextEdit(note);
    edit->setObjectName(QStringLiteral("noteEdit"));
    edit->setAccessibleName(localizedCategoryName());
    edit->setTabChangesFocus(true);
    // Tall enough for a few lines at any font size.
    edit->setMinimumHeight(edit->fontMetrics().lineSpacing() * 4);
    const KQContactHelperPtr record = contactHelper();
    connect(edit, &QPlainTextEdit::textChanged, this, [record, edit] { record->setNote(edit->toPlainText()); });
    body->addWidget(edit);
}
