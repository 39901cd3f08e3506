#include "framework/compoundfile.h"
#include "framework/resourcemodule.h"

#include <QDir>
#include <QFile>
#include <QRandomGenerator>

#include <gtest/gtest.h>

#include "support/testoutput.h"

namespace {

const QString kSummaryName = QStringLiteral("\x05SummaryInformation");

QString OutputDir(const QString& sub)
{
    QDir dir(TestOutputDir(QStringLiteral("compoundfile/") + sub));
    dir.removeRecursively();
    EXPECT_TRUE(dir.mkpath(QStringLiteral(".")));
    return dir.path();
}

QByteArray Pattern(qsizetype size, quint32 seed)
{
    QRandomGenerator gen(seed);
    QByteArray bytes(size, Qt::Uninitialized);
    for (char& c : bytes)
        c = char(gen.bounded(256));
    return bytes;
}

CStorage::ClassId Clsid(BYTE first)
{
    CStorage::ClassId id{};
    for (size_t i = 0; i < id.size(); ++i)
        id[i] = BYTE(first + i * 17);
    return id;
}

QByteArray ReadAll(const QString& path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

bool WriteAll(const QString& path, const QByteArray& bytes)
{
    QFile file(path);
    return file.open(QIODevice::WriteOnly) && file.write(bytes) == bytes.size();
}

// A document as the program writes it: its own streams, and embedded items that it keeps
// without understanding them. Stream sizes straddle the 4096-byte line between mini and normal
// sectors.
CCompoundFile Sample()
{
    CCompoundFile file;
    CStorage& root = file.GetRoot();
    root.SetClassId(Clsid(0x10));
    EXPECT_TRUE(root.WriteStream(QStringLiteral("Contents"), Pattern(700, 1)));
    EXPECT_TRUE(root.WriteStream(kSummaryName, Pattern(420, 2)));
    EXPECT_TRUE(root.WriteStream(QStringLiteral("Empty"), QByteArray()));
    EXPECT_TRUE(root.WriteStream(QStringLiteral("Edge"), Pattern(4096, 3)));

    CStorage* item = root.CreateStorage(QStringLiteral("Embedding 1"));
    EXPECT_NE(item, nullptr);
    item->SetClassId(Clsid(0xA0));
    EXPECT_TRUE(item->WriteStream(QStringLiteral("\x01Ole"), Pattern(20, 4)));
    EXPECT_TRUE(item->WriteStream(QStringLiteral("CONTENTS"), Pattern(4095, 5)));
    EXPECT_TRUE(item->WriteStream(QStringLiteral("Blank"), QByteArray()));
    CStorage* nested = item->CreateStorage(QStringLiteral("Nested"));
    nested->SetClassId(Clsid(0xC3));
    EXPECT_TRUE(nested->WriteStream(QStringLiteral("Deep"), Pattern(9000, 6)));
    nested->CreateStorage(QStringLiteral("Hollow"));

    CStorage* second = root.CreateStorage(QStringLiteral("Embedding 2"));
    EXPECT_TRUE(second->WriteStream(QStringLiteral("Data"), Pattern(5000, 7)));
    return file;
}

QByteArray SampleBytes(const QString& dir)
{
    const QString path = dir + QStringLiteral("/sample.tag");
    QString error;
    EXPECT_TRUE(Sample().Save(path, error)) << error.toStdString();
    return ReadAll(path);
}

// Offset of the directory entry of `name` in a file's bytes (names are stored as UTF-16LE at
// the start of a 128-byte entry).
qsizetype DirEntryOffset(const QByteArray& bytes, const QString& name)
{
    QByteArray utf16;
    for (QChar c : name) {
        utf16.append(char(c.unicode() & 0xFF));
        utf16.append(char(c.unicode() >> 8));
    }
    utf16.append(2, '\0');
    for (qsizetype at = bytes.indexOf(utf16); at >= 0; at = bytes.indexOf(utf16, at + 1)) {
        if (at % 128 == 0)  // entries are 128-byte aligned after the 512-byte header
            return at;
    }
    return -1;
}

void PutDword(QByteArray& bytes, qsizetype at, quint32 value)
{
    for (int i = 0; i < 4; ++i)
        bytes[at + i] = char(value >> (8 * i));
}

quint32 GetDword(const QByteArray& bytes, qsizetype at)
{
    quint32 value = 0;
    for (int i = 3; i >= 0; --i)
        value = (value << 8) | quint8(bytes[at + i]);
    return value;
}

constexpr int kEntryStart = 0x74;
constexpr int kEntrySize = 0x78;

// A compound file of 512-byte sectors whose root holds n empty streams chained as right siblings,
// or n storages each nested in the one before: entry i at 512 + 128 * i, then the allocation table.
QByteArray ChainFile(int n, bool nested)
{
    constexpr quint32 None = 0xFFFFFFFF;
    const quint32 dirSectors = quint32(n + 4) / 4, fatSectors = dirSectors / 127 + 1;
    QByteArray bytes(qsizetype(512) * (1 + dirSectors + fatSectors), '\0');
    bytes.replace(0, 8, QByteArray::fromHex("D0CF11E0A1B11AE1"));
    // Version 3, little-endian, 512-byte sectors, the directory at sector 0, no mini stream.
    for (auto [at, value] : {std::pair<int, quint32>{0x18, 0x0003003E}, {0x1C, 0x0009FFFE}, {0x20, 6},
                             {0x2C, fatSectors}, {0x38, 4096}, {0x3C, 0xFFFFFFFE}, {0x44, 0xFFFFFFFE}})
        PutDword(bytes, at, value);
    for (quint32 i = 0; i < 109; ++i)
        PutDword(bytes, 0x4C + 4 * i, i < fatSectors ? dirSectors + i : None);
    for (quint32 i = 0; i < 4 * dirSectors; ++i) {
        const qsizetype at = 512 + 128 * qsizetype(i);
        const bool used = i <= quint32(n), storage = i == 0 || nested;
        const QString name = i == 0 ? QStringLiteral("Root Entry") : used ? QStringLiteral("E%1").arg(i) : QString();
        const QByteArray utf16(reinterpret_cast<const char*>(name.utf16()), 2 * name.size());
        bytes.replace(at, utf16.size(), utf16);
        bytes[at + 0x40] = char(used ? 2 * (name.size() + 1) : 0);
        bytes[at + 0x42] = char(i == 0 ? 5 : !used ? 0 : nested ? 1 : 2);
        const quint32 next = used && i < quint32(n) ? i + 1 : None;
        for (auto [off, value] : {std::pair<int, quint32>{0x44, None}, {0x48, storage ? None : next},
                                  {0x4C, storage ? next : None}, {kEntryStart, used ? 0xFFFFFFFE : 0}})
            PutDword(bytes, at + off, value);
    }
    // The table: the directory's sectors in one chain, then the table's own sectors.
    for (quint32 i = 0; i < fatSectors * 128; ++i)
        PutDword(bytes, 512 * qsizetype(1 + dirSectors) + 4 * i,
                 i + 1 < dirSectors ? i + 1 : i + 1 == dirSectors ? 0xFFFFFFFE
                                            : i < dirSectors + fatSectors ? 0xFFFFFFFD : None);
    return bytes;
}

} // namespace

TEST(CompoundFile, StorageEditing)
{
    CStorage root;
    // Names are looked up without regard to case and keep the case they were given.
    ASSERT_TRUE(root.WriteStream(QStringLiteral("Contents"), "one"));
    ASSERT_TRUE(root.WriteStream(QStringLiteral("CONTENTS"), "two"));
    EXPECT_EQ(root.GetStreamNames(), QStringList{QStringLiteral("Contents")});
    EXPECT_EQ(root.ReadStream(QStringLiteral("contents")), QByteArray("two"));
    EXPECT_FALSE(root.ReadStream(QStringLiteral("Missing")).has_value());

    // Streams and storages share one namespace.
    EXPECT_EQ(root.CreateStorage(QStringLiteral("contents")), nullptr);
    CStorage* item = root.CreateStorage(QStringLiteral("Item"));
    ASSERT_NE(item, nullptr);
    EXPECT_FALSE(root.WriteStream(QStringLiteral("ITEM"), "x"));

    // Names the format cannot hold are refused.
    for (const QString& bad : {QString(), QString(32, u'a'), QStringLiteral("a/b"),
                               QStringLiteral("a\\b"), QStringLiteral("a:b"),
                               QStringLiteral("a!b"), QString(QChar(0xD800))}) {
        EXPECT_FALSE(root.WriteStream(bad, "x")) << bad.toStdString();
        EXPECT_EQ(root.CreateStorage(bad), nullptr) << bad.toStdString();
    }
    EXPECT_TRUE(root.WriteStream(QString(31, u'a'), "x"));

    // Pointers to children survive adding siblings; CreateStorage replaces with an empty one.
    item->WriteStream(QStringLiteral("Inner"), "data");
    for (int i = 0; i < 20; ++i)
        root.CreateStorage(QStringLiteral("Sibling %1").arg(i));
    EXPECT_EQ(item->ReadStream(QStringLiteral("Inner")), QByteArray("data"));
    item = root.CreateStorage(QStringLiteral("item"));
    EXPECT_TRUE(item->GetStreamNames().isEmpty());
    EXPECT_EQ(root.GetStorageNames().size(), 21);
    EXPECT_EQ(item->GetName(), QStringLiteral("item"));

    // A storage copied into one of its own children is copied as it was before.
    item->WriteStream(QStringLiteral("Inner"), "data");
    CStorage* child = item->CreateStorage(QStringLiteral("Child"));
    CStorage* selfCopy = child->CopyStorage(*item);
    ASSERT_NE(selfCopy, nullptr);
    EXPECT_EQ(selfCopy->GetName(), QStringLiteral("item"));
    EXPECT_TRUE(selfCopy->OpenStorage(QStringLiteral("Child"))->GetStorageNames().isEmpty());

    // A copy into another tree is equal to its source, class ids and nested storages included.
    const CCompoundFile sample = Sample();
    const CStorage* embedding = sample.GetRoot().OpenStorage(QStringLiteral("embedding 1"));
    CStorage* copied = root.CopyStorage(*embedding);
    ASSERT_NE(copied, nullptr);
    EXPECT_TRUE(*copied == *embedding);
    EXPECT_EQ(copied->OpenStorage(QStringLiteral("Nested"))->GetClassId(), Clsid(0xC3));

    EXPECT_TRUE(root.RemoveStorage(QStringLiteral("ITEM")));
    EXPECT_FALSE(root.HasStorage(QStringLiteral("Item")));

    // Copies, made or assigned, find their own children; names fold case beyond ASCII, and a
    // removed name is free for either kind again.
    CStorage copy = root;
    ASSERT_TRUE(copy.WriteStream(QStringLiteral("contents"), "three"));
    EXPECT_EQ(root.ReadStream(QStringLiteral("Contents")), QByteArray("two"));
    root = copy;
    ASSERT_TRUE(copy.WriteStream(QStringLiteral("contents"), "four"));
    EXPECT_EQ(root.ReadStream(QStringLiteral("Contents")), QByteArray("three"));
    ASSERT_TRUE(root.WriteStream(QStringLiteral("Ärger Σ"), "x"));
    EXPECT_TRUE(root.RemoveStream(QStringLiteral("äRGER σ")));
    EXPECT_NE(root.CreateStorage(QStringLiteral("ÄRGER Σ")), nullptr);
    EXPECT_FALSE(root.RemoveStream(QStringLiteral("ärger σ")));
}

TEST(CompoundFile, DamagedFilesAreRefused)
{
    const QByteArray good = SampleBytes(OutputDir(QStringLiteral("damaged")));
    ASSERT_GT(good.size(), 20000);
    auto expectRefused = [](const QByteArray& bytes, const char* what) {
        CCompoundFile file;
        file.GetRoot().WriteStream(QStringLiteral("Before"), "kept");
        QString error;
        EXPECT_FALSE(file.LoadFromMemory(bytes, error)) << what;
        EXPECT_FALSE(error.isEmpty()) << what;
        // A refused file leaves the tree as it was.
        EXPECT_EQ(file.GetRoot().ReadStream(QStringLiteral("Before")), QByteArray("kept")) << what;
        return error;
    };

    // Every cut loses part of the allocation table, which comes last.
    for (qsizetype cut = 0; cut < good.size(); cut += (cut < 1024 ? 7 : 131))
        expectRefused(good.left(cut), "truncated");

    for (quint32 seed = 1; seed <= 20; ++seed)
        expectRefused(Pattern(512 + 997 * seed, seed), "random bytes");

    // A stream that claims more than the whole file (the reader must not leave it out with every
    // entry linked below it, which the next save would lose), and one longer than its chain.
    const qsizetype deepEntry = DirEntryOffset(good, QStringLiteral("Deep"));
    ASSERT_GE(deepEntry, 0);
    for (quint32 size : {quint32(good.size()) * 4, quint32(9000 + 2048)}) {
        QByteArray bytes = good;
        PutDword(bytes, deepEntry + kEntrySize, size);
        expectRefused(bytes, "stream size");
    }
    QByteArray unknownType = good;
    unknownType[DirEntryOffset(good, QStringLiteral("Nested")) + 0x42] = char(7);
    expectRefused(unknownType, "unknown entry type");
    // Streams that share one chain of sectors, together claiming more than the file.
    {
        QByteArray bytes = good;
        const qsizetype deep = DirEntryOffset(bytes, QStringLiteral("Deep"));
        const quint32 start = GetDword(bytes, deep + kEntryStart);
        for (const QString& name : {QStringLiteral("Data"), QStringLiteral("Edge"),
                                    QStringLiteral("Contents"), QStringLiteral("CONTENTS")}) {
            const qsizetype entry = DirEntryOffset(bytes, name);
            ASSERT_GE(entry, 0) << name.toStdString();
            PutDword(bytes, entry + kEntryStart, start);
            PutDword(bytes, entry + kEntrySize, 9000);
        }
        expectRefused(bytes, "shared sectors");
    }

    // Scattered damage must never crash or read out of bounds; refusal or success are both fine.
    QRandomGenerator gen(42);
    for (int round = 0; round < 400; ++round) {
        QByteArray bytes = good;
        const int flips = 1 + int(gen.bounded(8));
        for (int i = 0; i < flips; ++i)
            bytes[qsizetype(gen.bounded(quint32(bytes.size())))] = char(gen.bounded(256));
        CCompoundFile file;
        QString error;
        if (!file.LoadFromMemory(bytes, error)) {
            EXPECT_FALSE(error.isEmpty());
        }
    }
}

TEST(CompoundFile, SavedTreeReadsBackAndReplacesTheTargetOnlyWhenComplete)
{
    const QString dir = OutputDir(QStringLiteral("save"));
    const QString path = dir + QStringLiteral("/doc.tag");
    QString error;

    // Loading a file that is not there reports it.
    CCompoundFile missing;
    EXPECT_FALSE(missing.Load(path, error));
    EXPECT_TRUE(error.contains(QStringLiteral("doc.tag"))) << error.toStdString();

    // A successful save over an existing file replaces it, and the whole tree reads back.
    ASSERT_TRUE(WriteAll(path, "an older file"));
    ASSERT_TRUE(Sample().Save(path, error)) << error.toStdString();
    CCompoundFile reread;
    ASSERT_TRUE(reread.Load(path, error)) << error.toStdString();
    EXPECT_TRUE(reread.GetRoot() == Sample().GetRoot());
    // A few fields by hand, so that a comparison that sees too little cannot hide a loss.
    const CStorage* nested = reread.GetRoot().OpenStorage(QStringLiteral("Embedding 1"))
                                 ->OpenStorage(QStringLiteral("Nested"));
    ASSERT_NE(nested, nullptr);
    EXPECT_EQ(nested->GetClassId(), Clsid(0xC3));
    EXPECT_EQ(nested->ReadStream(QStringLiteral("Deep")), Pattern(9000, 6));
    EXPECT_NE(nested->OpenStorage(QStringLiteral("Hollow")), nullptr);
    // The summary stream's name is stored as the character 5 itself, as other programs expect.
    EXPECT_GE(DirEntryOffset(ReadAll(path), kSummaryName), 0);

    // A read-only target stays as it was.
    const QByteArray before = ReadAll(path);
    ASSERT_TRUE(QFile::setPermissions(path, QFileDevice::ReadOwner | QFileDevice::ReadGroup));
    CCompoundFile changed;
    changed.GetRoot().WriteStream(QStringLiteral("Contents"), "changed");
    error.clear();
    EXPECT_FALSE(changed.Save(path, error));
    EXPECT_FALSE(error.isEmpty());
    EXPECT_EQ(ReadAll(path), before);
    QFile::setPermissions(path, QFileDevice::ReadOwner | QFileDevice::WriteOwner);

    // A folder in the way of the target.
    const QString folder = dir + QStringLiteral("/folder.tag");
    ASSERT_TRUE(QDir(dir).mkdir(QStringLiteral("folder.tag")));
    error.clear();
    EXPECT_FALSE(changed.Save(folder, error));
    EXPECT_FALSE(error.isEmpty());

    // No temporary file is left behind by any of this.
    EXPECT_EQ(QDir(dir).entryList(QDir::Files | QDir::Hidden | QDir::System),
              QStringList{QStringLiteral("doc.tag")});
}

TEST(CompoundFile, DirectoriesNoLabelHasAreRefusedBeforeTheyAreRead)
{
    CResourceModule::Get().Load(QStringLiteral(QB_RESOURCE_MODULE), QStringLiteral("ENU"));
    QByteArray siblingLoop = ChainFile(2, false), storageLoop = ChainFile(2, true), sectorLoop = ChainFile(20, false);
    PutDword(siblingLoop, 512 + 2 * 128 + 0x48, 1);  // E2's right sibling is E1
    PutDword(storageLoop, 512 + 2 * 128 + 0x4C, 1);  // E2 holds E1, which holds E2
    PutDword(sectorLoop, 512 * 7 + 4 * 5, 0);        // the directory's last sector leads back to its first
    const struct {
        const char* what;
        QByteArray bytes;
        int limit;  // the number the message names, if any
    } refused[] = {
        // Both used to exhaust the stack while the tree was built.
        {"40,000 chained siblings", ChainFile(40000, false), CCompoundFile::MaxEntries},
        {"40,000 nested storages", ChainFile(40000, true), CCompoundFile::MaxEntries},
        {"just too many entries", ChainFile(CCompoundFile::MaxEntries, false), CCompoundFile::MaxEntries},
        {"one level too deep", ChainFile(CCompoundFile::MaxDepth + 1, true), CCompoundFile::MaxDepth},
        {"siblings in a loop", siblingLoop, 0},
        {"a storage inside itself", storageLoop, 0},
        {"directory sectors in a loop", sectorLoop, 0},
    };
    for (const auto& c : refused) {
        CCompoundFile file;
        file.GetRoot().WriteStream(QStringLiteral("Before"), "kept");
        QString error;
        EXPECT_FALSE(file.LoadFromMemory(c.bytes, error)) << c.what;
        EXPECT_TRUE(!error.isEmpty() && (!c.limit || error.contains(QString::number(c.limit))))
            << c.what << ": " << error.toStdString();
        EXPECT_EQ(file.GetRoot().ReadStream(QStringLiteral("Before")), QByteArray("kept")) << c.what;
    }

    // At the limits the files load, every entry found by its name in any case.
    CCompoundFile deep, wide;
    QString error;
    EXPECT_TRUE(deep.LoadFromMemory(ChainFile(CCompoundFile::MaxDepth, true), error)) << error.toStdString();
    const int streams = CCompoundFile::MaxEntries - 4;
    ASSERT_TRUE(wide.LoadFromMemory(ChainFile(streams, false), error)) << error.toStdString();
    EXPECT_EQ(wide.GetRoot().GetStreamNames().size(), streams);
    EXPECT_TRUE(wide.GetRoot().HasStream(QStringLiteral("e1")));
    EXPECT_TRUE(wide.GetRoot().HasStream(QStringLiteral("e%1").arg(streams)));
}
