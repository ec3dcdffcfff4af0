#pragma once
// The actions on a record: call, message, video call and e-mail its numbers and addresses, open its
// web addresses, each handed to the desktop as a URL. A record hands one out with
// KQContactHelper::actions(); it holds no state of its own.

#include <QString>
#include <QStringList>
#include <QUrl>
#include <functional>
#include <optional>

class KQContactHelper;
class KQLabeledValueHelper;
class KQLabeledValueProperty;

class KQContactActions
{
public:
    explicit KQContactActions(KQContactHelper& record) : m_record(record) {}

    bool enableCall();
    bool enableMessage() { return enableCall(); }
    bool enableEmail();
    bool enableFacetime() { return enableCall() || enableEmail(); }
    QStringList availableCallNames();
    QStringList availableMessageNames() { return availableCallNames(); }
    QStringList availableEmailNames();
    QStringList availableFacetimeNames();
    void callToPersonAtIndex(int index);
    void messageToPersonAtIndex(int index);
    void emailToPersonAtIndex(int index);
    void facetimeToPersonAtIndex(int index);
    void callToPersonWithName(const QString& name);
    void messageToPersonWithName(const QString& name);
    void emailToPersonWithName(const QString& name);
    void facetimeToPersonWithName(const QString& name);

    static void callToPersonWithPhoneName(const std::optional<QString>& number);
    static void messageToPersonWithPhoneNumber(const std::optional<QString>& number);
    static void facetimeToPersonWithPhoneNumber(const std::optional<QString>& number);
    static void facetimeToPersonWithEmail(const std::optional<QString>& email);
    static void emailToPersonWithEmail(const std::optional<QString>& email);
    static QString adjustPhoneNumber(const QString& number);
    static void openURLWithURLAddresses(const KQLabeledValueHelper* url);
    // How URLs are opened (the desktop by default); tests install their own.
    static void setUrlOpener(std::function<bool(const QUrl&)> opener);

private:
    static QStringList availableNames(KQLabeledValueProperty* property);
    static void openUrl(const QString& text);

    KQContactHelper& m_record;
};
