#pragma once
// The program's version record. The build places it in the executable's ".qb_version"
// section (see app/versionrecord.c.in); CFileVersionInfo reads it back from a program file,
// so the about and welcome dialogs show the version of the file that actually runs.

#include "framework/types.h"

#include <QByteArray>

#include <array>

// Layout of the record as stored (little-endian 32-bit words): the 8-byte marker "QBVERREC",
// the 13 words of the fixed file information, the number of translations and the
// translations (language in the low half, code page in the high half).
struct VS_FIXEDFILEINFO {
    DWORD dwSignature;
    DWORD dwStrucVersion;
    DWORD dwFileVersionMS;
    DWORD dwFileVersionLS;
    DWORD dwProductVersionMS;
    DWORD dwProductVersionLS;
    DWORD dwFileFlagsMask;
    DWORD dwFileFlags;
    DWORD dwFileOS;
    DWORD dwFileType;
    DWORD dwFileSubtype;
    DWORD dwFileDateMS;
    DWORD dwFileDateLS;
};
static_assert(sizeof(VS_FIXEDFILEINFO) == 52);

constexpr DWORD kFixedFileInfoSignature = 0xFEEF04BD;

class CFileVersionInfo
{
public:
    CFileVersionInfo() { Reset(); }
    virtual ~CFileVersionInfo() = default;

    // Reads the record of a program file. TRUE only when the fixed information is valid and a
    // translation table is present; otherwise the object is reset and FALSE returned.
    BOOL Create(const CString& path);
    // The same for the file of the running program.
    BOOL CreateForRunningProgram();
    // Parses the bytes of a whole program file.
    BOOL CreateFromImage(const QByteArray& image);
    void Reset();

    BOOL IsValid() const { return m_valid; }
    const VS_FIXEDFILEINFO& FixedInfo() const { return m_fixed; }
    WORD FileVersion(int part) const;  // 0 major, 1 minor, 2 build, 3 revision
    DWORD TranslationCount() const { return m_translationCount; }
    DWORD Translation(DWORD index) const;

private:
    VS_FIXEDFILEINFO m_fixed;
    QByteArray m_block;  // the record's bytes
    DWORD m_translationCount;
    BOOL m_valid;
};

// "<label>： major.minor.build.revision" (a full-width colon and a blank), 0.0.0.0 when the
// record could not be read.
CString FormatVersionLine(const CString& label, const CFileVersionInfo& info);
