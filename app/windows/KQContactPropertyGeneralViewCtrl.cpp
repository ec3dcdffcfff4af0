#include "app/windows/KQContactPropertyGeneralViewCtrl.h"

#include "app/windows/KQAlert.h"
#include "app/windows/KQContactImageFile.h"
#include "app/windows/KQIcons.h"
#include "store/KQPreferences.h"

#include <QFile>
#include <QFileDialog>
#include <QFormLayout>
#include <QHBoxLayout>
#include <QImageReader>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QPointer>
#include <QToolButton>
#include <QVBoxLayout>

namespace {

using Getter = std::optional<QString> (KQContactHelper::*)() const;
using Setter = void (KQContactHelper::*)(const std::optional<QString>&);

struct NameField
{
    const char* objectName;
    const char* title;
    Getter get;
    Setter set;
    bool KQContactPropertyViewCtrl::*hidden; // none: always shown in edit mode
};

} // namespace

KQContactPropertyGeneralViewCtrl::KQContactPropertyGeneralViewCtrl(QWidget* parent)
    : KQContactPropertyViewCtrl(QStringLiteral("General"), parent)
{
    title()->hide();
}

void KQContactPropertyGeneralViewCtrl::buildRows(QVBoxLayout* body)
{
    const KQContactHelperPtr& contact = contactHelper();
    auto* top = new QHBoxLayout;
    auto* image = new QToolButton;
    image->setObjectName(QStringLiteral("imageButton"));
    image->setAccessibleName(tr("Picture"));
    image->setToolTip(editable() ? tr("Choose a picture") : QString());
    const int side = fontMetrics().height() * 5;
    image->setIconSize(QSize(side, side));
    image->setAutoRaise(true);
    image->setEnabled(editable());
    QImage picture = contact->iconData().isEmpty() ? KQIcons::faceDefault() : contact->icon();
    // The picture keeps its colours while the button is disabled (outside editing).
    const QPixmap pixmap =
        QPixmap::fromImage(picture.scaled(side * 2, side * 2, Qt::KeepAspectRatio, Qt::SmoothTransformation));
    QIcon icon(pixmap);
    icon.addPixmap(pixmap, QIcon::Disabled);
    image->setIcon(icon);
    connect(image, &QToolButton::clicked, this, &KQContactPropertyGeneralViewCtrl::chooseImage);
    top->addWidget(image, 0, Qt::AlignTop);

    auto* right = new QVBoxLayout;
    top->addLayout(right, 1);
    body->addLayout(top);

    if (!editable()) {
        auto* name = new QLabel(contact->fullName().isEmpty() ? tr("No name") : contact->fullName());
        name->setObjectName(QStringLiteral("fullNameText"));
        QFont big = name->font();
        big.setPointSizeF(big.pointSizeF() * 1.5);
        big.setBold(true);
        name->setFont(big);
        name->setWordWrap(true);
        name->setTextInteractionFlags(Qt::TextSelectableByMouse);
        right->addWidget(name);
        const QString nick = contact->nickName().value_or(QString());
        if (!nick.isEmpty()) {
            auto* nickname = new QLabel(QStringLiteral("\u201C%1\u201D").arg(nick));
            nickname->setObjectName(QStringLiteral("nickNameText"));
            right->addWidget(nickname);
        }
        const QString job = contact->jobFullName();
        if (!job.isEmpty()) {
            auto* jobLine = new QLabel(job);
            jobLine->setObjectName(QStringLiteral("jobText"));
            jobLine->setWordWrap(true);
            right->addWidget(jobLine);
        }
        auto* actions = new QHBoxLayout;
        addActionButtons(actions);
        actions->addStretch(1);
        right->addLayout(actions);
        right->addStretch(1);
        return;
    }

    // Name fields in the order the user reads names in.
    const bool familyFirst = KQPreferences::sharePreferences()->showFirstNameFollowingLastName();
    const NameField prefix{"namePrefixEdit", QT_TR_NOOP("Prefix"), &KQContactHelper::namePrefix,
                           &KQContactHelper::setNamePrefix, &KQContactPropertyViewCtrl::hidePrefix};
    const NameField given{"givenNameEdit", QT_TR_NOOP("First"), &KQContactHelper::givenName,
                          &KQContactHelper::setGivenName, nullptr};
    const NameField middle{"middleNameEdit", QT_TR_NOOP("Middle"), &KQContactHelper::middleName,
                           &KQContactHelper::setMiddleName, &KQContactPropertyViewCtrl::hideMiddle};
    const NameField family{"familyNameEdit", QT_TR_NOOP("Last"), &KQContactHelper::familyName,
                           &KQContactHelper::setFamilyName, nullptr};
    const NameField suffix{"nameSuffixEdit", QT_TR_NOOP("Suffix"), &KQContactHelper::nameSuffix,
                           &KQContactHelper::setNameSuffix, &KQContactPropertyViewCtrl::hideSuffix};
    const NameField nickname{"nickNameEdit", QT_TR_NOOP("Nickname"), &KQContactHelper::nickName,
                             &KQContactHelper::setNickName, &KQContactPropertyViewCtrl::hideNickname};
    const NameField jobTitle{"jobTitleEdit", QT_TR_NOOP("Job Title"), &KQContactHelper::jobTitle,
                             &KQContactHelper::setJobTitle, &KQContactPropertyViewCtrl::hideJobTitle};
    const NameField department{"departmentEdit", QT_TR_NOOP("Department"), &KQContactHelper::department,
                               &KQContactHelper::setDepartment, &KQContactPropertyViewCtrl::hideDepartment};
    const NameField company{"organizationEdit", QT_TR_NOOP("Company"), &KQContactHelper::organizationName,
                            &KQContactHelper::setOrganizationName, nullptr};
    std::vector<NameField> fields = {prefix};
    if (familyFirst)
        fields.insert(fields.end(), {family, middle, given});
    else
        fields.insert(fields.end(), {given, middle, family});
    fields.insert(fields.end(), {suffix, nickname, jobTitle, department, company});

    auto* form = new QFormLayout;
    form->setFieldGrowthPolicy(QFormLayout::AllNonFixedFieldsGrow);
    for (const NameField& f : fields) {
        if (f.hidden != nullptr && this->*f.hidden)
            continue;
        const QString title = tr(f.title);
        auto* edit = new QLineEdit((contact.get()->*f.get)().value_or(QString()));
        edit->setObjectName(QLatin1String(f.objectName));
        edit->setPlaceholderText(title);
        edit->setAccessibleName(title);
        const Setter set = f.set;
        const KQContactHelperPtr record = contact;
        connect(edit, &QLineEdit::textEdited, this, [record, set](const QString& text) { (record.get()->*set)(text); });
        form->addRow(title, edit);
    }
    right->addLayout(form);
}

