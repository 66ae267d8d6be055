// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "tests/support/TempFolder.h"

#include <QString>

namespace zupfomat::testing {

// A small content folder for window tests: every sheet (each of its own size and colour, so
// that a test can tell them apart), the background and the lamps. No recordings: the fake
// device does not need them.
class TestContent {
public:
    TestContent();
    QString programFolder() const { return folder_.qpath(QStringLiteral("program")); }
    QString path(const QString& relative) const { return programFolder() + "/" + relative; }
    void remove(const QString& relative) const;

private:
    TempFolder folder_;
};

} // namespace zupfomat::testing
