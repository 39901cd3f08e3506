// GLib headers name struct fields "signals", which Qt defines as a macro: include them first.
#include <gsf/gsf.h>
#include <gsf/gsf-infile-msole.h>
#include <gsf/gsf-infile.h>
#include <gsf/gsf-input-memory.h>
#include <gsf/gsf-input-stdio.h>
#include <gsf/gsf-outfile-msole.h>
#include <gsf/gsf-outfile.h>
#include <gsf/gsf-output-memory.h>
#include <gsf/gsf-utils.h>

#include "framework/compoundfile.h"

#include "framework/resourcemodule.h"
#include "framework/savefile.h"
#include "framework/resourcemodule.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QFileInfo>

#include <algorithm>
#include <memory>
#include <mutex>
#include <unordered_set>

namespace {

QString Tr(UINT id, const char* text)
{
    return LoadMessage(id, text);
}

// libgsf reads past much of what is wrong with a file: it logs a warning and leaves out the
// entries it could not make sense of. Saving such a file again would lose those entries, so
// every warning logged while this thread loads or saves counts as a failure. Messages logged
// outside a load or save, or by other threads, go on to GLib's default handler.
thread_local QStringList* t_gsfComplaints = nullptr;

void OnGsfMessage(const gchar* domain, GLogLevelFlags level, const gchar* message, gpointer)
{
    constexpr int serious = G_LOG_LEVEL_ERROR | G_LOG_LEVEL_CRITICAL | G_LOG_LEVEL_WARNING;
    if (t_gsfComplaints && (level & serious)) {
        t_gsfComplaints->append(QString::fromUtf8(message ? message : "?"));
        return;
    }
    g_log_default_handler(domain, level, message, nullptr);
}

class CGsfComplaints
{
public:
    CGsfComplaints() : m_outer(std::exchange(t_gsfComplaints, &m_messages)) {}
    ~CGsfComplaints() { t_gsfComplaints = m_outer; }
    CGsfComplaints(const CGsfComplaints&) = delete;
    CGsfComplaints& operator=(const CGsfComplaints&) = delete;

    bool Any() const { return !m_messages.isEmpty(); }
    const QString& First() const { return m_messages.first(); }

private:
    QStringList m_messages;
    QStringList* m_outer;
};

void EnsureGsf()
{
    static std::once_flag once;
    std::call_once(once, [] {
        gsf_init();
        const auto levels =
            GLogLevelFlags(G_LOG_LEVEL_MASK | G_LOG_FLAG_FATAL | G_LOG_FLAG_RECURSION);
        for (const char* domain : {"libgsf:msole", "libgsf", static_cast<const char*>(nullptr)})
            g_log_set_handler(domain, levels, OnGsfMessage, nullptr);
    });
}

struct GObjectUnref {
    void operator()(gpointer object) const
    {
        if (object)
            g_object_unref(object);
    }
};
template <typename T>
using GsfPtr = std::unique_ptr<T, GObjectUnref>;

QString TakeGError(GError*& gerror)
{
    QString text = gerror && gerror->message ? QString::fromUtf8(gerror->message) : QString();
    g_clear_error(&gerror);
    return text;
}

// A name read from a file: the format's limits, nothing more, so that odd but readable names of
// other programs survive a round trip.
bool IsUsableStoredName(const QString& name)
{
    return !name.isEmpty() && name.size() <= CStorage::MaxNameLength && name.isValidUtf16()
        && !name.contains(QChar(0));
}

// The largest stream we hand to the writer; the format's 32-bit sizes must not wrap.
constexpr qsizetype MaxStreamSize = 0x7FFFFFFF;

} // namespace

// ---------------------------------------------------------------------------------------------
// CStorage

CStorage::CStorage(const CStorage& other)
    : m_name(other.m_name), m_classId(other.m_classId), m_streams(other.m_streams),
      m_storages(other.m_storages)
{
    RebuildIndex();
}

