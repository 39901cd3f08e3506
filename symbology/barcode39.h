#pragma once
// Code 39, Code 39 Full ASCII, Code 93 and Codabar.

#include "symbology/barcode.h"

#include <string>

class CBarcode39 : public CBarcode {
    DECLARE_SERIAL(CBarcode39)
public:
    CBarcode39(float moduleWidth, float barHeight);

    // The elements of a character as 'n' narrow and 'w' wide, bar first, followed by the narrow
    // gap; empty for a character Code 39 does not have. inner is set for the characters between
    // the start and stop characters.
    virtual std::string GetCharPattern(BYTE c, BOOL inner) const;

protected:
    CBarcode39();
    void FilterUnits(const CString& text, Units& out) const override;
    void BuildElements(const Units& filtered) override;
    CString GetDisplayText(CDC* pDC) const override;

    // Set by Code 39 Full ASCII: the characters between start and stop are expanded to their
    // Full ASCII rows.
    bool m_fullAscii = false;
};

class CBarcode39Full : public CBarcode39 {
public:
    CBarcode39Full(float moduleWidth, float barHeight);

    int GetType() const override;
    std::string GetCharPattern(BYTE c, BOOL inner) const override;

    // The one or two Code 39 characters that stand for an ASCII character; empty above 127.
    static std::string GetFullAsciiCode(BYTE c);
};

class CBarcode93 : public CBarcode {
    DECLARE_SERIAL(CBarcode93)
public:
    CBarcode93(float moduleWidth, float barHeight);

    int GetType() const override;

    // The nine modules of a character as '1' bars and '0' spaces; empty for a character Code 93
    // does not have. The shift characters ($), (%), (/) and (+) are '|', '}', '~' and DEL.
    virtual std::string GetCharPattern(BYTE c, BOOL inner) const;

    // Every character replaced by its Code 93 characters, shifts included.
    static std::string MapFullAscii(const CString& filtered);
    // The check characters C and K of a mapped text; empty for an empty text.
    static std::string GetCheckChars(const std::string& mapped);
    static int GetCharValue(char c);
    static char GetValueChar(int value);

protected:
    CBarcode93();
    void FilterUnits(const CString& text, Units& out) const override;
    void BuildElements(const Units& filtered) override;
    CString GetDisplayText(CDC* pDC) const override;
};

class CBarcodeCodabar : public CBarcode {
    DECLARE_SERIAL(CBarcodeCodabar)
public:
    CBarcodeCodabar(float moduleWidth, float barHeight);

    int GetType() const override;

    // The seven elements of a character, '1' wide and '0' narrow, bar first; empty for a
    // character Codabar does not have.
    static const char* GetCharPattern(char16_t c);

    char16_t GetStartChar() const { return m_start; }
    char16_t GetStopChar() const { return m_stop; }

protected:
    CBarcodeCodabar();
    void FilterUnits(const CString& text, Units& out) const override;
    void BuildElements(const Units& filtered) override;

private:
    char16_t m_start = 'a';
    char16_t m_stop = 'a';
};
