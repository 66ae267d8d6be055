// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QtTest>

namespace zupfomat::testing {

enum class PlayButtons { Left, Included };

// The lesson pages' buttons and where each leads, as rows of a data-driven test: page, button,
// and the page shown after (0: back to the main window, -1: the page's own recording plays).
inline void addLessonButtonRows(PlayButtons play)
{
    QTest::addColumn<int>("page");
    QTest::addColumn<QString>("button");
    QTest::addColumn<int>("shown");
    struct Row {
        const char* name;
        int page;
        const char* button;
        int shown;
    };
    static const Row rows[] = {
        {"1 Play", 1, "Command2", -1},
        {"1 Beispiel", 1, "Command3", 2},
        {"1 Zur\u00fcck zur Zupfomat", 1, "Command1", 0},
        {"2 Play", 2, "Command1", -1},
        {"2 Zur\u00fcck", 2, "Command2", 1},
        {"2 Weiter", 2, "Command4", 3},
        {"2 Zur\u00fcck zur Zupfomat", 2, "Command3", 0},
        {"3 Play", 3, "Command2", -1},
        {"3 Beispiel", 3, "Command3", 4},
        {"3 Zur\u00fcck zur Zupfomat", 3, "Command1", 0},
        {"4 Play", 4, "Command1", -1},
        {"4 Zur\u00fcck", 4, "Command2", 3},
        {"4 Moll", 4, "Command4", 1},
        {"4 Weiter", 4, "Command5", 5},
        {"4 Zur\u00fcck zur Zupfomat", 4, "Command3", 0},
        {"5 Zur\u00fcck", 5, "Command2", 4},
        {"5 Zur\u00fcck zur Zupfomat", 5, "Command3", 0},
    };
    for (const Row& row : rows) {
        if (row.shown == -1 && play == PlayButtons::Left)
            continue;
        QTest::newRow(row.name) << row.page << QString::fromLatin1(row.button) << row.shown;
    }
}

} // namespace zupfomat::testing
