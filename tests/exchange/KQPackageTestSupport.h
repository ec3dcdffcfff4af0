#pragma once
// Helpers of the package and page export tests: contacts whose texts are hard on writers, the
// table the engine expects a writer to show, and python3 readers that give back a written file's
// cells as JSON.

#include "KQExchangeTestSupport.h"
#include "exchange/KQContactFormat.h"
#include "exchange/KQContactSerialization.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QProcess>
#include <QStandardPaths>

namespace packagetest {

// Contact i: the generated contact of the exchange tests with names and notes holding markup
// characters, accents, CJK and emoji; every fourth contact has empty fields (no phones, no job,
// no note).
inline KQContactHelperPtr hardContact(int i)
{
    CNMutableContactPtr c = exchangetest::generatedContact(i, false);
    static const char* given[] = {"Ann & <Bob>", "Zoë \"Q\" O'Hara", "李小龍", "Émile 😀", "Ω <b>bold</b>"};
    c->setGivenName(QString::fromUtf8(given[i % 5]) + QString::number(i));
    c->setNote(QStringLiteral("<note> & \"double\" 'single' ") + QString::fromUtf8("日本語 🎉 ") + QString::number(i));
    if (i % 4 == 3) {
        c->setPhoneNumbers({});
        c->setJobTitle(QString());
        c->setNote(QString());
        c->setFamilyName(QString());
    }
    return KQContactHelper::create(c, true);
}

inline KQContactHelperList hardContacts(int count)
{
    KQContactHelperList records;
    for (int i = 0; i < count; ++i)
        records.push_back(hardContact(i));
    return records;
}

// The keys an export of these contacts writes with the default options (valid fields, merged
// addresses).
inline QStringList defaultKeys(const KQContactHelperList& contacts)
{
    return KQExportKeys::availablePropertyKeys(contacts, false, true);
}

// The header and rows the tabular engine hands to a writer.
inline std::vector<QStringList> expectedTable(qint32 type, const KQContactHelperList& contacts, const QStringList& keys)
{
    auto engine = KQContactSerialization::contactSerializationWithFormat(type, contacts, keys);
    std::vector<QStringList> table;
    QStringList header;
    for (const QString& key : keys)
        header += engine->colums(key);
    table.push_back(header);
    for (const KQContactHelperPtr& contact : contacts)
        table.push_back(engine->setupRowWithContact(*contact));
    return table;
}

inline QString python()
{
    return QStandardPaths::findExecutable(QStringLiteral("python3"));
}

// Runs script with arguments; the standard output, or "FAILED: " and the standard error.
inline QString runPython(const QString& script, const QStringList& arguments)
{
    QProcess process;
    process.start(python(), QStringList{QStringLiteral("-c"), script} + arguments);
    if (!process.waitForFinished(300000) || process.exitStatus() != QProcess::NormalExit || process.exitCode() != 0)
        return QStringLiteral("FAILED: ") + QString::fromUtf8(process.readAllStandardError());
    return QString::fromUtf8(process.readAllStandardOutput());
}

inline std::vector<QStringList> rowsFromJson(const QJsonArray& array)
{
    std::vector<QStringList> rows;
    for (const QJsonValue& row : array) {
        QStringList cells;
        for (const QJsonValue& cell : row.toArray())
            cells.append(cell.toString());
        rows.push_back(cells);
    }
    return rows;
}

// Checks the archive with zipfile's own test and refuses names that would leave a folder; prints
// the names. Used as the first lines of every package reader below.
inline const QString kZipCheck = QStringLiteral(R"(
import sys, json, zipfile, xml.etree.ElementTree as E
z = zipfile.ZipFile(sys.argv[1])
bad = z.testzip()
assert bad is None, 'bad entry %s' % bad
for n in z.namelist():
    assert not n.startswith('/') and '\\' not in n and '..' not in n.split('/') and ':' not in n, n
    if n.endswith('.xml') or n.endswith('.rels') or n.endswith('.plist'):
        E.fromstring(z.read(n))
)");

// {"sheets": [...], "rows": [[...]], "count": n, "unique": n, "dimension": ref}
inline const QString kXlsxReader = kZipCheck + QStringLiteral(R"(
m = '{http://schemas.openxmlformats.org/spreadsheetml/2006/main}'
sst = E.fromstring(z.read('xl/sharedStrings.xml'))
strings = [''.join(t.text or '' for t in si.iter(m + 't')) for si in sst.findall(m + 'si')]
sheet = E.fromstring(z.read('xl/worksheets/sheet1.xml'))
rows, refs = [], []
for r in sheet.find(m + 'sheetData').findall(m + 'row'):
    rows.append([strings[int(c.find(m + 'v').text)] for c in r.findall(m + 'c')])
    refs.append([c.get('r') for c in r.findall(m + 'c')])
names = [s.get('name') for s in E.fromstring(z.read('xl/workbook.xml')).iter(m + 'sheet')]
print(json.dumps({'sheets': names, 'rows': rows, 'refs': refs, 'count': sst.get('count'),
                  'unique': sst.get('uniqueCount'), 'strings': len(strings),
                  'dimension': sheet.find(m + 'dimension').get('ref'), 'names': z.namelist()}))
)");

inline const QString kDocxReader = kZipCheck + QStringLiteral(R"(
w = '{http://schemas.openxmlformats.org/wordprocessingml/2006/main}'
doc = E.fromstring(z.read('word/document.xml'))
rows = [[''.join(t.text or '' for t in tc.iter(w + 't')) for tc in tr.findall(w + 'tc')] for tr in doc.iter(w + 'tr')]
types = E.fromstring(z.read('[Content_Types].xml'))
kinds = [c.get('Extension') or c.get('PartName') for c in types]
print(json.dumps({'rows': rows, 'types': kinds, 'names': z.namelist()}))
)");

// The table at the fixed positions of Pages (argv[2] "pages") or Numbers ("numbers") documents.
inline const QString kTableReader = kZipCheck + QStringLiteral(R"(
sf = '{http://developer.apple.com/namespaces/sf}'
sfa = '{http://developer.apple.com/namespaces/sfa}'
sl = '{http://developer.apple.com/namespaces/sl}'
root = E.fromstring(z.read('index.xml'))
pages = sys.argv[2] == 'pages'
node = root
for i in ((10, 1, 0, 0, 2) if pages else (2, 0, 0, 1, 1, 1, 0, 2)):
    node = list(node)[i]
grid = node.find(sf + 'grid')
cols = int(grid.get(sf + 'numcols'))
source = list(grid)[4]
cells = source.findall(sf + 't')
width = cols if pages else int(sys.argv[3])
rows = [[c.find(sf + 'ct').get(sfa + 's') for c in cells[i:i + width]] for i in range(0, len(cells), width)]
firsts = [cells[i].get(sf + 'ct') for i in range(0, len(cells), width)]
info = {'rows': rows, 'firsts': firsts, 'numcols': cols, 'numrows': grid.get(sf + 'numrows'),
        'ocnt': grid.get(sf + 'ocnt'), 'source': source.tag, 'rowCount': list(grid)[2].get(sf + 'count'),
        'gridRows': len(list(grid)[2]), 'gridColumns': len(list(grid)[0]), 'names': z.namelist()}
if pages:
    p = list(root)[3]
    info['page'] = [p.get(sl + 'page-width'), p.get(sl + 'page-height'), p.get(sl + 'page-scale')]
print(json.dumps(info))
)");

inline const QString kHtmlReader = QStringLiteral(R"(
import sys, json, xml.etree.ElementTree as E
x = '{http://www.w3.org/1999/xhtml}'
root = E.parse(sys.argv[1]).getroot()
rows = [[td.text or '' for td in tr.findall(x + 'td')] for tr in root.iter(x + 'tr')]
print(json.dumps({'rows': rows, 'title': root.find(x + 'head').find(x + 'title').text}))
)");

// The reader's JSON answer for file; an empty object (and a test failure) when it failed.
inline QJsonObject readWith(const QString& script, const QStringList& arguments)
{
    const QString out = runPython(script, arguments);
    if (out.startsWith(QStringLiteral("FAILED")))
        ADD_FAILURE() << out.toStdString();
    return QJsonDocument::fromJson(out.toUtf8()).object();
}

// What a table cell turns into in the formats that keep text in attributes or paragraphs: the
// same text with its line breaks.
inline QString collapsed(const QString& text)
{
    return text.simplified();
}

} // namespace packagetest