CStorage& CStorage::operator=(const CStorage& other)
{
    if (this != &other) {
        CStorage copy(other);
        *this = std::move(copy);
    }
    return *this;
}

QString CStorage::IndexKey(const QString& name)
{
    QString key;
    key.reserve(name.size());
    for (char32_t c : name.toUcs4()) {
        const char32_t folded = QChar::toCaseFolded(c);
        if (QChar::requiresSurrogates(folded)) {
            key.append(QChar(QChar::highSurrogate(folded)));
            key.append(QChar(QChar::lowSurrogate(folded)));
        } else {
            key.append(QChar(char16_t(folded)));
        }
    }
    return key;
}

void CStorage::RebuildIndex()
{
    m_index.clear();
    m_index.reserve(qsizetype(m_streams.size() + m_storages.size()));
    for (auto it = m_streams.begin(); it != m_streams.end(); ++it)
        m_index.insert(IndexKey(it->first), Slot{it, {}, false});
    for (auto it = m_storages.begin(); it != m_storages.end(); ++it)
        m_index.insert(IndexKey(it->m_name), Slot{{}, it, true});
}

const CStorage::Slot* CStorage::Find(const QString& name) const
{
    auto it = m_index.constFind(IndexKey(name));
    return it == m_index.cend() ? nullptr : &*it;
}

CStorage::Stream* CStorage::FindStream(const QString& name)
{
    const Slot* slot = Find(name);
    return slot && !slot->isStorage ? &*slot->stream : nullptr;
}

const CStorage::Stream* CStorage::FindStream(const QString& name) const
{
    return const_cast<CStorage*>(this)->FindStream(name);
}

CStorage::Stream& CStorage::AddStream(const QString& name, QByteArray data)
{
    auto it = m_streams.emplace(m_streams.end(), name, std::move(data));
    m_index.insert(IndexKey(name), Slot{it, {}, false});
    return *it;
}

CStorage& CStorage::AddStorage(CStorage storage)
{
    const QString key = IndexKey(storage.m_name);
    auto it = m_storages.emplace(m_storages.end(), std::move(storage));
    m_index.insert(key, Slot{{}, it, true});
    return *it;
}

bool CStorage::IsValidName(const QString& name)
{
    if (!IsUsableStoredName(name))
        return false;
    for (QChar c : name) {
        if (c == u'/' || c == u'\\' || c == u':' || c == u'!')
            return false;
    }
    return true;
}

bool CStorage::HasStream(const QString& name) const
{
    return FindStream(name) != nullptr;
}

const QByteArray* CStorage::OpenStream(const QString& name) const
{
    const Stream* stream = FindStream(name);
    return stream ? &stream->second : nullptr;
}

std::optional<QByteArray> CStorage::ReadStream(const QString& name) const
{
    if (const Stream* stream = FindStream(name))
        return stream->second;
    return std::nullopt;
}

bool CStorage::WriteStream(const QString& name, const QByteArray& data)
{
    if (Stream* stream = FindStream(name)) {
        stream->second = data;
        return true;
    }
    if (!IsValidName(name) || HasStorage(name))
        return false;
    AddStream(name, data);
    return true;
}

bool CStorage::RemoveStream(const QString& name)
{
    auto slot = m_index.find(IndexKey(name));
    if (slot == m_index.end() || slot->isStorage)
        return false;
    m_streams.erase(slot->stream);
    m_index.erase(slot);
    return true;
}

QStringList CStorage::GetStreamNames() const
{
    QStringList names;
    names.reserve(qsizetype(m_streams.size()));
    for (const Stream& stream : m_streams)
        names.append(stream.first);
    return names;
}

bool CStorage::HasStorage(const QString& name) const
{
    return OpenStorage(name) != nullptr;
}

CStorage* CStorage::OpenStorage(const QString& name)
{
    const Slot* slot = Find(name);
    return slot && slot->isStorage ? &*slot->storage : nullptr;
}

