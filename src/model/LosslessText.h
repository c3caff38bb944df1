#pragma once

#include <QByteArray>
#include <QString>

// UTF-8 that keeps every byte: a byte that is not part of valid UTF-8 becomes a lone surrogate
// U+DC80..U+DCFF on decoding and the same byte again on encoding, so files written by other
// programs in another code page survive a load and save unchanged.
namespace LosslessText {

QString decode(const QByteArray &bytes);
QByteArray encode(const QString &text);

} // namespace LosslessText
