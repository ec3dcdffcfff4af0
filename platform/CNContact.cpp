#include "platform/CNContact.h"

#include "platform/CNContactValueCodec.h"
#include "platform/CNMutableContact.h"
#include "platform/CNUuidText.h"

#include <QRandomGenerator>
#include <QtEndian>
#include <algorithm>
#include <array>
#include <atomic>
#include <cstring>
#include <mutex>
#include <new>
#include <type_traits>
#include <unordered_set>
#include <utility>

namespace {

// Version 4 UUIDs without a system call for each one: a xoshiro256** generator per thread,
// seeded on its first use from the system's random source. Plain thread-local data (no
// constructor), so that using it costs no initialisation check beyond the seeded flag.
struct UuidState
{
    quint64 words[4];
    bool seeded;
};

thread_local UuidState t_uuidState{};

quint64 rotl(quint64 x, int k)
{
    return (x << k) | (x >> (64 - k));
}

quint64 nextRandom(quint64* s)
{
    const quint64 result = rotl(s[1] * 5, 7) * 9;
    const quint64 t = s[1] << 17;
    s[2] ^= s[0];
    s[3] ^= s[1];
    s[1] ^= s[2];
    s[0] ^= s[3];
    s[2] ^= t;
    s[3] = rotl(s[3], 45);
    return result;
}

// The two halves of a version 4 UUID, most significant byte first in each.
void makeUuidWords(quint64& high, quint64& low)
{
    UuidState& state = t_uuidState;
    if (!state.seeded) {
        for (quint64& word : state.words)
            word = QRandomGenerator::system()->generate64();
        state.seeded = true;
    }
    high = (nextRandom(state.words) & ~0xF000ULL) | 0x4000ULL;
    low = (nextRandom(state.words) & ~(0xC0ULL << 56)) | (0x80ULL << 56);
}

struct LabelHash
{
    size_t operator()(const QString& text) const { return qHash(text); }
};

quint64 wordFromBytes(const unsigned char* b)
{
    return qFromBigEndian<quint64>(b);
}

void wordToBytes(quint64 word, unsigned char* out)
{
    qToBigEndian(word, out);
}

} // namespace

QString CNMakeIdentifier()
{
    quint64 high = 0;
    quint64 low = 0;
    makeUuidWords(high, low);
    unsigned char bytes[16];
    wordToBytes(high, bytes);
    wordToBytes(low, bytes + 8);
    return CNUuidTextFromBytes(bytes);
}

// The text of an identifier that is no canonical UUID, shared by its copies.
struct CNEntryIdentifier::Text
{
    explicit Text(const QString& t) : text(t) {}
    std::atomic<int> references{1};
    QString text;
};

CNEntryIdentifier::CNEntryIdentifier()
{
    // The version bits keep the first half from ever being the text marker.
    makeUuidWords(m_high, m_low);
}

CNEntryIdentifier::CNEntryIdentifier(const QString& text)
{
    unsigned char bytes[16];
    if (CNUuidBytesFromText(text, bytes) && wordFromBytes(bytes) != TextMarker) {
        m_high = wordFromBytes(bytes);
        m_low = wordFromBytes(bytes + 8);
    } else if (!text.isEmpty()) {
        m_high = TextMarker;
        m_low = reinterpret_cast<quintptr>(new Text(text));
    }
}

CNEntryIdentifier CNEntryIdentifier::fromBytes(const unsigned char* bytes)
{
    if (wordFromBytes(bytes) == TextMarker)
        return CNEntryIdentifier(CNUuidTextFromBytes(bytes));
    return CNEntryIdentifier(wordFromBytes(bytes), wordFromBytes(bytes + 8));
}

CNEntryIdentifier::CNEntryIdentifier(const CNEntryIdentifier& other) : m_high(other.m_high), m_low(other.m_low)
{
    if (isText())
        reinterpret_cast<Text*>(m_low)->references.fetch_add(1, std::memory_order_relaxed);
}

