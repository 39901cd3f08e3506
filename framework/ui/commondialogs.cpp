#include "framework/ui/commondialogs.h"

#include "framework/ui/dialogids.h"

#include <QApplication>
#include <algorithm>
#include <QDialogButtonBox>
#include <QFileInfo>
#include <QFontDatabase>
#include <QFontDialog>
#include <QFontInfo>
#include <QGuiApplication>
#include <QHBoxLayout>
#include <QPainter>
#include <QPixmap>
#include <QPushButton>
#include <QScreen>
#include <QVBoxLayout>

#include <climits>
#include <cmath>
#include <utility>

QColor ColorOf(COLORREF c)
{
    return QColor(GetRValue(c), GetGValue(c), GetBValue(c));
}

COLORREF ColorRefOf(const QColor& c)
{
    const QColor rgb = c.toRgb();
    return RGB(rgb.red(), rgb.green(), rgb.blue());
}

namespace {
QWidget* ParentOr(QWidget* parent)
{
    return parent ? parent : QApplication::activeWindow();
}
}  // namespace

// --- CFileDialog ------------------------------------------------------------------------------

QStringList CFileDialog::NameFilters(const CString& filter)
{
    QStringList result;
    const QStringList parts = filter.split(u'|');
    // Pairs of text and patterns; the list ends at the first empty text.
    for (qsizetype i = 0; i + 1 < parts.size(); i += 2) {
        const QString text = parts[i].trimmed();
        if (text.isEmpty())
            break;
        QStringList patterns;
        for (QString p : parts[i + 1].split(u';', Qt::SkipEmptyParts)) {
            p = p.trimmed();
            if (p == QLatin1String("*.*"))
                p = QStringLiteral("*");
            if (!p.isEmpty() && !patterns.contains(p))
                patterns << p;
        }
        if (patterns.isEmpty())
            patterns << QStringLiteral("*");
        // Qt reads the patterns from the last parenthesised group and, with the details hidden,
        // shows the text as the resource gives it.
        result << text + QStringLiteral(" (") + patterns.join(u' ') + u')';
    }
    return result;
}

CFileDialog::CFileDialog(BOOL openFileDialog, const CString& defaultExt, const CString& fileName, DWORD flags,
                         const CString& filter, QWidget* parent)
    : QFileDialog(ParentOr(parent))
{
    setOption(QFileDialog::DontUseNativeDialog, true);
    setOption(QFileDialog::HideNameFilterDetails, true);
    setAcceptMode(openFileDialog ? QFileDialog::AcceptOpen : QFileDialog::AcceptSave);
    setFileMode((flags & OFN_FILEMUSTEXIST) ? QFileDialog::ExistingFile : QFileDialog::AnyFile);
    setOption(QFileDialog::DontConfirmOverwrite, !(flags & OFN_OVERWRITEPROMPT));
    setOption(QFileDialog::ReadOnly, false);
    QString ext = defaultExt;
    while (ext.startsWith(u'.'))
        ext.remove(0, 1);
    if (!ext.isEmpty())
        setDefaultSuffix(ext);
    const QStringList filters = NameFilters(filter);
    if (!filters.isEmpty())
        setNameFilters(filters);
    if (!fileName.isEmpty())
        selectFile(fileName);
}

int CFileDialog::DoModal()
{
    m_path.clear();
    if (exec() != QDialog::Accepted)
        return IDCANCEL;
    m_path = selectedFiles().value(0);
    return m_path.isEmpty() ? IDCANCEL : IDOK;
}

CString CFileDialog::GetPathName() const
{
    return m_path;
}

CString CFileDialog::GetFileName() const
{
    return QFileInfo(m_path).fileName();
}

CString CFileDialog::GetFileExt() const
{
    const CString name = GetFileName();
    const qsizetype dot = name.lastIndexOf(u'.');
    return dot < 0 ? CString() : name.mid(dot + 1);
}

// --- CColorDialog -----------------------------------------------------------------------------

CColorDialog::CColorDialog(COLORREF initial, DWORD, QWidget* parent) : QColorDialog(ParentOr(parent))
{
    setOption(QColorDialog::DontUseNativeDialog, true);
    setCurrentColor(ColorOf(initial));
}

int CColorDialog::DoModal()
{
    return exec() == QDialog::Accepted ? IDOK : IDCANCEL;
}

COLORREF CColorDialog::GetColor() const
{
    return ColorRefOf(selectedColor().isValid() ? selectedColor() : currentColor());
}

// --- CFontDialog ------------------------------------------------------------------------------

int CFontDialog::ScreenPixelsPerInch()
{
    const QScreen* screen = QGuiApplication::primaryScreen();
    const int ppi = screen ? qRound(screen->logicalDotsPerInchX()) : 96;
    return ppi > 0 ? ppi : 96;
}

