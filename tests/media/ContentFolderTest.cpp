// SPDX-License-Identifier: GPL-3.0-or-later
#include "media/ContentFolder.h"

#include <QtTest>

using namespace zupfomat;

class ContentFolderTest : public QObject {
    Q_OBJECT

private slots:
    void buildsTheContentNames()
    {
        const ContentFolder folder(QStringLiteral("/opt/Zupfomat"));
        QCOMPARE(folder.riffSheet(7), QStringLiteral("/opt/Zupfomat/Data/images/riff7.gif"));
        QCOMPARE(folder.riffRecording(7), QStringLiteral("/opt/Zupfomat/Data/wma/riff7.wma"));
        QCOMPARE(folder.riffSheet(58), QStringLiteral("/opt/Zupfomat/Data/images/riff58.gif"));
        QCOMPARE(folder.riffRecording(58), QStringLiteral("/opt/Zupfomat/Data/wma/riff58.wma"));
        QCOMPARE(folder.exerciseSheet(1), QStringLiteral("/opt/Zupfomat/Data/images/ex1.gif"));
        QCOMPARE(folder.exerciseRecording(12, ExerciseTempo::Normal), QStringLiteral("/opt/Zupfomat/Data/wma/ex12.wma"));
        QCOMPARE(folder.exerciseRecording(12, ExerciseTempo::Slow), QStringLiteral("/opt/Zupfomat/Data/wma/ex12l.wma"));
        QCOMPARE(folder.exerciseRecording(42, ExerciseTempo::Slow), QStringLiteral("/opt/Zupfomat/Data/wma/ex42l.wma"));
        QCOMPARE(folder.background(), QStringLiteral("/opt/Zupfomat/Data/images/hinten7.jpg"));
        QCOMPARE(folder.lampUnlit(), QStringLiteral("/opt/Zupfomat/Data/images/gruen.jpg"));
        QCOMPARE(folder.lampLit(), QStringLiteral("/opt/Zupfomat/Data/images/gruen2.jpg"));
    }

    void rhythmsInListOrder()
    {
        const ContentFolder folder(QStringLiteral("/p"));
        const QStringList expected = {"rock1", "rock2", "rock3", "blues1", "blues2", "pop", "681"};
        for (int i = 0; i < expected.size(); ++i)
            QCOMPARE(folder.rhythmRecording(i), "/p/Data/wma/" + expected[i] + ".wma");
        QCOMPARE(folder.rhythmRecording(7), QStringLiteral("/p/Data/wma/rock1.wma"));
        QCOMPARE(folder.rhythmRecording(-1), QStringLiteral("/p/Data/wma/rock1.wma"));
    }

    void lessonNamesKeepTheirBlanks()
    {
        const ContentFolder folder(QStringLiteral("/p"));
        QCOMPARE(folder.lessonRecording(1), QStringLiteral("/p/Data/wma/pent moll cells exercise.mp3"));
        QCOMPARE(folder.lessonRecording(2), QStringLiteral("/p/Data/wma/pent moll cells beispiel.mp3"));
        QCOMPARE(folder.lessonRecording(3), QStringLiteral("/p/Data/wma/pent dur cells exercise.mp3"));
        QCOMPARE(folder.lessonRecording(4), QStringLiteral("/p/Data/wma/pent dur cells beispiel.mp3"));
    }

    void programFolderWithBlanksAndUmlaut()
    {
        const ContentFolder folder(QStringLiteral("/home/j\u00fcrgen/Meine Programme/Zupfomat/"));
        QCOMPARE(folder.programFolder(), QStringLiteral("/home/j\u00fcrgen/Meine Programme/Zupfomat"));
        QCOMPARE(folder.riffRecording(3), QStringLiteral("/home/j\u00fcrgen/Meine Programme/Zupfomat/Data/wma/riff3.wma"));
    }

    void followsTheProgramNotTheWorkingDirectory()
    {
        const QString before = QDir::currentPath();
        QDir::setCurrent(QDir::tempPath());
        const ContentFolder folder = ContentFolder::besideProgram();
        QDir::setCurrent(before);
        QCOMPARE(folder.programFolder(), QCoreApplication::applicationDirPath());
        QCOMPARE(folder.background(), QCoreApplication::applicationDirPath() + "/Data/images/hinten7.jpg");
    }
};

QTEST_GUILESS_MAIN(ContentFolderTest)
#include "ContentFolderTest.moc"
