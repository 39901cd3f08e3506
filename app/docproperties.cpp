#include "app/docproperties.h"

#include "document/drawdoc.h"
#include "framework/resourcemodule.h"
#include "framework/ui/dialogids.h"
#include "framework/ui/dialoglayout.h"

#include <QLineEdit>

namespace {
constexpr UINT IDD_SUMMARY = 104;
constexpr UINT IDD_STATISTICS = 105;

// Control ids of the summary page and the fields they show.
struct Binding {
    int id;
    CString CSummaryFields::*field;
};
constexpr Binding kSummary[] = {
    {105, &CSummaryFields::author},   {106, &CSummaryFields::keywords},
    {109, &CSummaryFields::subject},  {107, &CSummaryFields::comments},
    {110, &CSummaryFields::templateName}, {108, &CSummaryFields::title},
};
constexpr Binding kStatistics[] = {
    {111, &CSummaryFields::lastAuthor}, {112, &CSummaryFields::revision},
    {113, &CSummaryFields::editTime},   {114, &CSummaryFields::lastPrinted},
    {115, &CSummaryFields::created},    {116, &CSummaryFields::lastSaved},
    {117, &CSummaryFields::pages},      {118, &CSummaryFields::words},
    {119, &CSummaryFields::characters}, {122, &CSummaryFields::security},
};
constexpr int IDC_APPNAME = 120;
}  // namespace

CSummPage::CSummPage(CSummaryFields* fields, QWidget* parent)
    : CPropertyPage(IDD_SUMMARY, {}, parent), m_fields(fields)
{
    ApplyDialogLayout(this, CResourceModule::Get().LoadDialogLayout(IDD_SUMMARY));
    SetCaption(windowTitle());
    for (const Binding& b : kSummary)
        SetDlgItemText(this, b.id, m_fields->*b.field);
    SetDlgItemText(this, IDC_APPNAME, m_fields->appName);
    if (auto* e = GetDlgItem<QLineEdit>(this, IDC_APPNAME))
        e->setReadOnly(true);
}

void CSummPage::OnOK()
{
    for (const Binding& b : kSummary)
        m_fields->*b.field = GetDlgItemText(this, b.id);
}

CStatPage::CStatPage(const CSummaryFields& fields, QWidget* parent) : CPropertyPage(IDD_STATISTICS, {}, parent)
{
    ApplyDialogLayout(this, CResourceModule::Get().LoadDialogLayout(IDD_STATISTICS));
    SetCaption(windowTitle());
    for (const Binding& b : kStatistics) {
        SetDlgItemText(this, b.id, fields.*b.field);
        if (auto* e = GetDlgItem<QLineEdit>(this, b.id))
            e->setReadOnly(true);
    }
}

int RunDocumentProperties(CDrawDoc* doc, QWidget* parent)
{
    if (!doc || !doc->GetSummInfo())
        return IDCANCEL;
    CSummaryFields fields = ReadSummaryFields(*doc->GetSummInfo());
    CSummPage summary(&fields);
    CStatPage statistics(fields);
    CPropertySheet sheet(CResourceModule::Get().DialogText(QStringLiteral("Document Properties")), parent);
    sheet.AddPage(&summary);
    sheet.AddPage(&statistics);
    const int result = sheet.DoModal();
    if (result == IDOK)
        WriteSummaryFields(*doc, fields);
    return result;
}
