// SPDX-License-Identifier: GPL-3.0-or-later
#include "desktop/Desktop.h"

#include <QDesktopServices>
#include <QProcess>
#include <QStandardPaths>

namespace zupfomat {

bool SystemDesktop::startProgram(const QString& program, const QStringList& arguments)
{
    return QProcess::startDetached(program, arguments);
}

bool SystemDesktop::openAddress(const QUrl& address) { return QDesktopServices::openUrl(address); }

QString SystemDesktop::findProgram(const QString& name) { return QStandardPaths::findExecutable(name); }

std::optional<ProgramCall> volumeMixer(Desktop& desktop, const QString& workingDirectory)
{
#ifdef _WIN32
    const QString sndvol = desktop.findProgram(QStringLiteral("sndvol32"));
    if (!sndvol.isEmpty())
        return ProgramCall{sndvol, {QStringLiteral("/e,"), workingDirectory}};
    return std::nullopt;
#else
    (void)workingDirectory; // the Linux mixers take no folder
    const ProgramCall candidates[] = {
        {QStringLiteral("pavucontrol"), {}},
        {QStringLiteral("pavucontrol-qt"), {}},
        {QStringLiteral("gnome-control-center"), {QStringLiteral("sound")}},
        {QStringLiteral("kmix"), {}},
    };
    for (const ProgramCall& candidate : candidates) {
        const QString found = desktop.findProgram(candidate.program);
        if (!found.isEmpty())
            return ProgramCall{found, candidate.arguments};
    }
    return std::nullopt;
#endif
}

// https: the page hands out new versions of the program, which must not be tampered with on the way.
QUrl downloadPage() { return QUrl(QStringLiteral("https://%1/download.html").arg(QLatin1String(kDownloadHost))); }

QString downloadCaption() { return QStringLiteral("%1/download.html ").arg(QLatin1String(kDownloadHost)); }

} // namespace zupfomat