CNEntryIdentifier& CNEntryIdentifier::operator=(const CNEntryIdentifier& other)
{
    if (this != &other) {
        CNEntryIdentifier copy(other);
        *this = std::move(copy);
    }
    return *this;
}

CNEntryIdentifier& CNEntryIdentifier::operator=(CNEntryIdentifier&& other) noexcept
{
    if (this != &other) {
        release();
        m_high = std::exchange(other.m_high, 0);
        m_low = std::exchange(other.m_low, 0);
    }
    return *this;
}

CNEntryIdentifier::~CNEntryIdentifier()
{
    release();
}

void CNEntryIdentifier::release()
{
    if (!isText())
        return;
    auto* shared = reinterpret_cast<Text*>(m_low);
    if (shared->references.fetch_sub(1, std::memory_order_acq_rel) == 1)
        delete shared;
    m_high = m_low = 0;
}

const QString& CNEntryIdentifier::sharedText() const
{
    return reinterpret_cast<const Text*>(m_low)->text;
}

bool CNEntryIdentifier::bytes(unsigned char* out) const
{
    if (isText() || (m_high == 0 && m_low == 0))
        return false;
    wordToBytes(m_high, out);
    wordToBytes(m_low, out + 8);
    return true;
}

QString CNEntryIdentifier::text() const
{
    if (isText())
        return sharedText();
    unsigned char packed[16];
    if (!bytes(packed))
        return {};
    return CNUuidTextFromBytes(packed);
}

const QString& CNLabelText::empty()
{
    // Never destroyed: workers may still read labels while the program exits.
    static const QString* const text = new QString;
    return *text;
}

const QString* CNLabelText::intern(const QString& text)
{
    if (text.isEmpty())
        return nullptr;
    // A text that shares the buffer of a kept label is that label: kept labels live as long as
    // the program, so their buffers are never reused. Most labels are copies of the constants.
    constexpr int CacheSize = 8;
    thread_local std::array<const QString*, CacheSize> recent{};
    thread_local int next = 0;
    for (const QString* kept : recent) {
        if (kept && kept->constData() == text.constData() && kept->size() == text.size())
            return kept;
    }
    // Never destroyed, for the same reason as empty().
    static auto* const mutex = new std::mutex;
    static auto* const labels = new std::unordered_set<QString, LabelHash>;
    const QString* kept;
    {
        std::lock_guard lock(*mutex);
        kept = &*labels->insert(text).first;
    }
    recent[static_cast<size_t>(next)] = kept;
    next = (next + 1) % CacheSize;
    return kept;
}

// The count of copies sharing the block, the length, then the UTF-8 bytes.
struct CNCompactText::Block
{
    std::atomic<int> references{1};
    int size = 0;

    const char* bytes() const { return reinterpret_cast<const char*>(this + 1); }
    char* bytes() { return reinterpret_cast<char*>(this + 1); }
};

CNCompactText::CNCompactText(const QString& text)
{
    if (text.isEmpty())
        return;
    const auto make = [this](qsizetype size) {
        void* memory = ::operator new(sizeof(Block) + static_cast<size_t>(size));
        m_block = new (memory) Block;
        m_block->size = static_cast<int>(size);
        return m_block->bytes();
    };
    // Most such texts are ASCII: copied without a UTF-8 copy in between.
    const auto* units = reinterpret_cast<const char16_t*>(text.constData());
    const qsizetype n = text.size();
    if (std::all_of(units, units + n, [](char16_t u) { return u < 0x80; })) {
        char* out = make(n);
        for (qsizetype i = 0; i < n; ++i)
            out[i] = static_cast<char>(units[i]);
        return;
    }
    const QByteArray utf8 = text.toUtf8();
    std::memcpy(make(utf8.size()), utf8.constData(), static_cast<size_t>(utf8.size()));
}

CNCompactText::CNCompactText(const CNCompactText& other) : m_block(other.m_block)
{
    if (m_block)
        m_block->references.fetch_add(1, std::memory_order_relaxed);
}

