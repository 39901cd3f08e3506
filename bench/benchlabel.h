#pragma once
// Shared by the benchmarks that need widgets: a document with its editing view, and a main that
// runs the benchmarks inside a Qt application (off screen unless a platform is chosen).

#include "document/drawdoc.h"
#include "view/drawview.h"

#include <QApplication>
#include <QSize>
#include <benchmark/benchmark.h>

struct BenchLabel {
    CDrawDoc doc;
    CDrawView view;
    explicit BenchLabel(QSize size = {})
    {
        if (size.isValid())
            view.resize(size);
        view.AttachDocument(&doc);
    }
};

inline int RunQtBenchmarks(int argc, char** argv)
{
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
