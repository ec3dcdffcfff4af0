#include "app/windows/KQConflictPropertyViewCtrl.h"

#include "app/windows/KQAlert.h"
#include "app/windows/KQContactImageFile.h"
#include "app/windows/KQIcons.h"
#include "platform/CNContactKeys.h"

#include <QCoreApplication>
#include <QEvent>
#include <QFile>
#include <QFileDialog>
#include <QFormLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPointer>
#include <QPushButton>
#include <QToolButton>
#include <QVBoxLayout>

namespace {

QString placeholderOf(const QString& category)
{
    static const QHash<QString, const char*> names = {
        {QStringLiteral("PhoneNumbers"), QT_TRANSLATE_NOOP("KQConflictPropertyViewCtrl", "Phone Numbers")},
        {QStringLiteral("Email"), QT_TRANSLATE_NOOP("KQConflictPropertyViewCtrl", "Email")},
        {QStringLiteral("URL"), QT_TRANSLATE_NOOP("KQConflictPropertyViewCtrl", "URL")},
        {QStringLiteral("Date"), QT_TRANSLATE_NOOP("KQConflictPropertyViewCtrl", "Date")},
        {QStringLiteral("Social"), QT_TRANSLATE_NOOP("KQConflictPropertyViewCtrl", "Social")},
        {QStringLiteral("Address"), QT_TRANSLATE_NOOP("KQConflictPropertyViewCtrl", "Postal Address")},
        {QStringLiteral("Related Name"), QT_TRANSLATE_NOOP("KQConflictPropertyViewCtrl", "Relation")},
    };
    const char* name = names.value(category);
    return name ? QCoreApplication::translate("KQConflictPropertyViewCtrl", name) : QString();
}

QString joined(std::initializer_list<std::optional<QString>> parts)
{
    QStringList shown;
    for (const auto& part : parts) {
        if (part && !part->isEmpty())
            shown.append(*part);
    }
    return shown.join(QLatin1Char(' '));
}

} // namespace

KQConflictPropertyViewCtrl::KQConflictPropertyViewCtrl(KQCompareCellPtr cell, QWidget* parent)
    : QFrame(parent), m_cell(std::move(cell))
{
    setFrameShape(QFrame::StyledPanel);
    setAutoFillBackground(true);
    setPalette(highlighted(m_cell->highlight()));
    const QString& category = m_cell->catagoryName();
    if (category == KQCompareCategory::Label)
        buildLabel();
    else if (category == KQCompareCategory::Delete)
        buildDelete();
    else if (category == QLatin1String("General"))
        buildGeneral();
    else
        buildValue();
}

QPalette KQConflictPropertyViewCtrl::highlighted(bool on) const
{
    QPalette p = palette();
    if (on) {
        QColor mark = p.color(QPalette::Highlight);
        mark.setAlpha(60);
        p.setColor(QPalette::Window, mark);
    }
    return p;
}

void KQConflictPropertyViewCtrl::buildLabel()
{
    setObjectName(QStringLiteral("labelCell"));
    auto* line = new QHBoxLayout(this);
    if (m_cell->editable() && m_cell->indexOfPerperty() >= 0) {
        auto* edit = new QLineEdit(m_cell->text());
        edit->setObjectName(QStringLiteral("labelEdit"));
        edit->setAccessibleName(tr("Label"));
        const KQCompareCellPtr cell = m_cell;
        connect(edit, &QLineEdit::textEdited, this, [cell](const QString& text) { cell->setEditedText(text); });
        line->addWidget(edit, 1);
    } else {
        auto* text = new QLabel(m_cell->text());
        text->setObjectName(QStringLiteral("labelText"));
        QFont bold = text->font();
        bold.setBold(true);
        text->setFont(bold);
        line->addWidget(text, 1);
    }
    if (m_cell->rowCatagoryName() != QLatin1String("General")) {
        auto* remove = new QToolButton;
        remove->setObjectName(QStringLiteral("removePropertyButton"));
        remove->setIcon(KQIcons::icon(QStringLiteral("list-remove")));
        remove->setAutoRaise(true);
        remove->setAccessibleName(tr("Remove this row"));
        remove->setToolTip(tr("Remove this row from every contact"));
        const KQCompareCellPtr cell = m_cell;
        connect(remove, &QToolButton::clicked, this, [cell] {
            cell->removeProperty(); // the compare model has the table rebuilt
        });
        line->addWidget(remove);
    }
}

