#include "exchange/packages/KQStreamedXmlPart.h"

#include <sstream>

void KQStreamedXmlPart::mark(pugi::xml_node parent, const char* name)
{
    parent.append_child(pugi::node_comment).set_value(name);
}

bool KQStreamedXmlPart::start(const pugi::xml_document& document, const std::vector<const char*>& marks)
{
    std::ostringstream text;
    document.save(text, "  ", pugi::format_default, pugi::encoding_utf8);
    const std::string all = text.str();
    m_pieces.clear();
    size_t from = 0;
    for (const char* name : marks) {
        const std::string comment = std::string("<!--") + name + "-->";
        const size_t at = all.find(comment, from);
        if (at == std::string::npos)
            return false;
        // The mark's own line (indentation and line break) goes with it.
        size_t lineStart = all.rfind('\n', at);
        lineStart = lineStart == std::string::npos || lineStart < from ? at : lineStart + 1;
        size_t lineEnd = at + comment.size();
        if (lineEnd < all.size() && all[lineEnd] == '\n')
            ++lineEnd;
        m_pieces.emplace_back(all.data() + from, static_cast<qsizetype>(lineStart - from));
        from = lineEnd;
    }
    m_pieces.emplace_back(all.data() + from, static_cast<qsizetype>(all.size() - from));
    m_stream = std::make_unique<KQDeflateStream>();
    m_next = 0;
    nextPiece();
    return true;
}

void KQStreamedXmlPart::nextPiece()
{
    if (m_stream && m_next < m_pieces.size())
        m_stream->write(m_pieces[m_next++]);
}

KQDeflatedData KQStreamedXmlPart::finish()
{
    if (!m_stream)
        return {};
    while (m_next < m_pieces.size())
        nextPiece();
    KQDeflatedData data = m_stream->finish();
    m_stream.reset();
    return data;
}
