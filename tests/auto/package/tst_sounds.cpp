#include <QFile>
#include <QObject>
#include <QTest>
#include <QtEndian>

#include <cmath>

// The generated result sounds: playable 16-bit PCM that a passenger tells apart by ear.
namespace {

struct Wav
{
    quint16 format = 0;
    quint16 channels = 0;
    quint32 rate = 0;
    quint16 bits = 0;
    QVector<qint16> samples;
};

bool readWav(const QString& path, Wav& wav, QString& why)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly)) {
        why = file.errorString();
        return false;
    }
    const QByteArray data = file.readAll();
    if (data.size() < 44 || !data.startsWith("RIFF") || data.mid(8, 4) != "WAVE") {
        why = QStringLiteral("not a RIFF/WAVE file");
        return false;
    }
    if (qFromLittleEndian<quint32>(data.constData() + 4) != quint32(data.size() - 8)) {
        why = QStringLiteral("RIFF size does not match the file size");
        return false;
    }
    int pos = 12;
    bool haveFormat = false;
    while (pos + 8 <= data.size()) {
        const QByteArray id = data.mid(pos, 4);
        const quint32 size = qFromLittleEndian<quint32>(data.constData() + pos + 4);
        const char* body = data.constData() + pos + 8;
        if (pos + 8 + qint64(size) > data.size()) {
            why = QStringLiteral("chunk %1 runs past the end").arg(QString::fromLatin1(id));
            return false;
        }
        if (id == "fmt ") {
            wav.format = qFromLittleEndian<quint16>(body);
            wav.channels = qFromLittleEndian<quint16>(body + 2);
            wav.rate = qFromLittleEndian<quint32>(body + 4);
            wav.bits = qFromLittleEndian<quint16>(body + 14);
            haveFormat = true;
        } else if (id == "data") {
            for (quint32 i = 0; i + 1 < size; i += 2)
                wav.samples << qFromLittleEndian<qint16>(body + i);
        }
        pos += 8 + int(size) + int(size & 1);
    }
    if (!haveFormat || wav.samples.isEmpty()) {
        why = QStringLiteral("no format or no samples");
        return false;
    }
    return true;
}

double rms(const QVector<qint16>& s, int from, int to)
{
    double sum = 0;
    for (int i = from; i < to; ++i)
        sum += double(s[i]) * s[i];
    return to > from ? std::sqrt(sum / (to - from)) : 0.0;
}

// Pitch of a stretch, from its zero crossings: good enough to say "higher" or "lower".
double pitch(const QVector<qint16>& s, int from, int to, quint32 rate)
{
    int crossings = 0;
    for (int i = from + 1; i < to; ++i)
        if ((s[i - 1] < 0) != (s[i] < 0))
            ++crossings;
    return crossings * double(rate) / (2.0 * (to - from));
}

QString soundPath(const char* name)
{
    return QStringLiteral(VOVADUDOZ_BINARY_DIR "/sounds/") + QLatin1String(name);
}

} // namespace

class Tst_Sounds : public QObject
{
    Q_OBJECT
private slots:
    void playableFormat_data();
    void playableFormat();
    void validRisesAndIsBright();
    void invalidIsLowAndTwice();
};

void Tst_Sounds::playableFormat_data()
{
    QTest::addColumn<QString>("path");
    QTest::newRow("Valid.wav") << soundPath("Valid.wav");
    QTest::newRow("Invalid.wav") << soundPath("Invalid.wav");
}

void Tst_Sounds::playableFormat()
{
    QFETCH(QString, path);
    Wav wav;
    QString why;
    QVERIFY2(readWav(path, wav, why), qPrintable(path + QStringLiteral(": ") + why));
    QCOMPARE(wav.format, quint16(1)); // integer PCM
    QCOMPARE(wav.bits, quint16(16));
    QCOMPARE(wav.channels, quint16(1));
    QVERIFY(wav.rate >= 16000);

    const double seconds = double(wav.samples.size()) / wav.rate;
    QVERIFY2(seconds >= 0.2 && seconds <= 1.5, qPrintable(QString::number(seconds)));

    int peak = 0;
    for (qint16 v : wav.samples)
        peak = qMax(peak, qAbs(int(v)));
    QVERIFY2(peak > 8000, "too quiet to hear in a bus");
    QVERIFY2(peak < 32767, "clipped");
    // Starts and ends near silence, so the speaker does not click.
    QVERIFY(qAbs(wav.samples.first()) < 1000);
    QVERIFY(qAbs(wav.samples.last()) < 1000);
}

void Tst_Sounds::validRisesAndIsBright()
{
    Wav valid, invalid;
    QString why;
    QVERIFY2(readWav(soundPath("Valid.wav"), valid, why), qPrintable(why));
    QVERIFY2(readWav(soundPath("Invalid.wav"), invalid, why), qPrintable(why));

    const int n = valid.samples.size();
    const int win = int(valid.rate / 20); // 50 ms
    const double early = pitch(valid.samples, 0, win, valid.rate);
    const double late = pitch(valid.samples, n / 2, n / 2 + win, valid.rate);
    QVERIFY2(late > early * 1.1, qPrintable(QStringLiteral("%1 Hz then %2 Hz").arg(early).arg(late)));
    QVERIFY2(early > 600, qPrintable(QString::number(early)));
    QVERIFY(pitch(valid.samples, 0, n, valid.rate) > 2 * pitch(invalid.samples, 0, invalid.samples.size(), invalid.rate));
}

void Tst_Sounds::invalidIsLowAndTwice()
{
    Wav wav;
    QString why;
    QVERIFY2(readWav(soundPath("Invalid.wav"), wav, why), qPrintable(why));

    // Loud and quiet stretches of 20 ms: the tone must start, stop, and start again.
    const int win = int(wav.rate / 50);
    QVector<bool> loud;
    for (int i = 0; i + win <= wav.samples.size(); i += win)
        loud << (rms(wav.samples, i, i + win) > 2000);
    int bursts = 0;
    for (int i = 0; i < loud.size(); ++i)
        if (loud[i] && (i == 0 || !loud[i - 1]))
            ++bursts;
    QCOMPARE(bursts, 2);

    const int firstBurstEnd = int(loud.indexOf(false) * win);
    QVERIFY(firstBurstEnd > 0);
    const double tone = pitch(wav.samples, 0, firstBurstEnd, wav.rate);
    QVERIFY2(tone > 100 && tone < 500, qPrintable(QString::number(tone)));
}

QTEST_GUILESS_MAIN(Tst_Sounds)
#include "tst_sounds.moc"
