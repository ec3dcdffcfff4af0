// The contact detail editor driven through its widgets: every field kind edited and saved reaches
// the store, custom labels survive a reload, bad input (pictures, birthday texts, blank labels)
// is refused with its message and leaves the contact as it was.

#include "KQWindowTestSupport.h"
#include "app/windows/KQContactDetailViewCtrl.h"
#include "app/windows/KQContactPropertyGeneralViewCtrl.h"
#include "app/windows/KQContactPropertyTagViewCtrl.h"
#include "app/windows/KQCustomLabelValueWndCtrl.h"
#include "platform/CNLabels.h"
#include "store/KQTag.h"
#include "store/KQTagsManager.h"

#include <QBuffer>
#include <QLabel>
#include <QLineEdit>
#include <QMainWindow>
#include <QMenu>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QTemporaryDir>
#include <QTest>
#include <QToolButton>

using namespace kqwin;

namespace {

class DetailEditor : public ::testing::Test
{
protected:
    void SetUp() override
    {
        account = cleanAccount();
        ASSERT_TRUE(account);
        window.resize(700, 900);
        view = new KQContactDetailViewCtrl(&window);
        window.setCentralWidget(view);
        window.show();
    }

    KQContactHelperPtr addOne(const Fill& fill)
    {
        const KQContactHelperList records = addContacts(account, {fill});
        EXPECT_EQ(records.size(), 1u);
        return records.empty() ? nullptr : records.front();
    }

    QWidget* panel(const QString& category)
    {
        return view->findChild<QWidget*>(QStringLiteral("panel_") + QString(category).remove(QLatin1Char(' ')));
    }

    // Types text into the named field of a panel (row: the n-th of that name).
    void type(const QString& category, const QString& field, const QString& text, int row = 0)
    {
        QWidget* p = panel(category);
        ASSERT_NE(p, nullptr) << category.toStdString();
        const auto edits = p->findChildren<QLineEdit*>(field);
        ASSERT_GT(edits.size(), row) << field.toStdString();
        QLineEdit* edit = edits.at(row);
        edit->setFocus();
        edit->selectAll();
        QTest::keyClick(edit, Qt::Key_Delete);
        typeText(edit, text);
        QTest::keyClick(edit, Qt::Key_Return);
        kqSpin(5);
    }

    QMainWindow window;
    KQContactDetailViewCtrl* view = nullptr;
    KQContainerHelperPtr account;
};

} // namespace

TEST_F(DetailEditor, ShowsGeneralAndTagsAndOnlyTheCategoriesWithValues)
{
    const auto contact = addOne([](CNMutableContact& c) {
        c.setGivenName(QStringLiteral("Zoë"));
        c.setFamilyName(QStringLiteral("Çelik"));
        c.setEmailAddresses({{CNLabelHome, QStringLiteral("zoe@example.org")}});
    });
    view->setSelectedContactHelpers({contact});
    QStringList shown;
    for (const auto* p : view->contactPropertyViewCtrls())
        shown.append(p->categoryName());
    // A stored contact's note is present even when empty, so the note panel may follow.
    EXPECT_EQ(shown.mid(0, 3),
              (QStringList{QStringLiteral("General"), QStringLiteral("Tags"), QStringLiteral("Email")}));
    for (const char* absent : {"PhoneNumbers", "Phonetic Name", "Birthday", "Lunar Birthday", "URL", "Address"})
        EXPECT_FALSE(shown.contains(QLatin1String(absent))) << absent;
    EXPECT_EQ(child<QLabel>(panel(QStringLiteral("General")), QStringLiteral("fullNameText"))->text(),
              QStringLiteral("Zoë Çelik"));
    // Outside edit mode every separate name field counts as hidden, so they can all be added.
    EXPECT_TRUE(view->allowedAddPropertyCatagoryNames().contains(QStringLiteral("Prefix")));
    EXPECT_FALSE(view->allowedAddPropertyCatagoryNames().contains(QStringLiteral("Email")));

    view->setSelectedContactHelpers({});
    EXPECT_TRUE(view->contactPropertyViewCtrls().empty());
    EXPECT_EQ(view->allowedAddPropertyCatagoryNames(), KQContactHelper::allAvailableCategoryNames());
}