void KQConflictPropertyViewCtrl::buildDelete()
{
    setObjectName(QStringLiteral("deleteCell"));
    auto* line = new QHBoxLayout(this);
    auto* button = new QPushButton(KQIcons::icon(QStringLiteral("edit-delete")), tr("Delete Contact"));
    button->setObjectName(QStringLiteral("deleteContactButton"));
    button->setAccessibleName(tr("Delete the contact %1").arg(m_cell->contactHelper()->displayName()));
    const KQCompareCellPtr cell = m_cell;
    connect(button, &QPushButton::clicked, this, [cell] {
        cell->deleteContactAction(); // the compare model has the table rebuilt
    });
    line->addWidget(button);
}

void KQConflictPropertyViewCtrl::buildGeneral()
{
    setObjectName(QStringLiteral("generalCell"));
    const KQContactHelperPtr contact = m_cell->contactHelper();
    auto* line = new QHBoxLayout(this);
    m_picture = new QLabel;
    m_picture->setObjectName(QStringLiteral("pictureLabel"));
    const int side = fontMetrics().height() * 4;
    const QImage image = contact->iconData().isEmpty() ? KQIcons::faceDefault() : contact->icon();
    m_picture->setPixmap(QPixmap::fromImage(image.scaled(side, side, Qt::KeepAspectRatio, Qt::SmoothTransformation)));
    m_picture->setToolTip(m_cell->editable() ? tr("Double-click to choose a picture") : QString());
    m_picture->installEventFilter(this);
    auto* left = new QVBoxLayout;
    left->addWidget(m_picture, 0, Qt::AlignTop);
    // In a merge, a source contact's picture can become the merged contact's.
    if (m_cell->contactsMerged && !m_cell->isMergedContact && !contact->iconData().isEmpty()) {
        auto* use = new QPushButton(tr("Use Picture"));
        use->setObjectName(QStringLiteral("useImageButton"));
        const KQCompareCellPtr cell = m_cell;
        connect(use, &QPushButton::clicked, this, [this, cell] {
            if (cell->useTheImage())
                Q_EMIT requestReload();
        });
        left->addWidget(use);
    }
    left->addStretch(1);
    line->addLayout(left);

    auto* right = new QVBoxLayout;
    line->addLayout(right, 1);
    QPalette strong = palette();
    strong.setColor(QPalette::WindowText, palette().color(QPalette::Link));
    if (m_cell->editable()) {
        auto* form = new QFormLayout;
        struct Field
        {
            const QString* key;
            const char* title;
            std::optional<QString> value;
            bool hidden;
        };
        const Field fields[] = {
            {&CNContactNamePrefixKey, QT_TR_NOOP("Prefix"), contact->namePrefix(), m_cell->hidePrefix},
            {&CNContactGivenNameKey, QT_TR_NOOP("First"), contact->givenName(), false},
            {&CNContactMiddleNameKey, QT_TR_NOOP("Middle"), contact->middleName(), m_cell->hideMiddle},
            {&CNContactFamilyNameKey, QT_TR_NOOP("Last"), contact->familyName(), false},
            {&CNContactNameSuffixKey, QT_TR_NOOP("Suffix"), contact->nameSuffix(), m_cell->hideSuffix},
            {&CNContactNicknameKey, QT_TR_NOOP("Nickname"), contact->nickName(), m_cell->hideNickname},
            {&CNContactJobTitleKey, QT_TR_NOOP("Job Title"), contact->jobTitle(), m_cell->hideJobTitle},
            {&CNContactDepartmentNameKey, QT_TR_NOOP("Department"), contact->department(), m_cell->hideDepartment},
            {&CNContactOrganizationNameKey, QT_TR_NOOP("Company"), contact->organizationName(), false},
        };
        for (const Field& f : fields) {
            if (f.hidden)
                continue;
            auto* edit = new QLineEdit(f.value.value_or(QString()));
            edit->setObjectName(QStringLiteral("nameEdit_") + *f.key);
            edit->setAccessibleName(tr(f.title));
            const KQCompareCellPtr cell = m_cell;
            const QString key = *f.key;
            connect(edit, &QLineEdit::textEdited, this,
                    [cell, key](const QString& text) { cell->setEditedNamePart(key, text); });
            form->addRow(tr(f.title), edit);
        }
        right->addLayout(form);
        return;
    }
    const QString full = joined({contact->namePrefix(), contact->givenName(), contact->middleName(),
                                 contact->familyName(), contact->nameSuffix()});
    auto* name = new QLabel(full.isEmpty() ? tr("No name") : full);
    name->setObjectName(QStringLiteral("nameText"));
    QFont bold = name->font();
    bold.setBold(true);
    name->setFont(bold);
    if (m_cell->highlightName)
        name->setPalette(strong);
    name->setWordWrap(true);
    right->addWidget(name);
    const QString job = joined({contact->jobTitle(), contact->department(), contact->organizationName()});
    auto* jobLine = new QLabel(job);
    jobLine->setObjectName(QStringLiteral("jobText"));
    jobLine->setWordWrap(true);
    if (m_cell->highlightJobName)
        jobLine->setPalette(strong);
    right->addWidget(jobLine);
    if (const QString nick = contact->nickName().value_or(QString()); !nick.isEmpty())
        right->addWidget(new QLabel(nick));
    right->addStretch(1);
}