CNCompactText& CNCompactText::operator=(const CNCompactText& other)
{
    if (this != &other) {
        CNCompactText copy(other);
        *this = std::move(copy);
    }
    return *this;
}

CNCompactText& CNCompactText::operator=(CNCompactText&& other) noexcept
{
    if (this != &other) {
        CNCompactText old(std::move(*this));
        m_block = std::exchange(other.m_block, nullptr);
    }
    return *this;
}

CNCompactText::~CNCompactText()
{
    if (m_block && m_block->references.fetch_sub(1, std::memory_order_acq_rel) == 1) {
        m_block->~Block();
        ::operator delete(m_block);
    }
}

QString CNCompactText::toString() const
{
    return m_block ? QString::fromUtf8(m_block->bytes(), m_block->size) : QString();
}

bool operator==(const CNCompactText& a, const CNCompactText& b)
{
    if (a.m_block == b.m_block)
        return true;
    if (!a.m_block || !b.m_block || a.m_block->size != b.m_block->size)
        return false;
    return std::memcmp(a.m_block->bytes(), b.m_block->bytes(), static_cast<size_t>(a.m_block->size)) == 0;
}

CNContactRareFields& CNContactRareBlock::edit()
{
    if (!m_block)
        m_block = new Shared;
    else
        m_block.detach();
    return m_block->fields;
}

const CNContactRareFields& CNContactRareBlock::empty()
{
    // Never destroyed: workers may still read contacts while the program exits.
    static const CNContactRareFields* const fields = new CNContactRareFields;
    return *fields;
}

CNKeySet CNKeySetFromKeys(const QStringList& keys)
{
    CNKeySet set;
    for (const QString& key : keys) {
        if (const auto id = CNKeyIdForName(key))
            set.set(static_cast<size_t>(*id));
    }
    set.set(static_cast<size_t>(CNKeyId::Identifier));
    return set;
}

CNKeySet CNAllKeysSet()
{
    CNKeySet set;
    set.set();
    return set;
}

namespace {
// What a field reads as when the contact was not fetched with it. Trivially empty values, so their
// destruction at exit leaves nothing a late reader could trip over.
template <typename T> const T kNotFetched{};
} // namespace

CNContact::CNContact() : m_available(CNAllKeysSet())
{
    d.identifier = CNMakeIdentifier();
}

CNContact::CNContact(CNContactData data, CNKeySet availableKeys) : d(std::move(data)), m_available(availableKeys)
{
    m_available.set(static_cast<size_t>(CNKeyId::Identifier));
}

CNContact::CNContact(InPlace, CNKeySet availableKeys) : m_available(availableKeys) {}

CNContact::~CNContact()
{
    dropCodedLists();
}

CNContact::CNContact(const CNContact& other) : KQCoding(other), d(other.data()), m_available(other.m_available)
{
    m_lazyImage = other.m_lazyImage;
}

CNContact& CNContact::operator=(const CNContact& other)
{
    if (this != &other) {
        dropCodedLists();
        d = other.data();
        m_available = other.m_available;
        m_lazyImage = other.m_lazyImage;
    }
    return *this;
}

bool CNContact::checkKeys(std::initializer_list<CNKeyId> keys, CNError* error) const
{
    for (const CNKeyId key : keys) {
        if (!isKeyAvailable(key))
            return CNReportError(error, CNError::make(CNError::PropertyNotFetched,
                                                      QStringLiteral("A property was not requested when contact "
                                                                     "was fetched (%1).")
                                                          .arg(CNKeyName(key))));
    }
    return true;
}

#define KQ_CHECKED_GETTER(type, name, key)                                                                             \
    type CNContact::name() const                                                                                       \
    {                                                                                                                  \
        return isKeyAvailable(CNKeyId::key) ? d.name : kNotFetched<std::remove_cvref_t<type>>;                         \
    }
