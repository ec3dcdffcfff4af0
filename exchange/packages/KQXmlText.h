#pragma once
// Text made safe for XML documents that are written as text rather than through a tree: the five
// markup characters become entities, and characters XML 1.0 cannot hold at all (control
// characters other than tab, line feed and carriage return, unpaired surrogates, U+FFFE and
// U+FFFF) are left out, so that a contact's odd note never makes a whole document unreadable.

#include <QByteArray>
#include <QString>

class KQXmlText
{
public:
    // Appends text to out as escaped UTF-8. For an attribute value, line breaks and tabs are
    // written as character references so that they survive the parser's normalisation.
    static void appendEscaped(QByteArray& out, QStringView text, bool attribute = false);
    static QByteArray escaped(QStringView text);
    // The text without the characters XML cannot hold (for values handed to an XML tree).
    static QString xmlSafe(const QString& text);
};
