#pragma once
// The texts of the "Document Properties" sheet: filled from a document's summary information
// before the sheet opens, and the editable ones written back when it is confirmed.

#include "framework/types.h"

class CDrawDoc;
class CSummInfo;

struct CSummaryFields {
    // The summary page; the application name is shown only.
    CString title, subject, author, keywords, comments, templateName, appName;
    // The statistics page, shown only.
    CString lastAuthor, revision, editTime, lastPrinted, created, lastSaved, pages, words,
        characters, security;
};

CSummaryFields ReadSummaryFields(const CSummInfo& info);
// Writes author, keywords, subject, comments, template and title, in that order, and marks the
// document modified.
void WriteSummaryFields(CDrawDoc& doc, const CSummaryFields& fields);
