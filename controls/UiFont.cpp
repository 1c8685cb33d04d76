#include "UiFont.h"

#include <QStringList>

QFont UiFont() {
    QFont font;
    font.setFamilies({QStringLiteral("ＭＳ Ｐゴシック"), QStringLiteral("IPAPGothic"),
                      QStringLiteral("IPAGothic"), QStringLiteral("TakaoPGothic"),
                      QStringLiteral("Noto Sans CJK JP"), QStringLiteral("VL PGothic")});
    font.setPixelSize(12);
    return font;
}