#define KQ_CHECKED_CODED_GETTER(type, name, key)                                                                       \
    type CNContact::name() const                                                                                       \
    {                                                                                                                  \
        if (!isKeyAvailable(CNKeyId::key))                                                                             \
            return kNotFetched<std::remove_cvref_t<type>>;                                                             \
        decodeCodedLists(codedListBit(CNCodedList::key));                                                              \
        return d.name;                                                                                                 \
    }
#define KQ_CHECKED_RARE_GETTER(type, name, key)                                                                        \
    type CNContact::name() const                                                                                       \
    {                                                                                                                  \
        return isKeyAvailable(CNKeyId::key) ? d.rare().name : kNotFetched<std::remove_cvref_t<type>>;                  \
    }

KQ_CHECKED_GETTER(CNContactType, contactType, Type)
KQ_CHECKED_RARE_GETTER(const QString&, namePrefix, NamePrefix)
KQ_CHECKED_GETTER(const QString&, givenName, GivenName)
KQ_CHECKED_RARE_GETTER(const QString&, middleName, MiddleName)
KQ_CHECKED_GETTER(const QString&, familyName, FamilyName)
KQ_CHECKED_RARE_GETTER(const QString&, previousFamilyName, PreviousFamilyName)
KQ_CHECKED_RARE_GETTER(const QString&, nameSuffix, NameSuffix)
KQ_CHECKED_RARE_GETTER(const QString&, nickname, Nickname)
KQ_CHECKED_GETTER(const QString&, organizationName, OrganizationName)
KQ_CHECKED_GETTER(const QString&, departmentName, DepartmentName)
KQ_CHECKED_GETTER(const QString&, jobTitle, JobTitle)
KQ_CHECKED_RARE_GETTER(const QString&, phoneticGivenName, PhoneticGivenName)
KQ_CHECKED_RARE_GETTER(const QString&, phoneticMiddleName, PhoneticMiddleName)
KQ_CHECKED_RARE_GETTER(const QString&, phoneticFamilyName, PhoneticFamilyName)
KQ_CHECKED_RARE_GETTER(const QString&, phoneticOrganizationName, PhoneticOrganizationName)
KQ_CHECKED_RARE_GETTER(const std::optional<CNDateComponents>&, birthday, Birthday)
KQ_CHECKED_RARE_GETTER(const std::optional<CNDateComponents>&, nonGregorianBirthday, NonGregorianBirthday)
KQ_CHECKED_GETTER(const QString&, note, Note)
KQ_CHECKED_GETTER(const QByteArray&, thumbnailImageData, ThumbnailImageData)
KQ_CHECKED_CODED_GETTER(const CNPhoneNumberList&, phoneNumbers, PhoneNumbers)
KQ_CHECKED_CODED_GETTER(const CNStringValueList&, emailAddresses, EmailAddresses)
KQ_CHECKED_CODED_GETTER(const CNPostalAddressList&, postalAddresses, PostalAddresses)
KQ_CHECKED_RARE_GETTER(const CNDateList&, dates, Dates)
KQ_CHECKED_RARE_GETTER(const CNStringValueList&, urlAddresses, UrlAddresses)
KQ_CHECKED_RARE_GETTER(const CNRelationList&, contactRelations, Relations)
KQ_CHECKED_RARE_GETTER(const CNSocialProfileList&, socialProfiles, SocialProfiles)
KQ_CHECKED_RARE_GETTER(const CNInstantMessageList&, instantMessageAddresses, InstantMessageAddresses)

#undef KQ_CHECKED_GETTER
#undef KQ_CHECKED_CODED_GETTER
#undef KQ_CHECKED_RARE_GETTER

struct CNContact::LazyImage : QSharedData
{
    std::function<QByteArray()> load;
    std::once_flag once;
    QByteArray bytes;

    const QByteArray& get()
    {
        std::call_once(once, [this] {
            bytes = load();
            load = nullptr;
        });
        return bytes;
    }
};

