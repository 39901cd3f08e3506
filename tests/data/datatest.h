#pragma once
// Shared helpers of the data tests: the resource module in a chosen language, files written to
// a temporary folder, and a query's rows as texts.

#include "data/barcodedb.h"
#include "data/recordset.h"
#include "framework/resourcemodule.h"

#include <QByteArray>
#include <QFile>
#include <QString>
#include <QStringList>
#include <QTemporaryDir>
#include <gtest/gtest.h>
#include <sqlite3.h>

inline void UseLanguage(const char* language)
{
    CResourceModule::Get().Load(QStringLiteral(QB_RESOURCE_MODULE), QString::fromLatin1(language));
}

// The ODBC driver manager reads where its system files are once per process: the ODBC tests of
// one process share this folder, named before their first call to the driver manager.
inline QString OdbcSystemFolder()
{
    static const QTemporaryDir dir;
    static const bool named = [] { return qputenv("ODBCSYSINI", dir.path().toLocal8Bit()); }();
    (void)named;
    return dir.path();
}

inline QString WriteFile(const QTemporaryDir& dir, const QString& name, const QByteArray& bytes)
{
    const QString path = dir.filePath(name);
    QFile f(path);
    EXPECT_TRUE(f.open(QIODevice::WriteOnly));
    f.write(bytes);
    return path;
}

// Each row's cells joined with "|", NULL shown as "<null>".
inline QStringList Rows(CBarcodeDB& db, const QString& query)
{
    QStringList rows;
    const auto set = db.OpenQuery(query);
    CRowWindow window;
    set->FetchRows(0, int(set->GetRecordCount()), window);
    for (int r = 0; r < window.rows; ++r) {
        QStringList cells;
        for (int c = 0; c < window.columns; ++c)
            cells << (window.At(r, c).isNull() ? QStringLiteral("<null>") : window.At(r, c));
        rows << cells.join(u'|');
    }
    return rows;
}

inline std::vector<CString> Tables(CBarcodeDB& db)
{
    std::vector<CString> names;
    db.GetTables(names);
    return names;
}

inline std::vector<CString> Fields(CBarcodeDB& db, const QString& table)
{
    std::vector<CString> names;
    db.GetFields(table, names);
    return names;
}

// Bounds the data engine for the time of a test.
struct EngineBound {
    explicit EngineBound(sqlite3_int64 bytes) : previous(sqlite3_hard_heap_limit64(bytes)) {}
    ~EngineBound() { sqlite3_hard_heap_limit64(previous); }
    sqlite3_int64 previous;
};