const CStorage* CStorage::OpenStorage(const QString& name) const
{
    return const_cast<CStorage*>(this)->OpenStorage(name);
}

CStorage* CStorage::CreateStorage(const QString& name)
{
    CStorage empty;
    empty.m_name = name;
    return CopyStorage(empty);
}

CStorage* CStorage::CopyStorage(const CStorage& source)
{
    const QString& name = source.m_name;
    if (!IsValidName(name) || HasStream(name))
        return nullptr;
    // Copy first: `source` may be this storage or lie inside the storage being replaced.
    CStorage copy = source;
    if (CStorage* existing = OpenStorage(name)) {
        *existing = std::move(copy);
        return existing;
    }
    return &AddStorage(std::move(copy));
}

bool CStorage::RemoveStorage(const QString& name)
{
    auto slot = m_index.find(IndexKey(name));
    if (slot == m_index.end() || !slot->isStorage)
        return false;
    m_storages.erase(slot->storage);
    m_index.erase(slot);
    return true;
}

QStringList CStorage::GetStorageNames() const
{
    QStringList names;
    names.reserve(qsizetype(m_storages.size()));
    for (const CStorage& storage : m_storages)
        names.append(storage.m_name);
    return names;
}

bool operator==(const CStorage& a, const CStorage& b)
{
    if (a.m_name != b.m_name || a.m_classId != b.m_classId
        || a.m_streams.size() != b.m_streams.size() || a.m_storages.size() != b.m_storages.size())
        return false;
    for (const auto& [name, data] : a.m_streams) {
        const CStorage::Stream* other = b.FindStream(name);
        if (!other || other->first != name || other->second != data)
            return false;
    }
    for (const CStorage& storage : a.m_storages) {
        const CStorage* other = b.OpenStorage(storage.m_name);
        if (!other || !(storage == *other))
            return false;
    }
    return true;
}

// ---------------------------------------------------------------------------------------------
// Reading

class CCompoundFileReader
{
public:
    explicit CCompoundFileReader(gsf_off_t fileSize) : m_budget(fileSize), m_fileSize(fileSize) {}

    // Fills `into` from `dir`; on failure returns false with the reason in m_reason.
    bool ReadStorage(GsfInfile* dir, CStorage& into, int depth);

    QString m_reason;

private:
    bool Fail(const QString& reason)
    {
        m_reason = reason;
        return false;
    }

    // What is left of the file's size for stream data: every byte of a stream lies in its own
    // sector of the file, so streams of a sound file never add up to more than the file.
    gsf_off_t m_budget;
    gsf_off_t m_fileSize;
};

bool CCompoundFileReader::ReadStorage(GsfInfile* dir, CStorage& into, int depth)
{
    if (GSF_IS_INFILE_MSOLE(dir)) {
        guint8 clsid[16];
        if (gsf_infile_msole_get_class_id(GSF_INFILE_MSOLE(dir), clsid))
            std::copy(std::begin(clsid), std::end(clsid), into.m_classId.begin());
    }

    const int count = gsf_infile_num_children(dir);
    if (count < 0)
        return Fail(Tr(500, "a storage cannot be listed"));

    for (int i = 0; i < count; ++i) {
        const char* rawName = gsf_infile_name_by_index(dir, i);
        const QString name = rawName ? QString::fromUtf8(rawName) : QString();
        if (!IsUsableStoredName(name))
            return Fail(Tr(501, "an entry of the directory has no usable name"));
        if (into.FindStream(name) || into.HasStorage(name))
            return Fail(Tr(502, "the name “%1” appears twice in one storage").arg(name));

        GsfPtr<GsfInput> child(gsf_infile_child_by_index(dir, i));
        if (!child)
            return Fail(Tr(503, "the entry “%1” cannot be opened").arg(name));

        const bool isStorage = GSF_IS_INFILE(child.get())
            && gsf_infile_num_children(GSF_INFILE(child.get())) >= 0;
        if (isStorage) {
            if (depth + 1 > CCompoundFile::MaxDepth)
                return Fail(Tr(504, "storages are nested too deeply"));
            CStorage sub;
            sub.m_name = name;
            if (!ReadStorage(GSF_INFILE(child.get()), sub, depth + 1))
                return false;
            into.AddStorage(std::move(sub));
            continue;
        }

        const gsf_off_t size = gsf_input_size(child.get());
        if (size < 0 || size > m_fileSize)
            return Fail(Tr(505, "the stream “%1” claims to be larger than the file").arg(name));
        if (size > m_budget)
            return Fail(Tr(506, "the streams claim more data than the file holds"));
        m_budget -= size;

        QByteArray data(qsizetype(size), Qt::Uninitialized);
        if (size > 0
            && !gsf_input_read(child.get(), size_t(size), reinterpret_cast<guint8*>(data.data())))
            return Fail(Tr(507, "the stream “%1” cannot be read").arg(name));
        into.AddStream(name, std::move(data));
    }
    return true;
}