const QByteArray& CNContact::imageData() const
{
    return isKeyAvailable(CNKeyId::ImageData) ? loadedImageData() : kNotFetched<QByteArray>;
}

const QByteArray& CNContact::loadedImageData() const
{
    return m_lazyImage ? m_lazyImage->get() : d.imageData;
}

void CNContact::setImageLoader(std::function<QByteArray()> load)
{
    d.imageData.clear();
    m_lazyImage = new LazyImage;
    m_lazyImage->load = std::move(load);
}

void CNContact::clearForRefill(CNKeySet availableKeys)
{
    dropCodedLists();
    d = CNContactData{};
    m_lazyImage.reset();
    m_available = availableKeys;
}

// The coded fields of one contact in one block: where each field ends, then their bytes.
struct CNContact::CodedBytes
{
    std::array<quint32, CNCodedListCount> ends{};

    const char* bytes() const { return reinterpret_cast<const char*>(this + 1); }
    char* bytes() { return reinterpret_cast<char*>(this + 1); }
    QByteArrayView field(CNCodedList list) const
    {
        const auto at = static_cast<size_t>(list);
        const quint32 begin = at == 0 ? 0 : ends[at - 1];
        return {bytes() + begin, static_cast<qsizetype>(ends[at] - begin)};
    }
};

namespace {

// Decoding takes one of these locks, chosen by the contact's address: contacts decoded on
// different threads seldom wait for each other. Never destroyed: workers may read contacts while
// the program exits.
std::mutex& codedListsLock(const void* contact)
{
    constexpr size_t Count = 64;
    static auto* const locks = new std::mutex[Count];
    return locks[(reinterpret_cast<quintptr>(contact) / alignof(std::max_align_t)) % Count];
}

} // namespace

bool CNContact::hasValues(CNKeyId key) const
{
    if (!isKeyAvailable(key))
        return false;
    const auto waitingOr = [this](CNCodedList list, const auto& field) {
        // A field waits coded only when it has entries; one that does not wait may be read.
        return (m_codedListsWaiting.load(std::memory_order_acquire) & codedListBit(list)) != 0 || !field.empty();
    };
    switch (key) {
    case CNKeyId::PhoneNumbers:
        return waitingOr(CNCodedList::PhoneNumbers, d.phoneNumbers);
    case CNKeyId::EmailAddresses:
        return waitingOr(CNCodedList::EmailAddresses, d.emailAddresses);
    case CNKeyId::PostalAddresses:
        return waitingOr(CNCodedList::PostalAddresses, d.postalAddresses);
    case CNKeyId::Dates:
        return !d.rare().dates.empty();
    case CNKeyId::UrlAddresses:
        return !d.rare().urlAddresses.empty();
    case CNKeyId::Relations:
        return !d.rare().contactRelations.empty();
    case CNKeyId::SocialProfiles:
        return !d.rare().socialProfiles.empty();
    case CNKeyId::InstantMessageAddresses:
        return !d.rare().instantMessageAddresses.empty();
    default:
        return false;
    }
}

void CNContact::setCodedLists(const CNCodedLists& coded)
{
    dropCodedLists();
    quint8 waiting = 0;
    size_t total = 0;
    for (size_t i = 0; i < coded.size(); ++i) {
        if (!coded[i].isEmpty())
            waiting |= static_cast<quint8>(1U << i);
        total += static_cast<size_t>(coded[i].size());
    }
    if (waiting == 0)
        return;
    void* memory = ::operator new(sizeof(CodedBytes) + total);
    auto* block = new (memory) CodedBytes;
    quint32 end = 0;
    for (size_t i = 0; i < coded.size(); ++i) {
        if (!coded[i].isEmpty())
            std::memcpy(block->bytes() + end, coded[i].data(), static_cast<size_t>(coded[i].size()));
        end += static_cast<quint32>(coded[i].size());
        block->ends[i] = end;
    }
    m_codedLists = block;
    m_codedListsWaiting.store(waiting, std::memory_order_release);
}

