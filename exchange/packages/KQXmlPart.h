#pragma once
// Small XML parts of a package, edited as trees: loading one from the cache folder and saving it
// back pretty-printed with the declaration the package formats use.

#include <QString>
#include <pugixml.hpp>

class KQXmlPart
{
public:
    // False (and an empty document) when the part is missing or not well-formed.
    static bool load(pugi::xml_document& document, const QString& path);
    // standalone adds standalone="yes" to the declaration.
    static bool save(pugi::xml_document& document, const QString& path, bool standalone);
    // The child at index among the element's element children; empty when there is none.
    static pugi::xml_node elementAt(pugi::xml_node parent, int index);
    static pugi::xml_node firstElement(pugi::xml_node parent, const char* name);
    // The first element with that name anywhere below node, node included.
    static pugi::xml_node findElement(pugi::xml_node node, const char* name);
};
