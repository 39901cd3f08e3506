#pragma once
// Little-endian byte strings built by hand, to check stored forms without the archive code.

#include "framework/types.h"

#include <QByteArray>
#include <QString>
#include <cstring>

struct Bytes {
    QByteArray b;
    Bytes& u8(BYTE v) { b.append(char(v)); return *this; }
    Bytes& u16(WORD v) { return u8(BYTE(v)).u8(BYTE(v >> 8)); }
    Bytes& u32(DWORD v) { return u16(WORD(v)).u16(WORD(v >> 16)); }
    Bytes& f32(float f) { DWORD v; std::memcpy(&v, &f, 4); return u32(v); }
    Bytes& f64(double d) { quint64 v; std::memcpy(&v, &d, 8); return u32(DWORD(v)).u32(DWORD(v >> 32)); }
    Bytes& raw(const QByteArray& r) { b.append(r); return *this; }
    // A string of fewer than 255 characters in its UTF-16 form.
    Bytes& str(const QString& s)
    {
        u8(0xFF).u16(0xFFFE).u8(BYTE(s.size()));
        for (QChar c : s)
            u16(c.unicode());
        return *this;
    }
    // A new class reference.
    Bytes& cls(const char* name, WORD schema)
    {
        u16(0xFFFF).u16(schema).u16(WORD(std::strlen(name)));
        b.append(name);
        return *this;
    }
};
