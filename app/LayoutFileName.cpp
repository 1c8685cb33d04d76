#include "LayoutFileName.h"

QString WithLayoutExtension(const QString& fileName) {
    const qsizetype nameStart = fileName.lastIndexOf('/') + 1;
    const qsizetype dot = fileName.lastIndexOf('.');
    const QString stem = dot >= nameStart ? fileName.left(dot) : fileName;
    return stem + QStringLiteral(".vmd");
}