void KQConflictPropertyViewCtrl::buildValue()
{
    setObjectName(QStringLiteral("valueCell"));
    auto* line = new QVBoxLayout(this);
    const QString& category = m_cell->catagoryName();
    const bool typeable =
        m_cell->editable() && (KQCompareCell::propertyKeyOfCatagory(category) == CNContactPhoneNumbersKey ||
                               KQCompareCell::propertyKeyOfCatagory(category) == CNContactEmailAddressesKey ||
                               KQCompareCell::propertyKeyOfCatagory(category) == CNContactUrlAddressesKey);
    const KQCompareCellPtr cell = m_cell;
    if (typeable) {
        auto* edit = new QLineEdit(m_cell->text());
        edit->setObjectName(QStringLiteral("valueEdit"));
        edit->setPlaceholderText(placeholderOf(category));
        edit->setAccessibleName(placeholderOf(category));
        connect(edit, &QLineEdit::textEdited, this, [cell](const QString& text) { cell->setEditedText(text); });
        line->addWidget(edit);
    } else if (m_cell->editable() && category == QLatin1String("Note")) {
        auto* edit = new QPlainTextEdit(m_cell->text());
        edit->setObjectName(QStringLiteral("noteEdit"));
        edit->setAccessibleName(tr("Note"));
        edit->setTabChangesFocus(true);
        edit->setMaximumHeight(edit->fontMetrics().lineSpacing() * 4);
        connect(edit, &QPlainTextEdit::textChanged, this, [cell, edit] { cell->setEditedText(edit->toPlainText()); });
        line->addWidget(edit);
    } else {
        QString text = m_cell->text();
        if (category == QLatin1String("Birthday") && text.isEmpty() && m_cell->contactHelper()->birthday())
            text = tr("Invalid date");
        auto* label = new QLabel(text);
        label->setObjectName(QStringLiteral("valueText"));
        label->setWordWrap(true);
        label->setTextFormat(Qt::PlainText);
        label->setTextInteractionFlags(Qt::TextSelectableByMouse);
        line->addWidget(label);
    }
}

bool KQConflictPropertyViewCtrl::eventFilter(QObject* watched, QEvent* event)
{
    if (watched == m_picture && event->type() == QEvent::MouseButtonDblClick && m_cell->editable()) {
        auto* dialog = new QFileDialog(window(), tr("Choose a picture"));
        dialog->setAttribute(Qt::WA_DeleteOnClose);
        dialog->setFileMode(QFileDialog::ExistingFile);
        QPointer<KQConflictPropertyViewCtrl> self(this);
        connect(dialog, &QFileDialog::fileSelected, this, [self](const QString& path) {
            if (self)
                self->loadImageFile(path);
        });
        dialog->open();
        return true;
    }
    return QFrame::eventFilter(watched, event);
}

bool KQConflictPropertyViewCtrl::loadImageFile(const QString& path)
{
    const KQContactHelperPtr contact = m_cell->contactHelper();
    const std::optional<QByteArray> picture = KQContactImageFile::readOrAlert(path, window());
    if (!picture)
        return false;
    contact->startEditContact();
    contact->setIconData(*picture);
    Q_EMIT requestReload();
    return true;
}
