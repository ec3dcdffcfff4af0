// The writer's escaping of text values, checked byte for byte and with an independent vCard reader.
#include "KQTestPython.h"
#include "platform/CNContactVCardSerialization.h"
#include "platform/CNLabels.h"
#include "platform/CNMutableContact.h"

#include <QJsonDocument>
#include <QJsonObject>
#include <gtest/gtest.h>

namespace {

// Commas and semicolons are value separators in structured properties (N, ORG, ADR): every one
// inside a value must be escaped, or another reader splits the value.
CNContactPtr contactWithSeparators()
{
    auto contact = std::make_shared<CNMutableContact>();
    contact->setFamilyName(QStringLiteral("Lee, Jr"));
    contact->setGivenName(QStringLiteral("Ann"));
    contact->setOrganizationName(QStringLiteral("Acme, Inc."));
    contact->setDepartmentName(QStringLiteral("Sales; East"));
    contact->setJobTitle(QStringLiteral("Boss, big"));
    CNPostalAddress address;
    address.street = QStringLiteral("1 Main St, Apt 2");
    address.city = QStringLiteral("Springfield");
    address.isoCountryCode = QStringLiteral("us");
    contact->setPostalAddresses({CNLabeledValue<CNPostalAddress>(CNLabelHome, address)});
    return contact;
}

QByteArray written()
{
    CNError error;
    const QByteArray data = CNContactVCardSerialization::dataWithContacts({contactWithSeparators()}, &error);
    EXPECT_FALSE(error.isError()) << error.localizedDescription.toStdString();
    return data;
}

} // namespace

TEST(CNVCardWriterEscaping, CommasAndSemicolonsInValuesAreEscaped)
{
    const QByteArray data = written();
    EXPECT_TRUE(data.contains("\r\nN:Lee\\, Jr;Ann;;;\r\n")) << data.toStdString();
    EXPECT_TRUE(data.contains("\r\nORG:Acme\\, Inc.;Sales\\; East\r\n")) << data.toStdString();
    EXPECT_TRUE(data.contains("\r\nTITLE:Boss\\, big\r\n")) << data.toStdString();
    EXPECT_TRUE(data.contains(":;;1 Main St\\, Apt 2;Springfield;")) << data.toStdString();
}

TEST(CNVCardWriterEscaping, AnIndependentReaderSeesTheSameValues)
{
    const auto output =
        KQRunPythonOnData(QStringLiteral("import json,sys,vobject\n"
                                         "c=vobject.readOne(open(sys.argv[1],encoding='utf-8').read())\n"
                                         "print(json.dumps({'family':c.n.value.family,"
                                         "'given':c.n.value.given,'org':c.org.value,"
                                         "'title':c.title.value,'street':c.adr.value.street,"
                                         "'city':c.adr.value.city}))\n"),
                          written(), QStringLiteral("vobject"));
    if (!output)
        GTEST_SKIP() << "no python3 with vobject";
    ASSERT_FALSE(output->startsWith(QStringLiteral("FAILED"))) << output->toStdString();
    const QJsonObject read = QJsonDocument::fromJson(output->toUtf8()).object();
    EXPECT_EQ(read.value(QStringLiteral("family")).toString(), QStringLiteral("Lee, Jr")) << output->toStdString();
    EXPECT_EQ(read.value(QStringLiteral("given")).toString(), QStringLiteral("Ann"));
    EXPECT_EQ(read.value(QStringLiteral("org")).toVariant().toStringList(),
              (QStringList{QStringLiteral("Acme, Inc."), QStringLiteral("Sales; East")}))
        << output->toStdString();
    EXPECT_EQ(read.value(QStringLiteral("title")).toString(), QStringLiteral("Boss, big"));
    EXPECT_EQ(read.value(QStringLiteral("street")).toString(), QStringLiteral("1 Main St, Apt 2"));
    EXPECT_EQ(read.value(QStringLiteral("city")).toString(), QStringLiteral("Springfield"));
}