void CNContact::decodeWaitingLists(quint8 lists) const
{
    std::lock_guard lock(codedListsLock(this));
    const quint8 waiting = m_codedListsWaiting.load(std::memory_order_relaxed);
    if (!(waiting & lists))
        return;
    // The contact was made writable; only the fields still waiting are written, and no reader
    // looks at them before the bit below says they are decoded.
    CNContactData& data = const_cast<CNContact*>(this)->d;
    const auto decodeInto = [&](CNCodedList list, auto& field) {
        if (!(waiting & lists & codedListBit(list)))
            return;
        const QByteArrayView bytes = m_codedLists->field(list);
        // The store checked the bytes before it handed them over.
        [[maybe_unused]] const bool decoded = CNContactValueCodec::decode(bytes.data(), bytes.size(), field);
        Q_ASSERT(decoded);
    };
    decodeInto(CNCodedList::PhoneNumbers, data.phoneNumbers);
    decodeInto(CNCodedList::EmailAddresses, data.emailAddresses);
    decodeInto(CNCodedList::PostalAddresses, data.postalAddresses);
    const quint8 left = waiting & static_cast<quint8>(~lists);
    if (left == 0) {
        m_codedLists->~CodedBytes();
        ::operator delete(m_codedLists);
        m_codedLists = nullptr;
    }
    m_codedListsWaiting.store(left, std::memory_order_release);
}

void CNContact::codedListWasSet(CNCodedList list)
{
    const quint8 left = m_codedListsWaiting.load(std::memory_order_relaxed) & static_cast<quint8>(~codedListBit(list));
    if (left == 0)
        dropCodedLists();
    else
        m_codedListsWaiting.store(left, std::memory_order_relaxed);
}

void CNContact::dropCodedLists()
{
    if (m_codedLists) {
        m_codedLists->~CodedBytes();
        ::operator delete(m_codedLists);
        m_codedLists = nullptr;
    }
    m_codedListsWaiting.store(0, std::memory_order_relaxed);
}

void CNContact::imageDataWasSet()
{
    m_lazyImage.reset();
}

bool CNContact::imageDataAvailable() const
{
    return isKeyAvailable(CNKeyId::ImageDataAvailable) && (m_lazyImage || !d.imageData.isEmpty());
}

bool operator==(const CNContact& a, const CNContact& b)
{
    if (a.m_available != b.m_available)
        return false;
    a.decodeCodedLists(CNContact::AllCodedLists);
    b.decodeCodedLists(CNContact::AllCodedLists);
    if (!a.m_lazyImage && !b.m_lazyImage)
        return a.d == b.d;
    if (a.loadedImageData() != b.loadedImageData())
        return false;
    CNContactData x = a.d;
    CNContactData y = b.d;
    x.imageData = y.imageData = QByteArray();
    return x == y;
}

bool CNContact::isKeyAvailable(const QString& key) const
{
    const auto id = CNKeyIdForName(key);
    return id && isKeyAvailable(*id);
}

bool CNContact::areKeysAvailable(const QStringList& keys) const
{
    for (const QString& key : keys) {
        if (!isKeyAvailable(key))
            return false;
    }
    return true;
}

std::shared_ptr<CNContact> CNContact::copy() const
{
    auto contact = std::make_shared<CNContact>(data(), m_available);
    contact->m_lazyImage = m_lazyImage;
    return contact;
}

std::shared_ptr<CNMutableContact> CNContact::mutableCopy() const
{
    auto contact = std::make_shared<CNMutableContact>(data(), m_available);
    static_cast<CNContact&>(*contact).m_lazyImage = m_lazyImage;
    return contact;
}

void CNMutableContact::setImageData(const QByteArray& v)
{
    imageDataWasSet();
    set(CNKeyId::ImageData, d.imageData, v);
    m_available.set(static_cast<size_t>(CNKeyId::ImageDataAvailable));
}
