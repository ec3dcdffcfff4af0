#pragma once
// A large XML part written from a tree with holes: the tree is edited as usual, each place where
// a long run of elements belongs is marked with a comment, and the serialised tree is split at the
// marks. The pieces are then written in order with the generated elements between them, deflated
// while they are written (see KQDeflateStream).

#include "exchange/packages/KQDeflateStream.h"

#include <QByteArray>
#include <memory>
#include <pugixml.hpp>
#include <vector>

class KQStreamedXmlPart
{
public:
    // Adds the mark comment as the last child of parent.
    static void mark(pugi::xml_node parent, const char* name);

    // Serialises document pretty-printed (with the declaration) and splits it at the marks, in
    // that order; writes the first piece. False when a mark is missing.
    bool start(const pugi::xml_document& document, const std::vector<const char*>& marks);
    // Writes the piece that follows the next mark.
    void nextPiece();
    QByteArray& buffer() { return m_stream->buffer(); }
    void commit() { m_stream->commit(); }
    // Writes what is left and answers the deflated part.
    KQDeflatedData finish();
    bool started() const { return m_stream != nullptr; }

private:
    std::unique_ptr<KQDeflateStream> m_stream;
    std::vector<QByteArray> m_pieces;
    size_t m_next = 0;
};