TEST_F(DetailEditor, EditingEveryFieldKindAndSavingReachesTheStore)
{
    const auto contact = addOne([](CNMutableContact& c) { c.setGivenName(QStringLiteral("Ann")); });
    view->setSelectedContactHelpers({contact});
    view->setEditable(true);
    ASSERT_TRUE(view->editable());

    for (const QString& category :
         {QStringLiteral("Prefix"), QStringLiteral("Middle Name"), QStringLiteral("Suffix"),
          QStringLiteral("Job Title"), QStringLiteral("Department"), QStringLiteral("Nickname"),
          QStringLiteral("PhoneNumbers"), QStringLiteral("Email"), QStringLiteral("URL"), QStringLiteral("Address"),
          QStringLiteral("Social"), QStringLiteral("Instant Message"), QStringLiteral("Related Name"),
          QStringLiteral("Date"), QStringLiteral("Birthday"), QStringLiteral("Lunar Birthday"),
          QStringLiteral("Phonetic Name"), QStringLiteral("Note")})
        view->addPropertyWithCategoryName(category);
    // What was added is no longer offered.
    EXPECT_FALSE(view->allowedAddPropertyCatagoryNames().contains(QStringLiteral("Email")));
    EXPECT_FALSE(view->allowedAddPropertyCatagoryNames().contains(QStringLiteral("Nickname")));

    type(QStringLiteral("General"), QStringLiteral("givenNameEdit"), QStringLiteral("Anne-Sophie"));
    type(QStringLiteral("General"), QStringLiteral("familyNameEdit"), QStringLiteral("Lefèvre"));
    type(QStringLiteral("General"), QStringLiteral("namePrefixEdit"), QStringLiteral("Dr."));
    type(QStringLiteral("General"), QStringLiteral("middleNameEdit"), QStringLiteral("Marie"));
    type(QStringLiteral("General"), QStringLiteral("nameSuffixEdit"), QStringLiteral("PhD"));
    type(QStringLiteral("General"), QStringLiteral("nickNameEdit"), QStringLiteral("Soso"));
    type(QStringLiteral("General"), QStringLiteral("jobTitleEdit"), QStringLiteral("Chemist"));
    type(QStringLiteral("General"), QStringLiteral("departmentEdit"), QStringLiteral("R&D"));
    type(QStringLiteral("General"), QStringLiteral("organizationEdit"), QStringLiteral("株式会社テスト"));
    type(QStringLiteral("PhoneNumbers"), QStringLiteral("valueEdit"), QStringLiteral("+33 1 23 45 67 89"));
    type(QStringLiteral("Email"), QStringLiteral("valueEdit"), QStringLiteral("as@example.fr"));
    type(QStringLiteral("URL"), QStringLiteral("valueEdit"), QStringLiteral("https://example.fr"));
    type(QStringLiteral("Address"), QStringLiteral("streetEdit"), QStringLiteral("12 rue de la Paix"));
    type(QStringLiteral("Address"), QStringLiteral("cityEdit"), QStringLiteral("Paris"));
    type(QStringLiteral("Social"), QStringLiteral("usrNameEdit"), QStringLiteral("asl"));
    type(QStringLiteral("Instant Message"), QStringLiteral("usrNameEdit"), QStringLiteral("as.im"));
    type(QStringLiteral("Related Name"), QStringLiteral("valueEdit"), QStringLiteral("Léa"));
    type(QStringLiteral("Date"), QStringLiteral("dayEdit"), QStringLiteral("14"));
    type(QStringLiteral("Date"), QStringLiteral("monthEdit"), QStringLiteral("7"));
    type(QStringLiteral("Date"), QStringLiteral("yearEdit"), QStringLiteral("2001"));
    type(QStringLiteral("Birthday"), QStringLiteral("yearEdit"), QStringLiteral("1980"));
    type(QStringLiteral("Birthday"), QStringLiteral("monthEdit"), QStringLiteral("2"));
    type(QStringLiteral("Birthday"), QStringLiteral("dayEdit"), QStringLiteral("29"));
    type(QStringLiteral("Phonetic Name"), QStringLiteral("phoneticGivenNameEdit"), QStringLiteral("an sofi"));
    auto* note = child<QPlainTextEdit>(panel(QStringLiteral("Note")), QStringLiteral("noteEdit"));
    note->setFocus();
    note->selectAll();
    typeText(note, QStringLiteral("Rencontrée à Lyon"));

    EXPECT_TRUE(view->endEditProperty());
    EXPECT_FALSE(view->editable());
    EXPECT_EQ(alert(), nullptr);

    const CNContactPtr saved = stored(contact->identifier());
    ASSERT_TRUE(saved);
    const CNContactData& d = saved->data();
    EXPECT_EQ(d.givenName, QStringLiteral("Anne-Sophie"));
    EXPECT_EQ(d.familyName, QStringLiteral("Lefèvre"));
    EXPECT_EQ(d.rare().namePrefix, QStringLiteral("Dr."));
    EXPECT_EQ(d.rare().middleName, QStringLiteral("Marie"));
    EXPECT_EQ(d.rare().nameSuffix, QStringLiteral("PhD"));
    EXPECT_EQ(d.rare().nickname, QStringLiteral("Soso"));
    EXPECT_EQ(d.jobTitle, QStringLiteral("Chemist"));
    EXPECT_EQ(d.departmentName, QStringLiteral("R&D"));
    EXPECT_EQ(d.organizationName, QStringLiteral("株式会社テスト"));
    ASSERT_EQ(d.phoneNumbers.size(), 1u);
    EXPECT_EQ(d.phoneNumbers[0].value().stringValue(), QStringLiteral("+33 1 23 45 67 89"));
    ASSERT_EQ(d.emailAddresses.size(), 1u);
    EXPECT_EQ(d.emailAddresses[0].value(), QStringLiteral("as@example.fr"));
    ASSERT_EQ(d.rare().urlAddresses.size(), 1u);
    EXPECT_EQ(d.rare().urlAddresses[0].value(), QStringLiteral("https://example.fr"));
    ASSERT_EQ(d.postalAddresses.size(), 1u);
    EXPECT_EQ(d.postalAddresses[0].value().street, QStringLiteral("12 rue de la Paix"));
    EXPECT_EQ(d.postalAddresses[0].value().city, QStringLiteral("Paris"));
    ASSERT_EQ(d.rare().socialProfiles.size(), 1u);
    EXPECT_EQ(d.rare().socialProfiles[0].value().username, QStringLiteral("asl"));
    ASSERT_EQ(d.rare().instantMessageAddresses.size(), 1u);
    EXPECT_EQ(d.rare().instantMessageAddresses[0].value().username, QStringLiteral("as.im"));
    ASSERT_EQ(d.rare().contactRelations.size(), 1u);
    EXPECT_EQ(d.rare().contactRelations[0].value().name, QStringLiteral("Léa"));
    ASSERT_EQ(d.rare().dates.size(), 1u);
    EXPECT_EQ(d.rare().dates[0].value().year, 2001);
    EXPECT_EQ(d.rare().dates[0].value().month, 7);
    EXPECT_EQ(d.rare().dates[0].value().day, 14);
    ASSERT_TRUE(d.rare().birthday);
    EXPECT_EQ(d.rare().birthday->year, 1980);
    EXPECT_EQ(d.rare().birthday->month, 2);
    EXPECT_EQ(d.rare().birthday->day, 29);
    ASSERT_TRUE(d.rare().nonGregorianBirthday);
    EXPECT_EQ(d.rare().nonGregorianBirthday->calendarIdentifier, CNCalendarIdentifierHebrew);
    EXPECT_EQ(d.rare().phoneticGivenName, QStringLiteral("an sofi"));
    EXPECT_EQ(d.note, QStringLiteral("Rencontrée à Lyon"));

    // The panels are rebuilt for viewing, with the composed name.
    EXPECT_EQ(child<QLabel>(panel(QStringLiteral("General")), QStringLiteral("fullNameText"))->text(),
              contact->fullName());
}

