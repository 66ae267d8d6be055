// SPDX-License-Identifier: GPL-3.0-or-later
// Every recording of the pack beside the program plays at one loudness, read as FFmpeg's ebur128
// filter reads it: -16 LUFS within 1 LU, true peak under -1 dBTP.
#include <QtTest>

#include <optional>

namespace {

struct Reading {
    double integrated = 0; // LUFS
    double truePeak = 0;   // dBTP
};

// The summary ffmpeg prints at the end: "I: -16.1 LUFS" under the integrated loudness and
// "Peak: -2.3 dBFS" under the true peak. The filter prints one for nothing as well when the graph
// is first set up, so the last one counts.
std::optional<Reading> summary(const QString& log)
{
    static const QRegularExpression integrated(QStringLiteral("Integrated loudness:\\s*I:\\s*(-?[0-9.]+) LUFS"));
    static const QRegularExpression peak(QStringLiteral("True peak:\\s*Peak:\\s*(-?[0-9.]+|-inf) dBFS"));
    auto last = [&log](const QRegularExpression& pattern) {
        QRegularExpressionMatch found;
        for (auto it = pattern.globalMatch(log); it.hasNext();)
            found = it.next();
        return found;
    };
    const auto i = last(integrated);
    const auto p = last(peak);
    if (!i.hasMatch() || !p.hasMatch())
        return std::nullopt;
    return Reading{i.captured(1).toDouble(), p.captured(1) == QLatin1String("-inf") ? -1e9 : p.captured(1).toDouble()};
}

} // namespace

class PackLoudnessTest : public QObject {
    Q_OBJECT

private slots:
    void everyRecordingPlaysAtOneLoudness()
    {
        QStringList files;
        QDirIterator it(QStringLiteral(ZUPFOMAT_DATA_DIR), {QStringLiteral("*.wma"), QStringLiteral("*.mp3")}, QDir::Files,
                        QDirIterator::Subdirectories);
        while (it.hasNext())
            files << it.next();
        files.sort();
        // 58 riffs, 42 exercises at two tempos, 7 rhythms, 4 lesson recordings.
        QCOMPARE(files.size(), 58 + 84 + 7 + 4);

        QStringList wrong;
        double lowest = 0, highest = -100, loudestPeak = -100;
        // Two at a time: the machine has two cores and each ffmpeg keeps one busy.
        for (int first = 0; first < files.size(); first += 2) {
            QList<QProcess*> running;
            for (int k = first; k < std::min<int>(first + 2, files.size()); ++k) {
                auto* ffmpeg = new QProcess(this);
                ffmpeg->setProcessChannelMode(QProcess::MergedChannels);
                ffmpeg->start(QStringLiteral("ffmpeg"), {"-nostdin", "-hide_banner", "-nostats", "-i", files[k], "-filter_complex",
                                                         "ebur128=peak=true", "-f", "null", "-"});
                running << ffmpeg;
            }
            for (int k = 0; k < running.size(); ++k) {
                QProcess* ffmpeg = running[k];
                const QString file = files[first + k];
                QVERIFY2(ffmpeg->waitForFinished(60000), qPrintable(file + ": ffmpeg did not finish"));
                const auto reading = summary(QString::fromUtf8(ffmpeg->readAll()));
                delete ffmpeg;
                QVERIFY2(reading, qPrintable(file + ": no loudness summary from ffmpeg"));
                lowest = std::min(lowest, reading->integrated);
                highest = std::max(highest, reading->integrated);
                loudestPeak = std::max(loudestPeak, reading->truePeak);
                if (std::abs(reading->integrated - -16.0) > 1.0 || reading->truePeak > -1.0)
                    wrong << QStringLiteral("%1: %2 LUFS, %3 dBTP").arg(QFileInfo(file).fileName()).arg(reading->integrated).arg(reading->truePeak);
            }
        }
        qInfo("integrated %.1f ... %.1f LUFS, true peak at most %.1f dBTP", lowest, highest, loudestPeak);
        QVERIFY2(wrong.isEmpty(), qPrintable(wrong.join(QStringLiteral("; "))));
    }
};

QTEST_GUILESS_MAIN(PackLoudnessTest)
#include "PackLoudnessTest.moc"