namespace {

// The directory of a compound file, looked at before libgsf builds its tree of it. libgsf walks
// the directory by recursion, one level for each sibling link and each nested storage, and sorts
// each storage's children as it inserts them: tens of thousands of entries exhaust the stack or
// take minutes. The header, the allocation table and the directory sectors are read here with
// every offset checked and every chain guarded, and the trees are walked without recursion.
// A header this check cannot make sense of is left to libgsf, which refuses it with its own
// reason; the check only bounds what libgsf would go on to read.
class CDirectoryCheck
{
public:
    enum Verdict { Sound, TooManyEntries, TooDeep, Loop };

    explicit CDirectoryCheck(GsfInput* input) : m_input(input), m_size(gsf_input_size(input)) {}

    Verdict Run();

private:
    static constexpr quint32 kLastSector = 0xFFFFFFFA;  // higher numbers mark chain ends and kinds
    static constexpr quint32 kNoEntry = 0xFFFFFFFF;
    static constexpr int kEntrySize = 128;

    struct Entry {
        BYTE type = 0;  // 0 unused, 1 storage, 2 stream, 5 root
        quint32 left = kNoEntry, right = kNoEntry, child = kNoEntry;
    };

    bool Read(gsf_off_t at, size_t size, guint8* out) const
    {
        return at >= 0 && gsf_off_t(size) <= m_size && at <= m_size - gsf_off_t(size)
            && !gsf_input_seek(m_input, at, G_SEEK_SET) && gsf_input_read(m_input, size, out);
    }
    static quint32 Dword(const guint8* p)
    {
        return quint32(p[0]) | quint32(p[1]) << 8 | quint32(p[2]) << 16 | quint32(p[3]) << 24;
    }
    gsf_off_t SectorOffset(quint32 sector) const { return (gsf_off_t(sector) + 1) << m_shift; }
    quint32 SectorCount() const { return quint32(std::min<gsf_off_t>(m_size >> m_shift, kLastSector)); }
    // The sector after `sector` in its chain; kNoEntry when the table does not say.
    quint32 Next(quint32 sector) const;
    bool ReadHeader();
    Verdict ReadDirectory();
    Verdict WalkTrees() const;