TEST_F(DetailEditor, AnAddressShowsTheBoxesOfItsCountryAndSavesThem)
{
    const auto contact = addOne([](CNMutableContact& c) {
        c.setGivenName(QStringLiteral("Ann"));
        CNPostalAddress uk;
        uk.city = QStringLiteral("Bath");
        uk.isoCountryCode = QStringLiteral("GB");
        CNPostalAddress cn;
        cn.city = QStringLiteral("北京");
        cn.isoCountryCode = QStringLiteral("CN");
        CNPostalAddress fr;
        fr.city = QStringLiteral("Lyon");
        fr.isoCountryCode = QStringLiteral("FR");
        c.setPostalAddresses({{CNLabelHome, uk}, {CNLabelWork, cn}, {CNLabelOther, fr}});
    });
    view->setSelectedContactHelpers({contact});
    QWidget* read = panel(QStringLiteral("Address"));
    ASSERT_NE(read, nullptr);
    EXPECT_TRUE(read->findChildren<QLineEdit*>().isEmpty());

    view->setEditable(true);
    QWidget* p = panel(QStringLiteral("Address"));
    ASSERT_NE(p, nullptr);
    const auto count = [p](const char* name) { return p->findChildren<QLineEdit*>(QLatin1String(name)).size(); };
    // Three rows: a county and no state for the United Kingdom, a district for China, a state for France.
    EXPECT_EQ(count("cityEdit"), 3);
    EXPECT_EQ(count("subAdministrativeAreaEdit"), 1);
    EXPECT_EQ(count("subLocalityEdit"), 1);
    EXPECT_EQ(count("stateEdit"), 2);

    type(QStringLiteral("Address"), QStringLiteral("subAdministrativeAreaEdit"), QStringLiteral("Somerset"));
    type(QStringLiteral("Address"), QStringLiteral("subLocalityEdit"), QStringLiteral("东城区"));
    EXPECT_TRUE(view->endEditProperty());
    const CNContactPtr saved = stored(contact->identifier());
    ASSERT_TRUE(saved);
    ASSERT_EQ(saved->data().postalAddresses.size(), 3u);
    EXPECT_EQ(saved->data().postalAddresses[0].value().subAdministrativeArea, QStringLiteral("Somerset"));
    EXPECT_EQ(saved->data().postalAddresses[1].value().subLocality, QStringLiteral("东城区"));
    EXPECT_EQ(saved->data().postalAddresses[2].value().city, QStringLiteral("Lyon"));
}

