#include "exchange/packages/KQXmlPart.h"

#include <QFile>
#include <QSaveFile>
#include <sstream>
#include <string_view>

bool KQXmlPart::load(pugi::xml_document& document, const QString& path)
{
    document.reset();
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return false;
    const QByteArray bytes = file.readAll();
    return document.load_buffer(bytes.constData(), static_cast<size_t>(bytes.size()), pugi::parse_default,
                                pugi::encoding_utf8);
}

bool KQXmlPart::save(pugi::xml_document& document, const QString& path, bool standalone)
{
    for (pugi::xml_node node = document.first_child(); node;) {
        const pugi::xml_node next = node.next_sibling();
        if (node.type() == pugi::node_declaration)
            document.remove_child(node);
        node = next;
    }
    pugi::xml_node declaration = document.prepend_child(pugi::node_declaration);
    declaration.append_attribute("version") = "1.0";
    declaration.append_attribute("encoding") = "UTF-8";
    if (standalone)
        declaration.append_attribute("standalone") = "yes";
    std::ostringstream text;
    document.save(text, "  ", pugi::format_default, pugi::encoding_utf8);
    const std::string bytes = text.str();
    QSaveFile file(path);
    return file.open(QIODevice::WriteOnly) &&
           file.write(bytes.data(), static_cast<qint64>(bytes.size())) == static_cast<qint64>(bytes.size()) &&
           file.flush() && file.commit();
}

pugi::xml_node KQXmlPart::elementAt(pugi::xml_node parent, int index)
{
    int i = 0;
    for (pugi::xml_node child = parent.first_child(); child; child = child.next_sibling()) {
        if (child.type() != pugi::node_element)
            continue;
        if (i++ == index)
            return child;
    }
    return {};
}

pugi::xml_node KQXmlPart::firstElement(pugi::xml_node parent, const char* name)
{
    return parent.child(name);
}

pugi::xml_node KQXmlPart::findElement(pugi::xml_node node, const char* name)
{
    if (!node)
        return {};
    if (node.type() == pugi::node_element && std::string_view(node.name()) == name)
        return node;
    return node.find_node([name](pugi::xml_node n) { return std::string_view(n.name()) == name; });
}
