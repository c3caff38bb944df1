#include "editor/PictureIcon.h"

namespace PictureIcon {

namespace {

struct Names
{
    const char *theme;
    const char *file;
};

Names namesOf(Picture picture)
{
    switch (picture) {
    case Run:
        return {"media-playback-start", "run"};
    case Stop:
        return {"media-playback-stop", "stop"};
    case Connect:
        return {"network-wired", "connect"};
    case Add:
        return {"list-add", "add"};
    case Remove:
        return {"list-remove", "remove"};
    case Insert:
        return {"insert-object", "insert"};
    case Modify:
        return {"document-edit", "modify"};
    case MoveUp:
        return {"go-up", "move-up"};
    case MoveDown:
        return {"go-down", "move-down"};
    case Open:
        return {"document-open", "open"};
    case Save:
        return {"document-save", "save"};
    case Logo:
        return {"", "logo"};
    }
    return {"", ""};
}

} // namespace

QIcon fallback(Picture picture)
{
    return QIcon(QStringLiteral(":/icons/%1.xpm").arg(QLatin1String(namesOf(picture).file)));
}

QIcon icon(Picture picture)
{
    const Names names = namesOf(picture);
    if (*names.theme == '\0')
        return fallback(picture);
    return QIcon::fromTheme(QLatin1String(names.theme), fallback(picture));
}

} // namespace PictureIcon
