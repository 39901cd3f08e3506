#pragma once
// The reader of delimited text files (RFC 4180): quoted fields with doubled quotes and line
// breaks, CRLF or LF lines, short rows padded. The delimiter is a tab for ".tab" files, otherwise
// the first comma, semicolon or tab of the header line. The encoding comes from the byte-order
// mark; without one, valid UTF-8 is UTF-8 and anything else is read in the given code page.
//
// Every piece works on a stream of chunks, so that a file is never held whole.

#include "framework/types.h"

#include <QString>
#include <array>
#include <functional>
#include <string>
#include <string_view>
#include <vector>

enum class CTextEncoding { Utf8, Utf8Lossy, Utf16LE, Utf16BE, CodePage };

// The encoding a byte-order mark at the start of head names (Utf8 without a mark; whether the
// text is valid UTF-8 is known only at its end), and the mark's length.
std::pair<CTextEncoding, std::size_t> EncodingOfMark(std::string_view head);

// Checks that a stream is UTF-8; a character may be split between two chunks.
class CUtf8Check {
public:
    void Feed(std::string_view bytes);
    // Valid once the whole stream was fed.
    bool Valid() const { return m_valid && m_pending.empty(); }

private:
    std::string m_pending;  // the start of a character the last chunk cut
    bool m_valid = true;
};

// Turns a stream of bytes into UTF-8, chunk by chunk; a character split between two chunks comes
// out with the second. Throws CBarcodeDBException naming the file and the line of a byte sequence
// the code page lacks.
class CTextDecoder {
public:
    CTextDecoder(CTextEncoding encoding, UINT codePage, const QString& fileName);
    ~CTextDecoder();
    CTextDecoder(const CTextDecoder&) = delete;
    CTextDecoder& operator=(const CTextDecoder&) = delete;

    // Appends the text of bytes to out.
    void Feed(std::string_view bytes, std::string& out);
    // The text is the bytes themselves: callers may take them as they are instead of Feed.
    bool PassesThrough() const { return m_encoding == CTextEncoding::Utf8; }
    // The end of the stream: a character left unfinished is an error in a code page.
    void Finish(std::string& out);

private:
    // consumed: the bytes of m_pending before the one that failed.
    [[noreturn]] void FailAt(std::string_view consumed);

    CTextEncoding m_encoding;
    UINT m_codePage = 0;
    QString m_fileName;
    void* m_iconv = nullptr;
    std::string m_pending;      // bytes of a character that the last chunk cut
    std::size_t m_lines = 0;    // line breaks in the bytes converted so far
};

// Finds the delimiter in the first line as the text streams in.
class CDelimiterGuess {
public:
    // True once the delimiter is known.
    bool Feed(std::string_view utf8);
    char Delimiter() const { return m_found ? m_found : ','; }

private:
    bool m_quoted = false;
    char m_found = 0;
    bool m_done = false;
};

// Splits a stream of UTF-8 text into records, each handed to the sink as its fields; the first
// record is the header. Empty lines are skipped; a quote left open runs to the end of the text.
class CDelimitedParser {
public:
    using RecordSink = std::function<void(const std::vector<std::string_view>& fields)>;

    // A record longer than longestRecord bytes throws CBarcodeDBException with tooLong. Of each
    // field at most keep bytes are kept and handed to the sink; Lengths tells the whole lengths.
    CDelimitedParser(char delimiter, RecordSink sink, std::size_t longestRecord = std::string::npos,
                     CString tooLong = {}, std::size_t keep = std::string::npos);
    void Feed(std::string_view utf8);
    void Finish();
    // The whole length of each field of the record being handed to the sink.
    const std::vector<std::size_t>& Lengths() const { return m_lengths; }

private:
    // Unquoted also holds the text after a quoted field's closing quote, which is kept.
    enum class State { LineStart, FieldStart, Unquoted, Quoted, QuoteSeen };
    void EndField();
    void EndRecord();
    // Hands the record at the start of s to the sink straight from s when s holds all of it and
    // no field needs its quotes undoubled; gives the bytes it took, 0 when it left it to Feed.
    std::size_t WholeRecord(std::string_view s);
    void Append(std::string_view text);

    char m_delimiter;
    std::array<bool, 256> m_ends;   // the bytes that end an unquoted field
    RecordSink m_sink;
    std::size_t m_longest;
    CString m_tooLong;
    std::size_t m_keep;
    State m_state = State::LineStart;
    std::string m_text;             // the kept text of the record's fields so far
    std::size_t m_recordLength = 0; // the record's whole length so far
    std::size_t m_fieldStart = 0;   // where the field being read starts in m_text
    std::size_t m_fieldLength = 0;  // and its whole length so far
    std::vector<std::size_t> m_offsets;  // of each field in m_text
    std::vector<std::size_t> m_lengths;
    std::vector<std::string_view> m_views;
};

// The delimiter of text already in memory.
char GuessDelimiter(std::string_view utf8);

// Throws CBarcodeDBException naming the file and the cause (missing, a folder, a FIFO or
// device, unreadable) unless path is a regular file this process may read.
void CheckRegularFile(const QString& path);
