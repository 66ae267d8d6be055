// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "desktop/Desktop.h"

#include <QMap>
#include <vector>

namespace zupfomat::testing {

// Records what the windows ask of the desktop and answers as the test says.
class RecordingDesktop final : public Desktop {
public:
    std::vector<ProgramCall> started;
    std::vector<QUrl> opened;
    QMap<QString, QString> programs; // name -> path of what "is installed"
    bool programsStart = true;
    bool browserOpens = true;

    bool startProgram(const QString& program, const QStringList& arguments) override
    {
        started.push_back({program, arguments});
        return programsStart;
    }
    bool openAddress(const QUrl& address) override
    {
        opened.push_back(address);
        return browserOpens;
    }
    QString findProgram(const QString& name) override { return programs.value(name); }
};

} // namespace zupfomat::testing
