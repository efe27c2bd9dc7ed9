// Watching a real serial line (a pseudo-terminal) and a real TCP bridge: frames, noise, silence,
// stopping and lost ports.
#include <QSignalSpy>
#include <QTest>

#include "bus_support.h"
#include "rvx/bus.h"
#include "rvx/decode.h"

using bus_test::Bridge;
using bus_test::fromHex;
using bus_test::PseudoTerminal;
using rvx::bus::Error;
using rvx::bus::Received;
using rvx::bus::Settings;
using rvx::bus::Watcher;

namespace {

const QByteArray up123456 = fromHex("AB F1 FF FF FF FF 12 34 56 FE FF FF 09 30");
const QByteArray upGroup123456 = fromHex("AB F1 FF 12 34 56 FF FF FF FE FF FF 09 30");
const QByteArray upChecksumOff = fromHex("AB F1 FF FF FF FF 12 34 56 FE FF FF 09 20");

rvx::bus::Target targetOf(const QString& text) {
    return rvx::bus::readTarget(text).target.value();
}

// Everything a watcher says, in order, as readable lines: "frame AB F1 ...", "noise 00 11",
// "failed: ...", "stopped".
struct Log {
    explicit Log(Watcher& watcher) {
        QObject::connect(&watcher, &Watcher::received, [this](const Received& run) {
            runs.push_back(run);
            handed.push_back(QDateTime::currentDateTime());
            lines.push_back((run.isFrame() ? QStringLiteral("frame ") : QStringLiteral("noise ")) +
                            QString::fromLatin1(run.bytes.toHex(' ').toUpper()));
        });
        QObject::connect(&watcher, &Watcher::failed, [this](const Error& error) {
            kinds.push_back(error.kind);
            lines.push_back(QStringLiteral("failed: ") + error.message);
        });
        QObject::connect(&watcher, &Watcher::stopped,
                         [this] { lines.push_back(QStringLiteral("stopped")); });
    }
    QList<Received> runs;
    QList<QDateTime> handed;  // when each run was handed over
    QStringList lines;
    QList<Error::Kind> kinds;
};

QString frameLine(const QByteArray& bytes) {
    return QStringLiteral("frame ") + QString::fromLatin1(bytes.toHex(' ').toUpper());
}
QString noiseLine(const QByteArray& bytes) {
    return QStringLiteral("noise ") + QString::fromLatin1(bytes.toHex(' ').toUpper());
}

}  // namespace

class WatchTest : public QObject {
    Q_OBJECT
    QElapsedTimer clock;

private slots:
    void initTestCase() { clock.start(); }

    void noiseSplitCorruptedAndGroupFramesAreEachReported() {
        PseudoTerminal line(clock);
        Watcher watcher;
        Log log(watcher);
        QSignalSpy opened(&watcher, &Watcher::opened);
        QVERIFY(watcher.start(targetOf(line.path())));
        QVERIFY(opened.wait(5000));
        QVERIFY(watcher.watching());
        QCOMPARE(rvx::bus::lineText(watcher.line().value()), QStringLiteral("4800 8O1"));

        // Noise, a frame and the first five bytes of a group frame in one piece; the rest of the
        // group frame and a corrupted frame once the first piece has been read.
        line.write(fromHex("00 11 22") + up123456 + upGroup123456.left(5));
        QTRY_COMPARE_WITH_TIMEOUT(log.lines.size(), 2, 5000);
        line.write(upGroup123456.mid(5) + upChecksumOff);
        QTRY_COMPARE_WITH_TIMEOUT(log.lines.size(), 4, 5000);
        QCOMPARE(log.lines, (QStringList{noiseLine(fromHex("00 11 22")), frameLine(up123456),
                                         frameLine(upGroup123456), frameLine(upChecksumOff)}));

        // The caller decodes what it was handed.
        QVERIFY(rvx::decodeFrame(log.runs[1].span()).madeByTool());
        const auto group = rvx::decodeFrame(log.runs[2].span());
        QCOMPARE(group.kind, std::optional(rvx::AddressKind::Group));
        QCOMPARE(group.command, std::optional(rvx::rowOf(rvx::CommandId::Up)));
        const auto corrupted = rvx::decodeFrame(log.runs[3].span());
        QCOMPARE(corrupted.findings.size(), std::size_t{1});
        QCOMPARE(corrupted.findings[0].check, rvx::Check::Checksum);

        for (qsizetype k = 0; k < log.runs.size(); ++k) {
            QVERIFY(log.runs[k].time.isValid());
            if (k > 0) {
                QVERIFY(log.runs[k - 1].time <= log.runs[k].time);
            }
        }
        QVERIFY(line.nothingSent());  // watching never writes
        watcher.stop();
        QCOMPARE(log.lines.last(), QStringLiteral("stopped"));
        QVERIFY(!watcher.watching());
    }

