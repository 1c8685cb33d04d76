#include "BoardModel.h"
#include "SimulatorOptions.h"

#include <QTest>

using namespace board;

namespace {

QByteArray ToBytes(const Bytes& bytes) {
    return QByteArray(reinterpret_cast<const char*>(bytes.data()), qsizetype(bytes.size()));
}

QString KindName(BoardEvent::Kind kind) {
    switch (kind) {
    case BoardEvent::Kind::Probe:
        return "probe";
    case BoardEvent::Kind::Played:
        return "played";
    case BoardEvent::Kind::Refused:
        return "refused";
    case BoardEvent::Kind::Ignored:
        return "ignored";
    case BoardEvent::Kind::BadChecksum:
        return "bad";
    case BoardEvent::Kind::Stray:
        return "stray";
    case BoardEvent::Kind::Incomplete:
        return "incomplete";
    case BoardEvent::Kind::Sent:
        return "sent";
    }
    return "?";
}

} // namespace

class TestBoardModel : public QObject {
    Q_OBJECT
private slots:
    void replies_data();
    void replies();
    void playNumberAndFlags();
    void incompleteCommandDroppedAfterGap();
    void describePlayNumber_data();
    void describePlayNumber();
    void parseOptions_data();
    void parseOptions();
    void parseOptionsRefuses_data();
    void parseOptionsRefuses();
};

void TestBoardModel::replies_data() {
    QTest::addColumn<int>("mode");
    QTest::addColumn<int>("probeCount");
    QTest::addColumn<QList<QByteArray>>("chunks");
    QTest::addColumn<QByteArray>("reply");
    QTest::addColumn<QString>("events");

    const int normal = int(ReplyMode::Normal);
    const QByteArray play0 = QByteArray::fromHex("F40100F5");
    QTest::newRow("probe") << normal << 1 << QList<QByteArray>{"\x0D"} << QByteArray("\x0D")
                           << "probe sent";
    QTest::newRow("probe two bytes")
        << normal << 2 << QList<QByteArray>{"\x0D"} << QByteArray("\x0D\x0D") << "probe sent";
    QTest::newRow("probe no bytes")
        << normal << 0 << QList<QByteArray>{"\x0D"} << QByteArray() << "probe";
    QTest::newRow("play 0") << normal << 1 << QList<QByteArray>{play0} << QByteArray("\x06")
                            << "played sent";
    QTest::newRow("play 13 holds the probe value")
        << normal << 1 << QList<QByteArray>{QByteArray::fromHex("F4010D02")} << QByteArray("\x06")
        << "played sent";
    QTest::newRow("command split over reads")
        << normal << 1
        << QList<QByteArray>{QByteArray::fromHex("F401"), QByteArray::fromHex("00F5")}
        << QByteArray("\x06") << "played sent";
    QTest::newRow("probe and command in one read")
        << normal << 1 << QList<QByteArray>{QByteArray::fromHex("0DF4015045")}
        << QByteArray("\x0D\x06") << "probe sent played sent";
    QTest::newRow("bad checksum") << normal << 1
                                  << QList<QByteArray>{QByteArray::fromHex("F40100F4")}
                                  << QByteArray("\x15") << "bad sent";
    QTest::newRow("stray byte") << normal << 1 << QList<QByteArray>{"A"} << QByteArray() << "stray";
    QTest::newRow("nak") << int(ReplyMode::Nak) << 1 << QList<QByteArray>{"\x0D", play0}
                         << QByteArray("\x0D\x15") << "probe sent refused sent";
    QTest::newRow("probe only") << int(ReplyMode::ProbeOnly) << 1
                                << QList<QByteArray>{"\x0D", play0} << QByteArray("\x0D")
                                << "probe sent ignored";
    QTest::newRow("probe only, bad checksum")
        << int(ReplyMode::ProbeOnly) << 1 << QList<QByteArray>{QByteArray::fromHex("F40100F4")}
        << QByteArray() << "bad";
    QTest::newRow("silent") << int(ReplyMode::Silent) << 1 << QList<QByteArray>{"\x0D", play0}
                            << QByteArray() << "probe ignored";
}

void TestBoardModel::replies() {
    QFETCH(int, mode);
    QFETCH(int, probeCount);
    QFETCH(QList<QByteArray>, chunks);
    QFETCH(QByteArray, reply);
    QFETCH(QString, events);

    BoardSettings settings;
    settings.mode = ReplyMode(mode);
    settings.probeReplyCount = probeCount;
    BoardModel model(settings);
    QByteArray replies;
    QStringList kinds;
    for (const QByteArray& chunk : chunks) {
        const FeedResult result = model.Feed(reinterpret_cast<const std::uint8_t*>(chunk.data()),
                                             std::size_t(chunk.size()), 0);
        replies += ToBytes(result.reply);
        for (const BoardEvent& event : result.events)
            kinds << KindName(event.kind);
    }
    QCOMPARE(replies.toHex(' '), reply.toHex(' '));
    QCOMPARE(kinds.join(' '), events);
    QVERIFY(!model.HasPartialCommand());
}

void TestBoardModel::playNumberAndFlags() {
    BoardSettings settings;
    settings.probeReply = 0x00;
    BoardModel model(settings);
    FeedResult probe = model.Feed(Bytes{0x0D}, 0);
    QCOMPARE(ToBytes(probe.reply), QByteArray(1, '\0'));
    FeedResult result = model.Feed(Bytes{0xF4, 0x05, 0x54, 0x4D}, 0);
    QCOMPARE(result.events.size(), std::size_t(2));
    QCOMPARE(result.events[0].number, 84);
    QCOMPARE(result.events[0].flags, 0x05);
    QCOMPARE(ToBytes(result.events[0].bytes), QByteArray::fromHex("F405544D"));
}

