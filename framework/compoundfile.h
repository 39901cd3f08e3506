#pragma once
// Compound files (OLE2 structured storage) held wholly in memory.
//
// A label file is a compound file: a root storage with the document's streams and one
// sub-storage per embedded item. The program changes only the streams it owns, and must write
// everything else back exactly as it was read, so the whole tree is read into a CStorage and the
// whole tree is written again on save. libgsf does the on-disk format.
//
// Names are compared without regard to case, as the format does; a storage's streams and
// sub-storages share one namespace. Names keep the case they were given.
//
// Errors: CCompoundFile::Load, LoadFromMemory and Save return false and put a message for the
// user into their `error` argument. They never throw, and a failed load or save changes nothing
// (neither the tree in memory nor the file on disk). The editing operations of CStorage report
// an unusable name by returning false or nullptr.

#include "framework/types.h"

#include <QByteArray>
#include <QHash>
#include <QString>
#include <QStringList>

#include <array>
#include <list>
#include <optional>
#include <utility>
#include <vector>

class CStorage
{
public:
    // The class id of a storage, as the 16 bytes stored in its directory entry.
    using ClassId = std::array<BYTE, 16>;

    // Longest name the format can hold, in UTF-16 code units (without the terminator).
    static constexpr int MaxNameLength = 31;

    CStorage() = default;
    // Copies rebuild the name index; moves keep it, since list nodes move with their lists.
    CStorage(const CStorage& other);
    CStorage& operator=(const CStorage& other);
    CStorage(CStorage&&) noexcept = default;
    CStorage& operator=(CStorage&&) noexcept = default;

    const QString& GetName() const { return m_name; }
    const ClassId& GetClassId() const { return m_classId; }
    void SetClassId(const ClassId& classId) { m_classId = classId; }

    // Streams. WriteStream replaces the whole content of a stream, creating it when absent; it
    // fails when the name is unusable or a sub-storage has it.
    bool HasStream(const QString& name) const;
    const QByteArray* OpenStream(const QString& name) const;  // nullptr when absent
    std::optional<QByteArray> ReadStream(const QString& name) const;
    bool WriteStream(const QString& name, const QByteArray& data);
    bool RemoveStream(const QString& name);
    QStringList GetStreamNames() const;

    // Sub-storages. CreateStorage gives a new, empty storage, replacing any storage of that name
    // (like creating it with STGM_CREATE); CopyStorage puts a deep copy of another storage, under
    // that storage's own name, in the same way. Both fail (nullptr) when the name is unusable or
    // a stream has it. Pointers stay valid until that storage is removed or replaced.
    bool HasStorage(const QString& name) const;
    CStorage* OpenStorage(const QString& name);
    const CStorage* OpenStorage(const QString& name) const;
    CStorage* CreateStorage(const QString& name);
    CStorage* CopyStorage(const CStorage& source);
    bool RemoveStorage(const QString& name);
    QStringList GetStorageNames() const;

    // Whether a new stream or storage may be called `name`: 1 to 31 UTF-16 code units, well
    // formed, no NUL and none of the characters / \ : ! that the format reserves.
    static bool IsValidName(const QString& name);

    // Same names, class ids and contents, recursively; the order of children does not count
    // (the file's directory keeps its own order).
    friend bool operator==(const CStorage& a, const CStorage& b);

private:
    friend class CCompoundFileReader;

    using Stream = std::pair<QString, QByteArray>;
    // Where a name is: one of the two lists, found through the index in constant time.
    struct Slot {
        std::list<Stream>::iterator stream;
        std::list<CStorage>::iterator storage;
        bool isStorage = false;
    };

    // The key of a name in the index: its code points case-folded one by one, the comparison
    // QString makes without regard to case.
    static QString IndexKey(const QString& name);
    void RebuildIndex();
    const Slot* Find(const QString& name) const;
    Stream* FindStream(const QString& name);
    const Stream* FindStream(const QString& name) const;
    // Appends a child whose name is known to be free.
    Stream& AddStream(const QString& name, QByteArray data);
    CStorage& AddStorage(CStorage storage);

    QString m_name;
    ClassId m_classId{};
    std::list<Stream> m_streams;     // in the order created or read
    std::list<CStorage> m_storages;  // lists, so that pointers to children stay valid
    QHash<QString, Slot> m_index;    // both kinds of child by IndexKey of their names
};

class CCompoundFile
{
public:
    CStorage& GetRoot() { return m_root; }
    const CStorage& GetRoot() const { return m_root; }

    // Reads every stream of every storage, with the class ids. A stream larger than the file
    // itself, streams adding up to more than the file, a damaged allocation table or directory,
    // duplicate or empty names, a directory of more than MaxEntries entries or with entries
    // linked in a loop, or nesting deeper than MaxDepth make the file refused.
    [[nodiscard]] bool Load(const QString& path, QString& error);
    [[nodiscard]] bool LoadFromMemory(const QByteArray& bytes, QString& error);

    // Writes the whole tree to a new file beside `path` and renames it over `path` only when
    // everything was written, flushed and closed. A target whose permissions allow nobody to
    // write it is refused, as is a folder that does not exist.
    [[nodiscard]] bool Save(const QString& path, QString& error) const;
    // The bytes of the file Save would write; nothing when the tree cannot be written.
    [[nodiscard]] std::optional<QByteArray> SaveToMemory(QString& error) const;

    // Deepest nesting of storages accepted when reading (the root is depth 0).
    static constexpr int MaxDepth = 64;
    // Most directory entries accepted when reading, used or free. A label holds a few streams
    // and a few for each embedded item; the directory is checked before it is read into a tree.
    static constexpr int MaxEntries = 4096;

private:
    CStorage m_root;
};
