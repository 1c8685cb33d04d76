#pragma once

#include <QByteArray>
#include <QFile>
#include <QString>

// Hostile layout and settings files shared by the storage and main window tests: small
// ones are fixtures under tests/data/storage, big ones are made here at run time.
struct HostileFile {
    const char* name;
    QByteArray content;
};

inline QByteArray HostileFixture(const char* name) {
    QFile file(QStringLiteral(TAPDECK_TEST_DATA "/storage/") + QLatin1String(name));
    if (!file.open(QIODevice::ReadOnly))
        qFatal("cannot read fixture %s", name);
    return file.readAll();
}

inline QByteArray RepeatedSections(const QByteArray& section, const QByteArray& key, int count) {
    QByteArray text;
    for (int n = 0; n < count; ++n)
        text += section + "\r\n" + key + QByteArray::number(n) + "\r\n";
    return text;
}

inline constexpr qsizetype TenMegabytes = 10 * 1024 * 1024;

inline QByteArray HostileContent(const QString& kind) {
    const QByteArray tenMegabytes(TenMegabytes, 'x');
    if (kind == QLatin1String("binary garbage"))
        return HostileFixture("hostile_garbage.vmd");
    if (kind == QLatin1String("invalid CP932"))
        return HostileFixture("hostile_invalid_cp932.vmd");
    if (kind == QLatin1String("huge button count"))
        return HostileFixture("hostile_huge_count.vmd");
    if (kind == QLatin1String("negative and enormous geometry"))
        return HostileFixture("hostile_geometry.vmd");
    if (kind == QLatin1String("10 MB caption"))
        return "[Form]\r\nCaption=" + tenMegabytes +
               "\r\nWidth=400\r\nButton=1\r\n[Button1]\r\n"
               "Caption=" +
               tenMegabytes + "\r\n";
    if (kind == QLatin1String("10 MB line without an end"))
        return "[Form]\r\nWidth=400\r\n" + tenMegabytes;
    if (kind == QLatin1String("10 MB key and section name"))
        return "[" + tenMegabytes + "]\r\nA=1\r\n[Form]\r\n" + tenMegabytes + "=1\r\nWidth=400\r\n";
    if (kind == QLatin1String("thousand form sections"))
        return RepeatedSections("[Form]\r\nButton=1\r\nWidth=400", "Caption=Copy ", 1000);
    if (kind == QLatin1String("thousand Button1 sections"))
        return "[Form]\r\nWidth=400\r\nButton=1\r\n" +
               RepeatedSections("[button1]", "Caption=Take ", 1000);
    qFatal("unknown hostile file %s", qPrintable(kind));
}

inline const char* const HostileKinds[] = {"binary garbage",
                                           "invalid CP932",
                                           "huge button count",
                                           "negative and enormous geometry",
                                           "10 MB caption",
                                           "10 MB line without an end",
                                           "10 MB key and section name",
                                           "thousand form sections",
                                           "thousand Button1 sections"};