void KQContactPropertyGeneralViewCtrl::addActionButtons(QHBoxLayout* line)
{
    const KQContactHelperPtr contact = contactHelper();
    struct Action
    {
        const char* name;
        const char* icon;
        const char* title;
        bool enabled;
        QStringList names;
        std::function<void(const QString&)> act;
    };
    const std::vector<Action> actions = {
        {"callButton", "call-start", QT_TR_NOOP("Call"), contact->enableCall(), contact->availableCallNames(),
         [contact](const QString& n) { contact->callToPersonWithName(n); }},
        {"messageButton", "mail-message", QT_TR_NOOP("Message"), contact->enableMessage(),
         contact->availableMessageNames(), [contact](const QString& n) { contact->messageToPersonWithName(n); }},
        {"emailButton", "mail-send", QT_TR_NOOP("E-mail"), contact->enableEmail(), contact->availableEmailNames(),
         [contact](const QString& n) { contact->emailToPersonWithName(n); }},
        {"facetimeButton", "camera-web", QT_TR_NOOP("Video call"), contact->enableFacetime(),
         contact->availableFacetimeNames(), [contact](const QString& n) { contact->facetimeToPersonWithName(n); }},
    };
    for (const Action& a : actions) {
        auto* button = new QToolButton;
        button->setObjectName(QLatin1String(a.name));
        button->setIcon(KQIcons::icon(QLatin1String(a.icon)));
        button->setText(tr(a.title));
        button->setToolTip(tr(a.title));
        button->setAccessibleName(tr(a.title));
        button->setToolButtonStyle(Qt::ToolButtonTextUnderIcon);
        button->setAutoRaise(true);
        button->setEnabled(a.enabled);
        const QStringList names = a.names;
        const auto act = a.act;
        connect(button, &QToolButton::clicked, this, [this, button, names, act] { runAction(button, names, act); });
        line->addWidget(button);
    }
}

void KQContactPropertyGeneralViewCtrl::runAction(QToolButton* button, const QStringList& names,
                                                 const std::function<void(const QString&)>& act)
{
    if (names.size() < 2) {
        act(QString());
        return;
    }
    auto* menu = new QMenu(button);
    menu->setObjectName(QStringLiteral("actionMenu"));
    menu->setAttribute(Qt::WA_DeleteOnClose);
    for (const QString& name : names)
        connect(menu->addAction(name), &QAction::triggered, this, [act, name] { act(name); });
    menu->popup(button->mapToGlobal(QPoint(0, button->height())));
}

void KQContactPropertyGeneralViewCtrl::chooseImage()
{
    if (!editable() || !contactHelper())
        return;
    QStringList patterns;
    for (const QString& format : KQContactHelper::allAvailableIconFormats())
        patterns.append(QStringLiteral("*.") + format);
    auto* dialog = new QFileDialog(hostWindow(), tr("Choose a picture"));
    dialog->setObjectName(QStringLiteral("imagePanel"));
    dialog->setAttribute(Qt::WA_DeleteOnClose);
    dialog->setFileMode(QFileDialog::ExistingFile);
    dialog->setNameFilter(tr("Pictures (%1)").arg(patterns.join(QLatin1Char(' '))));
    QPointer<KQContactPropertyGeneralViewCtrl> self(this);
    connect(dialog, &QFileDialog::fileSelected, this, [self](const QString& path) {
        if (self)
            self->loadImageFile(path);
    });
    dialog->open();
}

bool KQContactPropertyGeneralViewCtrl::loadImageFile(const QString& path)
{
    const KQContactHelperPtr contact = contactHelper();
    if (!contact)
        return false;
    const std::optional<QByteArray> picture = KQContactImageFile::readOrAlert(path, hostWindow());
    if (!picture)
        return false;
    contact->setIconData(*picture);
    reload();
    return true;
}
