#pragma once
// The "Document Properties" sheet: the summary page (editable) and the statistics page (shown
// only) on a document's summary information.

#include "document/summfields.h"
#include "framework/ui/propertysheet.h"

class CDrawDoc;

class CSummPage : public CPropertyPage
{
    Q_OBJECT
public:
    explicit CSummPage(CSummaryFields* fields, QWidget* parent = nullptr);
    void OnOK() override;

private:
    CSummaryFields* m_fields;
};

class CStatPage : public CPropertyPage
{
    Q_OBJECT
public:
    explicit CStatPage(const CSummaryFields& fields, QWidget* parent = nullptr);
};

// Runs the sheet on the document; on OK the summary texts are written back and the document is
// marked modified. Cancel changes nothing.
int RunDocumentProperties(CDrawDoc* doc, QWidget* parent);
