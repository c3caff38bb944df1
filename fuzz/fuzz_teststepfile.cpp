// Any bytes as a test step file: loading never crashes, and what was loaded saves and loads back
// to the very same cells; the lossless text coding gives back every byte.

#include "model/LosslessText.h"
#include "model/TestProgram.h"
#include "model/TestStepFile.h"

#include <QCoreApplication>
#include <QFile>
#include <QTemporaryDir>
#include <cstdlib>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    static QTemporaryDir dir;
    const QByteArray bytes(reinterpret_cast<const char *>(data), qsizetype(size));
    if (LosslessText::encode(LosslessText::decode(bytes)) != bytes)
        std::abort();

    const QString path = dir.filePath(QStringLiteral("in.TSF"));
    QFile file(path);
    if (!file.open(QIODevice::WriteOnly))
        return 0;
    file.write(bytes);
    file.close();

    TestProgram first;
    if (!TestStepFile::LoadTestFile(first, path).ok)
        return 0;
    const QString copy = dir.filePath(QStringLiteral("out.TSF"));
    if (!TestStepFile::SaveTestFile(first, copy).ok)
        std::abort();
    TestProgram second;
    if (!TestStepFile::LoadTestFile(second, copy).ok || second.gridRowCount() != first.gridRowCount())
        std::abort();
    for (int row = 1; row < first.gridRowCount(); ++row)
        if (second.rowCells(row) != first.rowCells(row))
            std::abort();
    return 0;
}
