#include "document/summfields.h"

#include "document/drawdoc.h"
#include "document/summinfo.h"

CSummaryFields ReadSummaryFields(const CSummInfo& info)
{
    CSummaryFields f;
    f.author = info.GetAuthor();
    f.keywords = info.GetKeywords();
    f.subject = info.GetSubject();
    f.comments = info.GetComments();
    f.templateName = info.GetTemplate();
    f.title = info.GetTitle();
    f.appName = info.GetAppname();
    f.lastAuthor = info.GetLastAuthor();
    f.revision = info.GetRevNum();
    f.editTime = info.GetEditTime();
    f.lastPrinted = info.GetLastPrintDate();
    f.created = info.GetCreateDate();
    f.lastSaved = info.GetLastSave();
    f.pages = info.GetNumPages();
    f.words = info.GetNumWords();
    f.characters = info.GetNumChars();
    f.security = info.GetSecurity();
    return f;
}

void WriteSummaryFields(CDrawDoc& doc, const CSummaryFields& f)
{
    CSummInfo* info = doc.GetSummInfo();
    if (!info)
        return;
    info->SetAuthor(f.author);
    info->SetKeywords(f.keywords);
    info->SetSubject(f.subject);
    info->SetComments(f.comments);
    info->SetTemplate(f.templateName);
    info->SetTitle(f.title);
    doc.SetModifiedFlag(TRUE);
}