TEST_F(DetailEditor, ACustomLabelSurvivesASaveAndAReload)
{
    const auto contact = addOne([](CNMutableContact& c) {
        c.setGivenName(QStringLiteral("Kenji"));
        c.setPhoneNumbers({{CNLabelHome, CNPhoneNumber(QStringLiteral("03-1234-5678"))}});
    });
    view->setSelectedContactHelpers({contact});
    view->setEditable(true);
    auto* label = child<QToolButton>(panel(QStringLiteral("PhoneNumbers")), QStringLiteral("labelButton"));
    ASSERT_NE(label->menu(), nullptr);
    QAction* custom = label->menu()->findChild<QAction*>(QStringLiteral("customLabelAction"));
    ASSERT_NE(custom, nullptr);
    custom->trigger();
    auto* sheet = KQCustomLabelValueWndCtrl::sharedCustomLabelValueWndCtrl();
    ASSERT_TRUE(sheet->isVisible());
    auto* edit = child<QLineEdit>(sheet, QStringLiteral("customLabelEdit"));
    EXPECT_EQ(edit->text(), QStringLiteral("home"));
    edit->selectAll();
    typeText(edit, QStringLiteral("船の電話"));
    child<QPushButton>(sheet, QStringLiteral("okButton"))->click();
    EXPECT_FALSE(sheet->isVisible());
    EXPECT_EQ(child<QToolButton>(panel(QStringLiteral("PhoneNumbers")), QStringLiteral("labelButton"))->text(),
              QStringLiteral("船の電話"));
    ASSERT_TRUE(view->endEditProperty());

    const CNContactPtr saved = stored(contact->identifier());
    ASSERT_TRUE(saved);
    ASSERT_EQ(saved->data().phoneNumbers.size(), 1u);
    EXPECT_EQ(saved->data().phoneNumbers[0].label(), QStringLiteral("船の電話"));
    // A fresh record read from the store shows it as well.
    const auto reloaded = KQContactHelper::create(saved, true);
    view->setSelectedContactHelpers({reloaded});
    EXPECT_EQ(child<QLabel>(panel(QStringLiteral("PhoneNumbers")), QStringLiteral("labelText"))->text(),
              QStringLiteral("船の電話"));
}