    void aPartialFrameFollowedBySilenceIsGivenUpAsNoise_data() {
        QTest::addColumn<int>("silence");
        QTest::newRow("the default silence of 200 ms") << 0;
        QTest::newRow("a silence of 400 ms") << 400;
    }
    void aPartialFrameFollowedBySilenceIsGivenUpAsNoise() {
        QFETCH(int, silence);
        Settings settings;
        if (silence > 0) {
            settings.silence = std::chrono::milliseconds(silence);
        }
        PseudoTerminal line(clock);
        Watcher watcher;
        Log log(watcher);
        QSignalSpy opened(&watcher, &Watcher::opened);
        QVERIFY(watcher.start(targetOf(line.path()), settings));
        QVERIFY(opened.wait(5000));

        const qint64 written = clock.elapsed();
        line.write(up123456.left(9));
        QTRY_COMPARE_WITH_TIMEOUT(log.lines.size(), 1, 5000);
        QCOMPARE_GE(clock.elapsed() - written, settings.silence.count());
        QCOMPARE(log.lines[0], noiseLine(up123456.left(9)));
        // Its time is when the bytes arrived, not when the silence gave them up.
        QCOMPARE_GE(log.runs[0].time.msecsTo(log.handed[0]), settings.silence.count());

        // The next frame after the silence stands on its own.
        line.write(up123456);
        QTRY_COMPARE_WITH_TIMEOUT(log.lines.size(), 2, 5000);
        QCOMPARE(log.lines[1], frameLine(up123456));
    }

    void stopHandsOverWhatWasHeldAndFreesThePort() {
        PseudoTerminal line(clock);
        Watcher watcher;
        Log log(watcher);
        QSignalSpy opened(&watcher, &Watcher::opened);
        QVERIFY(watcher.start(targetOf(line.path())));
        QVERIFY(opened.wait(5000));
        // The frame shows that the piece has been read, the start of the next one with it.
        line.write(up123456 + fromHex("5A") + up123456.left(6));
        QTRY_COMPARE_WITH_TIMEOUT(log.lines.size(), 1, 5000);

        watcher.stop();  // Ctrl+C in the command line
        QCOMPARE(log.lines, (QStringList{frameLine(up123456),
                                         noiseLine(fromHex("5A") + up123456.left(6)), "stopped"}));
        watcher.stop();  // once only
        QCOMPARE(log.lines.size(), 3);

        const rvx::Frame up =
            rvx::frameFor(rvx::commandOf(rvx::CommandId::Up), rvx::AddressKind::Single,
                          {0x12, 0x34, 0x56}, rvx::startValues())
                .value();
        QCOMPARE(rvx::bus::sendFrames(targetOf(line.path()), std::span(&up, 1)).has_value(), false);
        QTRY_COMPARE_WITH_TIMEOUT(line.arrived().bytes, up123456, 5000);
    }

    void aPortLostWhileWatchingIsAnError() {
        PseudoTerminal line(clock);
        Watcher watcher;
        Log log(watcher);
        QSignalSpy opened(&watcher, &Watcher::opened);
        QVERIFY(watcher.start(targetOf(line.path())));
        QVERIFY(opened.wait(5000));
        line.write(up123456 + up123456.left(4));
        QTRY_COMPARE_WITH_TIMEOUT(log.lines.size(), 1, 5000);
        line.closeMaster();
        QTRY_COMPARE_WITH_TIMEOUT(log.kinds.size(), 1, 5000);
        QCOMPARE(log.kinds[0], Error::Kind::PortLost);
        QCOMPARE(log.lines, (QStringList{frameLine(up123456), noiseLine(up123456.left(4)),
                                         "failed: " + line.path() + ": the port was lost"}));
        QVERIFY(!watcher.watching());
    }

    void aPortThatDoesNotExistIsReported() {
        Watcher watcher;
        Log log(watcher);
        QVERIFY(watcher.start(targetOf(QStringLiteral("/dev/ttyRVX-none"))));
        QTRY_COMPARE_WITH_TIMEOUT(log.lines.size(), 1, 5000);
        QCOMPARE(log.lines[0], QStringLiteral("failed: /dev/ttyRVX-none: no such serial port"));
        QCOMPARE(log.kinds, QList{Error::Kind::NoSuchPort});
        QVERIFY(!watcher.watching());
    }

    void aBridgeIsWatchedLikeALine() {
        Bridge bridge(clock);
        Watcher watcher;
        Log log(watcher);
        QSignalSpy opened(&watcher, &Watcher::opened);
        QVERIFY(watcher.start(targetOf(bridge.target())));
        QVERIFY(opened.wait(5000));
        QCOMPARE(watcher.line().has_value(), false);  // a bridge's line is its own
        QTRY_COMPARE_WITH_TIMEOUT(bridge.connections().size(), 1, 5000);
        QTcpSocket* far = bridge.connections().at(0);

        far->write(fromHex("FF") + upGroup123456.left(7));
        QVERIFY(far->waitForBytesWritten(5000));
        far->write(upGroup123456.mid(7));
        QTRY_COMPARE_WITH_TIMEOUT(log.lines.size(), 2, 5000);
        far->close();  // the bridge goes away
        QTRY_COMPARE_WITH_TIMEOUT(log.kinds.size(), 1, 5000);
        QCOMPARE(log.lines, (QStringList{noiseLine(fromHex("FF")), frameLine(upGroup123456),
                                         "failed: " + bridge.target() +
                                             ": the connection to the bridge was lost (the "
                                             "bridge closed it)"}));
        QCOMPARE(log.kinds[0], Error::Kind::PortLost);
        QCOMPARE(bridge.arrived().bytes, QByteArray());  // nothing was sent to it
    }
};

QTEST_GUILESS_MAIN(WatchTest)
#include "watch_test.moc"
