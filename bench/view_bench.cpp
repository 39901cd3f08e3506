// The editing view with a label of 200 objects: repainting at zoom 400 and 100, the whole window
// drawn through the off-screen picture, rulers included; exporting it as a picture at 300 and
// 1200 dpi; copying and pasting all its objects.

#include "benchlabel.h"
#include "image/rasterimage.h"
#include "objects/drawobj.h"
#include "objects/drawtext.h"
#include "symbology/drawbarcode.h"

#include <QImage>
#include <QPainter>

namespace {

// A mixed label of 200 objects in a 1280 × 900 view: every fifth object a text, every tenth a
// Code 128 symbol, the rest shapes.
struct MixedLabel : BenchLabel {
    MixedLabel() : BenchLabel(QSize(1280, 900))
    {
        const float size[2] = {1000.0f, 600.0f};
        doc.SetLabelSize(size);
        for (int i = 0; i < 200; ++i) {
            const int x = (i % 20) * 290, y = (i / 20) * 340;
            const CRect r(x, y, x + 250, y + 300);
            if (i % 10 == 5) {
                view.AddObject(new CDrawBarcode(r, &view, QStringLiteral("%1").arg(1000 + i), 3));
            } else if (i % 5 == 0) {
                view.AddObject(new CDrawText(r, &view, QStringLiteral("T%1").arg(i)));
            } else {
                auto* obj = new CDrawRect(r);
                obj->m_nShape = i % 4;
                obj->m_bBrush = i % 3 == 0;
                obj->m_logbrush.lbColor = RGB(200, 220, 255);
                doc.Add(obj);
            }
        }
    }
};

void BM_RepaintAtZoom(benchmark::State& state)
{
    MixedLabel label;
    CDrawView& view = label.view;
    view.show();
    view.OnActivateView(TRUE);
    view.Select(label.doc.GetObjects()[5]);
    label.doc.SetZoom(int(state.range(0)));
    const int e = view.GetViewportExtent();
    view.ScrollToPosition(CPoint(10 * e - 40, 10 * e - 40));
    QImage target(view.viewport()->size(), QImage::Format_RGB32);
    const QRect all(QPoint(0, 0), view.viewport()->size());
    for (auto _ : state) {
        QPainter painter(&target);
        view.Paint(painter, all);
    }
    state.counters["objects"] = double(label.doc.GetObjects().size());
}
BENCHMARK(BM_RepaintAtZoom)->Arg(400)->Arg(100)->Unit(benchmark::kMillisecond);

// The same label exported as a picture: rendered in bands of 1024 rows into the image, without
// saving.
void BM_RenderLabelAtDpi(benchmark::State& state)
{
    MixedLabel label;
    const int dpi = int(state.range(0));
    const float* size = label.doc.GetLabelSize();
    const int w = int(size[0] / 100.0f / 2.54f * float(dpi)), h = int(size[1] / 100.0f / 2.54f * float(dpi));
    CRasterImage image;
    image.Create(DWORD(w), DWORD(h), 24, RASTER_FORMAT_BMP);
    for (auto _ : state)
        label.view.RenderLabel(&image, w, h, dpi);
    state.counters["pixels"] = double(w) * h;
}
BENCHMARK(BM_RenderLabelAtDpi)->Arg(300)->Arg(1200)->Unit(benchmark::kMillisecond);

// Copying the 200 objects to the clipboard and pasting them back, the pasted copies removed
// again after each round.
void BM_CopyPaste(benchmark::State& state)
{
    MixedLabel label;
    for (auto _ : state) {
        label.view.OnSelectAll();
        label.view.OnEditCopy();
        label.view.OnEditPaste();
        state.PauseTiming();
        label.view.OnEditClear();
        state.ResumeTiming();
    }
    state.counters["objects"] = double(label.doc.GetObjects().size());
}
BENCHMARK(BM_CopyPaste)->Unit(benchmark::kMillisecond);

}  // namespace

int main(int argc, char** argv)
{
    return RunQtBenchmarks(argc, argv);
}