TEST_F(DetailEditor, ALabelOfOnlySpacesCannotBeChosen)
{
    auto* sheet = KQCustomLabelValueWndCtrl::sharedCustomLabelValueWndCtrl();
    bool answered = false;
    sheet->beginSheetForWindow(&window, QStringLiteral("work"), [&answered](bool, const QString&) { answered = true; });
    auto* edit = child<QLineEdit>(sheet, QStringLiteral("customLabelEdit"));
    auto* ok = child<QPushButton>(sheet, QStringLiteral("okButton"));
    edit->selectAll();
    typeText(edit, QStringLiteral("    "));
    EXPECT_FALSE(ok->isEnabled());
    EXPECT_FALSE(child<QLabel>(sheet, QStringLiteral("customLabelHint"))->text().isEmpty());
    sheet->okCustom(); // even called directly, a blank label is not taken
    EXPECT_TRUE(sheet->isVisible());
    EXPECT_FALSE(answered);
    QTest::keyClick(edit, Qt::Key_Escape);
    EXPECT_FALSE(sheet->isVisible());
    EXPECT_TRUE(answered);
}

namespace {

struct BadPicture
{
    const char* name;
    // Makes the file in dir; returns its path.
    std::function<QString(const QString& dir)> make;
    const char* informativeStart;
};

void PrintTo(const BadPicture& p, std::ostream* out)
{
    *out << p.name;
}

QString pngOfSize(const QString& dir, qint64 atLeast)
{
    QImage image(16, 16, QImage::Format_RGB32);
    image.fill(Qt::red);
    QByteArray data;
    QBuffer buffer(&data);
    buffer.open(QIODevice::WriteOnly);
    image.save(&buffer, "PNG");
    // Trailing bytes after the image end are ignored by readers, but count towards the size.
    if (data.size() < atLeast)
        data.append(QByteArray(atLeast - data.size(), '\0'));
    const QString path = dir + QStringLiteral("/picture.png");
    QFile file(path);
    EXPECT_TRUE(file.open(QIODevice::WriteOnly));
    file.write(data);
    return path;
}

class DetailEditorPicture : public DetailEditor, public ::testing::WithParamInterface<BadPicture>
{
};

} // namespace

TEST_P(DetailEditorPicture, IsRefusedWithItsMessageAndNothingChanges)
{
    QTemporaryDir dir;
    const auto contact = addOne([](CNMutableContact& c) { c.setGivenName(QStringLiteral("Ola")); });
    view->setSelectedContactHelpers({contact});
    view->setEditable(true);
    auto* general = qobject_cast<KQContactPropertyGeneralViewCtrl*>(panel(QStringLiteral("General")));
    ASSERT_NE(general, nullptr);
    const QString path = GetParam().make(dir.path());
    EXPECT_FALSE(general->loadImageFile(path));
    const auto [message, informative] = answerAlert();
    EXPECT_EQ(message, QStringLiteral("Can not add this image."));
    EXPECT_TRUE(informative.startsWith(QLatin1String(GetParam().informativeStart))) << informative.toStdString();
    EXPECT_TRUE(contact->iconData().isEmpty());
    EXPECT_FALSE(contact->propertyEdited());
    ASSERT_TRUE(view->endEditProperty());
    EXPECT_TRUE(stored(contact->identifier())->imageData().isEmpty());
}

INSTANTIATE_TEST_SUITE_P(BadFiles, DetailEditorPicture,
                         ::testing::Values(BadPicture{"OverTheSizeLimit",
                                                      [](const QString& dir) {
                                                          return pngOfSize(dir, KQContactHelper::maxIconDataBytes + 1);
                                                      },
                                                      "The image is tool large, it should not over than 2.10 MB."},
                                           BadPicture{"NotAPicture",
                                                      [](const QString& dir) {
                                                          QFile file(dir + QStringLiteral("/notes.png"));
                                                          EXPECT_TRUE(file.open(QIODevice::WriteOnly));
                                                          file.write("BEGIN:VCARD\nEND:VCARD\n");
                                                          return file.fileName();
                                                      },
                                                      "The file"},
                                           BadPicture{"VanishedAfterChoosing",
                                                      [](const QString& dir) {
                                                          const QString path = pngOfSize(dir, 0);
                                                          QFile::remove(path);
                                                          return path;
                                                      },
                                                      "The file"}),
                         [](const ::testing::TestParamInfo<BadPicture>& row) { return std::string(row.param.name); });