void TestBoardModel::incompleteCommandDroppedAfterGap() {
    BoardModel model;
    QVERIFY(model.Feed(Bytes{0xF4, 0x01}, 1000).events.empty());
    QVERIFY(model.HasPartialCommand());
    // Within the gap the command goes on; after it, the next byte starts afresh.
    FeedResult result = model.Feed(Bytes{0x0D}, 1200);
    QCOMPARE(result.events.size(), std::size_t(3));
    QCOMPARE(KindName(result.events[0].kind), QString("incomplete"));
    QCOMPARE(ToBytes(result.events[0].bytes), QByteArray::fromHex("F401"));
    QCOMPARE(KindName(result.events[1].kind), QString("probe"));
    QCOMPARE(ToBytes(result.reply), QByteArray("\x0D"));

    model.Feed(Bytes{0xF4, 0x01}, 2000);
    result = model.Feed(Bytes{0x00, 0xF5}, 2050);
    QCOMPARE(KindName(result.events[0].kind), QString("played"));
}

void TestBoardModel::describePlayNumber_data() {
    QTest::addColumn<int>("number");
    QTest::addColumn<QString>("text");
    QTest::newRow("0") << 0 << "motion 1";
    QTest::newRow("79") << 79 << "motion 80";
    QTest::newRow("80") << 80 << "scenario 1";
    QTest::newRow("84") << 84 << "scenario 5";
    QTest::newRow("85") << 85 << "unknown";
    QTest::newRow("255") << 255 << "unknown";
}

void TestBoardModel::describePlayNumber() {
    QFETCH(int, number);
    QFETCH(QString, text);
    QCOMPARE(QString::fromStdString(DescribePlayNumber(number)), text);
}

void TestBoardModel::parseOptions_data() {
    QTest::addColumn<QStringList>("args");
    QTest::addColumn<QString>("folder");
    QTest::addColumn<int>("port");
    QTest::addColumn<int>("mode");
    QTest::addColumn<int>("delay");
    QTest::addColumn<int>("probeReply");
    QTest::addColumn<int>("probeCount");

    const int normal = int(ReplyMode::Normal);
    QTest::newRow("defaults") << QStringList{} << "." << 1 << normal << 0 << 0x0D << 1;
    QTest::newRow("folder and port")
        << QStringList{"--dir", "/tmp/x", "-p", "30"} << "/tmp/x" << 30 << normal << 0 << 0x0D << 1;
    QTest::newRow("equals form") << QStringList{"--dir=/a", "--port=7", "--delay=25"} << "/a" << 7
                                 << normal << 25 << 0x0D << 1;
    QTest::newRow("silent") << QStringList{"--silent"} << "." << 1 << int(ReplyMode::Silent) << 0
                            << 0x0D << 1;
    QTest::newRow("nak") << QStringList{"--nak"} << "." << 1 << int(ReplyMode::Nak) << 0 << 0x0D
                         << 1;
    QTest::newRow("probe only") << QStringList{"--probe-only"} << "." << 1
                                << int(ReplyMode::ProbeOnly) << 0 << 0x0D << 1;
    QTest::newRow("probe reply hex") << QStringList{"--probe-reply", "0x00", "--probe-bytes", "2"}
                                     << "." << 1 << normal << 0 << 0 << 2;
    QTest::newRow("probe reply decimal")
        << QStringList{"--probe-reply=255"} << "." << 1 << normal << 0 << 255 << 1;
}

void TestBoardModel::parseOptions() {
    QFETCH(QStringList, args);
    QFETCH(QString, folder);
    QFETCH(int, port);
    QFETCH(int, mode);
    QFETCH(int, delay);
    QFETCH(int, probeReply);
    QFETCH(int, probeCount);

    std::vector<std::string> list;
    for (const QString& arg : args)
        list.push_back(arg.toStdString());
    const ParseResult result = ParseOptions(list);
    QCOMPARE(QString::fromStdString(result.error), QString());
    QCOMPARE(QString::fromStdString(result.options.folder), folder);
    QCOMPARE(result.options.port, port);
    QCOMPARE(int(result.options.board.mode), mode);
    QCOMPARE(result.options.delayMs, delay);
    QCOMPARE(int(result.options.board.probeReply), probeReply);
    QCOMPARE(result.options.board.probeReplyCount, probeCount);
}

void TestBoardModel::parseOptionsRefuses_data() {
    QTest::addColumn<QStringList>("args");
    QTest::newRow("port 0") << QStringList{"--port", "0"};
    QTest::newRow("port 31") << QStringList{"--port", "31"};
    QTest::newRow("port text") << QStringList{"--port", "3a"};
    QTest::newRow("port missing") << QStringList{"--port"};
    QTest::newRow("negative delay") << QStringList{"--delay", "-1"};
    QTest::newRow("probe reply 256") << QStringList{"--probe-reply", "0x100"};
    QTest::newRow("two modes") << QStringList{"--silent", "--nak"};
    QTest::newRow("unknown") << QStringList{"--fast"};
    QTest::newRow("empty folder") << QStringList{"--dir="};
    QTest::newRow("flag with value") << QStringList{"--trace=1"};
}

void TestBoardModel::parseOptionsRefuses() {
    QFETCH(QStringList, args);
    std::vector<std::string> list;
    for (const QString& arg : args)
        list.push_back(arg.toStdString());
    QVERIFY(!ParseOptions(list).error.empty());
}

QTEST_APPLESS_MAIN(TestBoardModel)
#include "tst_boardmodel.moc"
