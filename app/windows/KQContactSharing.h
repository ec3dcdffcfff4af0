#pragma once
// Ways contacts leave the program besides export: a new mail to them through the desktop's mail
// program, and the clipboard as vCard cards or as text.

#include "model/KQContactHelper.h"

#include <QMimeData>
#include <QUrl>
#include <memory>
#include <vector>

class KQContactSharing
{
public:
    // "mailto:" with the first valid e-mail address of each contact that has one, each address
    // once, separated by commas; an empty URL when nobody has one.
    static QUrl mailtoURLForContacts(const std::vector<KQContactHelperPtr>& contacts);
    // Opens the mail; false when there was no address or the desktop could not open it.
    static bool sendEmailToContacts(const std::vector<KQContactHelperPtr>& contacts);

    // Shares the contacts through a new mail: their summary texts as its body (each followed by an
    // empty line) and their cards attached as one vCard file, where the desktop's mail program
    // takes attachments (through xdg-email); otherwise a "mailto:" with the body alone. False, with
    // why, when the cards could not be written or no mail program could be started.
    static bool shareWithMail(const std::vector<KQContactHelperPtr>& contacts, QString* why = nullptr);
    // The file the cards of a share go into: the contact's name, or "Contacts", in the cache.
    static QString shareFilePath(const std::vector<KQContactHelperPtr>& contacts);

    // The cards of the contacts with all their fields (loaded first), as one vCard file.
    static QByteArray vCardDataForContacts(const std::vector<KQContactHelperPtr>& contacts);
    // Each contact's info text followed by an empty line.
    static QString textForContacts(const std::vector<KQContactHelperPtr>& contacts);
    // Clipboard contents: text/vcard (and text/x-vcard) with the cards, plain text with the cards.
    static std::unique_ptr<QMimeData> vCardMimeData(const std::vector<KQContactHelperPtr>& contacts);
    static std::unique_ptr<QMimeData> textMimeData(const std::vector<KQContactHelperPtr>& contacts);
    static void copyAsVCard(const std::vector<KQContactHelperPtr>& contacts);
    static void copyAsText(const std::vector<KQContactHelperPtr>& contacts);
};