TEST_F(DetailEditor, APictureWithinTheLimitBecomesTheContactsPicture)
{
    QTemporaryDir dir;
    const auto contact = addOne([](CNMutableContact& c) { c.setGivenName(QStringLiteral("Ola")); });
    view->setSelectedContactHelpers({contact});
    view->setEditable(true);
    auto* general = qobject_cast<KQContactPropertyGeneralViewCtrl*>(panel(QStringLiteral("General")));
    const QString path = pngOfSize(dir.path(), KQContactHelper::maxIconDataBytes);
    EXPECT_TRUE(general->loadImageFile(path));
    ASSERT_TRUE(view->endEditProperty());
    EXPECT_EQ(stored(contact->identifier())->imageData().size(), KQContactHelper::maxIconDataBytes);
}

namespace {

struct BirthdayEntry
{
    const char* name;
    const char* field;
    QString typed;
    bool taken;
};

void PrintTo(const BirthdayEntry& e, std::ostream* out)
{
    *out << e.name;
}

class DetailEditorBirthday : public DetailEditor, public ::testing::WithParamInterface<BirthdayEntry>
{
};

} // namespace

TEST_P(DetailEditorBirthday, RejectedEntriesGetThePreviousValueBack)
{
    const auto contact = addOne([](CNMutableContact& c) {
        c.setGivenName(QStringLiteral("Ida"));
        c.setBirthday(CNDateComponents{1975, 6, 15, {}, {}, {}});
    });
    view->setSelectedContactHelpers({contact});
    view->setEditable(true);
    const BirthdayEntry& entry = GetParam();
    type(QStringLiteral("Birthday"), QLatin1String(entry.field), entry.typed);
    kqSpin(20);
    auto* edit = child<QLineEdit>(panel(QStringLiteral("Birthday")), QLatin1String(entry.field));
    const std::optional<CNDateComponents> birthday = contact->birthday();
    ASSERT_TRUE(birthday);
    if (entry.taken) {
        EXPECT_EQ(edit->text(), entry.typed);
    } else {
        const int previous = QLatin1String(entry.field) == QLatin1String("yearEdit")    ? 1975
                             : QLatin1String(entry.field) == QLatin1String("monthEdit") ? 6
                                                                                        : 15;
        EXPECT_EQ(edit->text(), QString::number(previous));
        EXPECT_EQ(*birthday, (CNDateComponents{1975, 6, 15, {}, {}, {}}));
    }
}

INSTANTIATE_TEST_SUITE_P(
    Typing, DetailEditorBirthday,
    ::testing::Values(BirthdayEntry{"TextThatIsNoNumber", "dayEdit", QStringLiteral("tenth"), false},
                      BirthdayEntry{"YearBefore1900", "yearEdit", QStringLiteral("1899"), false},
                      BirthdayEntry{"YearAfterThisOne", "yearEdit", QString::number(QDate::currentDate().year() + 1),
                                    false},
                      BirthdayEntry{"EmptyMonth", "monthEdit", QString(), false},
                      BirthdayEntry{"Month13", "monthEdit", QStringLiteral("13"), false},
                      BirthdayEntry{"Day32", "dayEdit", QStringLiteral("32"), false},
                      BirthdayEntry{"Year1900", "yearEdit", QStringLiteral("1900"), true},
                      BirthdayEntry{"Day31InJune", "dayEdit", QStringLiteral("31"), true}),
    [](const ::testing::TestParamInfo<BirthdayEntry>& row) { return std::string(row.param.name); });

TEST_F(DetailEditor, ADayThatDoesNotExistShowsInvalidDateAndIsNotSaved)
{
    const auto contact = addOne([](CNMutableContact& c) {
        c.setGivenName(QStringLiteral("Ida"));
        c.setBirthday(CNDateComponents{1975, 6, 15, {}, {}, {}});
    });
    view->setSelectedContactHelpers({contact});
    view->setEditable(true);
    type(QStringLiteral("Birthday"), QStringLiteral("dayEdit"), QStringLiteral("31"));
    EXPECT_EQ(child<QLabel>(panel(QStringLiteral("Birthday")), QStringLiteral("dateText"))->text(),
              QStringLiteral("Invalid date"));
    ASSERT_TRUE(view->endEditProperty());
    EXPECT_EQ(stored(contact->identifier())->data().rare().birthday, (CNDateComponents{1975, 6, 15, {}, {}, {}}));
}

