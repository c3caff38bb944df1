#include "Console.h"

#include <unistd.h>

namespace Console {

void printLine(FILE *stream, const QString &text)
{
    std::fputs(text.toLocal8Bit().constData(), stream);
    std::fputc('\n', stream);
    std::fflush(stream);
}

bool isTerminal(FILE *stream) { return isatty(fileno(stream)) == 1; }

} // namespace Console