    GsfInput* m_input;
    gsf_off_t m_size;
    int m_shift = 9;
    quint32 m_firstDirectory = kNoEntry;
    std::vector<quint32> m_fatSectors;  // the sectors of the allocation table, in order
    std::vector<Entry> m_entries;
};

bool CDirectoryCheck::ReadHeader()
{
    guint8 header[512];
    static constexpr guint8 kSignature[8] = {0xD0, 0xCF, 0x11, 0xE0, 0xA1, 0xB1, 0x1A, 0xE1};
    if (!Read(0, sizeof header, header) || !std::equal(kSignature, kSignature + 8, header))
        return false;
    m_shift = header[0x1E] | header[0x1F] << 8;
    if (m_shift != 9 && m_shift != 12)
        return false;
    const quint32 sectors = SectorCount();
    m_firstDirectory = Dword(header + 0x30);

    // The sectors of the allocation table, up to the first unused number. The count the header
    // gives is not trusted: the longest table a reader might take is the one to check.
    auto take = [&](quint32 fatSector) {
        if (fatSector >= kLastSector || m_fatSectors.size() > sectors)
            return false;
        m_fatSectors.push_back(fatSector);
        return true;
    };
    for (int i = 0; i < 109; ++i) {
        if (!take(Dword(header + 0x4C + 4 * i)))
            return true;
    }
    // The rest of the table's sector numbers lie in a chain of their own, each sector's last
    // number pointing to the next; no sound chain is longer than the file has sectors.
    const size_t perSector = (size_t(1) << m_shift) / 4;
    std::vector<guint8> sector(size_t(1) << m_shift);
    quint32 next = Dword(header + 0x44);
    for (quint32 steps = 0; next < kLastSector && steps <= sectors; ++steps) {
        if (!Read(SectorOffset(next), sector.size(), sector.data()))
            break;
        for (size_t i = 0; i + 1 < perSector; ++i) {
            if (!take(Dword(sector.data() + 4 * i)))
                return true;
        }
        next = Dword(sector.data() + 4 * (perSector - 1));
    }
    return true;
}

quint32 CDirectoryCheck::Next(quint32 sector) const
{
    const quint32 perSector = (quint32(1) << m_shift) / 4;
    const size_t index = sector / perSector;
    guint8 bytes[4];
    if (index >= m_fatSectors.size() || m_fatSectors[index] >= kLastSector
        || !Read(SectorOffset(m_fatSectors[index]) + gsf_off_t(sector % perSector) * 4, 4, bytes))
        return kNoEntry;
    return Dword(bytes);
}

CDirectoryCheck::Verdict CDirectoryCheck::ReadDirectory()
{
    std::vector<guint8> sector(size_t(1) << m_shift);
    std::unordered_set<quint32> seen;
    for (quint32 at = m_firstDirectory; at < kLastSector; at = Next(at)) {
        if (!seen.insert(at).second)
            return Loop;
        if (!Read(SectorOffset(at), sector.size(), sector.data()))
            break;  // libgsf reports the short directory
        for (size_t offset = 0; offset < sector.size(); offset += kEntrySize) {
            if (m_entries.size() >= size_t(CCompoundFile::MaxEntries))
                return TooManyEntries;
            const guint8* raw = sector.data() + offset;
            m_entries.push_back({raw[0x42], Dword(raw + 0x44), Dword(raw + 0x48), Dword(raw + 0x4C)});
        }
    }
    return Sound;
}

CDirectoryCheck::Verdict CDirectoryCheck::WalkTrees() const
{
    if (m_entries.empty())
        return Sound;
    // Entry 0 is the root storage; each storage's children hang from its child link as a tree
    // of left and right siblings. A link past the directory is left for libgsf to report.
    std::vector<bool> reached(m_entries.size());
    std::vector<std::pair<quint32, int>> pending{{0, 0}};  // entry, depth of its storage
    while (!pending.empty()) {
        const auto [index, depth] = pending.back();
        pending.pop_back();
        if (index >= m_entries.size())
            continue;
        if (reached[index])
            return Loop;
        reached[index] = true;
        const Entry& entry = m_entries[index];
        if (index != 0) {
            pending.emplace_back(entry.left, depth);
            pending.emplace_back(entry.right, depth);
        }
        if (entry.type == 1 || entry.type == 5 || index == 0) {
            if (depth > CCompoundFile::MaxDepth)
                return TooDeep;
            pending.emplace_back(entry.child, depth + 1);
        }
    }
    return Sound;
}

CDirectoryCheck::Verdict CDirectoryCheck::Run()
{
    Verdict verdict = Sound;
    if (ReadHeader()) {
        verdict = ReadDirectory();
        if (verdict == Sound)
            verdict = WalkTrees();
    }
    gsf_input_seek(m_input, 0, G_SEEK_SET);
    return verdict;
}

// The message for a directory the check refuses.
QString DirectoryMessage(CDirectoryCheck::Verdict verdict, const QString& what)
{
    switch (verdict) {
    case CDirectoryCheck::TooManyEntries:
        return Tr(700, "%1 cannot be opened: its directory has more than %2 entries, far more than a label file needs.")
            .arg(what, QString::number(CCompoundFile::MaxEntries));
    case CDirectoryCheck::TooDeep:
        return Tr(701, "%1 cannot be opened: its storages are nested more than %2 levels deep.")
            .arg(what, QString::number(CCompoundFile::MaxDepth));
    default:
        return Tr(702, "%1 is damaged: the entries of its directory are linked in a loop.").arg(what);
    }
}

bool LoadFromInput(GsfInput* input, const QString& what, CStorage& root, QString& error)
{
    const CDirectoryCheck::Verdict verdict = CDirectoryCheck(input).Run();
    if (verdict != CDirectoryCheck::Sound) {
        error = DirectoryMessage(verdict, what);
        return false;
    }

    CGsfComplaints complaints;
    const gsf_off_t fileSize = gsf_input_size(input);
    GError* gerror = nullptr;
    GsfPtr<GsfInfile> infile(gsf_infile_msole_new(input, &gerror));
    if (!infile) {
        QString detail = TakeGError(gerror);
        if (detail.isEmpty() && complaints.Any())
            detail = complaints.First();
        error = detail.isEmpty()
                    ? Tr(508, "%1 is not a label file or is damaged: it is not a readable compound file.").arg(what)
                    : Tr(525, "%1 is not a label file or is damaged: it is not a readable compound file (%2).")
                          .arg(what, detail);
        return false;
    }

    CCompoundFileReader reader(fileSize);
    CStorage tree;
    if (!reader.ReadStorage(infile.get(), tree, 0)) {
        error = Tr(509, "%1 is damaged: %2.").arg(what, reader.m_reason);
        return false;
    }
    if (complaints.Any()) {
        error = Tr(510, "%1 is damaged: its structure is inconsistent (%2).")
                    .arg(what, complaints.First());
        return false;
    }
    root = std::move(tree);
    return true;
}

QString Quoted(const QString& path)
{
    return QStringLiteral("“%1”").arg(QDir::toNativeSeparators(path));
}

} // namespace