TEST_F(DetailEditor, ALongNoteIsSavedWhole)
{
    const auto contact = addOne([](CNMutableContact& c) { c.setGivenName(QStringLiteral("Mo")); });
    view->setSelectedContactHelpers({contact});
    view->setEditable(true);
    view->addPropertyWithCategoryName(QStringLiteral("Note"));
    QString text;
    while (text.size() < 10000)
        text += QStringLiteral("Ligne à retenir — 記録 %1\n").arg(text.size());
    text.truncate(10000);
    child<QPlainTextEdit>(panel(QStringLiteral("Note")), QStringLiteral("noteEdit"))->setPlainText(text);
    ASSERT_TRUE(view->endEditProperty());
    EXPECT_EQ(stored(contact->identifier())->data().note, text);
}

TEST_F(DetailEditor, AnAddedPhoneticNameLeftEmptyDisappearsAtDone)
{
    const auto contact = addOne([](CNMutableContact& c) { c.setGivenName(QStringLiteral("Mo")); });
    view->setSelectedContactHelpers({contact});
    view->setEditable(true);
    view->addPropertyWithCategoryName(QStringLiteral("Phonetic Name"));
    EXPECT_NE(panel(QStringLiteral("Phonetic Name")), nullptr);
    EXPECT_TRUE(view->addPropertyCategory().contains(QStringLiteral("Phonetic Name")));
    view->setEditable(false);
    EXPECT_EQ(panel(QStringLiteral("Phonetic Name")), nullptr);
}

TEST_F(DetailEditor, SelectingAnotherContactWhileEditingPutsItIntoEditing)
{
    const auto records = addContacts(account, {[](CNMutableContact& c) { c.setGivenName(QStringLiteral("One")); },
                                               [](CNMutableContact& c) { c.setGivenName(QStringLiteral("Two")); }});
    ASSERT_EQ(records.size(), 2u);
    view->setSelectedContactHelpers({records[0]});
    view->setEditable(true);
    view->setSelectedContactHelpers({records[1], records[0]});
    EXPECT_EQ(view->firstContactHelper(), records[1]);
    EXPECT_TRUE(records[1]->mutableContact() != nullptr);
    EXPECT_NE(panel(QStringLiteral("General"))->findChild<QLineEdit*>(QStringLiteral("givenNameEdit")), nullptr);
}

TEST_F(DetailEditor, RemovingTheLastUseOfATagDeletesTheTagAtDone)
{
    const auto contact = addOne([](CNMutableContact& c) { c.setGivenName(QStringLiteral("Tagged")); });
    KQTagsManager* tags = KQContactManager::sharedContactManager()->tagsMgr().get();
    const auto tag = contact->addTagsWithName(QStringLiteral("Choir Ω"));
    kqSpin(20);
    ASSERT_NE(tags->tagWithName(QStringLiteral("Choir Ω")), nullptr);
    view->setSelectedContactHelpers({contact});
    view->setEditable(true);
    auto* remove = child<QToolButton>(panel(QStringLiteral("Tags")), QStringLiteral("removeTagButton"));
    remove->click();
    kqSpin(20);
    EXPECT_TRUE(contact->tags().empty());
    EXPECT_NE(tags->tagWithName(QStringLiteral("Choir Ω")), nullptr) << "the tag stays until Done";
    view->setEditable(false);
    EXPECT_EQ(tags->tagWithName(QStringLiteral("Choir Ω")), nullptr);
}

TEST_F(DetailEditor, RenamingATagToAnotherTagsNameIsRefused)
{
    const auto contact = addOne([](CNMutableContact& c) { c.setGivenName(QStringLiteral("Tagged")); });
    contact->addTagsWithName(QStringLiteral("family"));
    KQContactManager::sharedContactManager()->tagsMgr()->addTag(std::make_shared<KQTag>(QStringLiteral("work")));
    kqSpin(20);
    view->setSelectedContactHelpers({contact});
    view->setEditable(true);
    type(QStringLiteral("Tags"), QStringLiteral("tagEdit"), QStringLiteral("work"));
    const auto [message, informative] = answerAlert();
    EXPECT_EQ(message, QStringLiteral("The tag named work allready exist."));
    EXPECT_EQ(informative, QStringLiteral("It's not allowed to exist the same name tag."));
    kqSpin(10);
    EXPECT_EQ(contact->tags().front()->name(), QStringLiteral("family"));
    view->setEditable(false);
}
