#pragma once

#include "report/OverlayPainter.h"

#include <QString>

class RunComparison;

// Several stored runs compared on A4 landscape pages, to file with the parts they tested: what is
// compared, the runs' curves over each other, their figures with the spread over them, and which
// run is which.
class ComparisonReport
{
public:
    // Written to `pdfPath` as OutputFile writes it ("-": standard output). An empty text on
    // success, else the path and the reason.
    static QString write(const RunComparison &comparison, const OverlayPainter::View &view, const QString &pdfPath);
};