bool CCompoundFile::Load(const QString& path, QString& error)
{
    EnsureGsf();
    GError* gerror = nullptr;
    GsfPtr<GsfInput> input(gsf_input_stdio_new(QFile::encodeName(path).constData(), &gerror));
    if (!input) {
        const QString detail = TakeGError(gerror);
        error = Tr(511, "%1 cannot be opened").arg(Quoted(path));
        if (!detail.isEmpty())
            error += QStringLiteral(": %1").arg(detail);
        error += u'.';
        return false;
    }
    return LoadFromInput(input.get(), Quoted(path), m_root, error);
}

bool CCompoundFile::LoadFromMemory(const QByteArray& bytes, QString& error)
{
    EnsureGsf();
    // The memory input only borrows the bytes; `bytes` outlives it.
    GsfPtr<GsfInput> input(gsf_input_memory_new(reinterpret_cast<const guint8*>(bytes.constData()),
                                                gsf_off_t(bytes.size()), FALSE));
    if (!input) {
        error = Tr(512, "The data cannot be read.");
        return false;
    }
    return LoadFromInput(input.get(), Tr(513, "The data"), m_root, error);
}

// ---------------------------------------------------------------------------------------------
// Writing

namespace {

bool WriteStorage(GsfOutfile* dir, const CStorage& storage, QString& reason)
{
    if (!gsf_outfile_msole_set_class_id(GSF_OUTFILE_MSOLE(dir), storage.GetClassId().data()))
        return reason = Tr(514, "a class id cannot be stored"), false;

    for (const QString& name : storage.GetStreamNames()) {
        const QByteArray& data = *storage.OpenStream(name);
        if (data.size() > MaxStreamSize)
            return reason = Tr(515, "the stream “%1” is too large").arg(name), false;
        GsfPtr<GsfOutput> child(gsf_outfile_new_child(dir, name.toUtf8().constData(), FALSE));
        if (!child)
            return reason = Tr(516, "the stream “%1” cannot be created").arg(name), false;
        const bool written = data.isEmpty()
            || gsf_output_write(child.get(), size_t(data.size()),
                                reinterpret_cast<const guint8*>(data.constData()));
        if (!gsf_output_close(child.get()) || !written)
            return reason = Tr(517, "the stream “%1” cannot be written").arg(name), false;
    }

    for (const QString& name : storage.GetStorageNames()) {
        GsfPtr<GsfOutput> child(gsf_outfile_new_child(dir, name.toUtf8().constData(), TRUE));
        if (!child)
            return reason = Tr(518, "the storage “%1” cannot be created").arg(name), false;
        const bool written = WriteStorage(GSF_OUTFILE(child.get()), *storage.OpenStorage(name),
                                          reason);
        if (!gsf_output_close(child.get()) && written)
            return reason = Tr(519, "the storage “%1” cannot be written").arg(name), false;
        if (!written)
            return false;
    }
    return true;
}

// The whole file as bytes, or nullopt with the reason.
std::optional<QByteArray> Serialize(const CStorage& root, QString& reason)
{
    CGsfComplaints complaints;
    GsfPtr<GsfOutput> sink(gsf_output_memory_new());
    if (!sink)
        return reason = Tr(520, "out of memory"), std::nullopt;
    GsfPtr<GsfOutfile> outfile(gsf_outfile_msole_new(sink.get()));
    if (!outfile)
        return reason = Tr(521, "the compound file cannot be started"), std::nullopt;

    const bool written = WriteStorage(outfile.get(), root, reason);
    // Closing the root writes the directory and the allocation tables into the sink.
    const bool closed = gsf_output_close(GSF_OUTPUT(outfile.get()));
    if (!written)
        return std::nullopt;
    if (!closed)
        return reason = Tr(522, "the compound file cannot be completed"), std::nullopt;
    if (complaints.Any())
        return reason = complaints.First(), std::nullopt;

    const gsf_off_t size = gsf_output_size(sink.get());
    const guint8* bytes = gsf_output_memory_get_bytes(GSF_OUTPUT_MEMORY(sink.get()));
    if (size <= 0 || !bytes)
        return reason = Tr(523, "the compound file came out empty"), std::nullopt;
    return QByteArray(reinterpret_cast<const char*>(bytes), qsizetype(size));
}

} // namespace

std::optional<QByteArray> CCompoundFile::SaveToMemory(QString& error) const
{
    EnsureGsf();
    QString reason;
    std::optional<QByteArray> bytes = Serialize(m_root, reason);
    if (!bytes)
        error = reason;
    return bytes;
}

bool CCompoundFile::Save(const QString& path, QString& error) const
{
    EnsureGsf();
    const QString what = Quoted(path);
    auto fail = [&](const QString& reason) {
        error = Tr(524, "%1 cannot be saved: %2.").arg(what, reason);
        return false;
    };

    QString reason;
    const std::optional<QByteArray> bytes = Serialize(m_root, reason);
    if (!bytes)
        return fail(reason);

    if (!WriteFileAtomically(path, *bytes, reason))
        return fail(reason);
    return true;
}