CFontDialog::CFontDialog(const LOGFONTW* font, DWORD flags, QWidget* parent) : QDialog(ParentOr(parent))
{
    if (font)
        m_initial = *font;
    setWindowTitle(tr("Font"));
    m_fonts = new QFontDialog(this);
    m_fonts->setWindowFlags(Qt::Widget);
    m_fonts->setOptions(QFontDialog::DontUseNativeDialog | QFontDialog::NoButtons);

    QFont qf(SubstituteFaceName(FaceNameOf(m_initial)));
    const int ppi = ScreenPixelsPerInch();
    const double points = std::abs(double(m_initial.lfHeight)) * 72.0 / ppi;
    if (points > 0)
        qf.setPointSizeF(points);
    qf.setWeight(QFont::Weight(std::clamp(m_initial.lfWeight > 0 ? int(m_initial.lfWeight) : 400, 100, 900)));
    qf.setItalic(m_initial.lfItalic != 0);
    qf.setUnderline(m_initial.lfUnderline != 0);
    qf.setStrikeOut(m_initial.lfStrikeOut != 0);
    // Qt's dialog picks the style by a name of its own making ("Normal", "Bold Italic") and
    // falls back to the family's first style, so it is handed the name of the family's face
    // that stands nearest the font.
    m_given = qf;
    qf.setStyleName(NearestStyle(qf));
    m_fonts->setCurrentFont(qf);
    m_fonts->show();
    m_shown = m_fonts->currentFont();
    m_shownFamily = m_shown.family();
    // Another family keeps the weight and slant: Qt's dialog looks for a style of the same name
    // and otherwise falls back to the family's first, which may be bold or italic.
    m_last = m_shown;
    connect(m_fonts, &QFontDialog::currentFontChanged, this, [this](const QFont& font) {
        const QFont last = std::exchange(m_last, font);
        const bool fellBack = font.family() != last.family() && font.styleName() != last.styleName() &&
                              QFontDatabase::styles(font.family()).value(0) == font.styleName();
        if (m_restyling || !fellBack)
            return;
        // A style left as shown stands for the given weight and slant.
        const QFont& kept = SameStyle(last, m_shown) ? m_given : last;
        QFont wanted = font;
        wanted.setStyleName({});
        wanted.setWeight(kept.weight());
        wanted.setItalic(kept.italic());
        const QString style = NearestStyle(wanted);
        if (style.isEmpty() || style == font.styleName())
            return;
        wanted.setStyleName(style);
        m_restyling = true;
        m_fonts->setCurrentFont(wanted);
        m_restyling = false;
        m_last = m_fonts->currentFont();
    });

    auto* layout = new QVBoxLayout(this);
    layout->addWidget(m_fonts);
    auto* row = new QHBoxLayout;
    if (flags & CF_EFFECTS) {
        m_colorButton = new QPushButton(tr("Colour..."), this);
        m_colorButton->setObjectName(QStringLiteral("colour"));
        connect(m_colorButton, &QPushButton::clicked, this, &CFontDialog::ChooseColor);
        row->addWidget(m_colorButton);
        PaintColorButton();
    }
    row->addStretch(1);
    auto* box = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel, this);
    connect(box, &QDialogButtonBox::accepted, this, &QDialog::accept);
    connect(box, &QDialogButtonBox::rejected, this, &QDialog::reject);
    row->addWidget(box);
    layout->addLayout(row);
}

bool CFontDialog::SameStyle(const QFont& a, const QFont& b)
{
    return a.styleName() == b.styleName() && a.weight() == b.weight() && a.style() == b.style();
}

QString CFontDialog::NearestStyle(const QFont& font)
{
    const QString family = font.family();
    const QStringList styles = QFontDatabase::styles(family);
    // The face the font is drawn with, when the family names it.
    const QString drawn = QFontInfo(font).styleName();
    if (!drawn.isEmpty() && styles.contains(drawn))
        return drawn;
    // Otherwise the slant must match where it can, and the weight come nearest.
    QString best;
    int bestDistance = INT_MAX;
    for (const QString& style : styles) {
        const QFont face = QFontDatabase::font(family, style, 12);
        const bool slanted = face.style() != QFont::StyleNormal;
        const int distance = (slanted != font.italic() ? 1000 : 0) + std::abs(face.weight() - font.weight());
        if (distance < bestDistance) {
            bestDistance = distance;
            best = style;
        }
    }
    return best;
}

int CFontDialog::DoModal()
{
    return exec() == QDialog::Accepted ? IDOK : IDCANCEL;
}

void CFontDialog::SetColor(COLORREF c)
{
    m_color = c;
    PaintColorButton();
}

void CFontDialog::ChooseColor()
{
    CColorDialog dialog(m_color, 0, this);
    if (dialog.DoModal() == IDOK)
        SetColor(dialog.GetColor());
}

void CFontDialog::PaintColorButton()
{
    if (!m_colorButton)
        return;
    QPixmap swatch(16, 16);
    swatch.fill(ColorOf(m_color));
    QPainter p(&swatch);
    p.setPen(Qt::gray);
    p.drawRect(0, 0, 15, 15);
    p.end();
    m_colorButton->setIcon(QIcon(swatch));
}

void CFontDialog::GetCurrentFont(LOGFONTW* font) const
{
    if (!font)
        return;
    const QFont qf = m_fonts->currentFont();
    const CString stored = FaceNameOf(m_initial);
    const CString family = qf.family();
    // The stored face of the design stays when the family is only its installed stand-in, or
    // when the user left the family as it was shown.
    if (family == m_shownFamily || family.compare(SubstituteFaceName(stored), Qt::CaseInsensitive) == 0)
        SetFaceName(*font, stored);
    else
        SetFaceName(*font, family);
    // What the user left as it was shown comes back as it was given, not as the dialog reads
    // it: the shown size is whole points and the shown style the family's nearest face.
    const double points = qf.pointSizeF() > 0 ? qf.pointSizeF() : double(qf.pointSize());
    if (points == m_shown.pointSizeF())
        font->lfHeight = m_initial.lfHeight;
    else if (points > 0)
        font->lfHeight = -LONG(std::lround(points * ScreenPixelsPerInch() / 72.0));
    if (SameStyle(qf, m_shown)) {
        font->lfWeight = m_initial.lfWeight;
        font->lfItalic = m_initial.lfItalic;
    } else {
        font->lfWeight = LONG(qf.weight());
        font->lfItalic = qf.italic() ? 1 : 0;
    }
    font->lfUnderline = qf.underline() ? 1 : 0;
    font->lfStrikeOut = qf.strikeOut() ? 1 : 0;
}
