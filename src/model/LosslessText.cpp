#include "model/LosslessText.h"

namespace LosslessText {

namespace {

constexpr char16_t EscapeBase = 0xDC00;

// Length of the valid UTF-8 sequence starting at i, or 0 when the byte there starts none.
int sequenceLength(const QByteArray &bytes, qsizetype i, char32_t &codePoint)
{
    const auto byte = [&](qsizetype k) { return uchar(bytes.at(k)); };
    const uchar lead = byte(i);
    int length = 0;
    char32_t value = 0;
    char32_t minimum = 0;
    if (lead < 0x80) {
        codePoint = lead;
        return 1;
    } else if ((lead & 0xE0) == 0xC0) {
        length = 2, value = lead & 0x1F, minimum = 0x80;
    } else if ((lead & 0xF0) == 0xE0) {
        length = 3, value = lead & 0x0F, minimum = 0x800;
    } else if ((lead & 0xF8) == 0xF0) {
        length = 4, value = lead & 0x07, minimum = 0x10000;
    } else {
        return 0;
    }
    if (i + length > bytes.size())
        return 0;
    for (int k = 1; k < length; ++k) {
        if ((byte(i + k) & 0xC0) != 0x80)
            return 0;
        value = (value << 6) | (byte(i + k) & 0x3F);
    }
    if (value < minimum || value > 0x10FFFF || (value >= 0xD800 && value <= 0xDFFF))
        return 0;
    codePoint = value;
    return length;
}

} // namespace

QString decode(const QByteArray &bytes)
{
    QString text;
    text.reserve(bytes.size());
    for (qsizetype i = 0; i < bytes.size();) {
        char32_t codePoint = 0;
        const int length = sequenceLength(bytes, i, codePoint);
        if (length == 0) {
            text.append(QChar(char16_t(EscapeBase + uchar(bytes.at(i)))));
            ++i;
            continue;
        }
        const char32_t single[] = {codePoint};
        text.append(QString::fromUcs4(single, 1));
        i += length;
    }
    return text;
}

QByteArray encode(const QString &text)
{
    QByteArray bytes;
    bytes.reserve(text.size());
    qsizetype runStart = 0;
    auto flush = [&](qsizetype end) {
        if (end > runStart)
            bytes.append(QStringView(text).mid(runStart, end - runStart).toUtf8());
    };
    for (qsizetype i = 0; i < text.size(); ++i) {
        const char16_t unit = text.at(i).unicode();
        const bool pairedLow = i > 0 && QChar::isHighSurrogate(text.at(i - 1).unicode());
        if (unit >= EscapeBase + 0x80 && unit <= EscapeBase + 0xFF && !pairedLow) {
            flush(i);
            bytes.append(char(unit - EscapeBase));
            runStart = i + 1;
        }
    }
    flush(text.size());
    return bytes;
}

} // namespace LosslessText
